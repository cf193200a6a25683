#include "db/connectionstring.h"

namespace {
QString unquoted(const QString& value) {
    const QString v = value.trimmed();
    if (v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"')) {
        return v.mid(1, v.size() - 2);
    }
    return v;
}
} // namespace

ConnectionString ConnectionString::parse(const QString& text) {
    ConnectionString result;
    QString piece;
    bool inQuotes = false;
    auto take = [&result](const QString& pair) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq > 0) {
            result.m_values.insert(pair.left(eq).trimmed().toLower(), unquoted(pair.mid(eq + 1)));
        }
    };
    for (const QChar c : text) {
        if (c == u'"') {
            inQuotes = !inQuotes;
        }
        if (c == u';' && !inQuotes) {
            take(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    take(piece);
    return result;
}
