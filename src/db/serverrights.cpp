#include "db/serverrights.h"

#include "db/conninfo.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registerscripts.h"

#include <libpq-fe.h>

namespace {
bool yes(const QString& value) {
    return value == u"t";
}

// Rights no member holds: removing or changing rows beyond the column rights, setting where
// keys go on, writing a key or an audit column. Any of them, for a login that is no editor,
// means the register's rights are looser than they should be.
const char* LooseRightsQuery =
    "select not orvane_is_editor() and ("
    " exists (select from unnest(array['d_b','dlist','d_type','d_sex','d_p','d_mr']) t"
    "   where has_table_privilege(t,'DELETE') or has_table_privilege(t,'UPDATE')"
    "      or has_table_privilege(t,'TRUNCATE'))"
    " or has_sequence_privilege('d_b_id_seq','UPDATE')"
    " or has_sequence_privilege('dlist_id_seq','UPDATE')"
    " or exists (select from unnest(array['id','createdby','createdat','changedby','changedat',"
    "   'revision']) c where has_column_privilege('d_b',c,'INSERT')"
    "      or has_column_privilege('d_b',c,'UPDATE')))";

QString setupAdvice(PgConnection& server) {
    const QString database = server.select(QStringLiteral("select current_database()"))->text(0, 0);
    return QStringLiteral("请管理员在服务器上再运行一次 sudo scripts/server-setup.sh %1"
                          "（已有的名片保持不变）。")
        .arg(database);
}
} // namespace

QString UserRights::notAllowedText(const QString& what) {
    return QStringLiteral("只有管理员可以%1，您登录的用户是成员").arg(what);
}

UserRights userRights(Connection& engine) {
    auto* server = dynamic_cast<PgConnection*>(&engine);
    if (!server) {
        return {};
    }
    const auto rights = server->select(QStringLiteral(
        "select has_table_privilege('d_b','DELETE') and has_table_privilege('dlist','DELETE'),"
        " has_table_privilege('d_type','INSERT') and has_table_privilege('d_type','DELETE'),"
        " has_column_privilege('d_b','id','INSERT')"
        " and has_sequence_privilege('d_b_id_seq','UPDATE')"));
    return {yes(rights->text(0, 0)), yes(rights->text(0, 1)), yes(rights->text(0, 2))};
}

ConnectKeywords connectKeywords(const QString& connectionString) {
    ConnectKeywords keywords;
    const auto values = conninfoValues(connectionString);
    if (!values || !conninfoUsesNetwork(*values)) {
        return keywords; // a Unix socket authenticates as it always has
    }
    keywords.before = QStringList{QStringLiteral("sslmode"), QStringLiteral("verify-full")};
    if (values->value(QStringLiteral("sslmode")) != u"disable") {
        keywords.after = QStringList{QStringLiteral("channel_binding"), QStringLiteral("require")};
    }
    return keywords;
}

pg_conn* openServerConnection(const QString& connectionString, const QList<QByteArray>& defaults) {
    const ConnectKeywords security = connectKeywords(connectionString);
    QList<QByteArray> pairs = defaults;
    for (const QString& text : security.before) {
        pairs << text.toUtf8();
    }
    pairs << "dbname" << connectionString.toUtf8() << "client_encoding"
          << "UTF8";
    for (const QString& text : security.after) {
        pairs << text.toUtf8();
    }
    std::vector<const char*> keys;
    std::vector<const char*> values;
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
        keys.push_back(pairs[i].constData());
        values.push_back(pairs[i + 1].constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    return PQconnectdbParams(keys.data(), values.data(), 1);
}

void requireStandardStrings(const char* parameterStatus, const QString& registerName) {
    if (!parameterStatus || qstrcmp(parameterStatus, "on") != 0) {
        throw EngineError(
            QStringLiteral("无法使用名片服务器 %1：服务器的会话把引号中的反斜杠当作转义符"
                           "（standard_conforming_strings 为 off），这样保存的内容可能被改变。"
                           "请管理员把它设为 on（这是 PostgreSQL 的默认值），"
                           "或者不经过重设它的连接池直接连接服务器。")
                .arg(registerName));
    }
}

void requireExpectedRights(PgConnection& server) {
    const auto state = server.select(QStringLiteral(
        "select to_regprocedure('orvane_remove_visit(bigint)') is not null,"
        " (select pg_has_role(relowner,'USAGE') from pg_class where oid='d_b'::regclass)"));
    const bool upToDate = yes(state->text(0, 0));
    const bool owner = yes(state->text(0, 1));
    if (!upToDate && owner) {
        // The owner of a register made by an earlier version brings it up to date.
        const QByteArray script = "BEGIN;" + registerRulesScript().toUtf8() + "COMMIT;";
        PGresult* result = PQexec(server.handle(), script.constData());
        const bool done = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
        if (!done) {
            server.execute(QStringLiteral("ROLLBACK"));
            throw EngineError(
                QStringLiteral("无法把服务器上的名片库 %1 升级到本版本（%2）")
                    .arg(server.registerName(),
                         QString::fromUtf8(PQerrorMessage(server.handle())).section(u'\n', 0, 0)));
        }
        return;
    }
    if (!upToDate) {
        throw EngineError(QStringLiteral("服务器上的名片库 %1 是旧版本建立的，还没有本版本的"
                                         "权限和规则，程序不能使用它。")
                              .arg(server.registerName()) +
                          setupAdvice(server));
    }
    if (yes(server.select(QString::fromLatin1(LooseRightsQuery))->text(0, 0))) {
        throw EngineError(QStringLiteral("服务器上的名片库 %1 给成员的权限比程序要求的多"
                                         "（例如成员可以真正删除名片或改写编号），"
                                         "程序不能使用它。")
                              .arg(server.registerName()) +
                          setupAdvice(server));
    }
}
