// Reading card photos: fields exactly right on drawn cards (clean, and photographed) and the
// processor time per card, against the bare passes of the two models over the same photos
// and lines in the same run. Prints "name: value" lines and ends by itself.
//
//   bench_scan [cards] [seed]   (40 cards by default, as many photographed ones; the seed of
//                                the drawn cards, 20261211 by default: the cards the field
//                                rules were tuned on; another seed gives cards never seen)

#include "samplecards.h"
#include "scan/cardscanner.h"

#include <QFile>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

long peakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
            }
        }
    }
    return -1;
}

void print(const char* name, double value) {
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

struct SetResult {
    FieldScore score;
    double scanSeconds = 0;
    double bareSeconds = 0;
};

// The models alone on the inputs the scan gave them: the detector on the photo, the
// recogniser on a line of each box's size.
double barePasses(TextModels& models, const cv::Mat& photo, const TextReading& reading) {
    const cv::Mat detection = detectionInput(photo);
    std::vector<cv::Mat> lines;
    for (const TextBox& box : reading.lines) {
        const float width = float(cv::norm(box.corners[1] - box.corners[0]));
        lines.push_back(
            recognitionInput(cv::Mat(std::max(1, cvRound(box.height())),
                                     std::max(1, cvRound(width)), CV_8UC3, cv::Scalar::all(255))));
    }
    const double start = cpuSeconds();
    runDetector(models, detection);
    for (const cv::Mat& line : lines) {
        runRecogniser(models, line);
    }
    return cpuSeconds() - start;
}

SetResult runSet(CardScanner& scanner, const std::vector<SampleCard>& cards, bool photographs) {
    SetResult result;
    for (size_t i = 0; i < cards.size(); ++i) {
        const cv::Mat photo = photographs ? photographed(cards[i].image, quint32(1000 + i))
                                          : cardPixels(cards[i].image);
        const double start = cpuSeconds();
        const CardScan scan = scanner.scanPhoto(photo);
        result.scanSeconds += cpuSeconds() - start;
        result.bareSeconds += barePasses(scanner.reader().models(), photo, scan.reading);
        const FieldScore score = scoreFields(cards[i].truth, scan.card.fields);
        result.score.right += score.right;
        result.score.scored += score.scored;
        for (const QString& wrong : score.wrong) {
            std::fprintf(stderr, "%s %s: %s\n", photographs ? "photo" : "clean",
                         qPrintable(cards[i].label), qPrintable(wrong));
        }
    }
    return result;
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 40;
    const quint32 seed = argc > 2 ? quint32(strtoul(argv[2], nullptr, 10)) : 20261211U;
    const std::vector<SampleCard> cards = sampleCards(count, seed);

    CardScanner scanner(QStringLiteral(ORVANE_MODEL_FOLDER));
    const double loadStart = cpuSeconds();
    scanner.reader().models();
    print("model_load_cpu_s", cpuSeconds() - loadStart);

    const SetResult clean = runSet(scanner, cards, false);
    const SetResult photos = runSet(scanner, cards, true);
    print("clean_fields_right_percent", 100.0 * clean.score.right / clean.score.scored);
    print("photo_fields_right_percent", 100.0 * photos.score.right / photos.score.scored);
    std::printf("fields_scored: %d clean, %d photo\n", clean.score.scored, photos.score.scored);
    const double cards2 = 2.0 * double(cards.size());
    print("cpu_per_card_s", (clean.scanSeconds + photos.scanSeconds) / cards2);
    print("cpu_per_card_clean_s", clean.scanSeconds / double(cards.size()));
    print("cpu_per_card_photo_s", photos.scanSeconds / double(cards.size()));
    print("bare_passes_per_card_s", (clean.bareSeconds + photos.bareSeconds) / cards2);
    print("scan_vs_bare_passes",
          (clean.scanSeconds + photos.scanSeconds) / (clean.bareSeconds + photos.bareSeconds));
    std::printf("peak_memory_mb: %ld\n", peakMegabytes());
    return 0;
}
