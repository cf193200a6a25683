#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <opencv2/core.hpp>
#include <stop_token>
#include <vector>

// One line of text found on a photo: its corners in the photo's pixels (top left, top right,
// bottom right, bottom left as the text runs), what it reads, and how sure the recogniser was
// (the mean probability of its characters).
struct TextBox {
    std::array<cv::Point2f, 4> corners;
    QString text;
    float confidence = 0;

    float height() const;
    float left() const;
    float right() const;
    float centreY() const;
};

// The two models and the recogniser's characters, loaded from a model folder (throws
// ScanError when a file is missing or unreadable).
struct TextModels;
std::unique_ptr<TextModels> loadTextModels(const QString& folder);

// The inputs of the model passes, the way the reader prepares them: the photo scaled for the
// detector (its longer side at most 960 pixels, each side a multiple of 32, normalised), and
// one line cut straight for the recogniser (48 pixels high).
cv::Mat detectionInput(const cv::Mat& bgr);
cv::Mat recognitionInput(const cv::Mat& line);
// The bare passes of the models on prepared inputs, as the reader runs them.
cv::Mat runDetector(TextModels& models, const cv::Mat& input);
cv::Mat runRecogniser(TextModels& models, const cv::Mat& input);

// The lines of text on a photo, and the photo as they were read: turned upright when it lay
// on its side or upside down (the lines' corners are in its pixels).
struct TextReading {
    cv::Mat photo;
    std::vector<TextBox> lines;
};

// Reads the lines of text on a photo with the PP-OCR detection and recognition models of a
// folder, loaded once, at the first photo. A photo lying on its side or upside down is turned
// first. Synchronous and without an event loop: callers run it on a worker thread, and may
// stop it between two lines (it then returns the lines read so far). Not for two threads at
// once.
class TextReader {
public:
    explicit TextReader(QString modelFolder);
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;

    TextReading read(const cv::Mat& bgr, std::stop_token stop = {});
    // The models, loaded on first use.
    TextModels& models();

private:
    QString m_folder;
    std::unique_ptr<TextModels> m_models;
};
