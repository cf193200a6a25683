#include "db/registercopy.h"

#include "db/cardfields.h"
#include "db/cipherfile.h"
#include "db/connectionsettings.h"
#include "db/connectionstring.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registerscripts.h"
#include "db/sqlcipherconnection.h"
#include "db/sqlscripts.h"
#include "db/sqltext.h"
#include "db/writelock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {
// The tables of a register and their columns, as both engines name them.
QString cardColumns() {
    QStringList columns{QStringLiteral("ID"), EntryDateColumn};
    for (const CardField& field : cardFields()) {
        columns << field.column;
    }
    columns << QStringLiteral("theDel");
    return columns.join(u',');
}

struct Table {
    QString name;
    QString columns;
    QString order; // the rows in the order they are copied
};

QList<Table> registerTables() {
    return {{QStringLiteral("D_B"), cardColumns(), QStringLiteral(" order by ID")},
            {QStringLiteral("DList"), QStringLiteral("ID,DID,LDate,LType,LMemo"),
             QStringLiteral(" order by ID")},
            {QStringLiteral("D_Type"), QStringLiteral("theName"), QString()},
            {QStringLiteral("D_Sex"), QStringLiteral("theName"), QString()},
            {QStringLiteral("D_P"), QStringLiteral("theName"), QString()},
            {QStringLiteral("D_Mr"), QStringLiteral("theType,theSex,theP"), QString()}};
}

std::shared_ptr<ResultSet> readTable(Connection& from, const Table& table) {
    return from.select(QStringLiteral("select ") + table.columns + QStringLiteral(" from ") +
                       table.name + table.order);
}

qint64 count(Connection& connection, const QString& table) {
    return connection.select(QStringLiteral("select count(*) from ") + table)
        ->text(0, 0)
        .toLongLong();
}

void requireNoCardsOrVisits(Connection& target, const QString& what) {
    const qint64 cards = count(target, QStringLiteral("D_B"));
    const qint64 visits = count(target, QStringLiteral("DList"));
    if (cards > 0 || visits > 0) {
        throw EngineError(QStringLiteral("%1中已经有 %2 张名片、%3 条拜访记录。"
                                         "只能复制到空的名片库，没有复制任何内容。")
                              .arg(what)
                              .arg(cards)
                              .arg(visits));
    }
}

// Live cards of the file that the server's unique index would take for one card: the file
// groups them as it compares them (Latin letters in either case), as the index does.
void requireNoLiveDuplicates(Connection& file) {
    // A missing value and an empty one are one value on the server (a copy stores both as
    // empty), so they are grouped as one here.
    const auto twins = file.select(QStringLiteral(
        "select ifnull(theType,''),ifnull(BName,''),ifnull(BSex,''),group_concat(ID,'、') "
        "from D_B where theDel='否' group by ifnull(theType,'') collate nocase,"
        "ifnull(BName,'') collate nocase,ifnull(BSex,'') collate nocase "
        "having count(*)>1 order by min(ID)"));
    if (twins->rowCount() == 0) {
        return;
    }
    constexpr int Shown = 20;
    QStringList lines;
    for (int r = 0; r < std::min(twins->rowCount(), Shown); ++r) {
        lines << QStringLiteral("%1 %2 %3（编号 %4）")
                     .arg(twins->text(r, 0), twins->text(r, 1), twins->text(r, 2),
                          twins->text(r, 3));
    }
    if (twins->rowCount() > Shown) {
        lines << QStringLiteral("……共 %1 组").arg(twins->rowCount());
    }
    throw EngineError(QStringLiteral("本机文件中有分类、姓名和性别都相同的名片，服务器上的名片库"
                                     "只能保存其中一张。请先修改或删除重复的名片，再复制。"
                                     "没有复制任何内容。\n") +
                      lines.join(u'\n'));
}

// The rows of a table holding what a server text cannot hold, named by their keys (cards and
// visits) or their places in the table (the lookup lists and defaults, which have no keys):
// a NUL character, or bytes that are no UTF-8 text.
void findUnstorable(const ResultSet& rows, const QString& what, bool keyed, QStringList& withNul,
                    QStringList& notText) {
    QStringList nul;
    QStringList broken;
    for (int r = 0; r < rows.rowCount(); ++r) {
        bool hasNul = false;
        bool isText = true;
        for (int c = 0; c < rows.columnCount(); ++c) {
            const std::string_view value = rows.utf8(r, c);
            hasNul = hasNul || value.find('\0') != std::string_view::npos;
            isText = isText && QByteArrayView(value.data(), qsizetype(value.size())).isValidUtf8();
        }
        const QString row = keyed ? rows.text(r, 0) : QString::number(r + 1);
        if (hasNul) {
            nul << row;
        }
        if (!isText) {
            broken << row;
        }
    }
    const QString label = keyed ? QStringLiteral("%1编号 %2") : QStringLiteral("%1第 %2 行");
    if (!nul.isEmpty()) {
        withNul << label.arg(what, nul.join(QStringLiteral("、")));
    }
    if (!broken.isEmpty()) {
        notText << label.arg(what, broken.join(QStringLiteral("、")));
    }
}

// Refuses a copy, naming every row at fault, when a value cannot be stored on the server.
void requireStorable(const QList<std::shared_ptr<ResultSet>>& tables) {
    const QStringList names{QStringLiteral("名片"), QStringLiteral("拜访记录"),
                            QStringLiteral("分类"), QStringLiteral("性别"),
                            QStringLiteral("省份"), QStringLiteral("默认项")};
    QStringList withNul;
    QStringList notText;
    for (int t = 0; t < tables.size(); ++t) {
        findUnstorable(*tables[t], names[t], t < 2, withNul, notText);
    }
    QStringList faults;
    if (!withNul.isEmpty()) {
        faults << QStringLiteral("含有空字符（编码为 0 的字符）：") +
                      withNul.join(QStringLiteral("；"));
    }
    if (!notText.isEmpty()) {
        faults << QStringLiteral("含有不是 UTF-8 文字的字节：") +
                      notText.join(QStringLiteral("；"));
    }
    if (!faults.isEmpty()) {
        throw EngineError(QStringLiteral("本机文件中有服务器不能保存的内容，") +
                          faults.join(QStringLiteral("，")) +
                          QStringLiteral("。请先改正这些内容，再复制。没有复制任何内容。"));
    }
}

qint64 fileKeySequence(Connection& file, const QString& table) {
    const auto seq =
        file.select(QStringLiteral("select seq from sqlite_sequence where name='%1'").arg(table));
    return seq->rowCount() ? seq->text(0, 0).toLongLong() : 0;
}

qint64 serverKeySequence(PgConnection& server, const QString& table) {
    return server
        .select(QStringLiteral("select coalesce(pg_sequence_last_value("
                               "pg_get_serial_sequence('%1','id')::regclass),0)")
                    .arg(table.toLower()))
        ->text(0, 0)
        .toLongLong();
}

CopiedRows countsOf(const QList<std::shared_ptr<ResultSet>>& tables) {
    return {tables[0]->rowCount(), tables[1]->rowCount(), tables[2]->rowCount(),
            tables[3]->rowCount(), tables[4]->rowCount(), tables[5]->rowCount()};
}

// Multi-row inserts of a few hundred rows each: far fewer statements than rows.
void insertIntoFile(Connection& file, const Table& table, const ResultSet& rows) {
    constexpr int RowsPerStatement = 200;
    QString statement;
    for (int r = 0; r < rows.rowCount(); ++r) {
        if (statement.isEmpty()) {
            statement = QStringLiteral("insert into %1(%2) values").arg(table.name, table.columns);
        } else {
            statement += u',';
        }
        statement += u'(';
        for (int c = 0; c < rows.columnCount(); ++c) {
            if (c > 0) {
                statement += u',';
            }
            const QString value = rows.text(r, c);
            if (!rows.isIntegerColumn(c)) {
                statement += u'\'' + sqlText(value) + u'\'';
            } else {
                statement += value.isEmpty() ? QStringLiteral("NULL") : value;
            }
        }
        statement += u')';
        if ((r + 1) % RowsPerStatement == 0 || r + 1 == rows.rowCount()) {
            file.execute(statement);
            statement.clear();
        }
    }
}

// A new card file at path with the tables and rows of a new register, written beside it
// and renamed into place.
void createCardFile(const QString& path) {
    const QString partial = path + QStringLiteral(".new");
    QFile::remove(partial);
    sqlite3* db = nullptr;
    const QByteArray script = "BEGIN;" + QByteArray(FileSchemaSql) + ";COMMIT;";
    bool ok =
        sqlite3_open_v2(QFile::encodeName(partial).constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, cardKeyStatements(databasePassword().toUtf8(), CardPageSize).constData(),
                     nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, script.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    if (!ok || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        throw EngineError(QStringLiteral("无法建立本机文件 %1（%2）")
                              .arg(QDir::toNativeSeparators(path), reason));
    }
}
} // namespace

QString describeCopiedRows(const CopiedRows& rows) {
    return QStringLiteral(
               "名片 %1 张，拜访记录 %2 条，分类 %3 个，性别 %4 个，省份 %5 个，默认项 %6 条")
        .arg(rows.cards)
        .arg(rows.visits)
        .arg(rows.categories)
        .arg(rows.sexes)
        .arg(rows.provinces)
        .arg(rows.defaults);
}

QString cardFileConnectionString(const QString& path) {
    return QStringLiteral("Data Source=") + ConnectionString::quoted(path) +
           QStringLiteral(";Jet OLEDB:Database Password=") +
           ConnectionString::quoted(databasePassword()) + u';';
}

CopiedRows copyFileToServer(Connection& file, PgConnection& server) {
    const QString target = QStringLiteral("服务器上的名片库（%1）").arg(server.registerName());
    requireNoCardsOrVisits(server, target); // before reading a large file for nothing
    requireNoLiveDuplicates(file);
    QList<std::shared_ptr<ResultSet>> rows;
    for (const Table& table : registerTables()) {
        rows << readTable(file, table);
    }
    requireStorable(rows);

    server.execute(QStringLiteral("BEGIN"));
    try {
        // Nobody adds a card or a visit between the check and the commit.
        server.execute(QStringLiteral("LOCK TABLE D_B, DList IN SHARE ROW EXCLUSIVE MODE"));
        requireNoCardsOrVisits(server, target);
        const QList<Table> tables = registerTables();
        for (int t = 2; t < tables.size(); ++t) {
            server.execute(QStringLiteral("DELETE FROM ") + tables[t].name);
        }
        for (int t = 0; t < tables.size(); ++t) {
            server.copyIn(tables[t].name, *rows[t]);
        }
        // The server's keys go on after the file's (which never reuses a key).
        for (int t = 0; t < 2; ++t) {
            const ResultSet& copied = *rows[t];
            const qint64 lastKey =
                copied.rowCount() ? copied.text(copied.rowCount() - 1, 0).toLongLong() : 0;
            const qint64 last = std::max(fileKeySequence(file, tables[t].name), lastKey);
            server.execute(QStringLiteral("select setval(pg_get_serial_sequence('%1','id'),%2,%3)")
                               .arg(tables[t].name.toLower())
                               .arg(std::max<qint64>(last, 1))
                               .arg(last > 0 ? QStringLiteral("true") : QStringLiteral("false")));
        }
        server.execute(QStringLiteral("COMMIT"));
    } catch (const EngineError&) {
        if (server.connected()) {
            try {
                server.execute(QStringLiteral("ROLLBACK"));
            } catch (const EngineError&) {
            }
        }
        throw;
    }
    return countsOf(rows);
}

CopiedRows copyServerToFile(PgConnection& server, const QString& path) {
    const QString target = QStringLiteral("本机文件 %1 ").arg(QDir::toNativeSeparators(path));
    if (QFileInfo::exists(path)) {
        SqlCipherConnection existing;
        existing.setConnectionString(cardFileConnectionString(path));
        requireNoCardsOrVisits(existing, target);
    }

    // One snapshot of the server register, however long the reading takes.
    server.execute(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    QList<std::shared_ptr<ResultSet>> rows;
    qint64 cardKeys = 0;
    qint64 visitKeys = 0;
    try {
        for (const Table& table : registerTables()) {
            rows << readTable(server, table);
        }
        cardKeys = serverKeySequence(server, QStringLiteral("D_B"));
        visitKeys = serverKeySequence(server, QStringLiteral("DList"));
        server.execute(QStringLiteral("COMMIT"));
    } catch (const EngineError&) {
        if (server.connected()) {
            server.execute(QStringLiteral("ROLLBACK"));
        }
        throw;
    }

    if (!QFileInfo::exists(path)) {
        createCardFile(path);
    }
    SqlCipherConnection file;
    file.setConnectionString(cardFileConnectionString(path));
    WriteLock lock(file);
    requireNoCardsOrVisits(file, target);
    const QList<Table> tables = registerTables();
    for (int t = 2; t < tables.size(); ++t) {
        file.execute(QStringLiteral("DELETE FROM ") + tables[t].name);
    }
    for (int t = 0; t < tables.size(); ++t) {
        insertIntoFile(file, tables[t], *rows[t]);
    }
    file.execute(QStringLiteral("update sqlite_sequence set seq=max(seq,%1) where name='D_B'")
                     .arg(cardKeys));
    file.execute(QStringLiteral("update sqlite_sequence set seq=max(seq,%1) where name='DList'")
                     .arg(visitKeys));
    lock.commit();
    file.close();
    return countsOf(rows);
}
