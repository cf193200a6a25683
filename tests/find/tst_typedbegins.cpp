// What typed into a drop-down finds a name: the name's own characters or its pinyin, by
// first letters, whole readings or a mix.

#include "find/pinyin.h"

#include <QTest>

class TestTypedBegins : public QObject {
    Q_OBJECT

private slots:
    void typed_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("begins");
        QTest::newRow("initials") << "湖南"
                                  << "hn" << true;
        QTest::newRow("initial then reading") << "湖南"
                                              << "hnan" << true;
        QTest::newRow("reading then initial") << "湖南"
                                              << "hun" << true;
        QTest::newRow("whole") << "湖南"
                               << "hunan" << true;
        QTest::newRow("start of the last reading") << "湖南"
                                                   << "huna" << true;
        QTest::newRow("letter case") << "湖南"
                                     << "HN" << true;
        QTest::newRow("first initial only") << "湖南"
                                            << "h" << true;
        QTest::newRow("the character") << "湖南"
                                       << "湖" << true;
        QTest::newRow("character then pinyin") << "湖南"
                                               << "湖n" << true;
        QTest::newRow("both characters") << "湖南"
                                         << "湖南" << true;
        QTest::newRow("another province") << "河南"
                                          << "hun" << false;
        QTest::newRow("not the start") << "湖南"
                                       << "n" << false;
        QTest::newRow("a cut reading that goes on") << "湖南"
                                                    << "hunx" << false;
        QTest::newRow("more than the name") << "湖南"
                                            << "hnx" << false;
        QTest::newRow("second reading") << "重庆"
                                        << "cq" << true;
        QTest::newRow("second reading, whole") << "西藏"
                                               << "xizang" << true;
        QTest::newRow("three characters") << "黑龙江"
                                          << "hlj" << true;
        QTest::newRow("Latin") << "MSN"
                               << "ms" << true;
        QTest::newRow("nothing typed") << "湖南"
                                       << "" << false;
    }
    void typed() {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(bool, begins);
        PinyinReadings readings;
        QCOMPARE(typedBegins(readings, name, typed), begins);
    }
};

QTEST_GUILESS_MAIN(TestTypedBegins)
#include "tst_typedbegins.moc"
