#pragma once

#include "db/cardfields.h"

#include <QImage>
#include <QString>
#include <opencv2/core.hpp>
#include <vector>

// A business card drawn by the tests themselves, with the fields a reader should find on it
// (by column: BName, DName, BMob …, in the forms the field rules give them).
struct SampleCard {
    QString label; // layout and language, for messages
    CardValues truth;
    QImage image;
};

// Cards drawn from a seed: Chinese, English and bilingual cards in several layouts and fonts
// (WenQuanYi Micro Hei, DejaVu, Liberation), the numbers and labels written in several ways.
// Needs a QGuiApplication.
std::vector<SampleCard> sampleCards(int count, quint32 seed);

// A card as 8-bit BGR.
cv::Mat cardPixels(const QImage& card);

// The card as a phone photographs it: lying on a table at a slant, in perspective, a little
// blurred, with sensor noise and uneven light.
cv::Mat photographed(const QImage& card, quint32 seed);

// The fields the benchmark and the tests score: name, company, department, title, address,
// work phone, mobile, fax, e-mail, website, QQ and postcode.
const QStringList& scoredColumns();

// How many of the scored fields were read exactly (absent fields counted only where the reader
// found something), and how many were scored.
struct FieldScore {
    int right = 0;
    int scored = 0;
    QStringList wrong; // "column: read ≠ true"
};
FieldScore scoreFields(const CardValues& truth, const CardValues& read);
