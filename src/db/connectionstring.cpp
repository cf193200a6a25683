#include "db/connectionstring.h"

namespace {
// Reads a text from text[at] on, up to the closing quote, a doubled quote standing for one.
// Leaves at just after the closing quote.
QString readQuoted(const QString& text, qsizetype& at) {
    const QChar quote = text[at++];
    QString value;
    while (at < text.size()) {
        const QChar c = text[at++];
        if (c != quote) {
            value += c;
        } else if (at < text.size() && text[at] == quote) {
            value += quote;
            ++at;
        } else {
            break;
        }
    }
    return value;
}
} // namespace

QString ConnectionString::quoted(const QString& value) {
    const bool plain = !value.contains(u';') && !value.contains(u'"') && !value.contains(u'\'') &&
                       value.trimmed() == value;
    if (plain) {
        return value;
    }
    QString doubled = value;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

ConnectionString ConnectionString::parse(const QString& text) {
    ConnectionString result;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype eq = text.indexOf(u'=', at);
        const qsizetype semicolon = text.indexOf(u';', at);
        if (eq < 0 || (semicolon >= 0 && semicolon < eq)) {
            // A piece without "=" names nothing.
            at = semicolon < 0 ? text.size() : semicolon + 1;
            continue;
        }
        const QString key = text.mid(at, eq - at).trimmed().toLower();
        at = eq + 1;
        while (at < text.size() && text[at].isSpace()) {
            ++at;
        }
        QString value;
        if (at < text.size() && (text[at] == u'"' || text[at] == u'\'')) {
            value = readQuoted(text, at);
            const qsizetype end = text.indexOf(u';', at);
            at = end < 0 ? text.size() : end + 1;
        } else {
            const qsizetype end = text.indexOf(u';', at);
            value = text.mid(at, end < 0 ? -1 : end - at).trimmed();
            at = end < 0 ? text.size() : end + 1;
        }
        if (!key.isEmpty()) {
            result.m_values.insert(key, value);
        }
    }
    return result;
}
