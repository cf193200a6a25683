// The rights of the team's roles on a register set up by scripts/server-setup.sh, as the server
// enforces them: what a member's login may not do is refused by the server whatever statement
// it sends, what the program does for a member works, and an editor does the editor's part.

#include "db/cardstore.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/serverrights.h"
#include "testserver.h"
#include "testsupport.h"
#include "ui/deleted/deletedwindow.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>

namespace {
const QString Denied = QStringLiteral("当前用户没有这项操作的权限");

// Runs statements on one transaction, rolled back.
void runInTransaction(PgConnection& server, const QStringList& statements) {
    server.execute(QStringLiteral("BEGIN"));
    try {
        for (const QString& statement : statements) {
            server.execute(statement);
        }
    } catch (const EngineError&) {
        server.execute(QStringLiteral("ROLLBACK"));
        throw;
    }
    server.execute(QStringLiteral("ROLLBACK"));
}
} // namespace

class TestServerRights : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ScratchServerDatabase> m_db;
    QString m_member;      // 成员 with a Chinese name
    QString m_otherMember; // another 成员
    QString m_editor;      // 管理员
    QString m_otherVisit;  // a visit the other member recorded

    QString as(const QString& user) const {
        return m_db->connectionString() + QStringLiteral(" user=") + pgConninfoValue(user);
    }
    QString superuser(const QString& sql) const { return m_db->run(sql); }
    QString liveCards() const {
        return superuser(QStringLiteral("select count(*) from D_B where theDel='否'"));
    }

private slots:
    void initTestCase() {
        REQUIRE_TEST_SERVER();
        const QString pid = QString::number(QCoreApplication::applicationPid());
        m_member = QStringLiteral("成员甲_") + pid;
        m_otherMember = QStringLiteral("member_b_") + pid;
        m_editor = QStringLiteral("管理员_") + pid;
        m_db = std::make_unique<ScratchServerDatabase>();
        const SetupRun setup = runServerSetup(
            {QStringLiteral("--editor"), m_editor, m_db->name(), m_member, m_otherMember},
            "member-pass-1\nmember-pass-2\neditor-pass-1\n");
        QVERIFY2(setup.exitCode == 0, qPrintable(setup.errors));
        // 150 cards, made by the server's superuser (not bound by a member's limits).
        superuser(QStringLiteral(
            "insert into D_B(theDate,theType,BName,BSex,theDel) select '2024-01-01','客户',"
            "'卡' || n,'男','否' from generate_series(1,150) n"));
        PgConnection other(as(m_otherMember));
        m_otherVisit = QString::number(other.insert(QStringLiteral(
            "insert into DList(DID,LDate,LType,LMemo) values(1,'2024-01-02','电话','别人的')")));
    }

    void cleanupTestCase() {
        if (!m_db) {
            return;
        }
        m_db.reset();
        ScratchServerDatabase admin;
        for (const QString& role : {m_member, m_otherMember, m_editor}) {
            admin.run(QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(role));
        }
    }

    void theServerRefusesAMember_data() {
        QTest::addColumn<QStringList>("statements");
        const auto row = [](const char* name, const QStringList& statements) {
            QTest::newRow(name) << statements;
        };
        row("forged creator", {QStringLiteral("insert into D_B(theType,BName,BSex,theDel,CreatedBy)"
                                              " values('客户','伪造','男','否','别人')")});
        row("forged entry time",
            {QStringLiteral("update D_B set CreatedAt='2000-01-01' where ID=1")});
        row("forged revision", {QStringLiteral("update D_B set Revision=Revision+5 where ID=1")});
        row("forged saver", {QStringLiteral("update D_B set ChangedBy='别人' where ID=1")});
        row("key on insert", {QStringLiteral("insert into D_B(ID,theType,BName,BSex,theDel) "
                                             "values(99999,'客户','伪造','男','否')")});
        row("key changed", {QStringLiteral("update D_B set ID=99998 where ID=1")});
        row("bulk soft delete", {QStringLiteral("update D_B set theDel='是'")});
        row("bulk insert",
            {QStringLiteral("insert into D_B(theType,BName,BSex,theDel) select '客户',"
                            "'批量' || n,'女','否' from generate_series(1,101) n")});
        row("card removed", {QStringLiteral("delete from D_B where ID=1")});
        row("lookup emptied", {QStringLiteral("delete from D_Type")});
        row("lookup added to", {QStringLiteral("insert into D_Type(theName) values('新分类')")});
        row("team defaults removed", {QStringLiteral("delete from D_Mr")});
        row("visits removed", {QStringLiteral("delete from DList")});
        row("key sequence set", {QStringLiteral("select setval('d_b_id_seq',1)")});
        row("cards locked", {QStringLiteral("lock table D_B in access exclusive mode")});
        row("visits locked", {QStringLiteral("lock table DList in access exclusive mode")});
        row("defaults locked", {QStringLiteral("lock table D_Mr in exclusive mode")});
        row("table made", {QStringLiteral("create table orvane_x(a int)")});
        row("trigger off", {QStringLiteral("alter table D_B disable trigger D_B_Stamp")});
        row("truncated", {QStringLiteral("truncate D_B")});
        row("dropped", {QStringLiteral("drop table D_Type")});
    }
    void theServerRefusesAMember() {
        QFETCH(QStringList, statements);
        const QString before = superuser(QStringLiteral(
            "select string_agg(concat_ws(',',ID,theDel,CreatedBy,Revision),';' order by ID) "
            "from D_B"));
        PgConnection member(as(m_member));
        try {
            runInTransaction(member, statements);
            QFAIL("the server let a member do it");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().startsWith(Denied), qPrintable(error.message()));
        }
        QCOMPARE(superuser(QStringLiteral(
                     "select string_agg(concat_ws(',',ID,theDel,CreatedBy,Revision),';' "
                     "order by ID) from D_B")),
                 before);
    }

    void anotherMembersVisitStays() {
        CardStore member(std::make_unique<PgConnection>(as(m_member)));
        try {
            member.removeVisit(m_otherVisit.toLongLong());
            QFAIL("a member removed another member's visit");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().startsWith(Denied), qPrintable(error.message()));
        }
        QCOMPARE(superuser(QStringLiteral("select count(*) from DList where ID=") + m_otherVisit),
                 QStringLiteral("1"));
    }

    void aMemberDoesWhatTheProgramDoes() {
        CardStore store(std::make_unique<PgConnection>(as(m_member)));
        const CardStore::Inserted added = store.insertCard(
            cardValues(QStringLiteral("客户"), QStringLiteral("成员的卡"), QStringLiteral("女")),
            QStringLiteral("2024-02-01"));
        QCOMPARE(added.outcome, WriteOutcome::Done);
        const QString id = QString::number(added.id);
        QCOMPARE(
            superuser(QStringLiteral("select CreatedBy||' '||Revision from D_B where ID=") + id),
            m_member + QStringLiteral(" 1"));

        const StoredCard opened = *store.card(added.id);
        CardValues changed = opened.values;
        changed.insert(QStringLiteral("BPho"), QStringLiteral("\\',theDel=$$是$$ --"));
        QCOMPARE(store.updateCard(opened, changed), WriteOutcome::Done);
        QCOMPARE(superuser(QStringLiteral("select BPho||' '||Revision from D_B where ID=") + id),
                 QStringLiteral("\\',theDel=$$是$$ -- 2"));
        store.softDelete(added.id);
        QCOMPARE(store.restore(added.id), WriteOutcome::Done);

        const qint64 visit = store.addVisit(added.id, QStringLiteral("2024-02-02"),
                                            QStringLiteral("拜访"), QStringLiteral("面谈"));
        QCOMPARE(superuser(QStringLiteral("select RecordedBy from DList where ID=%1").arg(visit)),
                 m_member);
        store.removeVisit(visit);
        QCOMPARE(superuser(QStringLiteral("select count(*) from DList where ID=%1").arg(visit)),
                 QStringLiteral("0"));

        // 设置默认项: the member's own row; the other member keeps the team's.
        store.storeDefaults({QStringLiteral("朋友"), QStringLiteral("女"), QStringLiteral("上海")});
        QCOMPARE(store.defaults()->type, QStringLiteral("朋友"));
        CardStore other(std::make_unique<PgConnection>(as(m_otherMember)));
        QCOMPARE(other.defaults()->type,
                 superuser(QStringLiteral("select theType from D_Mr where Owner is null")));

        // An import: groups under the importers' own lock, which a member may take.
        {
            CardStore::ImportBatch batch(store);
            QCOMPARE(batch
                         .insertCard(cardValues(QStringLiteral("客户"), QStringLiteral("导入一"),
                                                QStringLiteral("男")),
                                     QStringLiteral("2024-02-03"))
                         .outcome,
                     WriteOutcome::Done);
            QCOMPARE(batch
                         .insertCard(cardValues(QStringLiteral("客户"), QStringLiteral("成员的卡"),
                                                QStringLiteral("女")),
                                     QStringLiteral("2024-02-03"))
                         .outcome,
                     WriteOutcome::Duplicate);
        }
        QCOMPARE(superuser(QStringLiteral("select count(*) from D_B where BName='导入一'")),
                 QStringLiteral("1"));

        const UserRights rights = userRights(store.engine());
        QVERIFY(!rights.mayPurge && !rights.mayEditLookups && !rights.mayCopyIn);
    }

    void anEditorDoesTheEditorsPart() {
        CardStore store(std::make_unique<PgConnection>(as(m_editor)));
        auto& server = static_cast<PgConnection&>(store.engine());
        const UserRights rights = userRights(server);
        QVERIFY(rights.mayPurge && rights.mayEditLookups && rights.mayCopyIn);

        server.execute(QStringLiteral("insert into D_Type(theName) values('新分类')"));
        server.execute(QStringLiteral("delete from D_Type where theName='新分类'"));
        store.removeVisit(m_otherVisit.toLongLong());
        QCOMPARE(superuser(QStringLiteral("select count(*) from DList where ID=") + m_otherVisit),
                 QStringLiteral("0"));
        store.softDelete(2);
        QCOMPARE(store.purgeCard(2), WriteOutcome::Done);
        QCOMPARE(superuser(QStringLiteral("select count(*) from D_B where ID=2")),
                 QStringLiteral("0"));
    }

    // 已删除名片 greys out 彻底删除 for a member and says why; an editor has it.
    void theDeletedCardsWindowFollowsTheRole_data() {
        QTest::addColumn<bool>("editor");
        QTest::newRow("成员") << false;
        QTest::newRow("管理员") << true;
    }
    void theDeletedCardsWindowFollowsTheRole() {
        QFETCH(bool, editor);
        CardStore store(std::make_unique<PgConnection>(as(editor ? m_editor : m_member)));
        TfrmDeleted window(nullptr, store);
        for (const char* name : {"BitBtn3", "BitBtn4"}) {
            const auto* button = window.findChild<QPushButton*>(name);
            QCOMPARE(button->isEnabled(), editor);
            QCOMPARE(button->toolTip().contains(QStringLiteral("只有管理员可以彻底删除名片")),
                     !editor);
        }
        QVERIFY(window.findChild<QPushButton*>("BitBtn1")->isEnabled()); // 恢复
    }

    // Keys set back: the next new card collides with a stored one's key. That is an error, and
    // nothing is stored, rather than a duplicate skipped.
    void aKeyCollisionIsNoDuplicate() {
        CardStore store(std::make_unique<PgConnection>(as(m_editor)));
        store.engine().execute(QStringLiteral("select setval('d_b_id_seq',3)"));
        const QString cards = liveCards();
        QVERIFY_THROWS_EXCEPTION(
            EngineError, store.insertCard(cardValues(QStringLiteral("客户"), QStringLiteral("新卡"),
                                                     QStringLiteral("男")),
                                          QStringLiteral("2024-03-01")));
        QCOMPARE(liveCards(), cards);
        store.engine().execute(
            QStringLiteral("select setval('d_b_id_seq',(select max(ID) from D_B))"));
    }
};

QTEST_MAIN(TestServerRights)
#include "tst_serverrights.moc"
