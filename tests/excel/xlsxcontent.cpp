#include "xlsxcontent.h"

#include "excel/ziparchive.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <cmath>

namespace {
// The file format's escapes "_xHHHH_", each standing for one UTF-16 unit.
QString unescaped(const QString& stored) {
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString text;
    qsizetype done = 0;
    for (auto it = escape.globalMatch(stored); it.hasNext();) {
        const auto match = it.next();
        text += stored.mid(done, match.capturedStart() - done);
        text += QChar(match.captured(1).toUShort(nullptr, 16));
        done = match.capturedEnd();
    }
    return text + stored.mid(done);
}

int columnNumber(const QString& letters) {
    int number = 0;
    for (QChar c : letters) {
        number = number * 26 + (c.unicode() - 'A' + 1);
    }
    return number;
}
} // namespace

XlsxContent::XlsxContent(const QString& path) {
    ZipArchive zip(path);
    if (!zip.isOpen()) {
        fail(QStringLiteral("not a zip archive"));
        return;
    }
    QByteArray xml;
    if (zip.entries().contains(QStringLiteral("xl/sharedStrings.xml"))) {
        if (readPart(zip, QStringLiteral("xl/sharedStrings.xml"), &xml)) {
            readStrings(xml);
        }
    }
    if (readPart(zip, QStringLiteral("xl/styles.xml"), &xml)) {
        readStyles(xml);
    }
    if (readPart(zip, QStringLiteral("xl/worksheets/sheet1.xml"), &xml)) {
        readSheet(xml);
    }
    if (readPart(zip, QStringLiteral("docProps/core.xml"), &xml)) {
        readCore(xml);
    }
}

void XlsxContent::fail(const QString& what) {
    if (m_error.isEmpty()) {
        m_error = what;
    }
}

bool XlsxContent::readPart(const ZipArchive& zip, const QString& name, QByteArray* xml) {
    if (!zip.read(name, xml)) {
        fail(QStringLiteral("cannot read ") + name);
        return false;
    }
    return true;
}

QString XlsxContent::address(int row, int column) {
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26) {
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    }
    return letters + QString::number(row);
}

XlsxContent::Cell XlsxContent::cell(const QString& address) const {
    if (m_cells.contains(address)) {
        return m_cells.value(address);
    }
    Cell blank;
    const Font font = m_fonts.value(0);
    blank.fontName = font.name;
    blank.fontSize = font.size;
    blank.edges = m_borders.value(0);
    return blank;
}

void XlsxContent::readStrings(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    QString current;
    bool inItem = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"si") {
            inItem = true;
            current.clear();
        } else if (reader.isStartElement() && reader.name() == u"t" && inItem) {
            current += unescaped(reader.readElementText());
        } else if (reader.isEndElement() && reader.name() == u"si") {
            m_strings << current;
            inItem = false;
        }
    }
    if (reader.hasError()) {
        fail(QStringLiteral("sharedStrings.xml: ") + reader.errorString());
    }
}

void XlsxContent::readStyles(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    QString section;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement()) {
            if (reader.isEndElement() &&
                (reader.name() == u"fonts" || reader.name() == u"borders" ||
                 reader.name() == u"cellXfs" || reader.name() == u"cellStyleXfs")) {
                section.clear();
            }
            continue;
        }
        const auto name = reader.name();
        const auto attributes = reader.attributes();
        if (name == u"fonts" || name == u"borders" || name == u"cellXfs" ||
            name == u"cellStyleXfs") {
            section = name.toString();
        } else if (section == u"fonts" && name == u"font") {
            m_fonts.append(Font());
        } else if (section == u"fonts" && name == u"name") {
            m_fonts.last().name = attributes.value(QLatin1String("val")).toString();
        } else if (section == u"fonts" && name == u"sz") {
            m_fonts.last().size = attributes.value(QLatin1String("val")).toDouble();
        } else if (section == u"fonts" && name == u"b") {
            m_fonts.last().bold = attributes.value(QLatin1String("val")) != u"0";
        } else if (section == u"borders" && name == u"border") {
            m_borders.append(QStringList{QString(), QString(), QString(), QString()});
        } else if (section == u"borders" &&
                   (name == u"left" || name == u"right" || name == u"top" || name == u"bottom")) {
            const int edge = QStringList{"left", "right", "top", "bottom"}.indexOf(name);
            m_borders.last()[edge] = attributes.value(QLatin1String("style")).toString();
        } else if (section == u"cellXfs" && name == u"xf") {
            Style style;
            style.font = attributes.value(QLatin1String("fontId")).toInt();
            style.border = attributes.value(QLatin1String("borderId")).toInt();
            style.numberFormat = attributes.value(QLatin1String("numFmtId")).toInt();
            m_styles.append(style);
        } else if (section == u"cellXfs" && name == u"alignment") {
            m_styles.last().horizontal = attributes.value(QLatin1String("horizontal")).toString();
            m_styles.last().vertical = attributes.value(QLatin1String("vertical")).toString();
        }
    }
    if (reader.hasError()) {
        fail(QStringLiteral("styles.xml: ") + reader.errorString());
    }
}

void XlsxContent::readSheet(const QByteArray& xml) {
    static const QRegularExpression addressForm(QStringLiteral("^([A-Z]+)([0-9]+)$"));
    QXmlStreamReader reader(xml);
    Cell* cell = nullptr;
    QString type;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == u"c") {
            cell = nullptr;
        }
        if (!reader.isStartElement()) {
            continue;
        }
        const auto name = reader.name();
        const auto attributes = reader.attributes();
        if (name == u"c") {
            const QString address = attributes.value(QLatin1String("r")).toString();
            const auto match = addressForm.match(address);
            if (!match.hasMatch() || m_cells.contains(address)) {
                fail(QStringLiteral("bad or repeated cell ") + address);
                continue;
            }
            m_lastRow = qMax(m_lastRow, match.captured(2).toInt());
            m_lastColumn = qMax(m_lastColumn, columnNumber(match.captured(1)));
            cell = &m_cells[address];
            cell->present = true;
            type = attributes.value(QLatin1String("t")).toString();
            const Style style = m_styles.value(attributes.value(QLatin1String("s")).toInt());
            const Font font = m_fonts.value(style.font);
            cell->fontName = font.name;
            cell->fontSize = font.size;
            cell->bold = font.bold;
            cell->horizontal = style.horizontal;
            cell->vertical = style.vertical;
            cell->edges = m_borders.value(style.border);
            cell->numberFormat = style.numberFormat;
        } else if (cell && name == u"f") {
            cell->isFormula = true;
        } else if (cell && name == u"v") {
            const QString value = reader.readElementText();
            if (type == u"s") {
                cell->text = m_strings.value(value.toInt());
            } else {
                cell->text = value;
                cell->isNumber = type.isEmpty() || type == u"n";
            }
        } else if (cell && name == u"t" && type == u"inlineStr") {
            cell->text += unescaped(reader.readElementText());
        } else if (name == u"row" && attributes.hasAttribute(QLatin1String("ht"))) {
            heights[attributes.value(QLatin1String("r")).toInt()] =
                attributes.value(QLatin1String("ht")).toDouble();
        } else if (name == u"mergeCell") {
            merges << attributes.value(QLatin1String("ref")).toString();
        } else if (name == u"col") {
            // Stored widths carry the cell padding: 5 pixels over 7-pixel characters.
            const double stored = attributes.value(QLatin1String("width")).toDouble();
            const double width = std::round((stored * 7 - 5) / 7 * 100) / 100;
            for (int c = attributes.value(QLatin1String("min")).toInt();
                 c <= attributes.value(QLatin1String("max")).toInt(); ++c) {
                widths[c] = width;
            }
        } else if (name == u"pageMargins") {
            for (const auto& attribute : attributes) {
                margins[attribute.name().toString()] = attribute.value().toDouble();
            }
        } else if (name == u"pageSetup") {
            orientation = attributes.value(QLatin1String("orientation")).toString();
            paperSize = attributes.value(QLatin1String("paperSize")).toString();
        } else if (name == u"oddFooter") {
            footer = reader.readElementText();
        }
    }
    if (reader.hasError()) {
        fail(QStringLiteral("sheet1.xml: ") + reader.errorString());
    }
}

void XlsxContent::readCore(const QByteArray& xml) {
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"title") {
            title = reader.readElementText();
        }
    }
    if (reader.hasError()) {
        fail(QStringLiteral("core.xml: ") + reader.errorString());
    }
}

QString officeProgram() {
    for (const char* name : {"soffice", "libreoffice"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) {
            return found;
        }
    }
    return {};
}

bool convertWithOffice(const QString& office, const QString& workbook, const QString& filter,
                       const QString& folder, QString* text) {
    QTemporaryDir profile; // its own profile: no clash with an office already running
    QDir().mkpath(folder);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(office,
                  {"-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(),
                   "--headless", "--convert-to", filter, "--outdir", folder, workbook});
    if (!process.waitForFinished(180000) || process.exitCode() != 0) {
        qWarning("%s", process.readAll().constData());
        return false;
    }
    const QString extension = filter.section(u':', 0, 0);
    QFile converted(
        QDir(folder).filePath(QFileInfo(workbook).completeBaseName() + u'.' + extension));
    if (!converted.open(QIODevice::ReadOnly)) {
        qWarning("no converted file: %s", process.readAll().constData());
        return false;
    }
    *text = QString::fromUtf8(converted.readAll());
    return true;
}

bool renderPages(const QString& pdf, const QString& png) {
    QTemporaryDir pages;
    QProcess process;
    process.start(QStringLiteral("pdftoppm"), {"-png", "-r", "100", pdf, pages.filePath("page")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        return false;
    }
    QList<QImage> images;
    for (const QString& name :
         QDir(pages.path()).entryList({"page*.png"}, QDir::Files, QDir::Name)) {
        images << QImage(pages.filePath(name));
    }
    if (images.isEmpty()) {
        return false;
    }
    // Side by side, with a grey gap between the pages.
    constexpr int Gap = 12;
    QImage sheet(int(images.size()) * (images[0].width() + Gap) - Gap, images[0].height(),
                 QImage::Format_RGB32);
    sheet.fill(Qt::gray);
    QPainter painter(&sheet);
    for (int i = 0; i < images.size(); ++i) {
        painter.drawImage(i * (images[0].width() + Gap), 0, images[i]);
    }
    painter.end();
    return sheet.save(png);
}
