#pragma once

#include <QLineEdit>

// Bytes of a text in the GBK code page: one for an ASCII character, two for any other
// (a Chinese character counts two).
int gbkBytes(const QString& text);

// The longest start of text that fits in maxBytes, cut at a whole character.
QString gbkPrefix(const QString& text, int maxBytes);

// A one-line edit box whose limit is counted in GBK bytes. The limit holds for whatever the
// user does (typing, an input method, pasting, dropping): an insertion that would pass it is
// cut at the last whole character that fits. A longer text set by the program (a stored
// value) stays whole and can be shortened, never lengthened. Alt with a letter is a command
// key (an access key, a menu), never text: the box leaves it to its window.
class GbkLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit GbkLineEdit(QWidget* parent = nullptr);

    void setMaxBytes(int bytes) { m_maxBytes = bytes; }
    int maxBytes() const { return m_maxBytes; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void limitUserEdit();

    int m_maxBytes = 0;      // 0: no limit
    QString m_accepted;      // the text before the user's pending edit
    bool m_userEdit = false; // the user changed the text; the limit is still to be applied
    int m_eventDepth = 0;    // events of this box being handled
};
