// Every bound of the vCard reader, each at the bound and just past it, on files written here
// a piece at a time: the read runs in a child process whose peak memory must stay under
// 200 MB above that of reading a small file, and the outcome is the rows or one message
// naming the reason. Figures (size, peak, time) go to the test log; with ORVANE_LIMIT_FILES
// set to a folder the files are kept there.

#include "childpeak.h"
#include "vcard/vcard.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 MB = 1024 * 1024;
constexpr long BudgetKb = 200 * 1024;

// A file of units each repeated so many times, one after the other.
bool writeRepeated(const QString& path, const QList<std::pair<QByteArray, qint64>>& segments) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    for (const auto& [unit, times] : segments) {
        const qint64 perPiece = std::max<qint64>(1, MB / std::max<qsizetype>(unit.size(), 1));
        const QByteArray piece = unit.repeated(qsizetype(std::min(times, perPiece)));
        qint64 left = times;
        for (; left >= perPiece; left -= perPiece) {
            file.write(piece);
        }
        file.write(unit.repeated(qsizetype(left)));
    }
    return file.error() == QFile::NoError;
}

const QByteArray Card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:a\r\nEND:VCARD\r\n";

// One card, then blank lines up to bytes.
bool fileOf(const QString& path, qint64 bytes) {
    return writeRepeated(path, {{Card, 1}, {"\n", bytes - Card.size()}});
}

// One card of bytes, counted as the reader counts a card: its content lines without their
// line ends.
bool cardOf(const QString& path, qint64 bytes) {
    const QByteArray head = "BEGIN:VCARD";
    const QByteArray name = "FN:a";
    const QByteArray photo = "PHOTO;ENCODING=b:";
    const QByteArray tail = "END:VCARD";
    const qint64 data = bytes - head.size() - name.size() - photo.size() - tail.size();
    return writeRepeated(
        path,
        {{head + "\r\n" + name + "\r\n" + photo, 1}, {"A", data}, {"\r\n" + tail + "\r\n", 1}});
}

bool cardsOf(const QString& path, qint64 count) {
    return writeRepeated(path, {{Card, count}});
}

// Cards of a name of one byte and a note, bytes of values in all.
bool textOf(const QString& path, qint64 bytes) {
    const qint64 each = 2 * MB;
    const auto card = [](qint64 noteBytes) {
        return "BEGIN:VCARD\r\nFN:a\r\nNOTE:" + QByteArray(std::max<qint64>(noteBytes, 0), 'n') +
               "\r\nEND:VCARD\r\n";
    };
    return writeRepeated(path, {{card(each - 1), bytes / each},
                                {card(bytes % each - 1), bytes % each == 0 ? 0 : 1}});
}

bool newlinesOf(const QString& path, qint64 bytes) {
    return writeRepeated(path, {{"\n", bytes}});
}

// Cards as a phone writes them, about 84 bytes each.
bool phoneCardsOf(const QString& path, qint64 count) {
    return writeRepeated(path, {{"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:张伟\r\nN:张;伟;;;\r\n"
                                 "TEL;TYPE=CELL:13800138000\r\nEND:VCARD\r\n",
                                 count}});
}

using Writer = bool (*)(const QString&, qint64);

} // namespace

class TestVCardLimits : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QString small = m_dir.filePath(QStringLiteral("small.vcf"));
        QVERIFY(cardsOf(small, 1));
        const ChildRun run = runChild(helper(), {small});
        QCOMPARE(run.output, QStringLiteral("rows 1"));
        m_baselineKb = run.peakKb;
        qInfo("baseline: peak %ld MB reading a small file", m_baselineKb / 1024);
    }

    void bounds_data() {
        QTest::addColumn<quintptr>("writer");
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<QString>("outcome");
        auto row = [](const char* name, Writer writer, qint64 amount, const QString& outcome) {
            QTest::newRow(name) << quintptr(writer) << amount << outcome;
        };
        using namespace VCardLimits;
        const auto tooLarge = [](const char* what) {
            return QStringLiteral("vCard 文件太大：%1，没有导入任何名片")
                .arg(QString::fromUtf8(what));
        };
        row("file at the bound", fileOf, FileBytes, QStringLiteral("rows 1"));
        row("file past it", fileOf, FileBytes + 1, tooLarge("超过 128 MB"));
        row("card at the bound", cardOf, CardBytes, QStringLiteral("rows 1"));
        row("card past it", cardOf, CardBytes + 1, tooLarge("有一张名片超过 4 MB"));
        row("cards at the bound", cardsOf, Cards, QStringLiteral("rows 200000"));
        row("cards past it", cardsOf, Cards + 1, tooLarge("名片超过 20 万张"));
        row("text at the bound", textOf, TextBytes, QStringLiteral("rows 32"));
        row("text past it", textOf, TextBytes + 1, tooLarge("名片的文字超过 64 MB"));
        row("20 MB of newlines", newlinesOf, 20 * MB,
            QStringLiteral("这个文件不是 vCard 文件：vCard 文件以 BEGIN:VCARD 开始"));
        row("100,000 cards", phoneCardsOf, 100'000, QStringLiteral("rows 100000"));
    }
    void bounds() {
        QFETCH(quintptr, writer);
        QFETCH(qint64, amount);
        QFETCH(QString, outcome);
        const QString keep = qEnvironmentVariable("ORVANE_LIMIT_FILES");
        const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_') +
                             QStringLiteral(".vcf");
        const QString path = QDir(keep.isEmpty() ? m_dir.path() : keep).filePath(name);
        QVERIFY(reinterpret_cast<Writer>(writer)(path, amount));
        const auto [run, grownKb] =
            readLimitCase(helper(), path, m_baselineKb, QTest::currentDataTag());
        QVERIFY(run.exitedNormally);
        QCOMPARE(run.output, outcome);
        if (PeakMeasuresTheProgram) {
            QVERIFY2(grownKb < BudgetKb, qPrintable(QStringLiteral("%1 KB").arg(grownKb)));
        }
    }

private:
    static QString helper() {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/read_vcard");
    }

    QTemporaryDir m_dir;
    long m_baselineKb = 0;
};

QTEST_MAIN(TestVCardLimits)
#include "tst_vcardlimits.moc"
