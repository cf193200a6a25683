#pragma once

#include <QMap>
#include <QString>

// A connection string of "key=value;" pairs, as the connections of this program are given.
// A value may stand between double (or single) quotes, with a quote inside doubled; "" is an
// empty value. Keys are matched without regard to letter case.
class ConnectionString {
public:
    static ConnectionString parse(const QString& text);

    // A value as it is written into a connection string: as it stands when it is plain,
    // otherwise between double quotes (a value holding ";" or a quote, or with blanks at an
    // end), so that parse() gives it back whole, whatever file or folder name it is.
    static QString quoted(const QString& value);

    QString value(const QString& key) const { return m_values.value(key.toLower()); }

private:
    QMap<QString, QString> m_values;
};
