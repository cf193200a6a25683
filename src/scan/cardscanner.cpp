#include "scan/cardscanner.h"

#include "db/connectionsettings.h"
#include "scan/cardphoto.h"

QString bundledModelFolder() {
    return programFolder() + QStringLiteral("models");
}

CardScanner::CardScanner(QString modelFolder) : m_reader(std::move(modelFolder)) {}

CardScan CardScanner::scanFile(const QString& path, std::stop_token stop) {
    return scanPhoto(loadCardPhoto(path), std::move(stop));
}

CardScan CardScanner::scanPhoto(const cv::Mat& bgr, std::stop_token stop) {
    CardScan scan;
    scan.reading = m_reader.read(bgr, std::move(stop));
    scan.lines = joinIntoLines(scan.reading.lines);
    scan.card = parseCardLines(scan.lines);
    return scan;
}
