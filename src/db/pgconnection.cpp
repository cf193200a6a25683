#include "db/pgconnection.h"

#include "db/cardfields.h"
#include "db/conninfo.h"
#include "db/engineerror.h"
#include "db/registerscripts.h"
#include "db/serverdialect.h"
#include "db/serverreason.h"
#include "db/serverrights.h"

#include <QHash>
#include <QRegularExpression>
#include <cctype>
#include <cstring>
#include <libpq-fe.h>
#include <set>
#include <string>
#include <sys/socket.h>

namespace {
// The server's type numbers of the integer columns (int8, int2, int4).
bool isIntegerType(Oid type) {
    return type == 20 || type == 21 || type == 23;
}

struct ResultGuard {
    PGresult* result;
    ~ResultGuard() { PQclear(result); }
};

// The server gives unquoted names in lower case; the register's own columns come back as the
// card file names them, so that a result reads the same on either engine.
QString canonicalColumnName(const QString& name) {
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> map;
        QStringList known{QStringLiteral("ID"),        EntryDateColumn,
                          QStringLiteral("theDel"),    QStringLiteral("DID"),
                          QStringLiteral("LDate"),     QStringLiteral("LType"),
                          QStringLiteral("LMemo"),     QStringLiteral("theName"),
                          QStringLiteral("theSex"),    QStringLiteral("theP"),
                          QStringLiteral("Revision"),  QStringLiteral("CreatedBy"),
                          QStringLiteral("CreatedAt"), QStringLiteral("ChangedBy"),
                          QStringLiteral("ChangedAt")};
        for (const CardField& field : cardFields()) {
            known << field.column;
        }
        for (const QString& column : known) {
            map.insert(column.toLower(), column);
        }
        return map;
    }();
    return names.value(name, name);
}

// A value of COPY's text format with its backslash escapes undone, appended to out.
void unescapeCopyText(const char* begin, const char* end, std::string& out) {
    out.clear();
    for (const char* p = begin; p < end; ++p) {
        if (*p != '\\' || p + 1 == end) {
            out += *p;
            continue;
        }
        const char c = *++p;
        switch (c) {
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'v':
            out += '\v';
            break;
        case 'x': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && p + 1 < end && std::isxdigit(static_cast<unsigned char>(p[1]))) {
                const char d = *++p;
                value = value * 16 + (d <= '9' ? d - '0' : (d | 0x20) - 'a' + 10);
                ++digits;
            }
            out += digits ? char(value) : 'x';
            break;
        }
        default:
            if (c >= '0' && c <= '7') {
                int value = c - '0';
                for (int digits = 1; digits < 3 && p + 1 < end && p[1] >= '0' && p[1] <= '7';
                     ++digits) {
                    value = value * 8 + (*++p - '0');
                }
                out += char(value);
            } else {
                out += c;
            }
        }
    }
}

// One row of COPY's text format (without its line end) into the result.
bool appendCopyRow(const char* row, const char* end, int columns, ResultSet& result,
                   std::string& scratch) {
    const char* p = row;
    for (int c = 0; c < columns; ++c) {
        const char* fieldEnd = end;
        if (c + 1 < columns) {
            fieldEnd = static_cast<const char*>(std::memchr(p, '\t', size_t(end - p)));
            if (!fieldEnd) {
                return false;
            }
        }
        const size_t size = size_t(fieldEnd - p);
        if (size == 2 && p[0] == '\\' && p[1] == 'N') {
            result.append("", 0); // NULL reads as empty, as on the card file
        } else if (std::memchr(p, '\\', size)) {
            unescapeCopyText(p, fieldEnd, scratch);
            result.append(scratch.data(), qsizetype(scratch.size()));
        } else {
            result.append(p, qsizetype(size));
        }
        p = fieldEnd + 1;
    }
    return p == end + 1;
}

QString firstLine(const char* text) {
    return serverReasonInChinese(QString::fromUtf8(text).trimmed().split(u'\n').first().trimmed());
}

// The start of every message about a connection the server dropped: libpq's reason in brackets.
QString lostConnectionText(const QString& reason) {
    return QStringLiteral("与名片服务器的连接断开了（%1）。").arg(reason);
}

bool isWriteStatement(const QString& sql) {
    static const QRegularExpression write(QStringLiteral("^\\s*(insert|update|delete|commit)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    return write.match(sql).hasMatch();
}

bool isCommit(const QString& sql) {
    return sql.trimmed().compare(QStringLiteral("COMMIT"), Qt::CaseInsensitive) == 0;
}

enum class TransactionWord { None, Begin, Commit, Rollback };

TransactionWord transactionWord(const QString& sql) {
    const QString text = sql.trimmed();
    const auto startsWith = [&text](const char* word) {
        const QLatin1String w(word);
        return text.startsWith(w, Qt::CaseInsensitive) &&
               (text.size() == w.size() || !text.at(w.size()).isLetterOrNumber());
    };
    if (startsWith("BEGIN") || startsWith("START")) {
        return TransactionWord::Begin;
    }
    if (startsWith("COMMIT") || startsWith("END")) {
        return TransactionWord::Commit;
    }
    if (startsWith("ROLLBACK") || startsWith("ABORT")) {
        return TransactionWord::Rollback;
    }
    return TransactionWord::None;
}

// The server sessions this program has open, by backend process: their notices are the
// program's own changes, which its store has told already.
std::mutex ownSessionsLock;
std::multiset<int> ownSessions;

void addOwnSession(int pid) {
    const std::lock_guard<std::mutex> lock(ownSessionsLock);
    ownSessions.insert(pid);
}

void removeOwnSession(int pid) {
    const std::lock_guard<std::mutex> lock(ownSessionsLock);
    const auto found = ownSessions.find(pid);
    if (found != ownSessions.end()) {
        ownSessions.erase(found);
    }
}

QString transactionLostText() {
    return QStringLiteral("与名片服务器的连接在这次操作中断开了，本次的修改没有保存。"
                          "程序会在下一次操作时重新连接。");
}

QString withoutFinalSemicolon(const QString& sql) {
    QString text = sql.trimmed();
    while (text.endsWith(u';')) {
        text.chop(1);
        text = text.trimmed();
    }
    return text;
}

void ignoreNotice(void*, const char*) {}
} // namespace

QString changedSinceReadMessage() {
    return QStringLiteral("这张名片在您打开之后已被别人修改并保存，本次没有保存，"
                          "以免覆盖别人的修改。请关闭后重新打开这张名片再修改");
}

bool isOwnServerSession(int backendPid) {
    const std::lock_guard<std::mutex> lock(ownSessionsLock);
    return ownSessions.count(backendPid) > 0;
}

void addChangeNotice(const QString& payload, StoreChanges& changes) {
    const QStringList parts = payload.split(u':');
    bool keyed = parts.size() >= 3;
    const qint64 card = keyed ? parts[2].toLongLong(&keyed) : 0;
    if (!keyed) {
        changes.everything = true;
        return;
    }
    const QString table = parts[0].toLower();
    if (table == u"d_b") {
        changes.cards.push_back(card);
    } else if (table == u"dlist") {
        const QString operation = parts[1].toUpper();
        const int delta = operation == u"INSERT" ? 1 : operation == u"DELETE" ? -1 : 0;
        if (delta != 0) {
            changes.visits.push_back({card, delta});
        }
    } else {
        changes.everything = true;
    }
}

QString pgConninfoValue(const QString& value) {
    static const QRegularExpression plain(QStringLiteral("^[^\\s'\\\\]+$"));
    if (plain.match(value).hasMatch()) {
        return value;
    }
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + escaped + u'\'';
}

PgConnection::PgConnection(const QString& connectionString) {
    setConnectionString(connectionString);
}

PgConnection::~PgConnection() {
    close();
}

void PgConnection::close() {
    m_transactionOpen = false;
    dropConnection();
}

void PgConnection::dropConnection() {
    if (m_conn) {
        {
            const std::lock_guard<std::mutex> lock(m_cancelLock);
            PQfreeCancel(m_cancel);
            m_cancel = nullptr;
        }
        removeOwnSession(m_backendPid);
        m_backendPid = 0;
        PQfinish(m_conn);
        m_conn = nullptr;
    }
    for (Prepared& prepared : m_prepared) {
        prepared.onSession = false; // gone with the session
    }
}

const Dialect& PgConnection::dialect() const {
    return serverDialect();
}

std::unique_ptr<Connection> PgConnection::openAnother() const {
    return std::make_unique<PgConnection>(connectionString());
}

void PgConnection::cancel() {
    const std::lock_guard<std::mutex> lock(m_cancelLock);
    if (!m_cancel) {
        return;
    }
    m_cancelAsked = true;
    if (++m_cancelRequests == 1) {
        char error[256];
        PQcancel(m_cancel, error, int(sizeof error));
    } else {
        // The server takes no cancel (its process stopped): the statement's wait for an answer
        // ends with the connection.
        ::shutdown(PQsocket(m_conn), SHUT_RDWR);
    }
}

QString PgConnection::registerName() const {
    return conninfoRegisterName(connectionString());
}

std::optional<QString> PgConnection::droppedReason() {
    if (PQconsumeInput(m_conn) && PQstatus(m_conn) != CONNECTION_BAD) {
        return std::nullopt;
    }
    const QString reason = firstLine(PQerrorMessage(m_conn));
    dropConnection();
    return reason;
}

// A connection that broke while nothing was under way (the server restarted meanwhile) is
// opened afresh before a statement: no statement of this program was lost with it. The look
// reads what the socket already holds, without a round trip: a server that ends a connection
// sends its last message and then closes, so the close shows on the second read.
void PgConnection::openForStatement() {
    if (m_transactionOpen && !m_conn) {
        throw EngineError(transactionLostText());
    }
    {
        const std::lock_guard<std::mutex> lock(m_cancelLock);
        m_cancelAsked = false;
        m_cancelRequests = 0;
    }
    std::optional<QString> dropped;
    if (m_conn && PQtransactionStatus(m_conn) == PQTRANS_IDLE) {
        dropped = droppedReason();
        if (!dropped) {
            dropped = droppedReason();
        }
    }
    if (!dropped) {
        ensureOpen();
        return;
    }
    try {
        ensureOpen();
    } catch (const EngineError&) {
        // Nothing of this statement reached the server.
        throw EngineError(lostConnectionText(*dropped) +
                          QStringLiteral("这次操作没有执行，程序会在下一次操作时重新连接。"));
    }
}

void PgConnection::ensureOpen() {
    if (m_conn) {
        return;
    }
    // Defaults first, so that the connection string may set them otherwise; the encoding last,
    // as the program reads and writes UTF-8 whatever the string says. Keepalives notice a
    // server that went away within about half a minute of silence.
    //
    // Over the network, TLS and channel binding unless the string says otherwise
    // (connectKeywords()). A string libpq cannot read is named by its fault alone: libpq's
    // reason may quote a piece of it, a password perhaps.
    const QString fault = conninfoFault(connectionString());
    if (!fault.isEmpty()) {
        throw EngineError(QStringLiteral("无法连接名片服务器（%1）").arg(fault));
    }
    PGconn* conn = openServerConnection(
        connectionString(), {"connect_timeout", "10", "keepalives", "1", "keepalives_idle", "15",
                             "keepalives_interval", "5", "keepalives_count", "3",
                             "tcp_user_timeout", "30000", "application_name", "orvane-cards"});
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString reason = firstLine(PQerrorMessage(conn));
        PQfinish(conn);
        throw EngineError(
            QStringLiteral("无法连接名片服务器 %1（%2）").arg(registerName(), reason));
    }
    PQsetNoticeProcessor(conn, ignoreNotice, nullptr);
    // No wait on the server is without end: a lock held by another program, a statement the
    // server cannot finish, a transaction of this program left open.
    const QByteArray settings =
        QStringLiteral("SET standard_conforming_strings = on; SET lock_timeout = %1; "
                       "SET statement_timeout = %2; SET idle_in_transaction_session_timeout = %3")
            .arg(LockTimeoutMs)
            .arg(StatementTimeoutMs)
            .arg(IdleTransactionTimeoutMs)
            .toLatin1();
    PGresult* setup = PQexec(conn, settings.constData());
    const bool setupOk = PQresultStatus(setup) == PGRES_COMMAND_OK;
    PQclear(setup);
    if (!setupOk) {
        const QString reason = firstLine(PQerrorMessage(conn));
        PQfinish(conn);
        throw EngineError(
            QStringLiteral("无法连接名片服务器 %1（%2）").arg(registerName(), reason));
    }
    try {
        requireStandardStrings(PQparameterStatus(conn, "standard_conforming_strings"),
                               registerName());
    } catch (const EngineError&) {
        PQfinish(conn);
        throw;
    }
    m_conn = conn;
    m_backendPid = PQbackendPID(conn);
    addOwnSession(m_backendPid);
    {
        const std::lock_guard<std::mutex> lock(m_cancelLock);
        m_cancel = PQgetCancel(conn);
    }
    const auto exists = select(QStringLiteral("select to_regclass('d_b') is not null as found"));
    if (exists->text(0, 0) != u"t") {
        createRegister();
    }
    try {
        requireExpectedRights(*this);
    } catch (const EngineError&) {
        close();
        throw;
    }
}

void PgConnection::createRegister() {
    // Two programs opening the same empty database at once: the second waits for the first
    // and then finds the register made.
    execute(QStringLiteral("BEGIN"));
    try {
        execute(QStringLiteral("select pg_advisory_xact_lock(7140151)"));
        if (select(QStringLiteral("select to_regclass('d_b') is not null"))->text(0, 0) != u"t") {
            for (const QString& script : {serverSchemaScript(), registerRowsScript()}) {
                PGresult* result = PQexec(m_conn, script.toUtf8().constData());
                ResultGuard guard{result};
                if (PQresultStatus(result) != PGRES_COMMAND_OK) {
                    fail(result, script);
                }
            }
        }
        execute(QStringLiteral("COMMIT"));
    } catch (const EngineError& error) {
        const bool mayNotCreate = m_lastState == u"42501";
        char* user = m_conn ? PQuser(m_conn) : nullptr;
        const QString userName = user ? QString::fromUtf8(user) : QString();
        char* database = m_conn ? PQdb(m_conn) : nullptr;
        const QString databaseName = database ? QString::fromUtf8(database) : QString();
        close();
        if (!mayNotCreate) {
            throw;
        }
        throw EngineError(
            QStringLiteral("服务器上的数据库 %1 中还没有名片库，用户 %2 没有创建它的权限。"
                           "请管理员在服务器上运行：sudo scripts/server-setup.sh %1 %2")
                .arg(databaseName, userName));
    }
}

PGresult* PgConnection::run(const QString& sql, bool resultRows) {
    openForStatement();
    const QByteArray text = sql.toUtf8();
    m_inTransaction = PQtransactionStatus(m_conn) != PQTRANS_IDLE;
    return succeeded(
        PQexecParams(m_conn, text.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0), sql,
        resultRows);
}

PGresult* PgConnection::succeeded(PGresult* result, const QString& sql, bool resultRows) {
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_COMMAND_OK || (resultRows && status == PGRES_TUPLES_OK)) {
        return result;
    }
    if (status == PGRES_TUPLES_OK) {
        return result; // a command that gave rows: nobody reads them
    }
    ResultGuard guard{result};
    fail(result, sql);
}

int PgConnection::prepare(const QString& sql) {
    const int statement = int(m_prepared.size());
    m_prepared.push_back({sql, "orvane_" + QByteArray::number(statement)});
    return statement;
}

PGresult* PgConnection::runPrepared(int statement, BoundValues values) {
    Prepared& prepared = m_prepared.at(size_t(statement));
    // The values go as text, each ended by a NUL: a NUL of a value would end it early.
    m_boundText.clear();
    std::vector<size_t> starts;
    starts.reserve(values.size());
    for (const std::string_view value : values) {
        if (value.find('\0') != std::string_view::npos) {
            throw RefusedValue(nulRefusedMessage());
        }
        starts.push_back(m_boundText.size());
        m_boundText.append(value).push_back('\0');
    }
    std::vector<const char*> texts;
    texts.reserve(values.size());
    for (const size_t start : starts) {
        texts.push_back(m_boundText.data() + start);
    }
    openForStatement();
    m_inTransaction = PQtransactionStatus(m_conn) != PQTRANS_IDLE;
    if (!prepared.onSession) {
        const QByteArray text = prepared.sql.toUtf8();
        ResultGuard done{
            PQprepare(m_conn, prepared.name.constData(), text.constData(), 0, nullptr)};
        if (PQresultStatus(done.result) != PGRES_COMMAND_OK) {
            fail(done.result, prepared.sql);
        }
        prepared.onSession = true;
    }
    return succeeded(PQexecPrepared(m_conn, prepared.name.constData(), int(values.size()),
                                    texts.data(), nullptr, nullptr, 0),
                     prepared.sql, true);
}

bool PgConnection::preparedHasRow(int statement, BoundValues values) {
    ResultGuard result{runPrepared(statement, values)};
    return PQntuples(result.result) > 0;
}

qint64 PgConnection::preparedInsert(int statement, BoundValues values) {
    ResultGuard result{runPrepared(statement, values)};
    if (PQntuples(result.result) == 0) {
        return 0;
    }
    return QByteArray(PQgetvalue(result.result, 0, 0)).toLongLong();
}

QString PgConnection::lostMessage(bool inTransaction, bool wasWrite) const {
    QString outcome;
    if (wasWrite && inTransaction) {
        outcome = QStringLiteral("本次的修改没有保存。");
    } else if (wasWrite) {
        outcome = QStringLiteral("无法确定本次的修改是否已经保存，请重新连接后查看。");
    }
    return outcome;
}

void PgConnection::fail(PGresult* result, const QString& sql) {
    const QString state = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
    m_lastState = state;
    // The connection broke, or the server is ending it (shut down, restarting, crashed).
    if (PQstatus(m_conn) == CONNECTION_BAD || state.startsWith(QStringLiteral("57P0"))) {
        const QString reason = firstLine(PQerrorMessage(m_conn));
        // A statement that failed inside a transaction took the transaction with it; COMMIT and
        // a write of its own may have reached the server before the connection broke.
        const bool inTransaction =
            !isCommit(sql) && (m_inTransaction || transactionWord(sql) == TransactionWord::Begin);
        const QString outcome = lostMessage(inTransaction, isWriteStatement(sql) || inTransaction);
        dropConnection(); // a transaction under way stays failed until rolled back
        const QString message = (m_cancelAsked ? QStringLiteral("已取消等待名片服务器。")
                                               : lostConnectionText(reason)) +
                                outcome + QStringLiteral("程序会在下一次操作时重新连接。");
        if (isCommit(sql)) {
            throw UncertainCommit(message);
        }
        throw EngineError(message);
    }
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    // The server's words, except where they may quote a value or a piece of the statement
    // (data errors, syntax errors): then its code alone.
    QString reason = primary ? serverReasonInChinese(QString::fromUtf8(primary))
                             : firstLine(PQerrorMessage(m_conn));
    if (state.startsWith(QStringLiteral("22")) ||
        (state.startsWith(QStringLiteral("42")) && state != u"42501")) {
        reason = QStringLiteral("SQLSTATE ") + state;
    }
    QString what;
    if (state == u"OR001") {
        what = changedSinceReadMessage();
        reason = QStringLiteral("SQLSTATE OR001");
    } else if (state == u"23505") {
        what = QStringLiteral("已经有一张相同分类、姓名和性别的名片，本次没有保存");
    } else if (state == u"42501") {
        what = QStringLiteral("当前用户没有这项操作的权限，请找服务器的管理员");
    } else if (state == u"40001" || state == u"40P01") {
        what = QStringLiteral("与另一位用户同时修改了同样的数据，本次没有保存，请再试一次");
    } else if (state == u"55P03") {
        what = QStringLiteral("另一位用户正在修改同样的名片，等了 %1 秒仍未轮到，本次没有保存，"
                              "请稍后再试")
                   .arg(LockTimeoutMs / 1000);
        reason = QStringLiteral("SQLSTATE ") + state;
    } else if (state == u"57014") {
        what = m_cancelAsked ? QStringLiteral("已取消等待名片服务器，本次没有保存")
                             : QStringLiteral("名片服务器在 %1 秒内没有完成这项操作，本次没有保存，"
                                              "请稍后再试")
                                   .arg(StatementTimeoutMs / 1000);
        reason = QStringLiteral("SQLSTATE ") + state;
    } else {
        what = QStringLiteral("名片服务器无法完成这项操作");
    }
    throw EngineError(what + QStringLiteral("（%1）").arg(reason));
}

void PgConnection::execute(const QString& sql) {
    switch (transactionWord(sql)) {
    case TransactionWord::Begin:
        PQclear(run(sql, false));
        m_transactionOpen = true;
        return;
    case TransactionWord::Commit:
        commitTransaction(sql);
        return;
    case TransactionWord::Rollback:
        rollbackTransaction(sql);
        return;
    case TransactionWord::None:
        PQclear(run(sql, false));
    }
}

// A COMMIT counts only when the server says it committed: one sent on a failed transaction
// is answered "ROLLBACK", and one sent with no transaction open (a new connection) commits
// nothing.
void PgConnection::commitTransaction(const QString& sql) {
    if (!m_transactionOpen || !m_conn) {
        m_transactionOpen = false;
        throw EngineError(transactionLostText());
    }
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    if (status == PQTRANS_INERROR) {
        rollbackTransaction(QStringLiteral("ROLLBACK"));
        throw EngineError(QStringLiteral("名片服务器上的这次操作没有完成，本次的修改没有保存"));
    }
    if (status != PQTRANS_INTRANS) {
        m_transactionOpen = false;
        close();
        throw EngineError(transactionLostText());
    }
    PGresult* result = run(sql, false);
    m_transactionOpen = false;
    ResultGuard guard{result};
    if (std::strcmp(PQcmdStatus(result), "COMMIT") != 0) {
        throw EngineError(QStringLiteral("名片服务器没有保存这次的修改（%1）")
                              .arg(QString::fromLatin1(PQcmdStatus(result))));
    }
}

void PgConnection::rollbackTransaction(const QString& sql) {
    m_transactionOpen = false;
    if (!m_conn || PQtransactionStatus(m_conn) == PQTRANS_IDLE) {
        return; // the transaction went with its connection, or never began
    }
    PQclear(run(sql, false));
}

qint64 PgConnection::insert(const QString& sql) {
    static const QRegularExpression returning(QStringLiteral("\\breturning\\s+id\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QString statement =
        returning.match(sql).hasMatch() ? sql : serverDialect().insertReturningKey(sql);
    PGresult* result = run(statement, true);
    ResultGuard guard{result};
    if (PQntuples(result) == 0) {
        return 0;
    }
    return QByteArray(PQgetvalue(result, 0, 0)).toLongLong();
}

std::shared_ptr<ResultSet> PgConnection::select(const QString& sql) {
    openForStatement();
    const QString statement = withoutFinalSemicolon(sql);
    const QByteArray text = statement.toUtf8();
    m_inTransaction = PQtransactionStatus(m_conn) != PQTRANS_IDLE;

    // The columns' names and types, from the statement prepared unnamed.
    {
        ResultGuard prepared{PQprepare(m_conn, "", text.constData(), 0, nullptr)};
        if (PQresultStatus(prepared.result) != PGRES_COMMAND_OK) {
            fail(prepared.result, statement);
        }
    }
    ResultGuard described{PQdescribePrepared(m_conn, "")};
    if (PQresultStatus(described.result) != PGRES_COMMAND_OK) {
        fail(described.result, statement);
    }
    const int columns = PQnfields(described.result);
    QStringList names;
    for (int c = 0; c < columns; ++c) {
        names << canonicalColumnName(QString::fromUtf8(PQfname(described.result, c)));
    }
    auto rows = std::make_shared<ResultSet>(names);
    for (int c = 0; c < columns; ++c) {
        rows->setIntegerColumn(c, isIntegerType(PQftype(described.result, c)));
    }
    if (columns == 0) {
        execute(statement);
        return rows;
    }

    const QByteArray copy = "COPY (" + text + ") TO STDOUT";
    {
        ResultGuard started{
            PQexecParams(m_conn, copy.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0)};
        if (PQresultStatus(started.result) != PGRES_COPY_OUT) {
            fail(started.result, statement);
        }
    }
    std::string scratch;
    bool wellFormed = true;
    char* line = nullptr;
    int size;
    while ((size = PQgetCopyData(m_conn, &line, 0)) > 0) {
        if (wellFormed) {
            const char* end = line + size - (line[size - 1] == '\n' ? 1 : 0);
            wellFormed = appendCopyRow(line, end, columns, *rows, scratch);
        }
        PQfreemem(line);
    }
    // The end of the copy (or its failure) comes as the statement's result.
    ResultGuard finished{PQgetResult(m_conn)};
    if (size == -2 || PQresultStatus(finished.result) != PGRES_COMMAND_OK) {
        fail(finished.result, statement);
    }
    while (PGresult* rest = PQgetResult(m_conn)) {
        PQclear(rest);
    }
    if (!wellFormed) {
        throw EngineError(QStringLiteral("名片服务器返回的数据格式不对，无法读取（COPY）"));
    }
    return rows;
}

void PgConnection::listenForChanges() {
    execute(QStringLiteral("LISTEN orvane_cards"));
}

int PgConnection::socketDescriptor() const {
    return m_conn ? PQsocket(m_conn) : -1;
}

StoreChanges PgConnection::takeChangeNotices() {
    ensureOpen();
    if (const std::optional<QString> reason = droppedReason()) {
        throw EngineError(lostConnectionText(*reason));
    }
    StoreChanges changes;
    while (PGnotify* notice = PQnotifies(m_conn)) {
        if (!isOwnServerSession(notice->be_pid)) {
            addChangeNotice(QString::fromUtf8(notice->extra), changes);
        }
        PQfreemem(notice);
    }
    return changes;
}

pg_conn* PgConnection::handle() {
    ensureOpen();
    return m_conn;
}

namespace {
// A value in COPY's text format: backslash, tab and line ends escaped.
void appendCopyText(std::string_view value, std::string& out) {
    for (const char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}
} // namespace

void PgConnection::copyIn(const QString& table, const ResultSet& rows) {
    openForStatement();
    m_inTransaction = PQtransactionStatus(m_conn) != PQTRANS_IDLE;
    const QString statement = QStringLiteral("COPY %1 (%2) FROM STDIN")
                                  .arg(table, rows.columnNames().join(QStringLiteral(",")));
    {
        ResultGuard started{PQexecParams(m_conn, statement.toUtf8().constData(), 0, nullptr,
                                         nullptr, nullptr, nullptr, 0)};
        if (PQresultStatus(started.result) != PGRES_COPY_IN) {
            fail(started.result, statement);
        }
    }
    constexpr size_t Chunk = 256 * 1024;
    std::string buffer;
    buffer.reserve(Chunk + 4096);
    const char* refusal = nullptr;
    bool sent = true;
    for (int r = 0; r < rows.rowCount() && sent && !refusal; ++r) {
        for (int c = 0; c < rows.columnCount(); ++c) {
            const std::string_view value = rows.utf8(r, c);
            if (value.find('\0') != std::string_view::npos) {
                refusal = "NUL";
                break;
            }
            if (c > 0) {
                buffer += '\t';
            }
            appendCopyText(value, buffer);
        }
        buffer += '\n';
        if (buffer.size() >= Chunk) {
            sent = PQputCopyData(m_conn, buffer.data(), int(buffer.size())) == 1;
            buffer.clear();
        }
    }
    if (sent && !refusal && !buffer.empty()) {
        sent = PQputCopyData(m_conn, buffer.data(), int(buffer.size())) == 1;
    }
    if (sent) {
        PQputCopyEnd(m_conn, refusal); // a refusal ends the copy with an error: nothing stored
    }
    ResultGuard finished{PQgetResult(m_conn)};
    while (PGresult* rest = PQgetResult(m_conn)) {
        PQclear(rest);
    }
    if (refusal) {
        throw EngineError(nulRefusedMessage());
    }
    if (!sent || PQresultStatus(finished.result) != PGRES_COMMAND_OK) {
        fail(finished.result, statement);
    }
}
