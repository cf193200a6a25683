#include "scan/cardparser.h"
#include "testsupport.h"

#include <QTest>

// The field rules as a table: lines as the recogniser reads them → the card's fields.
class TestCardParser : public QObject {
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void largestPrintIsTheName();
    void unusedLinesAreKept();
    void everyProvinceOfTheList();
};

using Fields = QHash<QString, QString>;
Q_DECLARE_METATYPE(Fields)

void TestCardParser::fields_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Fields>("expected");

    QTest::newRow("chinese card, labels on one line")
        << QStringList{"张伟 销售总监",
                       "深圳市华创科技有限公司",
                       "地址：广东省深圳市南山区科技园路88号",
                       "电话：0755-86001234传真：0755-86001235",
                       "手机：138 1234 5678",
                       "邮箱：zhangwei@huachuang.com",
                       "网址：www.huachuang.com"}
        << Fields{{"BName", "张伟"},
                  {"DJob", "销售总监"},
                  {"DName", "深圳市华创科技有限公司"},
                  {"DAdd", "广东省深圳市南山区科技园路88号"},
                  {"DArea", "广东"},
                  {"DCity", "深圳"},
                  {"DPho", "0755-86001234"},
                  {"DFax", "0755-86001235"},
                  {"BMob", "13812345678"},
                  {"BMail", "zhangwei@huachuang.com"},
                  {"DWWW", "www.huachuang.com"}};
    QTest::newRow("compound surname, name spaced, title never a surname")
        << QStringList{"欧 阳 娜 娜", "高级工程师", "研发中心 项目经理"}
        << Fields{{"BName", "欧阳娜娜"}, {"DJob", "高级工程师"}, {"DPart", "研发中心"}};
    QTest::newRow("a title starting with a surname")
        << QStringList{"项目经理"} << Fields{{"DJob", "项目经理"}};
    QTest::newRow("name and title run together")
        << QStringList{"司马光总经理"} << Fields{{"BName", "司马光"}, {"DJob", "总经理"}};
    QTest::newRow("department and title run together")
        << QStringList{"李娜", "市场部经理"}
        << Fields{{"BName", "李娜"}, {"DPart", "市场部"}, {"DJob", "经理"}};
    QTest::newRow("a department of the market is no address")
        << QStringList{"市场部销售经理", "湖北省武汉市洪山区长江路65号创新大厦2702室"}
        << Fields{{"DPart", "市场部"},
                  {"DJob", "销售经理"},
                  {"DAdd", "湖北省武汉市洪山区长江路65号创新大厦2702室"},
                  {"DArea", "湖北"},
                  {"DCity", "武汉"}};
    QTest::newRow("municipality, postcode at the address's end")
        << QStringList{"北京市朝阳区建国路88号SOHO现代城 100022"}
        << Fields{{"DAdd", "北京市朝阳区建国路88号SOHO现代城"},
                  {"DPos", "100022"},
                  {"DArea", "北京"},
                  {"DCity", "北京"}};
    QTest::newRow("city without province")
        << QStringList{"地址:杭州市西湖区文三路90号"}
        << Fields{{"DAdd", "杭州市西湖区文三路90号"}, {"DArea", "浙江"}, {"DCity", "杭州"}};
    QTest::newRow("autonomous region")
        << QStringList{"广西壮族自治区南宁市青秀区民族大道100号"}
        << Fields{{"DAdd", "广西壮族自治区南宁市青秀区民族大道100号"},
                  {"DArea", "广西"},
                  {"DCity", "南宁"}};
    QTest::newRow("misread fax label, extension, mobile with +86")
        << QStringList{"传眞:010-6552 8899", "Tel: (010) 6552 8888 转 8001", "M: +86 139-0101-2345"}
        << Fields{
               {"DFax", "010-65528899"}, {"DPho", "010-65528888转8001"}, {"BMob", "13901012345"}};
    QTest::newRow("+86 with area code without its 0")
        << QStringList{"T: +86 21 6888 1234", "F: +86 21 6888 1235"}
        << Fields{{"DPho", "021-68881234"}, {"DFax", "021-68881235"}};
    QTest::newRow("area codes of three and four digits, spaces lost")
        << QStringList{"T: 0256848 6133", "F: 07558600 1234", "(010)52086834"}
        << Fields{{"DPho", "025-68486133"}, {"DFax", "0755-86001234"}};
    QTest::newRow("english read without spaces")
        << QStringList{"MarketingDirector", "Room1608,InternationalCenter,No.140RenminRoad,Qingda0"}
        << Fields{{"DJob", "Marketing Director"},
                  {"DAdd", "Room 1608, International Center, No. 140 Renmin Road, Qingdao"},
                  {"DArea", "山东"},
                  {"DCity", "青岛"}};
    QTest::newRow("a capital of a name read small")
        << QStringList{"Grace wilson", "Product Manager"}
        << Fields{{"BName", "Grace Wilson"}, {"DJob", "Product Manager"}};
    QTest::newRow("mobile on the phone label goes to the mobile")
        << QStringList{"电话：13512345678"} << Fields{{"BMob", "13512345678"}};
    QTest::newRow("unlabelled numbers")
        << QStringList{"0571-88886666", "186 0000 1111"}
        << Fields{{"DPho", "0571-88886666"}, {"BMob", "18600001111"}};
    QTest::newRow("QQ and postcode") << QStringList{"QQ：12345678  邮编：310012"}
                                     << Fields{{"BQQ", "12345678"}, {"DPos", "310012"}};
    QTest::newRow("full-width signs")
        << QStringList{"Ｅ－ｍａｉｌ：ｌｉ＠ａｂｃ．ｃｎ"} << Fields{{"BMail", "li@abc.cn"}};
    QTest::newRow("@ read as o, one valid place")
        << QStringList{"邮箱：wangfangoabc-tech.cn"} << Fields{{"BMail", "wangfang@abc-tech.cn"}};
    QTest::newRow("@ read as o, chosen by the website")
        << QStringList{"E-mail: tom.lioexample.com", "www.example.com"}
        << Fields{{"BMail", "tom.li@example.com"}, {"DWWW", "www.example.com"}};
    QTest::newRow("@ read as o, ambiguous: left as read")
        << QStringList{"E-mail: tom.lioexample.com"} << Fields{{"BMail", "tom.lioexample.com"}};
    QTest::newRow("company word inside a name is no label")
        << QStringList{"中国移动通信集团广东有限公司", "星光传媒有限公司"}
        << Fields{{"DName", "中国移动通信集团广东有限公司"}};
    QTest::newRow("english card")
        << QStringList{"John Smith",
                       "Sales Manager",
                       "Acme Trading Co., Ltd.",
                       "Room 1203, Tower A, No. 88 Jianguo Road, Chaoyang District, Beijing",
                       "Tel: +86 10 6500 1234",
                       "Mobile: +86 138 0013 8000",
                       "Email: john.smith@acme.com",
                       "www.acme.com"}
        << Fields{{"BName", "John Smith"},
                  {"DJob", "Sales Manager"},
                  {"DName", "Acme Trading Co., Ltd."},
                  {"DAdd", "Room 1203, Tower A, No. 88 Jianguo Road, Chaoyang District, Beijing"},
                  {"DArea", "北京"},
                  {"DCity", "北京"},
                  {"DPho", "010-65001234"},
                  {"BMob", "13800138000"},
                  {"BMail", "john.smith@acme.com"},
                  {"DWWW", "www.acme.com"}};
    QTest::newRow("bilingual card: the chinese side wins")
        << QStringList{"王芳",
                       "Wang Fang",
                       "人力资源部",
                       "Human Resources Department",
                       "上海新图信息技术有限公司",
                       "Shanghai Xintu Information Technology Co., Ltd."}
        << Fields{
               {"BName", "王芳"}, {"DPart", "人力资源部"}, {"DName", "上海新图信息技术有限公司"}};
}

void TestCardParser::fields() {
    QFETCH(QStringList, lines);
    QFETCH(Fields, expected);
    const ParsedCard card = parseCardLines(lines);
    QCOMPARE(card.fields, expected);
}

void TestCardParser::largestPrintIsTheName() {
    const ParsedCard card =
        parseCardLines(std::vector<CardLine>{{"刘洋", 20}, {"陈静", 48}, {"总经理", 20}});
    QCOMPARE(card.fields.value("BName"), "陈静");
    QVERIFY(card.unusedLines.contains("刘洋"));
}

void TestCardParser::unusedLinesAreKept() {
    const ParsedCard card = parseCardLines(QStringList{"张伟", "诚信 共赢", "扫码关注"});
    QCOMPARE(card.fields.value("BName"), "张伟");
    QCOMPARE(card.unusedLines, (QStringList{"诚信", "共赢", "扫码关注"}));
}

// Each province of the delivered province list, at the start of an address, is put into 省份
// spelt as the list spells it.
void TestCardParser::everyProvinceOfTheList() {
    ScratchDatabase database;
    DirectSql sql(database.connectionString());
    const QStringList provinces =
        sql.scalar("SELECT group_concat(theName, '|') FROM D_P").split(u'|');
    QCOMPARE(provinces.size(), 34);
    for (const QString& province : provinces) {
        const ParsedCard card = parseCardLines(QStringList{province + "人民路1号创新大厦"});
        QCOMPARE(card.fields.value("DArea"), province);
    }
}

QTEST_GUILESS_MAIN(TestCardParser)
#include "tst_cardparser.moc"
