// 导出vCard from the main window and 导入vCard in the import window, on the real engine: the
// list written in its filter and order, every field of every card back after a round trip
// into an empty database, the import's duplicate rule, bad files, and a third-party reader
// (Python's vobject) reading what the program wrote.

#include "db/cards.h"
#include "db/filedialect.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/exchange/exportfile.h"
#include "ui/exchange/importwindow.h"
#include "ui/main/mainwindow.h"
#include "vcard/vcard.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

// A card with every field set, each value made of base and the field's column.
CardValues fullCard(const QString& type, const QString& name, const QString& sex,
                    const QString& base) {
    CardValues card;
    for (const CardField& field : cardFields()) {
        card.insert(field.column, base + field.column);
    }
    card.insert("theType", type);
    card.insert("BName", name);
    card.insert("BSex", sex);
    return card;
}

QString insertFullCard(DirectSql& sql, const CardValues& card) {
    sql.exec(cardInsertStatement(fileDialect(), QStringLiteral("2008-01-01"), card));
    return sql.scalar(QStringLiteral("select max(ID) from D_B"));
}

// Every field of every live card, by name.
QList<CardValues> storedCards(DirectSql& sql) {
    QList<CardValues> cards;
    const QString ids = QStringLiteral("select ID from D_B where theDel='否' order by BName");
    const int count = sql.count(ids);
    for (int i = 0; i < count; ++i) {
        const QString id = sql.scalar(ids + QStringLiteral(" limit 1 offset %1").arg(i));
        CardValues card;
        for (const CardField& field : cardFields()) {
            card.insert(
                field.column,
                sql.scalar(QStringLiteral("select %1 from D_B where ID=%2").arg(field.column, id)));
        }
        cards << card;
    }
    return cards;
}
} // namespace

class TestVCardExchange : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        m_exports = std::make_unique<QTemporaryDir>();
        setExportFolder(m_exports->filePath("导出"));
    }
    void cleanup() {
        m_program.reset();
        setExportFolder(QString());
    }

    // The list as shown: its filter and its title-click order; the cursor stays.
    void exportWritesTheListAsShown() {
        DirectSql& sql = m_program->sql();
        insertCard(sql, "客户", "乙", "男", "2008-03-01");
        insertCard(sql, "客户", "甲", "女", "2008-03-02");
        insertCard(sql, "客户", "丙", "男", "2007-01-01"); // outside the date range
        insertCard(sql, "客户", "丁", "男", "2008-03-03");
        m_program->start();
        frmMain->findChild<QLineEdit*>("Edit1")->setText("2008-03-01");
        QTest::mouseClick(frmMain->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
        frmMain->DBGrid1->titleClick(frmMain->cardList->result()->columnIndex("姓名"));
        frmMain->cardList->setRecNo(2);

        frmMain->findChild<QAction*>("V1")->trigger();
        QVERIFY(lastErrorText().isEmpty());
        const QString path = exportedFile();
        QVERIFY(QFileInfo(path).fileName().startsWith("名片 "));
        QVERIFY(path.endsWith(".vcf"));
        QCOMPARE(Messages::shown().last().kind, Messages::Kind::Plain);
        QVERIFY(Messages::shown().last().text.contains(QDir::toNativeSeparators(path)));
        QStringList names;
        for (const CardValues& card : readVCards(contentOf(path))) {
            names << card.value("BName");
        }
        QStringList listed;
        for (int position = 0; position < frmMain->cardList->recordCount(); ++position) {
            listed << frmMain->cardList->result()->text(frmMain->cardList->rowAt(position), 3);
        }
        QCOMPARE(names, listed);
        QCOMPARE(names.size(), 3);
        QCOMPARE(frmMain->cardList->recNo(), 2);
    }

    // Export, then import into an empty database: every field of every card is equal.
    void roundTripIntoAnEmptyDatabase_data() {
        QTest::addColumn<QString>("base");
        QTest::newRow("plain values") << QStringLiteral("北京华联商贸");
        QTest::newRow("hostile values")
            << QStringLiteral("O'Brien;a,b:c\\d\\n 第一行\r\n第二行\n🙂 END:VCARD =E4 ");
    }
    void roundTripIntoAnEmptyDatabase() {
        QFETCH(QString, base);
        const QList<CardValues> cards = {fullCard("客户", "张伟", "男", base),
                                         fullCard("朋友", "欧阳修", "女", base + u'2'),
                                         fullCard("同事", " 空格 ", "", base + u'3')};
        for (const CardValues& card : cards) {
            insertFullCard(m_program->sql(), card);
        }
        m_program->start();
        frmMain->findChild<QAction*>("V1")->trigger();
        const QString path = exportedFile();
        m_program.reset();

        m_program = std::make_unique<ProgramFixture>(); // a fresh copy of the delivered file
        QCOMPARE(m_program->sql().count("select ID from D_B"), 0);
        m_program->start();
        runImport([&](TfrmInData* w) {
            openVCards(w, path);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("vCard数据  共有 3 条数据"));
            QCOMPARE(w->DBGrid1->model()->rowCount(), 3);
            QTest::mouseClick(w->importButton, Qt::LeftButton);
            QVERIFY(!w->isVisible());
        });
        QCOMPARE(
            Messages::shown().last().text,
            QStringLiteral("数据导入 保存成功！\n新增名片 3 张，跳过重复 0 行，跳过无姓名 0 行。"));
        QCOMPARE(frmMain->cardList->recordCount(), 3);
        const QList<CardValues> stored = storedCards(m_program->sql());
        QCOMPARE(stored.size(), 3);
        QList<CardValues> expected = cards;
        std::sort(expected.begin(), expected.end(), [](const CardValues& a, const CardValues& b) {
            return a.value("BName").toUtf8() < b.value("BName").toUtf8();
        });
        for (int i = 0; i < 3; ++i) {
            for (const CardField& field : cardFields()) {
                QCOMPARE(stored[i].value(field.column), expected[i].value(field.column));
            }
        }
    }

    // The rule of the sheet import: rows without a name and rows that repeat a live card
    // (also one of the same file) are skipped; a deleted card does not block.
    void duplicatesAndNamelessCardsAreSkipped() {
        DirectSql& sql = m_program->sql();
        insertCard(sql, "客户", "张三", "男");
        const QString gone = insertCard(sql, "客户", "李四", "女");
        sql.exec("update D_B set theDel='是' where ID=" + gone);
        const QString path = m_exports->filePath("cards.vcf");
        writeFile(path, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:张三\r\nCATEGORIES:客户\r\n"
                        "X-GENDER:男\r\nEND:VCARD\r\n"
                        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:李四\r\nCATEGORIES:客户\r\n"
                        "X-GENDER:女\r\nEND:VCARD\r\n"
                        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\r\nTEL:1\r\nEND:VCARD\r\n"
                        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:王五\r\nEND:VCARD\r\n"
                        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:王五\r\nTEL:2\r\nEND:VCARD\r\n");
        m_program->start();
        runImport([&](TfrmInData* w) {
            openVCards(w, path);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("vCard数据  共有 5 条数据"));
            QTest::mouseClick(w->importButton, Qt::LeftButton);
        });
        QCOMPARE(
            Messages::shown().last().text,
            QStringLiteral("数据导入 保存成功！\n新增名片 2 张，跳过重复 2 行，跳过无姓名 1 行。"
                           "\n未导入的行列在窗口中。"));
        QCOMPARE(sql.count("select ID from D_B where theDel='否' and BName='张三'"), 1);
        QCOMPARE(sql.count("select ID from D_B where theDel='否' and BName='李四'"), 1);
        QCOMPARE(sql.count("select ID from D_B where BName='王五'"), 1);
        QCOMPARE(sql.scalar("select BPho from D_B where BName='王五'"), QString());
        QCOMPARE(sql.count("select ID from D_B"), 4);
    }

    // A bad file: a plain message in the error box, nothing stored, the window as it was.
    void badFilesStoreNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a vCard")
            << QByteArray("姓名,电话\n张三,138\n")
            << QStringLiteral("这个文件不是 vCard 文件：vCard 文件以 BEGIN:VCARD 开始.");
        QTest::newRow("cut short")
            << QByteArray("BEGIN:VCARD\nFN:张三\nEND:VCARD\nBEGIN:VCARD\nFN:李")
            << QStringLiteral("vCard 文件不完整：最后一张名片缺少 END:VCARD，没有导入任何名片.");
        QTest::newRow("unknown character set")
            << QByteArray("BEGIN:VCARD\nFN:张三\nEND:VCARD\n"
                          "BEGIN:VCARD\nFN;CHARSET=X-NOWHERE:abc\nEND:VCARD\n")
            << QStringLiteral("vCard 文件使用了无法识别的字符集“X-NOWHERE”.");
    }
    void badFilesStoreNothing() {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = m_exports->filePath("bad.vcf");
        writeFile(path, content);
        m_program->start();
        runImport([&](TfrmInData* w) {
            openVCards(w, path);
            QCOMPARE(lastErrorText(), message);
            QCOMPARE(w->GroupBox2->title(), QStringLiteral("EXCEL数据"));
            QVERIFY(w->isVisible());
        });
        QCOMPARE(m_program->sql().count("select ID from D_B"), 0);
    }

    // Python's vobject reads the program's file with the same fields.
    void anotherReaderReadsTheExport() {
        const CardValues card = fullCard("客户,老朋友", "欧阳修", "男", "值;带,分隔符 ");
        insertFullCard(m_program->sql(), card);
        m_program->start();
        frmMain->findChild<QAction*>("V1")->trigger();
        QProcess python; // Debian's Python, where python3-vobject lives
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(ORVANE_VOBJECT_CHECK), exportedFile()});
        QVERIFY(python.waitForFinished(60000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        QStringList read = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n');
        read.removeAll(QString());
        const auto v = [&card](const char* column) { return card.value(QLatin1String(column)); };
        const QStringList expected = {
            "0.version=3.0",
            "0.fn=欧阳修",
            "0.n.family=欧阳",
            "0.n.given=修",
            "0.tel.VOICE=" + v("BPho"),
            "0.tel.CELL=" + v("BMob"),
            "0.tel.WORK,VOICE=" + v("DPho"),
            "0.tel.WORK,FAX=" + v("DFax"),
            "0.tel.HOME,VOICE=" + v("FPho"),
            "0.email=" + v("BMail"),
            "0.org=" + v("DName") + u';' + v("DPart"),
            "0.title=" + v("DJob"),
            "0.url=" + v("DWWW"),
            "0.note=" + v("BDes"),
            "0.x-qq=" + v("BQQ"),
            "0.x-msn=" + v("BMSN"),
            "0.x-aliwangwang=" + v("BWW"),
            "0.x-gender=" + v("BSex"),
            "0.x-orvane-family=" + v("FPro"),
            "0.x-orvane-note=" + v("FDes"),
            "0.categories=客户,老朋友",
            "0.adr.WORK=" + v("DAdd") + u';' + v("DCity") + u';' + v("DArea") + u';' + v("DPos"),
            "0.adr.HOME=" + v("FAdd") + ";;;",
        };
        for (const QString& line : expected) {
            QVERIFY2(read.contains(line), qPrintable(line + "\nread:\n" + read.join(u'\n')));
        }
    }

private:
    QString exportedFile() const {
        const QDir folder(m_exports->filePath("导出"));
        const QStringList files = folder.entryList({"*.vcf"}, QDir::Files);
        return files.size() == 1 ? folder.filePath(files.front()) : QString();
    }

    static QByteArray contentOf(const QString& path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    static void writeFile(const QString& path, const QByteArray& content) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    static void openVCards(TfrmInData* window, const QString& path) {
        Messages::queueFileName(path);
        QTest::mouseClick(window->vCardButton, Qt::LeftButton);
    }

    void runImport(const std::function<void(TfrmInData*)>& actions) {
        bool ran = false;
        whenModalShown([&](QWidget* modal) {
            if (auto* window = qobject_cast<TfrmInData*>(modal)) {
                actions(window);
                if (window->isVisible()) {
                    QTest::mouseClick(window->exitButton, Qt::LeftButton);
                }
                ran = true;
            }
        });
        frmMain->findChild<QAction*>(QStringLiteral("I1"))->trigger();
        QVERIFY(ran);
    }

    std::unique_ptr<ProgramFixture> m_program;
    std::unique_ptr<QTemporaryDir> m_exports;
};

QTEST_MAIN(TestVCardExchange)
#include "tst_vcard_exchange.moc"
