#include "exportfile.h"

#include "app/connectionsettings.h"
#include "db/engineerror.h"
#include "sheetwriter.h"
#include "ui/common/messages.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

namespace {
QString folderOverride;

// The title as a file name on any desktop: no separators or characters other systems
// refuse, not hidden, and not so long that the time stamp no longer fits.
QString fileNameOf(const QString& title) {
    QString name = title.left(80);
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c)) {
            c = u'_';
        }
    }
    if (name.startsWith(u'.')) {
        name[0] = u'_';
    }
    return name;
}

// Claims a file name nobody has yet: "title yyyy-MM-dd hhmmss.xlsx", then " (2)" and on.
QString claimNewFile(const QString& folder, const QString& title) {
    const QString stem = QDir(folder).filePath(
        fileNameOf(title) + u' ' +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hhmmss")));
    for (int copy = 1; copy < 1000; ++copy) {
        const QString path = copy == 1 ? stem + QStringLiteral(".xlsx")
                                       : QStringLiteral("%1 (%2).xlsx").arg(stem).arg(copy);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return path;
        }
        if (!file.exists()) {
            break; // not there, yet not creatable: the folder refuses
        }
    }
    return {};
}
} // namespace

void setExportFolder(const QString& folder) {
    folderOverride = folder;
}

QString exportFolder() {
    return folderOverride.isEmpty()
               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
               : folderOverride;
}

QString publishWorkbook(QWidget* parent, const SheetWriter& sheet) {
    const QString folder = exportFolder();
    const QString path = QDir().mkpath(folder) ? claimNewFile(folder, sheet.title()) : QString();
    if (path.isEmpty() || !sheet.save(path)) {
        if (!path.isEmpty()) {
            QFile::remove(path); // no half-written workbook is left behind
        }
        throw EngineError(QStringLiteral("无法创建Xls文件，请确认是否安装EXCEL"));
    }
    if (!Messages::openExternally(QUrl::fromLocalFile(path))) {
        Messages::info(parent,
                       QStringLiteral("导出的工作簿已保存在：\n") + QDir::toNativeSeparators(path));
    }
    return path;
}

QString pageFooter(const QString& gap) {
    return SheetWriter::footerText(AppTitle + gap + PublisherUrl + u' ') +
           QStringLiteral("共&N页，第&P页");
}
