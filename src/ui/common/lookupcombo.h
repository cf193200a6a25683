#pragma once

#include <QComboBox>
#include <QElapsedTimer>
#include <QPointer>

class LookupList;

// A drop-down that picks one name from a lookup list, shared by every drop-down of the same
// kind: when the list is read again, each drop-down reloads the names and shows its own value
// again if it is still there. Its value
// and its shown text are the chosen name; with nothing chosen both are empty.
//
// The mouse wheel changes the value only while the drop-down has the focus; over an
// unfocused one it scrolls whatever lies beneath. Typing jumps to a name: by its characters
// ("湖") or its pinyin ("hn", "hun"); keys typed within a moment of each other add up, and a
// fresh search begins after the name shown, so typing the same letters again goes on to the
// next name they begin.
class LookupCombo : public QComboBox {
    Q_OBJECT
public:
    explicit LookupCombo(QWidget* parent = nullptr);

    void setListSource(LookupList* list);
    // Selects the row holding name; shows nothing when no row holds it.
    void setKeyValue(const QString& name);
    // A value read from a stored card: selected like setKeyValue, but a name the list does not
    // hold is shown all the same, as an entry of this drop-down above the list, so that saving
    // keeps it unless the user picks another name.
    void setStoredValue(const QString& name);
    QString shownText() const { return currentIndex() < 0 ? QString() : currentText(); }

signals:
    void valueChosen(); // the user picked a name with the mouse or the keys

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    void jumpByTyping(const QString& text);
    void reload();
    void addUnlistedEntry();

    QPointer<LookupList> m_source;
    QString m_value;
    QString m_unlisted; // a stored name kept although the list does not hold it
    QString m_typed;    // the keys typed for the search under way
    QElapsedTimer m_sinceTyped;
};
