#include "gbklineedit.h"

#include <QSignalBlocker>

int gbkBytes(const QString& text) {
    int bytes = 0;
    for (const char32_t c : text.toUcs4()) {
        bytes += c < 0x80 ? 1 : 2;
    }
    return bytes;
}

QString gbkPrefix(const QString& text, int maxBytes) {
    int bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        const int size = text.at(end).unicode() < 0x80 ? 1 : 2;
        if (bytes + size > maxBytes) {
            break;
        }
        bytes += size;
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

GbkLineEdit::GbkLineEdit(QWidget* parent) : QLineEdit(parent) {
    // textEdited comes only from the user and before textChanged, so m_before still holds
    // the text as it was.
    connect(this, &QLineEdit::textEdited, this, &GbkLineEdit::limitEdit);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { m_before = text; });
}

void GbkLineEdit::limitEdit(const QString& edited) {
    if (m_maxBytes <= 0 || gbkBytes(edited) <= m_maxBytes ||
        gbkBytes(edited) <= gbkBytes(m_before)) {
        return;
    }
    // What the edit inserted lies between the part it kept at the start and at the end.
    qsizetype head = 0;
    while (head < edited.size() && head < m_before.size() && edited[head] == m_before[head]) {
        ++head;
    }
    qsizetype tail = 0;
    while (tail < edited.size() - head && tail < m_before.size() - head &&
           edited[edited.size() - 1 - tail] == m_before[m_before.size() - 1 - tail]) {
        ++tail;
    }
    if (head > 0 && edited[head - 1].isHighSurrogate()) {
        --head; // never split a surrogate pair
    }
    const QString kept = edited.left(head) + edited.right(tail);
    const QString inserted = edited.mid(head, edited.size() - head - tail);
    const QString fitting = gbkPrefix(inserted, qMax(0, m_maxBytes - gbkBytes(kept)));
    setText(edited.left(head) + fitting + edited.right(tail));
    setCursorPosition(int(head + fitting.size()));
}
