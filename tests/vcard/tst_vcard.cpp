// The vCard library: the file the writer gives (lines, folding, escapes, the name split), the
// round trip of every field with hostile values, the versions and encodings the reader takes,
// and the files it refuses.

#include "db/engineerror.h"
#include "vcard/vcard.h"
#include "vcard/vcardnames.h"

#include <QBuffer>
#include <QStringDecoder>
#include <QTest>

namespace {
// A card with every field set, each value distinct.
CardValues fullCard(const QString& name) {
    CardValues card;
    int i = 0;
    for (const CardField& field : cardFields()) {
        card.insert(field.column, QStringLiteral("%1-%2").arg(field.caption).arg(++i));
    }
    card.insert("BName", name);
    return card;
}

QString refusal(const QByteArray& file) {
    try {
        readVCards(file);
    } catch (const EngineError& e) {
        return e.message();
    }
    return QString();
}
} // namespace

class TestVCard : public QObject {
    Q_OBJECT

private slots:
    void fileIsVersion3WithCrlfAndFoldedLines() {
        CardValues card = fullCard(QStringLiteral("张伟"));
        card.insert("FDes", QString(60, QChar(u'长')) + QStringLiteral("abc🙂") +
                                QString(40, QChar(u'x')));
        const QByteArray file = writeVCards({card, fullCard(QStringLiteral("李娜"))});
        QVERIFY(file.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
        QVERIFY(file.endsWith("END:VCARD\r\n"));
        QCOMPARE(file.count("BEGIN:VCARD\r\n"), 2);
        QCOMPARE(file.count('\n'), file.count("\r\n")); // no bare line feed
        bool folded = false;
        for (const QByteArray& line : file.split('\n')) {
            QVERIFY2(line.size() <= 75 + 1, line.constData()); // 75 octets and the CR
            folded = folded || line.startsWith(' ');
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString text = utf8(line);
            QVERIFY2(!utf8.hasError(), "a line ends inside a character");
        }
        QVERIFY(folded);
        QCOMPARE(readVCards(file).front().value("FDes"), card.value("FDes"));
    }

    void fieldsAndEscapes() {
        CardValues card;
        card.insert("BName", QStringLiteral("欧阳修"));
        card.insert("theType", QStringLiteral("客户,老朋友"));
        card.insert("BMob", QStringLiteral("138 0000 1111"));
        card.insert("DName", QStringLiteral("北京华联;商贸"));
        card.insert("DPart", QStringLiteral("销售部"));
        card.insert("DAdd", QStringLiteral("长安街1号"));
        card.insert("DCity", QStringLiteral("北京"));
        card.insert("BDes", QStringLiteral("第一行\n第二行 C:\\dir"));
        const QString text = QString::fromUtf8(writeVCards({card}));
        QVERIFY(text.contains("\r\nFN:欧阳修\r\n"));
        QVERIFY(text.contains("\r\nN:欧阳;修;;;\r\n"));
        QVERIFY(text.contains("\r\nCATEGORIES:客户\\,老朋友\r\n"));
        QVERIFY(text.contains("\r\nTEL;TYPE=CELL:138 0000 1111\r\n"));
        QVERIFY(text.contains("\r\nORG:北京华联\\;商贸;销售部\r\n"));
        QVERIFY(text.contains("\r\nADR;TYPE=WORK:;;长安街1号;北京;;;\r\n"));
        QVERIFY(text.contains("\r\nNOTE:第一行\\n第二行 C:\\\\dir\r\n"));
        QVERIFY(!text.contains("X-QQ")); // an empty field is left out
    }

    void nameSplit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("given");
        QTest::newRow("one-character surname") << "张伟"
                                               << "张"
                                               << "伟";
        QTest::newRow("three characters") << "曾小贤"
                                          << "曾"
                                          << "小贤";
        QTest::newRow("欧阳") << "欧阳修"
                              << "欧阳"
                              << "修";
        QTest::newRow("司马") << "司马相如"
                              << "司马"
                              << "相如";
        QTest::newRow("诸葛") << "诸葛亮"
                              << "诸葛"
                              << "亮";
        QTest::newRow("a name that is a compound surname") << "欧阳"
                                                           << "欧"
                                                           << "阳";
        QTest::newRow("one character") << "张"
                                       << "张"
                                       << "";
        QTest::newRow("Latin, family name last") << "John Smith"
                                                 << "Smith"
                                                 << "John";
        QTest::newRow("Latin, one word") << "Alice"
                                         << ""
                                         << "Alice";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
    }
    void nameSplit() {
        QFETCH(QString, name);
        QFETCH(QString, family);
        QFETCH(QString, given);
        const SplitName split = splitName(name);
        QCOMPARE(split.family, family);
        QCOMPARE(split.given, given);
    }

    // Whatever a field holds comes back exactly, in every field.
    void hostileValuesRoundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("quotes") << "O'Brien \"引号\"";
        QTest::newRow("separators") << "a;b,c:d\\e\\\\f\\n";
        QTest::newRow("line breaks") << "一\n二\r\n三\r四";
        QTest::newRow("blanks at the ends") << "  中间  ";
        QTest::newRow("card syntax") << "x\nEND:VCARD\nBEGIN:VCARD\nFN:假";
        QTest::newRow("quoted-printable look") << "=E4=B8=AD =\n";
        QTest::newRow("uri look") << "tel:+86-10-1234";
        QTest::newRow("emoji and rare characters") << "🙂𠀀〇々";
        QTest::newRow("control characters") << QString("a\tb\x01"
                                                       "c") +
                                                   QChar(0) + "d";
        QTest::newRow("long") << QString(500, QChar(u'长')) + QString(77, QChar(u'x'));
    }
    void hostileValuesRoundTrip() {
        QFETCH(QString, value);
        CardValues card;
        for (const CardField& field : cardFields()) {
            card.insert(field.column, value + field.column);
        }
        const std::vector<CardValues> back = readVCards(writeVCards({card, fullCard("李")}));
        QCOMPARE(back.size(), size_t(2));
        for (const CardField& field : cardFields()) {
            QCOMPARE(back[0].value(field.column), card.value(field.column));
        }
        QCOMPARE(back[1].value("BName"), QStringLiteral("李"));
    }

    // Files of other programs: vCard 2.1 from older phones, 4.0 from newer ones.
    void otherVersions_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected"); // column=value
        QTest::newRow("2.1 quoted-printable UTF-8, soft line break")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                          "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0;=E4=BC=9F;;;\r\n"
                          "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0=\r\n"
                          "=E4=BC=9F\r\n"
                          "TEL;CELL;VOICE:13800001111\r\n"
                          "TEL;WORK:010-1\r\nTEL;HOME:010-2\r\nTEL;FAX:010-3\r\n"
                          "EMAIL;INTERNET:zw@example.com\r\n"
                          "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:=E5=A4=87 C:\\dir\r\n"
                          "END:VCARD\r\n")
            << QStringList{"BName=张伟", "BMob=13800001111",     "DPho=010-1",     "FPho=010-2",
                           "DFax=010-3", "BMail=zw@example.com", "BDes=备 C:\\dir"};
        QTest::newRow("2.1 GB2312 without a name line")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=GB2312:") +
                   QByteArray("\xD5\xC5;\xCE\xB0") + QByteArray(";;;\nORG;CHARSET=GBK:") +
                   QByteArray("\xB1\xB1\xBE\xA9") + QByteArray("\nEND:VCARD\n")
            << QStringList{"BName=张伟", "DName=北京"};
        QTest::newRow("2.1 GBK without a character set")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:") + QByteArray("\xD5\xC5\xCE\xB0") +
                   QByteArray("\r\nEND:VCARD\r\n")
            << QStringList{"BName=张伟"};
        QTest::newRow("4.0 uri phones, gender, quoted types, groups")
            << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Anna Li\r\nGENDER:F\r\n"
                          "TEL;VALUE=uri;TYPE=\"cell,voice\":tel:+86-138\r\n"
                          "item1.EMAIL;TYPE=work:anna@example.com\r\n"
                          "ADR;TYPE=home:;;1 Main St;Springfield;;12345;USA\r\n"
                          "ADR;TYPE=work:;;长安街1号;北京;北京;100000;\r\n"
                          "X-QQ:10001\r\nPHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\nEND:VCARD\r\n")
            << QStringList{"BName=Anna Li",
                           "BSex=女",
                           "BMob=+86-138",
                           "BMail=anna@example.com",
                           "FAdd=USA Springfield 1 Main St 12345",
                           "DAdd=长安街1号",
                           "DCity=北京",
                           "DArea=北京",
                           "DPos=100000",
                           "BQQ=10001"};
        QTest::newRow("two mobiles kept both, lower-case names, folded with a tab")
            << QByteArray("begin:vcard\nversion:3.0\nfn:张\n\t伟\ntel;type=CELL:1\n"
                          "tel;type=cell:2\nend:vcard\n")
            << QStringList{"BName=张伟", "BMob=1, 2"};
        QTest::newRow("UTF-8 byte-order mark and a card inside a card")
            << QByteArray("\xEF\xBB\xBF"
                          "BEGIN:VCARD\nVERSION:2.1\nFN:甲\n"
                          "AGENT:\nBEGIN:VCARD\nFN:乙\nEND:VCARD\nTEL:1\nEND:VCARD\n")
            << QStringList{"BName=甲", "BPho=1"};
    }
    void otherVersions() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        const std::vector<CardValues> cards = readVCards(file);
        QCOMPARE(cards.size(), size_t(1));
        CardValues want;
        for (const QString& pair : expected) {
            want.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        }
        for (const CardField& field : cardFields()) {
            QCOMPARE(cards.front().value(field.column), want.value(field.column));
        }
    }

    void badFilesAreRefused_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        const QString notVCard =
            QStringLiteral("这个文件不是 vCard 文件：vCard 文件以 BEGIN:VCARD 开始");
        QTest::newRow("empty") << QByteArray() << notVCard;
        QTest::newRow("text") << QByteArray("姓名,电话\n张伟,138\n") << notVCard;
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << notVCard;
        QTest::newRow("a workbook row before the card")
            << QByteArray("x:y\nBEGIN:VCARD\nFN:a\nEND:VCARD\n") << notVCard;
        QTest::newRow("END first") << QByteArray("END:VCARD\n") << notVCard;
        QTest::newRow("cut short")
            << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:张伟\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:李")
            << QStringLiteral("vCard 文件不完整：最后一张名片缺少 END:VCARD，没有导入任何名片");
        QTest::newRow("a line that is no property")
            << QByteArray("BEGIN:VCARD\nFN:a\nthis is not a property\nEND:VCARD\n")
            << QStringLiteral("vCard 文件已损坏：有一行不是“名称:内容”的形式，没有导入任何名片");
        QTest::newRow("unknown character set")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=KLINGON-8:abc\nEND:VCARD\n")
            << QStringLiteral("vCard 文件使用了无法识别的字符集“KLINGON-8”");
        QTest::newRow("neither UTF-8 nor GBK, and no character set")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nFN:\xFF\xFF\nEND:VCARD\n")
            << QStringLiteral("vCard 文件中有既不是 UTF-8 也不是 GBK 的文字（文件没有声明字符集），"
                              "没有导入任何名片");
        QTest::newRow("bytes the character set does not have")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=UTF-8:\xFF\xFE\nEND:VCARD\n")
            << QStringLiteral("vCard 文件中有不能按字符集“UTF-8”读取的文字");
    }
    void badFilesAreRefused() {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        QCOMPARE(refusal(file), message);
    }

    // The reader takes a file a piece at a time: folded lines, soft line breaks and UTF-16
    // characters that straddle two pieces come back whole.
    void longValuesAcrossPieces_data() {
        QTest::addColumn<QString>("encoding");
        QTest::newRow("UTF-8") << "UTF-8";
        QTest::newRow("UTF-16LE with its mark") << "UTF-16LE";
        QTest::newRow("quoted-printable") << "QP";
    }
    void longValuesAcrossPieces() {
        QFETCH(QString, encoding);
        CardValues card = fullCard(QStringLiteral("张伟"));
        card.insert("FDes", QStringLiteral("长🙂x").repeated(40'000));
        QByteArray file = writeVCards({card, fullCard(QStringLiteral("李娜"))});
        if (encoding == u"UTF-16LE") {
            const QString text = QString::fromUtf8(file);
            file = QByteArray("\xFF\xFE") +
                   QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        } else if (encoding == u"QP") {
            QByteArray value;
            for (const char byte : card.value("FDes").toUtf8()) {
                value += "=" + QByteArray::number(uchar(byte), 16).toUpper().rightJustified(2, '0');
                if (value.size() % 74 == 0) {
                    value += "=\r\n";
                }
            }
            file = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:张伟\r\n"
                   "X-ORVANE-NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" +
                   value + "\r\nEND:VCARD\r\n";
        }
        QBuffer buffer(&file);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const auto rows = readVCardRows(buffer);
        QCOMPARE(rows->text(0, rows->columnIndex("姓名")), QStringLiteral("张伟"));
        QCOMPARE(rows->text(0, rows->columnIndex("补充信息")), card.value("FDes"));
    }

    void rowsUnderTheCaptions() {
        const auto rows = cardRows({fullCard("甲"), fullCard("乙")});
        QCOMPARE(rows->rowCount(), 2);
        QCOMPARE(rows->columnCount(), int(cardFields().size()));
        QCOMPARE(rows->text(1, rows->columnIndex("姓名")), QStringLiteral("乙"));
        QCOMPARE(rows->text(0, rows->columnIndex("补充信息")), QStringLiteral("补充信息-24"));
    }
};

QTEST_MAIN(TestVCard)
#include "tst_vcard.moc"
