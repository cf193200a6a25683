#include "samplecards.h"
#include "scan/cardphoto.h"
#include "scan/cardscanner.h"
#include "scan/scanerror.h"

#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <opencv2/imgproc.hpp>

namespace {
// PNG's checksum of a chunk (CRC-32).
quint32 crc32ForTest(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFU;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}
} // namespace

// Card photos read whole: cards drawn here with their true fields, clean and photographed,
// turned every way; photos that are no card, too large, or no image at all.
class TestCardScan : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanCards_data();
    void cleanCards();
    void photographedCard();
    void turnedCard_data();
    void turnedCard();
    void exifOrientation();
    void photoWithoutText();
    void largePhotos();
    void notAnImage();
    void stopBeforeTheLines();
    void missingModels();
    void scanCommand();

private:
    void expectFields(const CardValues& truth, const CardValues& read, const QStringList& columns);

    std::unique_ptr<CardScanner> m_scanner;
    std::vector<SampleCard> m_cards;
    QTemporaryDir m_dir;
};

void TestCardScan::initTestCase() {
    m_scanner = std::make_unique<CardScanner>(QStringLiteral(ORVANE_MODEL_FOLDER));
    m_cards = sampleCards(4, 7); // one of each layout
    QVERIFY(m_dir.isValid());
}

void TestCardScan::expectFields(const CardValues& truth, const CardValues& read,
                                const QStringList& columns) {
    for (const QString& column : columns) {
        QCOMPARE(read.value(column), truth.value(column));
    }
}

void TestCardScan::cleanCards_data() {
    QTest::addColumn<int>("card");
    for (int i = 0; i < int(m_cards.size()); ++i) {
        QTest::newRow(qPrintable(m_cards[size_t(i)].label)) << i;
    }
}

void TestCardScan::cleanCards() {
    QFETCH(int, card);
    const SampleCard& sample = m_cards[size_t(card)];
    const CardScan scan = m_scanner->scanPhoto(cardPixels(sample.image));
    const FieldScore score = scoreFields(sample.truth, scan.card.fields);
    QVERIFY2(score.wrong.isEmpty(), qPrintable(score.wrong.join(u'\n')));
}

void TestCardScan::photographedCard() {
    const SampleCard& sample = m_cards[1];
    const CardScan scan = m_scanner->scanPhoto(photographed(sample.image, 3));
    expectFields(sample.truth, scan.card.fields, {"BName", "DName", "BMob", "DPho"});
}

void TestCardScan::turnedCard_data() {
    QTest::addColumn<int>("turn");
    QTest::newRow("on its side") << int(cv::ROTATE_90_COUNTERCLOCKWISE);
    QTest::newRow("upside down") << int(cv::ROTATE_180);
}

void TestCardScan::turnedCard() {
    QFETCH(int, turn);
    const SampleCard& sample = m_cards[0];
    cv::Mat turned;
    cv::rotate(cardPixels(sample.image), turned, turn);
    const CardScan scan = m_scanner->scanPhoto(turned);
    QVERIFY(scan.reading.photo.cols > scan.reading.photo.rows);
    expectFields(sample.truth, scan.card.fields, {"BName", "DName", "BMob"});
}

// A camera stores a card held upright sideways and says so in EXIF: read upright.
void TestCardScan::exifOrientation() {
    const QString path = m_dir.filePath("exif.jpg");
    QImageWriter writer(path);
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    QVERIFY(writer.write(m_cards[0].image.transformed(QTransform().rotate(-90))));
    const cv::Mat photo = loadCardPhoto(path);
    QCOMPARE(photo.cols, m_cards[0].image.width());
    QCOMPARE(photo.rows, m_cards[0].image.height());
}

void TestCardScan::photoWithoutText() {
    cv::Mat table(900, 1200, CV_8UC3, cv::Scalar(90, 110, 130));
    cv::Mat noise(table.size(), CV_8UC3);
    cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(6));
    table += noise;
    const CardScan scan = m_scanner->scanPhoto(table);
    QVERIFY(!scan.hasText());
    QVERIFY(scan.card.fields.isEmpty());
}

// A large JPEG is scaled while it is decoded; a PNG whose pixels would pass the decoder's
// bound is refused before anything is decoded (here a header claiming 20000 × 20000 pixels).
void TestCardScan::largePhotos() {
    const QString jpeg = m_dir.filePath("large.jpg");
    QVERIFY(m_cards[0].image.scaled(6000, 3428).save(jpeg, "JPEG", 80));
    const cv::Mat scaled = loadCardPhoto(jpeg);
    QCOMPARE(scaled.cols, CardPhotoLongestSide);

    const QString png = m_dir.filePath("bomb.png");
    QImage small(8, 8, QImage::Format_Grayscale8);
    small.fill(255);
    QVERIFY(small.save(png, "PNG"));
    QFile file(png);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const QByteArray side = QByteArray::fromHex("00004e20"); // 20000
    bytes.replace(16, 4, side).replace(20, 4, side);         // the IHDR's width and height
    // The IHDR's checksum over its type and data.
    const quint32 crc = quint32(crc32ForTest(bytes.mid(12, 17)));
    const char crcBytes[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    bytes.replace(29, 4, QByteArray(crcBytes, 4));
    file.seek(0);
    file.write(bytes);
    file.close();
    try {
        loadCardPhoto(png);
        QFAIL("a 20000 × 20000 PNG was decoded");
    } catch (const ScanError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("太大")), qPrintable(error.message()));
    }
}

void TestCardScan::notAnImage() {
    const QString path = m_dir.filePath("card.jpg");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("BEGIN:VCARD\nFN:张伟\nEND:VCARD\n");
    file.close();
    try {
        m_scanner->scanFile(path);
        QFAIL("a text file was read as a photo");
    } catch (const ScanError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("不是图片文件")),
                 qPrintable(error.message()));
    }
}

// A stop asked for before the lines are read: the reading ends without reading them.
void TestCardScan::stopBeforeTheLines() {
    std::stop_source stop;
    stop.request_stop();
    const CardScan scan = m_scanner->scanPhoto(cardPixels(m_cards[0].image), stop.get_token());
    QVERIFY(scan.lines.empty());
}

void TestCardScan::missingModels() {
    CardScanner scanner(m_dir.filePath("no-models"));
    try {
        scanner.scanPhoto(cardPixels(m_cards[0].image));
        QFAIL("read without models");
    } catch (const ScanError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("找不到识别名片所需的文件")),
                 qPrintable(error.message()));
    }
}

// orvane --scan: one JSON object per photo on standard output, keyed by the editor's
// captions; a file that is no image said on standard error, with exit status 1.
void TestCardScan::scanCommand() {
    const QString photo = m_dir.filePath("名片.png");
    QVERIFY(m_cards[0].image.save(photo));
    const QString text = m_dir.filePath("notes.txt");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a photo\n");
    file.close();
    QProcess program;
    program.start(QStringLiteral(ORVANE_PROGRAM), {"--scan", photo, text});
    QVERIFY(program.waitForFinished(120000));
    QCOMPARE(program.exitCode(), 1);
    const QStringList objects =
        QString::fromUtf8(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(objects.size(), 1);
    const QJsonObject card = QJsonDocument::fromJson(objects.first().toUtf8()).object();
    QCOMPARE(card.value(QStringLiteral("姓名")).toString(), m_cards[0].truth.value("BName"));
    QCOMPARE(card.value(QStringLiteral("移动电话")).toString(), m_cards[0].truth.value("BMob"));
    QCOMPARE(card.value(QStringLiteral("单位名称")).toString(), m_cards[0].truth.value("DName"));
    const QString complaint = QString::fromUtf8(program.readAllStandardError());
    QVERIFY2(complaint.contains(QStringLiteral("notes.txt 不是图片文件")), qPrintable(complaint));
}

QTEST_MAIN(TestCardScan)
#include "tst_cardscan.moc"
