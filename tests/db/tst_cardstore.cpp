// The card store's behaviour, written once against the store and run on every engine this
// build has (each engine a test run of its own, named by the engine): the list and its
// filter with hostile values, the duplicate rule, the outcomes of a change (also of a card
// saved by another program meanwhile), delete, restore and removal for good, the visits, the
// lookups, the defaults, and values an engine cannot store.

#include "db/cardlistfill.h"
#include "db/cardstore.h"
#include "db/clock.h"
#include "db/connection.h"
#include "db/dialect.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/sqlcipherconnection.h"
#include "testserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace {
// A fresh register with the delivered contents, and connections to it, as a second program
// would open them.
class Register {
public:
    virtual ~Register() = default;
    virtual std::unique_ptr<Connection> connect() = 0;
};

class FileRegister final : public Register {
public:
    std::unique_ptr<Connection> connect() override {
        auto file = std::make_unique<SqlCipherConnection>();
        file->setConnectionString(m_file.connectionString());
        return file;
    }

private:
    ScratchDatabase m_file;
};

// A fresh database on the test server; the server engine makes the register in it when it
// first connects.
class ServerRegister final : public Register {
public:
    std::unique_ptr<Connection> connect() override {
        return std::make_unique<PgConnection>(m_database.connectionString());
    }

private:
    ScratchServerDatabase m_database;
};

struct Engine {
    const char* name;
    std::function<std::unique_ptr<Register>()> makeRegister;
};

// Every engine of this build: the card file, and the server where a test server runs
// (scripts/test.sh starts one; under CI it must).
std::vector<Engine> engines() {
    std::vector<Engine> list = {
        {"file", [] { return std::make_unique<FileRegister>(); }},
    };
    if (!testServerConnectionString().isEmpty() || qEnvironmentVariableIsSet("CI")) {
        list.push_back({"server", []() -> std::unique_ptr<Register> {
                            if (testServerConnectionString().isEmpty()) {
                                qFatal("ORVANE_TEST_SERVER is not set: scripts/test.sh starts "
                                       "the test server");
                            }
                            return std::make_unique<ServerRegister>();
                        }});
    }
    return list;
}

CardValues card(const QString& type, const QString& name, const QString& sex,
                const QString& province = QString()) {
    return cardValues(type, name, sex, province);
}

QStringList column(const std::shared_ptr<ResultSet>& rows, const QString& name) {
    QStringList values;
    const int c = rows->columnIndex(name);
    for (int row = 0; row < rows->rowCount(); ++row) {
        values << rows->text(row, c);
    }
    return values;
}

FilterInput byName(const QString& name) {
    FilterInput filter;
    filter.byName = true;
    filter.name = name;
    return filter;
}
} // namespace

Q_DECLARE_METATYPE(FilterInput)

class TestCardStore : public QObject {
    Q_OBJECT
public:
    explicit TestCardStore(Engine engine) : m_engine(std::move(engine)) {}

private slots:
    void init() {
        m_register = m_engine.makeRegister();
        m_store = std::make_unique<CardStore>(m_register->connect());
        m_other = std::make_unique<CardStore>(m_register->connect());
    }
    void cleanup() {
        m_other.reset();
        m_store.reset();
        m_register.reset();
    }

    void listAndFilter_data() {
        QTest::addColumn<FilterInput>("filter");
        QTest::addColumn<QStringList>("names"); // newest first
        QTest::newRow("no filter")
            << FilterInput() << QStringList{"x') OR ('1'='1", "100%", "Ann", "O'Neil", "张三"};
        QTest::newRow("name with a quote") << byName("O'N") << QStringList{"O'Neil"};
        QTest::newRow("name, letter case aside") << byName("ann") << QStringList{"Ann"};
        QTest::newRow("name that would end the statement")
            << byName("x') OR ('1'='1") << QStringList{"x') OR ('1'='1"};
        QTest::newRow("name that matches nothing") << byName("';--") << QStringList{};
        QTest::newRow("name with a comment") << byName("--") << QStringList{};
        FilterInput type;
        type.byType = true;
        type.type = "同事";
        QTest::newRow("category") << type << QStringList{"Ann", "张三"};
        FilterInput hostileType;
        hostileType.byType = true;
        hostileType.type = "' OR ''='";
        QTest::newRow("hostile category") << hostileType << QStringList{};
        FilterInput sexAndProvince;
        sexAndProvince.bySex = sexAndProvince.byProvince = true;
        sexAndProvince.sex = "女";
        sexAndProvince.province = "北京";
        QTest::newRow("sex and province") << sexAndProvince << QStringList{"100%"};
        FilterInput dates;
        dates.byDate = true;
        dates.dateFrom = "2008-03-01";
        dates.dateTo = "2008-03-31";
        QTest::newRow("entry dates") << dates << QStringList{"x') OR ('1'='1", "100%", "Ann"};
        FilterInput unticked;
        unticked.name = "nobody";
        unticked.type = "nothing";
        QTest::newRow("values without their ticks count for nothing")
            << unticked << QStringList{"x') OR ('1'='1", "100%", "Ann", "O'Neil", "张三"};
    }
    void listAndFilter() {
        QFETCH(FilterInput, filter);
        QFETCH(QStringList, names);
        insert(card("同事", "张三", "男", "上海"), "2008-02-01");
        insert(card("客户", "O'Neil", "男", "北京"), "2008-02-28");
        const qint64 ann = insert(card("同事", "Ann", "女", "上海"), "2008-03-01");
        insert(card("客户", "100%", "女", "北京"), "2008-03-07");
        insert(card("客户", "x') OR ('1'='1", "男"), "2008-03-31");
        m_store->softDelete(insert(card("同事", "已删", "男"), "2008-03-07"));
        m_store->addVisit(ann, "2008-03-02", "电话", "一");
        m_store->addVisit(ann, "2008-03-03", "上门", "二");

        const auto list = m_store->cardList(filter);
        QCOMPARE(column(list, "姓名"), names);
        QCOMPARE(list->columnNames().mid(0, 3), QStringList({"ID", "录入日期", "分类"}));
        QCOMPARE(list->columnCount(), 2 + int(cardFields().size()));
        QCOMPARE(m_store->visitCount(filter), names.contains("Ann") ? 2 : 0);
    }

    // Two live cards never share category, name and sex; letter case aside, as the file
    // compares them.
    void duplicateRule_data() {
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<bool>("storedDeleted");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sex");
        QTest::addColumn<bool>("duplicate");
        QTest::newRow("the same card") << "张三" << false << "客户"
                                       << "张三"
                                       << "男" << true;
        QTest::newRow("only a deleted one") << "张三" << true << "客户"
                                            << "张三"
                                            << "男" << false;
        QTest::newRow("another category") << "张三" << false << "同事"
                                          << "张三"
                                          << "男" << false;
        QTest::newRow("another sex") << "张三" << false << "客户"
                                     << "张三"
                                     << "女" << false;
        QTest::newRow("letter case") << "Alice" << false << "客户"
                                     << "ALICE"
                                     << "男" << true;
        QTest::newRow("a blank more") << "张三" << false << "客户"
                                      << "张三 "
                                      << "男" << false;
        QTest::newRow("quotes") << "O'Neil" << false << "客户"
                                << "O'Neil"
                                << "男" << true;
    }
    void duplicateRule() {
        QFETCH(QString, storedName);
        QFETCH(bool, storedDeleted);
        QFETCH(QString, type);
        QFETCH(QString, name);
        QFETCH(QString, sex);
        QFETCH(bool, duplicate);
        const qint64 stored = insert(card("客户", storedName, "男"), "2008-03-01");
        if (storedDeleted) {
            m_store->softDelete(stored);
        }
        const CardStore::Inserted inserted =
            m_store->insertCard(card(type, name, sex), "2008-03-07");
        QCOMPARE(inserted.outcome == WriteOutcome::Duplicate, duplicate);
        QCOMPARE(liveCount(), duplicate || storedDeleted ? 1 : 2);
        if (!duplicate) {
            QVERIFY(inserted.id > stored);
            QCOMPARE(m_store->card(inserted.id)->values.value("BName"), name);
        }
        // A change may not make a live duplicate either.
        if (!storedDeleted) {
            const qint64 changed =
                duplicate ? insert(card("客户", "另一张", "男"), "2008-03-07") : inserted.id;
            const CardValues makesDuplicate =
                duplicate ? card(type, name, sex) : card("客户", storedName, "男");
            const QString nameBefore = m_store->card(changed)->values.value("BName");
            QCOMPARE(m_store->updateCard(*m_store->card(changed), makesDuplicate),
                     WriteOutcome::Duplicate);
            QCOMPARE(m_store->card(changed)->values.value("BName"), nameBefore);
        }
    }

    // A change is written over a card that is still live; its entry date and live flag stay.
    // One that vanished or was deleted meanwhile, by this program or another, is refused.
    void updateOutcomes() {
        const qint64 id = insert(card("客户", "张三", "男"), "2008-01-02");
        CardValues changed = card("客户", "张三", "男", "上海");
        changed.insert("FDes", "新的备注");
        QCOMPARE(m_store->updateCard(*m_store->card(id), changed), WriteOutcome::Done);
        const StoredCard stored = *m_store->card(id);
        QCOMPARE(stored.values, changed);
        QCOMPARE(stored.entryDate, QStringLiteral("2008-01-02"));
        QVERIFY(stored.live);

        CardValues unknown = changed;
        unknown.insert("NoSuchColumn", "x");
        QVERIFY_THROWS_EXCEPTION(EngineError, m_store->updateCard(stored, unknown));

        m_other->softDelete(id); // another program deletes it meanwhile
        QCOMPARE(m_store->updateCard(stored, card("客户", "李四", "男")), WriteOutcome::Gone);
        QCOMPARE(m_store->card(id)->values.value("BName"), QStringLiteral("张三"));
        StoredCard vanished = stored;
        vanished.id = id + 1000;
        QCOMPARE(m_store->updateCard(vanished, changed), WriteOutcome::Gone);
        QVERIFY(!m_store->card(id + 1000));
    }

    // Another program saves the card between this one opening and saving it: nothing is
    // overwritten, whatever either changed, and the other's save stays. Opened again, the
    // card takes the change.
    void updateOfACardSavedMeanwhile_data() {
        QTest::addColumn<QString>("otherColumn");
        QTest::addColumn<QString>("otherValue");
        QTest::addColumn<QString>("ownColumn");
        QTest::addColumn<QString>("ownValue");
        QTest::newRow("another field") << "BPho"
                                       << "010-1234"
                                       << "FDes"
                                       << "我的备注";
        QTest::newRow("the same field") << "FDes"
                                        << "别人的备注"
                                        << "FDes"
                                        << "我的备注";
        QTest::newRow("letter case alone") << "BName"
                                           << "ALICE"
                                           << "FDes"
                                           << "我的备注";
        QTest::newRow("a field emptied") << "DCity"
                                         << ""
                                         << "DCity"
                                         << "杭州";
        // Told as changed before as a duplicate: the user would look at the card again anyway.
        QTest::newRow("and a duplicate of mine") << "BPho"
                                                 << "010-1234"
                                                 << "BName"
                                                 << "Bob";
    }
    void updateOfACardSavedMeanwhile() {
        QFETCH(QString, otherColumn);
        QFETCH(QString, otherValue);
        QFETCH(QString, ownColumn);
        QFETCH(QString, ownValue);
        CardValues values = card("客户", "Alice", "女");
        values.insert("DCity", "上海");
        const qint64 id = insert(values, "2008-03-01");
        insert(card("客户", "Bob", "女"), "2008-03-01");
        const StoredCard opened = *m_store->card(id);

        CardValues others = opened.values;
        others.insert(otherColumn, otherValue);
        QCOMPARE(m_other->updateCard(*m_other->card(id), others), WriteOutcome::Done);
        CardValues own = opened.values;
        own.insert(ownColumn, ownValue);
        QCOMPARE(m_store->updateCard(opened, own), WriteOutcome::Changed);
        QCOMPARE(m_store->card(id)->values, others);

        CardValues ownAgain = m_store->card(id)->values;
        ownAgain.insert(ownColumn, ownValue + "!");
        QCOMPARE(m_store->updateCard(*m_store->card(id), ownAgain), WriteOutcome::Done);
        QCOMPARE(m_store->card(id)->values, ownAgain);
    }

    void deleteAndRestore() {
        const qint64 id = insert(card("客户", "张三", "男"), "2008-03-01");
        m_store->addVisit(id, "2008-03-02", "电话", "留下");
        m_store->softDelete(id);
        QCOMPARE(liveCount(), 0);
        QCOMPARE(column(m_store->deletedCards(), "ID"), QStringList{QString::number(id)});
        QCOMPARE(m_store->visits(id)->rowCount(), 1);
        QVERIFY(!m_store->card(id)->live);

        // A new card takes its place: the deleted one cannot come back beside it.
        const qint64 newer = insert(card("客户", "张三", "男"), "2008-03-07");
        QCOMPARE(m_store->restore(id), WriteOutcome::Duplicate);
        QVERIFY(!m_store->card(id)->live);
        QCOMPARE(m_store->restore(newer), WriteOutcome::Gone); // a live card is not deleted
        m_store->softDelete(newer);
        QCOMPARE(m_store->restore(id), WriteOutcome::Done);
        QCOMPARE(column(m_store->cardList(FilterInput()), "ID"), QStringList{QString::number(id)});
        QCOMPARE(column(m_store->deletedCards(), "ID"), QStringList{QString::number(newer)});
        QCOMPARE(m_other->restore(id), WriteOutcome::Gone); // restored already
    }

    // Only deleted cards go for good, with their visits; live cards and theirs stay.
    void purge() {
        const qint64 live = insert(card("客户", "张三", "男"), "2008-03-01");
        const qint64 first = insert(card("客户", "李四", "男"), "2008-03-01");
        const qint64 second = insert(card("客户", "王五", "女"), "2008-03-01");
        for (const qint64 id : {live, first, second}) {
            m_store->addVisit(id, "2008-03-02", "电话", "留下");
        }
        m_store->softDelete(first);
        m_store->softDelete(second);

        QCOMPARE(m_store->purgeCard(live), WriteOutcome::Gone);
        QCOMPARE(m_store->purgeCard(first), WriteOutcome::Done);
        QCOMPARE(m_other->purgeCard(first), WriteOutcome::Gone); // gone already
        QVERIFY(!m_store->card(first));
        QCOMPARE(m_store->visits(first)->rowCount(), 0);
        QCOMPARE(column(m_store->deletedCards(), "ID"), QStringList{QString::number(second)});

        m_store->softDelete(live);
        QCOMPARE(m_store->restore(live), WriteOutcome::Done); // restored before the purge
        QCOMPARE(m_store->purgeDeletedCards(), 1);
        QVERIFY(!m_store->card(second));
        QCOMPARE(m_store->visits(second)->rowCount(), 0);
        QCOMPARE(m_store->deletedCards()->rowCount(), 0);
        QCOMPARE(column(m_store->cardList(FilterInput()), "ID"),
                 QStringList{QString::number(live)});
        QCOMPARE(m_store->visits(live)->rowCount(), 1);
        QCOMPARE(m_store->purgeDeletedCards(), 0);
    }

    void visits() {
        const qint64 id = insert(card("客户", "张三", "男"), "2008-03-01");
        const qint64 other = insert(card("客户", "李四", "男"), "2008-03-01");
        const qint64 first = m_store->addVisit(id, "2008-03-02", "电话", "O'Brien';--");
        const qint64 second = m_store->addVisit(id, "2008-03-05", "上门", "第二次");
        m_store->addVisit(other, "2008-03-03", "吃饭", "别人的");
        QVERIFY(second > first);
        const auto list = m_store->visits(id);
        QCOMPARE(list->columnNames(), QStringList({"ID", "拜访日期", "拜访方式", "拜访内容"}));
        QCOMPARE(column(list, "拜访内容"), QStringList({"第二次", "O'Brien';--"}));
        QCOMPARE(m_store->visitCount(FilterInput()), 3);
        m_store->removeVisit(second);
        QCOMPARE(column(m_store->visits(id), "ID"), QStringList{QString::number(first)});
        QCOMPARE(m_store->visitCount(FilterInput()), 2);
    }

    // The list in two steps: the newest cards, then the rest on a thread of its own, page
    // after page below the last key read, with the counts of the cards and their visits.
    void listInPages() {
        QList<qint64> keys;
        for (int i = 0; i < 25; ++i) {
            keys.prepend(insert(card("客户", QStringLiteral("卡%1").arg(i), "男"), "2008-03-01"));
        }
        m_store->softDelete(keys[3]);
        insert(card("同事", "不在列表", "男"), "2008-03-01");
        m_store->addVisit(keys[1], "2008-03-02", "电话", "");
        m_store->addVisit(keys[20], "2008-03-02", "电话", "");
        m_store->addVisit(keys[3], "2008-03-02", "电话", ""); // of a deleted card
        keys.removeAt(3);
        FilterInput customers;
        customers.byType = true;
        customers.type = "客户";

        const CardStore::FirstScreen newest = m_store->newestCards(customers, 10);
        QCOMPARE(column(newest.cards, "ID"), keyTexts(keys.mid(0, 10)));
        QCOMPARE(newest.restBelow, keys[9]);
        CardListFill::setPageRowsForTests(4);
        std::unique_ptr<CardListFill> rest = m_store->restOfList(customers, newest.restBelow);
        QSignalSpy finished(rest.get(), &CardListFill::finished);
        QSignalSpy cards(rest.get(), &CardListFill::cardsCounted);
        QSignalSpy visits(rest.get(), &CardListFill::visitsCounted);
        QStringList read;
        int pages = 0;
        connect(rest.get(), &CardListFill::rowsRead, this,
                [&](const std::shared_ptr<ResultSet>& rows) {
                    read << column(rows, "ID");
                    ++pages;
                });
        rest->start();
        QVERIFY(finished.wait(30000));
        CardListFill::setPageRowsForTests(0);
        QCOMPARE(read, keyTexts(keys.mid(10)));
        QCOMPARE(pages, 4); // 4 + 4 + 4 + 2
        QCOMPARE(cards.value(0).value(0).toLongLong(), qint64(keys.size()));
        QCOMPARE(visits.value(0).value(0).toLongLong(), qint64(2));
        QCOMPARE(m_store->cardCount(customers), qint64(keys.size()));
        QCOMPARE(m_store->visitCount(customers), qint64(2));
    }

    // A filter that lets few cards through: the first screen is looked for among the newest
    // keys only, and the rest comes from below them, every card once and in order. A
    // register whose keys all fit among the newest is whole at once.
    void firstScreenAmongTheNewestKeys() {
        QList<qint64> customers;
        qint64 newestKey = 0;
        for (int i = 0; i < 12; ++i) {
            const bool customer = i % 4 == 0;
            newestKey =
                insert(card(customer ? "客户" : "同事", QStringLiteral("卡%1").arg(i), "男"),
                       "2008-03-01");
            if (customer) {
                customers.prepend(newestKey);
            }
        }
        FilterInput byType;
        byType.byType = true;
        byType.type = "客户";
        const qint64 keys = 5;
        CardStore::setFirstScreenKeysForTests(keys);
        const CardStore::FirstScreen first = m_store->newestCards(byType, 10);
        const auto amongNewest = [&](qint64 key) { return key > newestKey - keys; };
        QList<qint64> shown;
        std::copy_if(customers.begin(), customers.end(), std::back_inserter(shown), amongNewest);
        QCOMPARE(column(first.cards, "ID"), keyTexts(shown));
        QCOMPARE(first.restBelow, newestKey - keys + 1);

        std::unique_ptr<CardListFill> rest = m_store->restOfList(byType, first.restBelow);
        QSignalSpy finished(rest.get(), &CardListFill::finished);
        QStringList read;
        connect(rest.get(), &CardListFill::rowsRead, this,
                [&](const std::shared_ptr<ResultSet>& rows) { read << column(rows, "ID"); });
        rest->start();
        QVERIFY(finished.wait(30000));
        QCOMPARE(column(first.cards, "ID") + read, keyTexts(customers));

        const CardStore::FirstScreen unfiltered = m_store->newestCards(FilterInput(), 3);
        QCOMPARE(column(unfiltered.cards, "ID").first(), QString::number(newestKey));
        QCOMPARE(unfiltered.restBelow, newestKey - 2);
        CardStore::setFirstScreenKeysForTests(1000);
        const CardStore::FirstScreen whole = m_store->newestCards(byType, 10);
        CardStore::setFirstScreenKeysForTests(0);
        QCOMPARE(column(whole.cards, "ID"), keyTexts(customers));
        QCOMPARE(whole.restBelow, qint64(0));
    }

    // An import batch: the rule of duplicates holds inside a group as outside it, groups are
    // committed as the batch goes on, and the end of the batch commits what is done.
    void importBatch() {
        constexpr int Rows = 2 * CardStore::ImportBatch::GroupRows;
        insert(card("客户", "已有", "男"), "2008-03-01");
        {
            CardStore::ImportBatch batch(*m_store);
            const auto add = [&](const QString& name) {
                return batch.insertCard(card("客户", name, "男"), "2008-03-07").outcome;
            };
            QCOMPARE(add("已有"), WriteOutcome::Duplicate);
            for (int i = 0; i < Rows; ++i) {
                QCOMPARE(add(QStringLiteral("卡%1").arg(i)), WriteOutcome::Done);
            }
            // A group holds fewer rows than GroupRows: the cards before are committed, and
            // another program sees them.
            QVERIFY(m_other->cardCount(FilterInput()) > Rows - CardStore::ImportBatch::GroupRows);
            QCOMPARE(add("新卡"), WriteOutcome::Done);
            QCOMPARE(add("新卡"), WriteOutcome::Duplicate); // the group's own card
            QCOMPARE(add("卡0"), WriteOutcome::Duplicate);
        }
        QCOMPARE(m_other->cardCount(FilterInput()), qint64(1 + Rows + 1));
        // The register is free for other writers once the batch has ended.
        QCOMPARE(m_other->insertCard(card("客户", "别人", "男"), "2008-03-08").outcome,
                 WriteOutcome::Done);
    }

    // The check and the insert of a new card are compiled once per connection: after the
    // connection was opened anew (as after a lost one) they are compiled again, not run over
    // the connection that went.
    void insertAfterReopening() {
        const qint64 first = insert(card("客户", "张三", "男"), "2008-03-01");
        m_store->engine().close();
        QCOMPARE(m_store->insertCard(card("客户", "张三", "男"), "2008-03-07").outcome,
                 WriteOutcome::Duplicate);
        const qint64 second = insert(card("客户", "李四", "女"), "2008-03-07");
        QVERIFY(second > first);
        m_store->engine().close();
        {
            CardStore::ImportBatch batch(*m_store);
            QCOMPARE(batch.insertCard(card("客户", "李四", "女"), "2008-03-08").outcome,
                     WriteOutcome::Duplicate);
            QCOMPARE(batch.insertCard(card("同事", "王五", "男"), "2008-03-08").outcome,
                     WriteOutcome::Done);
        }
        QCOMPARE(column(m_other->cardList(FilterInput()), "姓名"),
                 QStringList({"王五", "李四", "张三"}));
    }

    void lookups() {
        QCOMPARE(m_store->lookup(Lookup::Sex), QStringList({"男", "女"}));
        QCOMPARE(m_store->lookup(Lookup::Category).first(), QStringLiteral("客户"));
        QCOMPARE(m_store->lookup(Lookup::Province).size(), 34);
    }

    // The defaults count only while exactly one row holds them; storing leaves one row.
    void defaults() {
        std::optional<CardDefaults> stored = m_store->defaults();
        QVERIFY(stored);
        QCOMPARE(stored->type, QStringLiteral("客户"));
        m_store->engine().execute(
            QStringLiteral("INSERT INTO D_Mr(theType,theSex,theP) VALUES('同事','女','上海')"));
        QVERIFY(!m_store->defaults());
        m_store->storeDefaults({"O'Neil", "女", ""});
        stored = m_other->defaults();
        QVERIFY(stored);
        QCOMPARE(stored->type, QStringLiteral("O'Neil"));
        QCOMPARE(stored->sex, QStringLiteral("女"));
        QCOMPARE(stored->province, QString());
        m_store->storeDefaults({"同事", "男", "北京"});
        QCOMPARE(m_store->defaults()->type, QStringLiteral("同事"));
    }

    // A value the engine can store comes back exactly; one it cannot is refused with a
    // message and nothing is written.
    void hostileValues_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("quote") << "O'Brien";
        QTest::newRow("comment") << "x';-- DROP TABLE D_B;";
        QTest::newRow("wildcards") << "100%_off";
        QTest::newRow("backslash") << "C:\\path\\'\\";
        QTest::newRow("line breaks") << "one\r\ntwo\nthree";
        QTest::newRow("unicode") << "张三 😀 Ünïcødé ㈱ 𠀋";
        QTest::newRow("byte order mark") << QString::fromUtf16(u"\uFEFF开头");
        QTest::newRow("nul") << QString::fromUtf16(u"a\0b", 3);
        QTest::newRow("double quotes") << "\"\"\"";
    }
    void hostileValues() {
        QFETCH(QString, value);
        CardValues values = card("客户", value, "男");
        values.insert("FDes", value);
        bool storable = true;
        try {
            m_store->engine().dialect().literal(value);
        } catch (const EngineError& e) {
            storable = false;
            QVERIFY(!e.message().isEmpty());
        }
        if (!storable) {
            QVERIFY_THROWS_EXCEPTION(EngineError, m_store->insertCard(values, "2008-03-07"));
            QCOMPARE(liveCount(), 0);
            return;
        }
        const qint64 id = insert(values, "2008-03-07");
        QCOMPARE(m_store->card(id)->values.value("BName"), value);
        QCOMPARE(m_store->card(id)->values.value("FDes"), value);
        QCOMPARE(column(m_store->cardList(byName(value)), "ID"), QStringList{QString::number(id)});
        QCOMPARE(m_store->insertCard(values, "2008-03-07").outcome, WriteOutcome::Duplicate);
        m_store->addVisit(id, "2008-03-07", value, value);
        QCOMPARE(column(m_store->visits(id), "拜访方式"), QStringList{value});
    }

private:
    qint64 insert(const CardValues& values, const QString& date) {
        const CardStore::Inserted inserted = m_store->insertCard(values, date);
        if (inserted.outcome != WriteOutcome::Done) {
            qFatal("the card was not inserted");
        }
        return inserted.id;
    }
    static QStringList keyTexts(const QList<qint64>& keys) {
        QStringList texts;
        for (const qint64 key : keys) {
            texts << QString::number(key);
        }
        return texts;
    }
    int liveCount() { return m_store->cardList(FilterInput())->rowCount(); }

    const Engine m_engine;
    std::unique_ptr<Register> m_register;
    std::unique_ptr<CardStore> m_store;
    std::unique_ptr<CardStore> m_other;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (Engine& engine : engines()) {
        std::printf("engine: %s\n", engine.name);
        TestCardStore test(std::move(engine));
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

#include "tst_cardstore.moc"
