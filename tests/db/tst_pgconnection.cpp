// The server engine on the private test server: a new register made on first connect, values
// read back through COPY exactly as written, the dialect's quoting and name matching, the
// duplicate rule of the unique index, the team columns, change notices, and failures that
// say what happened without a password or a card value.

#include "db/cardfields.h"
#include "db/cards.h"
#include "db/changewatcher.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/serverdialect.h"
#include "testserver.h"

#include <QSocketNotifier>
#include <QTest>
#include <QThread>
#include <memory>
#include <thread>

namespace {
QString cardInsert(const QString& type, const QString& name, const QString& sex,
                   const QString& deleted = QStringLiteral("否")) {
    const ServerDialect& d = serverDialect();
    return QStringLiteral("insert into D_B(theType,BName,BSex,theDel) values(%1,%2,%3,%4)")
               .arg(d.literal(type), d.literal(name), d.literal(sex), d.literal(deleted)) +
           d.liveCardConflict();
}
} // namespace

class TestPgConnection : public QObject {
    Q_OBJECT

private slots:
    void init() {
        REQUIRE_TEST_SERVER();
        m_db = std::make_unique<ScratchServerDatabase>();
        m_connection = std::make_unique<PgConnection>(m_db->connectionString());
    }
    void cleanup() {
        m_connection.reset();
        m_db.reset();
    }

    void firstConnectMakesTheRegister() {
        QVERIFY(!m_connection->connected());
        const auto sexes = m_connection->select(QStringLiteral("select theName from D_Sex"));
        QVERIFY(m_connection->connected());
        QCOMPARE(sexes->rowCount(), 2);
        QCOMPARE(sexes->text(0, 0), QStringLiteral("男"));
        QCOMPARE(m_connection->select(QStringLiteral("select theName from D_P"))->rowCount(), 34);
        const auto defaults =
            m_connection->select(QStringLiteral("select theType,theSex,theP from D_Mr"));
        QCOMPARE(defaults->rowCount(), 1);
        QCOMPARE(defaults->text(0, 2), QStringLiteral("北京"));
        QCOMPARE(m_connection->select(QStringLiteral("select ID from D_B"))->rowCount(), 0);

        // A second program finds the register and adds nothing.
        PgConnection second(m_db->connectionString());
        QCOMPARE(second.select(QStringLiteral("select theName from D_Sex"))->rowCount(), 2);
        QCOMPARE(m_db->run(QStringLiteral("select count(*) from D_Mr")), QStringLiteral("1"));
    }

    void resultNamesAndTypesAsOnTheFile() {
        m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("张三"), QStringLiteral("男")));
        const auto rows = m_connection->select(
            QStringLiteral("select ID,BName as %1,theType,count(*) over () as n from D_B")
                .arg(serverDialect().alias("姓名")));
        QCOMPARE(rows->columnNames(), (QStringList{"ID", "姓名", "theType", "n"}));
        QVERIFY(rows->isIntegerColumn(0));
        QVERIFY(!rows->isIntegerColumn(1));
        QVERIFY(rows->isIntegerColumn(3));
        QCOMPARE(rows->text(0, 1), QStringLiteral("张三"));
    }

    void valuesReadBackWhole_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("quote") << "O'Brien ''";
        QTest::newRow("backslash") << "C:\\data\\n\\\\x41";
        QTest::newRow("copy's null mark") << "\\N";
        QTest::newRow("tab and line ends") << "a\tb\nc\r\nd";
        QTest::newRow("control characters") << QString::fromUtf8("\x01\x08\x0b\x0c\x1b");
        QTest::newRow("byte order mark") << QString::fromUtf8("\xEF\xBB\xBF名片");
        QTest::newRow("outside the basic plane") << QString::fromUtf8("😀𠀀");
        QTest::newRow("statement text") << "'); DROP TABLE D_B; --";
        QTest::newRow("empty") << "";
        QTest::newRow("dollar quote") << "$$ $a$";
    }
    void valuesReadBackWhole() {
        QFETCH(QString, value);
        const qint64 id =
            m_connection->insert(cardInsert(QStringLiteral("客户"), value, QStringLiteral("男")));
        QVERIFY(id > 0);
        const auto rows =
            m_connection->select(QStringLiteral("select BName,BPho from D_B where ID=%1").arg(id));
        QCOMPARE(rows->rowCount(), 1);
        QCOMPARE(rows->text(0, 0), value);
        QCOMPARE(rows->text(0, 1), QString()); // NULL reads as empty
        QCOMPARE(m_db->run(QStringLiteral("select count(*) from D_B")), QStringLiteral("1"));
    }

    void nulIsRefusedAndNothingStored() {
        const QString value = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        try {
            m_connection->execute(cardInsert(QStringLiteral("客户"), value, QStringLiteral("男")));
            QFAIL("a value with NUL was accepted");
        } catch (const EngineError& error) {
            QCOMPARE(error.message(), nulRefusedMessage());
        }
        QCOMPARE(m_connection->select(QStringLiteral("select ID from D_B"))->rowCount(), 0);
    }

    // Stored names, the filter, the names it finds.
    void nameFilterMatchesAsTheFile_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("found");
        const QStringList latin{"Alice", "ALICE", "Bob", "Ärger", "ärger"};
        QTest::newRow("latin letters in either case")
            << latin << "ali" << QStringList{"Alice", "ALICE"};
        QTest::newRow("other letters only as written") << latin << "är" << QStringList{"ärger"};
        QTest::newRow("chinese part")
            << QStringList{"张三丰", "李四"} << "三" << QStringList{"张三丰"};
        QTest::newRow("underscore is one character")
            << QStringList{"a1b", "ab", "a_b"} << "a_b" << QStringList{"a1b", "a_b"};
        QTest::newRow("percent is any text")
            << QStringList{"abc", "ac", "ba"} << "a%c" << QStringList{"abc", "ac"};
        QTest::newRow("backslash is a character")
            << QStringList{"a\\b", "ab"} << "a\\b" << QStringList{"a\\b"};
        QTest::newRow("quote") << QStringList{"O'Neil", "Oneil"} << "o'n" << QStringList{"O'Neil"};
    }
    void nameFilterMatchesAsTheFile() {
        QFETCH(QStringList, names);
        QFETCH(QString, filter);
        QFETCH(QStringList, found);
        for (int i = 0; i < names.size(); ++i) { // each its own category: none a duplicate
            m_connection->insert(cardInsert(QString::number(i), names[i], QStringLiteral("男")));
        }
        const auto rows =
            m_connection->select(QStringLiteral("select BName from D_B where ") +
                                 serverDialect().containsMatch(QStringLiteral("BName"), filter) +
                                 QStringLiteral(" order by ID"));
        QStringList names2;
        for (int r = 0; r < rows->rowCount(); ++r) {
            names2 << rows->text(r, 0);
        }
        QCOMPARE(names2, found);
    }

    void oneLiveCardPerCategoryNameAndSex() {
        const qint64 first = m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("Zhang San"), QStringLiteral("男")));
        QVERIFY(first > 0);
        QCOMPARE(m_connection->insert(cardInsert(
                     QStringLiteral("客户"), QStringLiteral("ZHANG san"), QStringLiteral("男"))),
                 0);
        // Other sex, other category, a deleted twin: all stored.
        QVERIFY(m_connection->insert(cardInsert(QStringLiteral("客户"), QStringLiteral("Zhang San"),
                                                QStringLiteral("女"))) > first);
        QVERIFY(m_connection->insert(cardInsert(QStringLiteral("同事"), QStringLiteral("Zhang San"),
                                                QStringLiteral("男"))) > first);
        QVERIFY(m_connection->insert(cardInsert(QStringLiteral("客户"), QStringLiteral("Zhang San"),
                                                QStringLiteral("男"), QStringLiteral("是"))) >
                first);
        QCOMPARE(m_db->run(QStringLiteral("select count(*) from D_B")), QStringLiteral("4"));
        // The store's duplicate check finds what the index finds, through the index (not a
        // scan of every card).
        CardValues twin;
        twin.insert(QStringLiteral("theType"), QStringLiteral("客户"));
        twin.insert(QStringLiteral("BName"), QStringLiteral("zhang SAN"));
        twin.insert(QStringLiteral("BSex"), QStringLiteral("男"));
        const QString check = duplicateCheckStatement(serverDialect(), twin, 0);
        const auto twins = m_connection->select(check);
        QCOMPARE(twins->rowCount(), 1);
        QCOMPARE(twins->text(0, 0), QString::number(first));
        const QString plan =
            m_db->run(QStringLiteral("set enable_seqscan = off; explain ") + check);
        QVERIFY2(plan.contains(QStringLiteral("d_b_live")), qPrintable(plan));

        // Making a deleted twin live again breaks the rule: refused with a message of its own.
        try {
            m_connection->execute(QStringLiteral("update D_B set theDel='否' where theDel='是'"));
            QFAIL("a second live twin was stored");
        } catch (const EngineError& error) {
            QVERIFY2(
                error.message().startsWith(QStringLiteral("已经有一张相同分类、姓名和性别的名片")),
                qPrintable(error.message()));
            QVERIFY(!error.message().contains(QStringLiteral("Zhang")));
        }
    }

    void everySaveMovesTheRevisionOn() {
        const qint64 id = m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("王五"), QStringLiteral("男")));
        const QString card = QStringLiteral(" from D_B where ID=%1").arg(id);
        QCOMPARE(m_db->run("select Revision" + card), QStringLiteral("1"));
        QCOMPARE(m_db->run("select CreatedBy = current_user and ChangedBy = current_user" + card),
                 QStringLiteral("t"));
        m_connection->execute(QStringLiteral("update D_B set BPho='1' where ID=%1").arg(id));
        m_connection->execute(QStringLiteral("update D_B set theDel='是' where ID=%1").arg(id));
        QCOMPARE(m_db->run("select Revision" + card), QStringLiteral("3"));
        QCOMPARE(m_db->run("select ChangedAt >= CreatedAt" + card), QStringLiteral("t"));
    }

    void aSaveOfAnOlderRevisionOverwritesNothing() {
        const qint64 id = m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("赵六"), QStringLiteral("男")));
        PgConnection other(m_db->connectionString());
        // Both opened revision 1; the other saves first.
        other.execute(
            QStringLiteral("update D_B set BPho='其他人',Revision=1 where ID=%1").arg(id));
        try {
            m_connection->execute(
                QStringLiteral("update D_B set BPho='我',Revision=1 where ID=%1").arg(id));
            QFAIL("a save overwrote a newer revision");
        } catch (const EngineError& error) {
            QCOMPARE(error.message(),
                     changedSinceReadMessage() + QStringLiteral("（SQLSTATE OR001）"));
        }
        QCOMPARE(m_db->run(QStringLiteral("select BPho || ' ' || Revision from D_B")),
                 QStringLiteral("其他人 2"));
        // Read again, saved again.
        m_connection->execute(
            QStringLiteral("update D_B set BPho='我',Revision=2 where ID=%1").arg(id));
        QCOMPARE(m_db->run(QStringLiteral("select BPho || ' ' || Revision from D_B")),
                 QStringLiteral("我 3"));
    }

    // Another program's committed changes are told by key, after the commit and never for a
    // rollback; this program's own sessions are left out (its store tells those).
    void noticesNameWhatAnotherProgramCommitted() {
        PgConnection listener(m_db->connectionString());
        listener.listenForChanges();
        QSocketNotifier readable(listener.socketDescriptor(), QSocketNotifier::Read);
        StoreChanges heard;
        connect(&readable, &QSocketNotifier::activated, this,
                [&] { heard.add(listener.takeChangeNotices()); });
        ServerSession other(m_db->connectionString());

        other.run(QStringLiteral("BEGIN"));
        other.run(cardInsert(QStringLiteral("客户"), QStringLiteral("回滚"), QStringLiteral("男")));
        QTest::qWait(300);
        QVERIFY(heard.empty()); // not before commit
        other.run(QStringLiteral("ROLLBACK"));
        QTest::qWait(300);
        QVERIFY(heard.empty());

        // This program's own writes: not heard.
        const qint64 own = m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("自己"), QStringLiteral("男")));
        QTest::qWait(300);
        QVERIFY(heard.empty());

        const QString id = other.run(
            cardInsert(QStringLiteral("客户"), QStringLiteral("别人"), QStringLiteral("男")) +
            QStringLiteral(" returning ID"));
        other.run(QStringLiteral("update D_B set BPho='1' where ID=%1").arg(own));
        other.run(QStringLiteral(
                      "insert into DList(DID,LDate,LType,LMemo) values(%1,'2024-01-01','电话','')")
                      .arg(own));
        other.run(QStringLiteral("delete from DList where DID=%1").arg(own));
        QTRY_COMPARE_WITH_TIMEOUT(heard.visits.size(), size_t(2), 5000);
        QCOMPARE(heard.distinctCards(), std::vector<qint64>({own, id.toLongLong()}));
        QCOMPARE(heard.visits[0].card, own);
        QCOMPARE(heard.visits[0].delta + heard.visits[1].delta, 0);
        QVERIFY(!heard.everything);
    }

    void noticePayloads_data() {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("change");
        QTest::newRow("card") << "d_b:UPDATE:12"
                              << "card 12";
        QTest::newRow("visit added") << "dlist:INSERT:12:40"
                                     << "visit 12 +1";
        QTest::newRow("visit removed") << "dlist:DELETE:7:41"
                                       << "visit 7 -1";
        QTest::newRow("older register") << "d_b"
                                        << "everything";
        QTest::newRow("no key") << "d_b:UPDATE:"
                                << "everything";
        QTest::newRow("other table") << "d_type:INSERT:1"
                                     << "everything";
    }
    void noticePayloads() {
        QFETCH(QString, payload);
        QFETCH(QString, change);
        StoreChanges changes;
        addChangeNotice(payload, changes);
        QString told;
        for (const qint64 card : changes.cards) {
            told += QStringLiteral("card %1").arg(card);
        }
        for (const StoreChanges::VisitChange& visit : changes.visits) {
            told += QStringLiteral("visit %1 %2%3")
                        .arg(visit.card)
                        .arg(visit.delta > 0 ? "+" : "")
                        .arg(visit.delta);
        }
        if (changes.everything) {
            told += QStringLiteral("everything");
        }
        QCOMPARE(told, change);
    }

    void watcherHearsOtherProgramsAndComesBack() {
        ChangeWatcher watcher(m_db->connectionString());
        watcher.start();
        QList<StoreChanges> changes;
        QStringList lost;
        connect(&watcher, &ChangeWatcher::changed, this,
                [&](const StoreChanges& c) { changes << c; });
        connect(&watcher, &ChangeWatcher::lost, this, [&](const QString& m) { lost << m; });
        ServerSession other(m_db->connectionString());
        other.run(cardInsert(QStringLiteral("客户"), QStringLiteral("甲"), QStringLiteral("男")));
        QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 1, 5000);
        QCOMPARE(changes[0].cards.size(), size_t(1));

        // Its connection cut: told, then back by itself, with everything to read again.
        m_db->run(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where "
                                 "query = 'LISTEN orvane_cards'"));
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
        QVERIFY(lost.first().startsWith(QStringLiteral("与名片服务器的连接断开了")));
        QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 2, 3 * ChangeWatcher::RetryMs);
        QVERIFY(changes[1].everything);
        QVERIFY(watcher.listening());
        other.run(cardInsert(QStringLiteral("客户"), QStringLiteral("乙"), QStringLiteral("男")));
        QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 3, 5000);
    }

    // A connection cut inside a transaction fails that transaction: every statement after it
    // fails too, COMMIT included, until the transaction is rolled back; nothing of it is
    // carried on in autocommit over a new connection.
    void aTransactionCutOffIsNeverCarriedOn() {
        QCOMPARE(m_connection->select(QStringLiteral("select theName from D_Sex"))->rowCount(), 2);
        m_connection->execute(QStringLiteral("BEGIN"));
        m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("半途"), QStringLiteral("男")));
        m_db->run(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where "
                                 "application_name='orvane-cards' and datname=current_database()"));
        const auto refused = [this](const QString& sql) {
            try {
                m_connection->execute(sql);
            } catch (const EngineError& error) {
                return error.message();
            }
            return QString();
        };
        const QString cut = refused(
            cardInsert(QStringLiteral("客户"), QStringLiteral("半途2"), QStringLiteral("男")));
        QVERIFY2(cut.startsWith(QStringLiteral("与名片服务器的连接断开了（")), qPrintable(cut));
        QVERIFY(cut.contains(QStringLiteral("本次的修改没有保存")));
        QVERIFY(!m_connection->connected());
        const QString after = refused(
            cardInsert(QStringLiteral("客户"), QStringLiteral("半途3"), QStringLiteral("男")));
        QVERIFY2(after.contains(QStringLiteral("本次的修改没有保存")), qPrintable(after));
        QVERIFY(refused(QStringLiteral("COMMIT")).contains(QStringLiteral("本次的修改没有保存")));
        QCOMPARE(m_db->run(QStringLiteral("select count(*) from D_B")), QStringLiteral("0"));

        // Rolled back (as a write lock going out of scope does), the next statement connects.
        m_connection->execute(QStringLiteral("ROLLBACK"));
        m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("之后"), QStringLiteral("男")));
        QCOMPARE(m_db->run(QStringLiteral("select string_agg(BName, ',') from D_B")),
                 QStringLiteral("之后"));
    }

    // A COMMIT the server answers with a rollback (the transaction had failed) is a failure.
    void commitOfAFailedTransactionFails() {
        const qint64 id = m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("已有"), QStringLiteral("男")));
        m_connection->execute(QStringLiteral("BEGIN"));
        m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("新的"), QStringLiteral("男")));
        QVERIFY_THROWS_EXCEPTION(
            EngineError,
            m_connection->execute(QStringLiteral("insert into D_B(ID) values(%1)").arg(id)));
        try {
            m_connection->execute(QStringLiteral("COMMIT"));
            QFAIL("a failed transaction was reported as committed");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("没有保存")),
                     qPrintable(error.message()));
        }
        QCOMPARE(m_db->run(QStringLiteral("select string_agg(BName, ',') from D_B")),
                 QStringLiteral("已有"));
        m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("之后"), QStringLiteral("男")));
        QCOMPARE(m_db->run(QStringLiteral("select count(*) from D_B")), QStringLiteral("2"));
    }

    // A lock another program holds is waited for a bounded time, or until cancel() from
    // another thread; either way the write fails, says why, and writes nothing.
    void lockWaitsEnd_data() {
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<QString>("message");
        QTest::newRow("lock timeout") << false << QStringLiteral("另一位用户正在修改同样的名片");
        QTest::newRow("cancelled") << true << QStringLiteral("已取消等待名片服务器，本次没有保存");
    }
    void lockWaitsEnd() {
        QFETCH(bool, cancelled);
        QFETCH(QString, message);
        const qint64 id = m_connection->insert(
            cardInsert(QStringLiteral("客户"), QStringLiteral("锁住"), QStringLiteral("男")));
        ServerSession holder(m_db->connectionString());
        holder.run(QStringLiteral("BEGIN; LOCK TABLE D_B IN ACCESS EXCLUSIVE MODE"));
        std::thread canceller;
        if (cancelled) {
            canceller = std::thread([this] {
                QThread::msleep(300);
                m_connection->cancel();
            });
        }
        try {
            m_connection->execute(QStringLiteral("update D_B set BPho='2' where ID=%1").arg(id));
            QFAIL("a write went through a lock held by another program");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().startsWith(message), qPrintable(error.message()));
        }
        if (canceller.joinable()) {
            canceller.join();
        }
        holder.run(QStringLiteral("ROLLBACK"));
        QCOMPARE(m_db->run(QStringLiteral("select coalesce(BPho,'') from D_B")), QString());
    }

    void failuresNameTheServerNeverThePassword() {
        PgConnection nowhere(QStringLiteral("host=/nonexistent port=5999 dbname=cards "
                                            "user=sales password=Secret-Pw9"));
        try {
            nowhere.select(QStringLiteral("select 1"));
            QFAIL("connected to a server that does not exist");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().startsWith(
                         QStringLiteral("无法连接名片服务器 服务器 cards@本机:5999（")),
                     qPrintable(error.message()));
            QVERIFY(!error.message().contains(QStringLiteral("Secret-Pw9")));
        }
        QCOMPARE(PgConnection(QStringLiteral("postgresql://ann:pw@db.example.com:6432/team"))
                     .registerName(),
                 QStringLiteral("服务器 team@db.example.com:6432"));
    }

    void aUserWhoMayNotCreateTheRegisterIsToldWhatToRun() {
        m_db->run(
            QStringLiteral("DROP ROLE IF EXISTS orvane_plain; CREATE ROLE orvane_plain LOGIN"));
        PgConnection plain(m_db->connectionString() + QStringLiteral(" user=orvane_plain"));
        try {
            plain.select(QStringLiteral("select theName from D_Sex"));
            QFAIL("a user without rights made the register");
        } catch (const EngineError& error) {
            QCOMPARE(error.message(),
                     QStringLiteral("服务器上的数据库 %1 中还没有名片库，用户 orvane_plain "
                                    "没有创建它的权限。请管理员在服务器上运行：sudo "
                                    "scripts/server-setup.sh %1 orvane_plain")
                         .arg(m_db->name()));
        }
        QCOMPARE(m_db->run(QStringLiteral("select to_regclass('d_b') is null")),
                 QStringLiteral("t"));
    }

private:
    std::unique_ptr<ScratchServerDatabase> m_db;
    std::unique_ptr<PgConnection> m_connection;
};

QTEST_MAIN(TestPgConnection)
#include "tst_pgconnection.moc"
