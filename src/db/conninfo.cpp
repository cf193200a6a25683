#include "db/conninfo.h"

#include <QRegularExpression>
#include <QStringList>
#include <libpq-fe.h>

namespace {
QStringList hostsOf(const QMap<QString, QString>& values) {
    const QString hosts =
        values.value(QStringLiteral("hostaddr"), values.value(QStringLiteral("host")));
    return hosts.isEmpty() ? QStringList{} : hosts.split(u',');
}

bool isSocketFolder(const QString& host) {
    return host.startsWith(u'/') || host.startsWith(u'@');
}

// The keyword at which a keyword=value string stops making sense to libpq: the first one that
// is no keyword of libpq's, lacks its "=", or opens a quote it never closes.
QString faultyKeyword(const QString& text) {
    static const QRegularExpression pair(
        QStringLiteral(R"(\G\s*([A-Za-z_]+)\s*=\s*('(?:[^'\\]|\\.)*'|[^\s']*)(?=\s|$))"));
    qsizetype at = 0;
    while (true) {
        const QRegularExpressionMatch match = pair.match(text, at);
        const QString rest = text.mid(at).trimmed();
        if (rest.isEmpty()) {
            return QString();
        }
        static const QRegularExpression keywordStart(QStringLiteral(R"(^([A-Za-z_]+)\s*=)"));
        const QRegularExpressionMatch start = keywordStart.match(rest);
        if (!start.hasMatch()) {
            return QString(); // no keyword at all: told by position only
        }
        const QString keyword = start.captured(1);
        if (!match.hasMatch() || (!keptKeyword(keyword) && keyword != u"password")) {
            return keyword.size() <= 40 ? keyword : QString();
        }
        at = match.capturedEnd();
    }
}
} // namespace

std::optional<QMap<QString, QString>> conninfoValues(const QString& connectionString) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(connectionString.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return std::nullopt;
    }
    QMap<QString, QString> values;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (o->val && *o->val) {
            values.insert(QString::fromUtf8(o->keyword), QString::fromUtf8(o->val));
        }
    }
    PQconninfoFree(options);
    return values;
}

QString conninfoFault(const QString& connectionString) {
    if (conninfoValues(connectionString)) {
        return QString();
    }
    const QString trimmed = connectionString.trimmed();
    if (trimmed.startsWith(QStringLiteral("postgres"), Qt::CaseInsensitive) &&
        trimmed.contains(QStringLiteral("://"))) {
        return QStringLiteral("连接字符串无法识别（postgresql:// 地址的格式不对）");
    }
    const QString keyword = faultyKeyword(trimmed);
    return keyword.isEmpty() ? QStringLiteral("连接字符串无法识别")
                             : QStringLiteral("连接字符串无法识别（%1 处）").arg(keyword);
}

bool conninfoHasPassword(const QString& connectionString) {
    if (const auto values = conninfoValues(connectionString)) {
        return values->contains(QStringLiteral("password"));
    }
    return connectionString.contains(QStringLiteral("password"), Qt::CaseInsensitive) ||
           connectionString.contains(u'@');
}

QString passwordOnCommandLineMessage() {
    return QStringLiteral(
        "连接字符串中不能写密码：命令行上的内容本机的其他用户都能看到。请把密码写在 ~/.pgpass "
        "（或环境变量 PGPASSFILE 指定的文件，权限 0600）中，或者不写密码，启动时在提示框中输入；"
        "脚本中可以用环境变量 PGPASSWORD 给出密码。");
}

bool keptKeyword(const QString& keyword) {
    static const QStringList keywords = [] {
        QStringList names;
        PQconninfoOption* defaults = PQconndefaults();
        for (PQconninfoOption* o = defaults; o && o->keyword; ++o) {
            const QString name = QString::fromUtf8(o->keyword);
            if (name != u"password") {
                names << name;
            }
        }
        PQconninfoFree(defaults);
        return names;
    }();
    return keywords.contains(keyword);
}

QString conninfoText(const QMap<QString, QString>& values) {
    static const QRegularExpression plain(QStringLiteral("^[^\\s'\\\\]+$"));
    QStringList parts;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        QString value = it.value();
        if (!plain.match(value).hasMatch()) {
            value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
            value = u'\'' + value + u'\'';
        }
        parts << it.key() + u'=' + value;
    }
    return parts.join(u' ');
}

bool conninfoUsesNetwork(const QMap<QString, QString>& values) {
    const QStringList hosts = hostsOf(values);
    return std::any_of(hosts.begin(), hosts.end(), [](const QString& host) {
        return !host.isEmpty() && !isSocketFolder(host);
    });
}

bool conninfoIsLocal(const QMap<QString, QString>& values) {
    static const QRegularExpression loopback(
        QStringLiteral(R"(^(localhost|127(\.\d{1,3}){3}|::1)$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QStringList hosts = hostsOf(values);
    return std::all_of(hosts.begin(), hosts.end(), [](const QString& host) {
        return host.isEmpty() || isSocketFolder(host) || loopback.match(host).hasMatch();
    });
}

QString conninfoRegisterName(const QString& connectionString) {
    const auto values = conninfoValues(connectionString);
    if (!values) {
        return conninfoFault(connectionString);
    }
    QString host = values->value(QStringLiteral("host"), values->value(QStringLiteral("hostaddr")));
    if (host.isEmpty() || isSocketFolder(host)) {
        host = QStringLiteral("本机");
    }
    const QString user = values->value(QStringLiteral("user"));
    const QString database = values->value(QStringLiteral("dbname"), user);
    return QStringLiteral("服务器 %1@%2:%3")
        .arg(database, host, values->value(QStringLiteral("port"), QStringLiteral("5432")));
}
