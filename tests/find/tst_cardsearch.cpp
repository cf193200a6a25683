// The search behind 查找: any value, or the pinyin of names and companies, with the readings
// of ICU and the extra readings of characters that have several.

#include "db/resultset.h"
#include "find/cardsearch.h"
#include "find/pinyin.h"

#include <QTest>

namespace {
struct Card {
    const char* name;
    const char* company;
    const char* mobile;
    const char* mail;
};
const Card Cards[] = {
    {"张伟", "北京华联商贸", "13800001111", "zw@example.com"},
    {"曾小贤", "上海广播电台", "13900002222", ""},
    {"王五", "长城科技", "", "wangwu@Mail.CN"},
    {"欧阳修", "", "", ""},
    {"Anna Li", "李记行", "", ""},
    {"刘备", "蜀汉 (100%)", "", ""},
};
} // namespace

class TestCardSearch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_cards = ResultSet({"ID", "姓名", "单位名称", "移动电话", "电子邮箱"});
        int id = 1;
        for (const Card& card : Cards) {
            m_cards.append(QString::number(id++));
            for (const char* value : {card.name, card.company, card.mobile, card.mail}) {
                m_cards.append(QString::fromUtf8(value));
            }
        }
        PinyinReadings readings;
        m_search = std::make_unique<CardSearch>(m_cards, QStringList{"ID"},
                                                QStringList{"姓名", "单位名称"}, readings);
    }

    void finds_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("initials of a name") << "zw" << QStringList{"张伟"};
        QTest::newRow("full pinyin") << "zhangwei" << QStringList{"张伟"};
        QTest::newRow("full pinyin with a blank") << "zhang wei" << QStringList{"张伟"};
        QTest::newRow("pinyin and initial mixed") << "zhangw" << QStringList{"张伟"};
        QTest::newRow("upper-case initials") << "ZW" << QStringList{"张伟"};
        QTest::newRow("initials of a company") << "bjhl" << QStringList{"张伟"};
        QTest::newRow("inside a company") << "hlsm" << QStringList{"张伟"};
        QTest::newRow("曾 as zeng") << "zxx" << QStringList{"曾小贤"};
        QTest::newRow("曾 as ceng") << "cxx" << QStringList{"曾小贤"};
        QTest::newRow("长 as chang") << "cc" << QStringList{"王五"};
        QTest::newRow("长 as zhang") << "zhangcheng" << QStringList{"王五"};
        QTest::newRow("行 as hang") << "ljh" << QStringList{"Anna Li"};
        QTest::newRow("compound surname") << "ouyangx" << QStringList{"欧阳修"};
        QTest::newRow("Chinese text") << "华联" << QStringList{"张伟"};
        QTest::newRow("Chinese and pinyin") << "张w" << QStringList{"张伟"};
        QTest::newRow("a phone number part") << "0000222" << QStringList{"曾小贤"};
        QTest::newRow("e-mail in another case") << "MAIL.cn" << QStringList{"王五"};
        QTest::newRow("a Latin name") << "anna" << QStringList{"Anna Li"};
        QTest::newRow("several cards") << "138" << QStringList{"张伟"};
        QTest::newRow("one letter") << "w" << QStringList{"张伟", "王五"};
        QTest::newRow("a Latin name without its blank") << "annali" << QStringList{"Anna Li"};
        QTest::newRow("SQL wildcards are text") << "100%" << QStringList{"刘备"};
        QTest::newRow("a quote") << "'" << QStringList{};
        QTest::newRow("no such text") << "xyzq" << QStringList{};
        QTest::newRow("not across fields") << "伟北" << QStringList{};
        QTest::newRow("not across name and company") << "wbj" << QStringList{};
        QTest::newRow("the key is no value") << "1" << QStringList{"张伟", "曾小贤", "刘备"};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void finds() {
        QFETCH(QString, typed);
        QFETCH(QStringList, names);
        QStringList found;
        for (const int row : m_search->find(typed)) {
            found << m_cards.text(row, 1);
        }
        QCOMPARE(found, names);
    }

    void readingsOfPolyphonicCharacters() {
        PinyinReadings readings;
        QVERIFY(readings.of(U'曾').contains("zeng"));
        QVERIFY(readings.of(U'曾').contains("ceng"));
        QVERIFY(readings.of(U'长').contains("chang"));
        QVERIFY(readings.of(U'长').contains("zhang"));
        QCOMPARE(readings.of(U'张'), QStringList{"zhang"});
        QVERIFY(readings.of(U'A').isEmpty());
        QVERIFY(readings.of(U'1').isEmpty());
    }

private:
    ResultSet m_cards;
    std::unique_ptr<CardSearch> m_search;
};

QTEST_MAIN(TestCardSearch)
#include "tst_cardsearch.moc"
