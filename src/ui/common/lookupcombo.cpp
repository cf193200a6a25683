#include "ui/common/lookupcombo.h"

#include "db/query.h"
#include "db/resultset.h"

#include <QSignalBlocker>
#include <QWheelEvent>

namespace {
// The item data of the entry that shows a stored name the list does not hold.
const QVariant UnlistedMark = QStringLiteral("unlisted");
} // namespace

LookupCombo::LookupCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setCurrentIndex(-1);
    setFocusPolicy(Qt::StrongFocus); // a wheel turned over it does not take the focus
    connect(this, &QComboBox::activated, this, [this](int index) {
        m_value = itemText(index);
        emit valueChosen();
    });
}

void LookupCombo::setListSource(Query* query, const QString& keyField) {
    if (m_source != query) {
        if (m_source) {
            disconnect(m_source, nullptr, this, nullptr);
        }
        m_source = query;
        connect(query, &Query::resultChanged, this, &LookupCombo::reload);
    }
    m_keyField = keyField;
    reload();
}

void LookupCombo::reload() {
    const QSignalBlocker blocker(this);
    clear();
    const ResultSet* result = m_source ? m_source->result() : nullptr;
    const int column = result ? result->columnIndex(m_keyField) : -1;
    if (column >= 0) {
        for (int row = 0; row < result->rowCount(); ++row) {
            addItem(result->text(row, column));
        }
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
