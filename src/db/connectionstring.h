#pragma once

#include <QMap>
#include <QString>

// A connection string of "key=value;" pairs, as the connections of this program are given.
// A value may stand between double quotes ("" is an empty value). Keys are matched without
// regard to letter case.
class ConnectionString {
public:
    static ConnectionString parse(const QString& text);

    QString value(const QString& key) const { return m_values.value(key.toLower()); }

private:
    QMap<QString, QString> m_values;
};
