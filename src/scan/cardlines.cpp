#include "scan/cardlines.h"

#include <algorithm>

namespace {
// Boxes further apart than this many letter heights are separate lines.
constexpr float SeparateLinesGap = 2.0F;
// Boxes apart by more than this many letter heights are joined with a space.
constexpr float WordGap = 0.3F;

bool onSameRow(const std::vector<TextBox>& row, const TextBox& box) {
    const TextBox& last = row.back();
    const float height = std::min(last.height(), box.height());
    return std::abs(last.centreY() - box.centreY()) < 0.5F * height;
}

void addRow(std::vector<TextBox> row, std::vector<CardLine>& lines) {
    std::sort(row.begin(), row.end(),
              [](const TextBox& a, const TextBox& b) { return a.left() < b.left(); });
    CardLine line;
    const TextBox* previous = nullptr;
    for (const TextBox& box : row) {
        if (box.text.trimmed().isEmpty()) {
            continue;
        }
        const float height = std::max(box.height(), previous ? previous->height() : 0.0F);
        const float gap = previous ? box.left() - previous->right() : 0;
        if (previous && gap > SeparateLinesGap * height) {
            lines.push_back(line);
            line = CardLine();
        } else if (previous && gap > WordGap * height) {
            line.text += u' ';
        }
        line.text += box.text.trimmed();
        line.height = std::max(line.height, box.height());
        previous = &box;
    }
    if (!line.text.isEmpty()) {
        lines.push_back(line);
    }
}
} // namespace

std::vector<CardLine> joinIntoLines(std::vector<TextBox> boxes) {
    std::sort(boxes.begin(), boxes.end(),
              [](const TextBox& a, const TextBox& b) { return a.centreY() < b.centreY(); });
    std::vector<CardLine> lines;
    std::vector<TextBox> row;
    for (const TextBox& box : boxes) {
        if (!row.empty() && !onSameRow(row, box)) {
            addRow(std::move(row), lines);
            row.clear();
        }
        row.push_back(box);
    }
    if (!row.empty()) {
        addRow(std::move(row), lines);
    }
    return lines;
}
