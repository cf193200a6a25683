#include "ui/common/gbklineedit.h"

#include <QKeyEvent>

#include <limits>

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
    // The byte limit is the only one: QLineEdit's own default of 32,767 characters would cut a
    // longer stored value as soon as it is shown.
    setMaxLength(std::numeric_limits<int>::max());
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (!m_userEdit && m_eventDepth == 0) {
            // An edit from outside this box's events (the context menu's "Paste"): the limit
            // is applied as soon as control is back in the event loop.
            QMetaObject::invokeMethod(this, &GbkLineEdit::limitUserEdit, Qt::QueuedConnection);
        }
        m_userEdit = true;
    });
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!m_userEdit) {
            m_accepted = text(); // set by the program: taken whole
        }
    });
}

// Keys, an input method, a paste by key or by the middle button and a drop all change the
// text inside an event of this box. The limit is applied once that event is through:
// changing the text from within QLineEdit's own handling does not stick (an input method
// commit writes over it).
bool GbkLineEdit::event(QEvent* event) {
    ++m_eventDepth;
    const bool handled = QLineEdit::event(event);
    --m_eventDepth;
    limitUserEdit();
    return handled;
}

void GbkLineEdit::keyPressEvent(QKeyEvent* event) {
    // QLineEdit types the letter of Alt+letter when no shortcut takes it. AltGr (reported as
    // Ctrl+Alt on some keyboards) still types its characters.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if ((modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier) &&
        !event->text().isEmpty()) {
        event->ignore();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void GbkLineEdit::limitUserEdit() {
    if (!m_userEdit) {
        return;
    }
    m_userEdit = false;
    const QString edited = text();
    const QString before = m_accepted;
    m_accepted = edited;
    if (m_maxBytes <= 0 || gbkBytes(edited) <= m_maxBytes || gbkBytes(edited) <= gbkBytes(before)) {
        return;
    }
    // What the edit inserted lies between the part it kept at the start and at the end; the
    // cursor stands right after the insertion.
    qsizetype tail = 0;
    const qsizetype maxTail = qMin(edited.size() - cursorPosition(), before.size());
    while (tail < maxTail && edited[edited.size() - 1 - tail] == before[before.size() - 1 - tail]) {
        ++tail;
    }
    qsizetype head = 0;
    while (head < edited.size() - tail && head < before.size() - tail &&
           edited[head] == before[head]) {
        ++head;
    }
    if (head > 0 && edited[head - 1].isHighSurrogate()) {
        --head; // never split a surrogate pair
    }
    if (tail > 0 && edited[edited.size() - tail].isLowSurrogate()) {
        --tail;
    }
    const QString start = edited.left(head);
    const QString end = edited.right(tail);
    const QString inserted = edited.mid(head, edited.size() - head - tail);
    const QString fitting = gbkPrefix(inserted, qMax(0, m_maxBytes - gbkBytes(start + end)));
    setText(start + fitting + end);
    setCursorPosition(int(head + fitting.size()));
}
