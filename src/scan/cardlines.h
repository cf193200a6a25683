#pragma once

#include "scan/textreader.h"

#include <QString>
#include <vector>

// One line of a card as the field rules read it: its text and the height of its letters in
// the photo's pixels (0 when unknown), the name being the largest print on most cards.
struct CardLine {
    QString text;
    float height = 0;
};

// The boxes of a reading joined into the card's lines, from top to bottom: boxes side by side
// on one row make one line, unless they stand far apart (a phone number at the left and an
// e-mail address at the right are two lines).
std::vector<CardLine> joinIntoLines(std::vector<TextBox> boxes);
