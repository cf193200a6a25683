#include "exportfile.h"

#include "app/connectionsettings.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "sheetwriter.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

namespace {
QString folderOverride;

EngineError cannotCreate() {
    return EngineError(QStringLiteral("无法创建Xls文件，请确认是否安装EXCEL"));
}

// The title as a file name on any desktop: no separators or characters other systems
// refuse, not hidden, and short enough to leave room for the time stamp.
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

// Creates a file nobody has yet: "stem.xlsx", else "stem (2).xlsx" and on; "" when the
// folder refuses.
QString claimNewFile(const QString& stem) {
    for (int copy = 1; copy < 1000; ++copy) {
        const QString path = copy == 1 ? stem + QStringLiteral(".xlsx")
                                       : QStringLiteral("%1 (%2).xlsx").arg(stem).arg(copy);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return path;
        }
        if (!file.exists()) {
            break;
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

ExportFile::ExportFile(const QString& title) {
    const QString folder = exportFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        throw cannotCreate();
    }
    m_path = claimNewFile(QDir(folder).filePath(
        fileNameOf(title) + u' ' +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hhmmss"))));
    if (m_path.isEmpty()) {
        throw cannotCreate();
    }
}

ExportFile::~ExportFile() {
    if (!m_published) {
        QFile::remove(m_path);
    }
}

void ExportFile::publish(QWidget* parent, const SheetWriter& sheet) {
    {
        const BusyCursor busy;
        if (!sheet.save(m_path)) {
            throw cannotCreate();
        }
    }
    m_published = true;
    if (!Messages::openExternally(QUrl::fromLocalFile(m_path))) {
        Messages::info(parent, QStringLiteral("导出的工作簿已保存在：\n") +
                                   QDir::toNativeSeparators(m_path));
    }
}

QString pageFooter(const QString& gap) {
    return SheetWriter::footerText(AppTitle + gap + PublisherUrl + u' ') +
           QStringLiteral("共&N页，第&P页");
}

void walkRows(Query* list, const std::function<void(int position)>& visit) {
    int position = 1;
    for (list->first(); !list->eof(); list->next()) {
        visit(position++);
    }
}
