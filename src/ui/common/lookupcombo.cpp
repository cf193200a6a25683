#include "ui/common/lookupcombo.h"

#include "db/query.h"
#include "db/resultset.h"

#include <QSignalBlocker>

LookupCombo::LookupCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setCurrentIndex(-1);
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
    setCurrentIndex(findText(m_value, Qt::MatchExactly));
}

void LookupCombo::setKeyValue(const QString& name) {
    m_value = name;
    const QSignalBlocker blocker(this);
    setCurrentIndex(findText(name, Qt::MatchExactly));
}
