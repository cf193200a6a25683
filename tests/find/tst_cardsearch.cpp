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
    {"Émile", "Ölhandel GmbH", "", "EMILE@OEL.DE"},
};

// What a card found by its values alone must be: one of its values (all but the key) holds
// the text, letter case aside.
std::vector<int> plainFind(const ResultSet& cards, const QString& typed) {
    std::vector<int> rows;
    for (int row = 0; row < cards.rowCount(); ++row) {
        for (int column = 1; column < cards.columnCount(); ++column) {
            if (cards.text(row, column).contains(typed, Qt::CaseInsensitive)) {
                rows.push_back(row);
                break;
            }
        }
    }
    return rows;
}
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
        QTest::newRow("letter case beyond Latin") << "ÖLHANDEL" << QStringList{"Émile"};
        QTest::newRow("letter case of the value") << "éMILE" << QStringList{"Émile"};
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

    // Typed key by key, each key narrowing the search before, a text finds what it finds
    // typed at once: cards found by their values and cards found by spelling alike.
    void keyByKeyFindsWhatTheWholeTextFinds() {
        const QStringList texts = {"zhangw", "zw", "138000", "wangwu@mail", "ouyangx", "an", "cxx"};
        for (const QString& text : texts) {
            PinyinReadings readings;
            CardSearch search(m_cards, {"ID"}, {"姓名", "单位名称"}, readings);
            for (qsizetype typed = 1; typed < text.size(); ++typed) {
                search.find(text.left(typed));
            }
            QCOMPARE(search.find(text), m_search->find(text));
        }
    }

    // Over a long list (searched in two halves at once, in one pass over the text of many
    // rows or row by row over few), every key finds what a plain scan finds, and so does
    // a text typed again after Backspace.
    void longListFindsWhatAPlainScanFinds() {
        ResultSet cards({"ID", "姓名", "单位名称", "移动电话", "电子邮箱"});
        const int rows = 30000;
        for (int row = 0; row < rows; ++row) {
            cards.append(QString::number(row + 1));
            cards.append(QStringLiteral("张%1").arg(row % 97));
            cards.append(QStringLiteral("某某公司%1").arg(row % 1000));
            cards.append(QStringLiteral("138%1").arg(row * 7919 % 100000000, 8, 10, QChar(u'0')));
            cards.append(QStringLiteral("User%1@Example.COM").arg(row));
        }
        PinyinReadings readings;
        CardSearch search(cards, {"ID"}, {"姓名", "单位名称"}, readings);
        for (const QString& text : {QStringLiteral("user2999@"), QStringLiteral("1380000"),
                                    QStringLiteral("@EXAMPLE.com"), QStringLiteral("user29999"),
                                    QStringLiteral("5555"), QStringLiteral("公司99")}) {
            for (qsizetype typed = 1; typed <= text.size(); ++typed) {
                QCOMPARE(search.find(text.left(typed)), plainFind(cards, text.left(typed)));
            }
            QCOMPARE(search.find(text.left(text.size() - 1)),
                     plainFind(cards, text.left(text.size() - 1)));
        }
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
