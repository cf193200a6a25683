#include "app/scancommand.h"

#include "db/cardfields.h"
#include "scan/cardscanner.h"
#include "scan/scanerror.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>

namespace {
void printError(const QString& text) {
    std::fputs((text + u'\n').toUtf8().constData(), stderr);
}

QByteArray jsonString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}
} // namespace

QByteArray cardFieldsJson(const QHash<QString, QString>& fields) {
    QByteArray json = "{";
    for (const CardField& field : cardFields()) {
        const QString value = fields.value(field.column);
        if (value.isEmpty()) {
            continue;
        }
        if (json.size() > 1) {
            json += ',';
        }
        json += jsonString(field.caption) + ':' + jsonString(value);
    }
    return json + '}';
}

int runScanCommand(const QStringList& files) {
    CardScanner scanner;
    int status = 0;
    for (const QString& file : files) {
        try {
            const CardScan scan = scanner.scanFile(file);
            if (!scan.hasText()) {
                printError(
                    QStringLiteral("照片 %1 上没有找到文字").arg(QDir::toNativeSeparators(file)));
            }
            std::fputs((cardFieldsJson(scan.card.fields) + '\n').constData(), stdout);
            std::fflush(stdout);
        } catch (const ScanError& error) {
            printError(error.message());
            status = 1;
        }
    }
    return status;
}
