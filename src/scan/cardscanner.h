#pragma once

#include "scan/cardparser.h"
#include "scan/textreader.h"

#include <QString>
#include <stop_token>

// A card photo read: the photo as read (turned upright), the lines of text on it with their
// places, and the card's fields made of them. A photo without text gives no lines.
struct CardScan {
    TextReading reading;
    std::vector<CardLine> lines;
    ParsedCard card;

    bool hasText() const { return !lines.empty(); }
};

// The folder of the text models beside the program (models/).
QString bundledModelFolder();

// Reads card photos into cards. The models are loaded once, at the first photo. Synchronous:
// run it on a worker thread; a stop requested through the token ends the reading between two
// lines (the card then holds what the lines read so far gave). One thread at a time.
class CardScanner {
public:
    explicit CardScanner(QString modelFolder = bundledModelFolder());

    // Throws ScanError for a file that is no photo or too large, or when the models are missing.
    CardScan scanFile(const QString& path, std::stop_token stop = {});
    CardScan scanPhoto(const cv::Mat& bgr, std::stop_token stop = {});

    TextReader& reader() { return m_reader; }

private:
    TextReader m_reader;
};
