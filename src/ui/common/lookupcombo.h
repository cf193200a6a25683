#pragma once

#include <QComboBox>
#include <QPointer>

class Query;

// A drop-down that picks one name from a lookup list. Its list is the "theName" column of a
// query shared by every drop-down of the same kind: when the query is opened again, each
// drop-down reloads the names and shows its own value again if it is still there. Its value
// and its shown text are the chosen name; with nothing chosen both are empty.
class LookupCombo : public QComboBox {
    Q_OBJECT
public:
    explicit LookupCombo(QWidget* parent = nullptr);

    void setListSource(Query* query, const QString& keyField);
    // Selects the row holding name; shows nothing when no row holds it.
    void setKeyValue(const QString& name);
    QString shownText() const { return currentIndex() < 0 ? QString() : currentText(); }

signals:
    void valueChosen(); // the user picked a name with the mouse or the keys

private:
    void reload();

    QPointer<Query> m_source;
    QString m_keyField;
    QString m_value;
};
