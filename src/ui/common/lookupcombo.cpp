#include "ui/common/lookupcombo.h"

#include "find/pinyin.h"
#include "ui/common/lookuplists.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QWheelEvent>

namespace {
// The item data of the entry that shows a stored name the list does not hold.
const QVariant UnlistedMark = QStringLiteral("unlisted");
} // namespace

namespace {
// Qt on Linux names a drop-down by its current value, so a screen reader would read "男"
// without saying which drop-down that is. A lookup drop-down is named by its label (its
// accessible name) and gives the chosen name as its value.
class LookupComboAccessible : public QAccessibleWidget {
public:
    explicit LookupComboAccessible(LookupCombo* combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        const auto* combo = static_cast<const LookupCombo*>(widget());
        switch (kind) {
        case QAccessible::Name:
            return combo->accessibleName();
        case QAccessible::Value:
            return combo->shownText();
        default:
            return QAccessibleWidget::text(kind);
        }
    }
};

QAccessibleInterface* lookupComboAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("LookupCombo") && object && object->isWidgetType()) {
        return new LookupComboAccessible(static_cast<LookupCombo*>(object));
    }
    return nullptr;
}
} // namespace

LookupCombo::LookupCombo(QWidget* parent) : QComboBox(parent) {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(lookupComboAccessible);
        return true;
    }();
    Q_UNUSED(accessibleInstalled);
    setEditable(false);
    setCurrentIndex(-1);
    setFocusPolicy(Qt::StrongFocus);         // a wheel turned over it does not take the focus
    setAttribute(Qt::WA_InputMethodEnabled); // Chinese typed through the input method
    connect(this, &QComboBox::activated, this, [this](int index) {
        m_value = itemText(index);
        emit valueChosen();
    });
}

void LookupCombo::setListSource(LookupList* list) {
    if (m_source != list) {
        if (m_source) {
            disconnect(m_source, nullptr, this, nullptr);
        }
        m_source = list;
        connect(list, &LookupList::changed, this, &LookupCombo::reload);
    }
    reload();
}

void LookupCombo::reload() {
    const QSignalBlocker blocker(this);
    clear();
    if (m_source) {
        addItems(m_source->names());
    }
    addUnlistedEntry();
    setCurrentIndex(findText(m_value, Qt::MatchExactly));
}

void LookupCombo::addUnlistedEntry() {
    if (!m_unlisted.isEmpty() && findText(m_unlisted, Qt::MatchExactly) < 0) {
        insertItem(0, m_unlisted, UnlistedMark);
    }
}

void LookupCombo::setKeyValue(const QString& name) {
    const QSignalBlocker blocker(this);
    if (count() > 0 && itemData(0) == UnlistedMark) {
        removeItem(0);
    }
    m_unlisted.clear();
    m_value = name;
    setCurrentIndex(findText(name, Qt::MatchExactly));
}

void LookupCombo::setStoredValue(const QString& name) {
    setKeyValue(name);
    const QSignalBlocker blocker(this);
    m_unlisted = name;
    addUnlistedEntry();
    setCurrentIndex(findText(name, Qt::MatchExactly));
}

void LookupCombo::wheelEvent(QWheelEvent* event) {
    if (hasFocus()) {
        QComboBox::wheelEvent(event);
    } else {
        event->ignore(); // passed on to the window beneath
    }
}

void LookupCombo::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool typing = !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace() &&
                        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (typing) {
        jumpByTyping(text);
        event->accept();
    } else {
        QComboBox::keyPressEvent(event);
    }
}

void LookupCombo::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty()) {
        jumpByTyping(event->commitString());
    }
    event->accept();
}

void LookupCombo::jumpByTyping(const QString& text) {
    const bool goesOn =
        m_sinceTyped.isValid() && m_sinceTyped.elapsed() < QApplication::keyboardInputInterval();
    m_typed = goesOn ? m_typed + text : text;
    m_sinceTyped.start();
    static PinyinReadings readings; // the window's thread only
    // A search that goes on may stay on the name shown; a fresh one begins after it.
    const int first = currentIndex() + (goesOn ? 0 : 1);
    for (int step = 0; step < count(); ++step) {
        const int index = (qMax(first, 0) + step) % count();
        if (typedBegins(readings, itemText(index), m_typed)) {
            if (index != currentIndex()) {
                setCurrentIndex(index);
                emit activated(index);
            }
            return;
        }
    }
}
