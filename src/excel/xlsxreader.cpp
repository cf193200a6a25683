#include "excel/xlsxreader.h"

#include "excel/ziparchive.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QXmlStreamReader>
#include <charconv>
#include <cmath>

namespace Xlsx {
namespace {

constexpr qsizetype MaxSharedStrings = 10'000'000;
constexpr size_t MaxCellFormats = 65'536;

[[noreturn]] void damaged() {
    throw UnreadableWorkbook{QStringLiteral("文件已损坏或不完整")};
}

// The next token of a part. No part of a workbook declares a document type, and entities
// declared in one could expand without end, so a declaration counts as damage.
bool advance(QXmlStreamReader& xml) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::DTD || xml.hasError()) {
        damaged();
    }
    return token != QXmlStreamReader::EndDocument;
}

QString elementText(QXmlStreamReader& xml) {
    const QString text = xml.readElementText();
    if (xml.hasError()) {
        damaged();
    }
    return text;
}

// Characters a part cannot carry are written as "_xHHHH_".
QString unescaped(const QString& text) {
    if (!text.contains(QLatin1String("_x"))) {
        return text;
    }
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        if (text.at(i) == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' &&
            text.at(i + 6) == u'_') {
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                result += QChar(code);
                i += 6;
            }
        }
        if (!ok) {
            result += text.at(i);
        }
    }
    return result;
}

// The text of a string item (<si>, <is>): its <t> elements, leaving out phonetic runs.
QString stringItem(QXmlStreamReader& xml) {
    const QString item = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (advance(xml)) {
        if (xml.isStartElement()) {
            if (xml.name() == u"rPh") {
                ++phonetic;
            } else if (xml.name() == u"t") {
                const QString run = elementText(xml);
                if (phonetic == 0) {
                    text += run;
                }
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == u"rPh") {
                --phonetic;
            } else if (xml.name() == item) {
                break;
            }
        }
    }
    return unescaped(text);
}

// Whether a number format code shows a date, a time or both: letters of the date and time
// parts outside quoted text, escapes and bracketed colours or locales.
std::optional<DateParts> codeDateParts(const QString& code) {
    bool date = false;
    bool time = false;
    bool month = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i).toLower();
        if (c == u';') {
            break; // the first section decides
        }
        if (c == u'"') {
            const qsizetype close = code.indexOf(u'"', i + 1);
            i = close < 0 ? code.size() : close;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i + 1);
            const QString inside = code.mid(i + 1, close < 0 ? -1 : close - i - 1).toLower();
            if (!inside.isEmpty() &&
                (inside.startsWith(u'h') || inside.startsWith(u'm') || inside.startsWith(u's')) &&
                inside.count(inside.at(0)) == inside.size()) {
                time = true; // elapsed time: [h], [mm], [ss]
            }
            i = close < 0 ? code.size() : close;
        } else if (code.mid(i, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0 ||
                   code.mid(i, 3).compare(QLatin1String("a/p"), Qt::CaseInsensitive) == 0) {
            time = true;
            i += code.at(i + 1) == u'/' ? 2 : 4;
        } else if (c == u'y' || c == u'd') {
            date = true;
        } else if (c == u'h' || c == u's') {
            time = true;
        } else if (c == u'm') {
            month = true;
        }
    }
    date = date || (month && !time); // "m" next to hours or seconds is minutes
    if (date && time) {
        return DateParts::DateTime;
    }
    if (date) {
        return DateParts::Date;
    }
    if (time) {
        return DateParts::Time;
    }
    return std::nullopt;
}

// The built-in formats that show dates or times, the Chinese ones included.
std::optional<DateParts> builtInDateParts(int id) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) ||
        id == 57 || id == 58) {
        return DateParts::Date;
    }
    if (id == 22) {
        return DateParts::DateTime;
    }
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47) || id == 55 ||
        id == 56) {
        return DateParts::Time;
    }
    return std::nullopt;
}

// Zero-based column and row of a reference such as "AB12".
bool parseReference(QStringView reference, quint32* row, quint32* column) {
    qsizetype i = 0;
    quint32 col = 0;
    while (i < reference.size() && reference.at(i).isLetter() && reference.at(i).unicode() < 128) {
        col = col * 26 + quint32(reference.at(i).toUpper().unicode() - 'A' + 1);
        if (col > WorkbookLimits::Columns) {
            return false;
        }
        ++i;
    }
    bool ok = false;
    const uint r = reference.mid(i).toUInt(&ok);
    if (i == 0 || !ok || r == 0 || r > WorkbookLimits::Rows) {
        return false;
    }
    *row = r - 1;
    *column = col - 1;
    return true;
}

QString numberCell(const QString& value, std::optional<DateParts> date, bool from1904) {
    const QByteArray digits = value.trimmed().toLatin1();
    double number = 0;
    const auto [end, error] =
        std::from_chars(digits.constData(), digits.constData() + digits.size(), number);
    if (error != std::errc() || end != digits.constData() + digits.size() || digits.isEmpty() ||
        !std::isfinite(number)) {
        return value; // not a number after all: the text as written
    }
    if (date) {
        const QString text = serialDateText(number, from1904, *date);
        if (!text.isEmpty()) {
            return text;
        }
    }
    return numberText(number);
}

QString isoDateCell(const QString& value) {
    const QDateTime when = QDateTime::fromString(value.trimmed(), Qt::ISODate);
    if (!when.isValid()) {
        return value;
    }
    return when.toString(when.time() == QTime(0, 0) ? QStringLiteral("yyyy-MM-dd")
                                                    : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString cellText(QStringView type, const QString& value, const QString& inlineText, int style,
                 const SheetContext& context) {
    if (type == u"s") {
        bool ok = false;
        const int index = value.trimmed().toInt(&ok);
        if (!ok || index < 0 || index >= context.strings.size()) {
            damaged();
        }
        return context.strings.at(index);
    }
    if (type == u"inlineStr") {
        return inlineText;
    }
    if (type == u"str" || type == u"e") {
        return unescaped(value);
    }
    if (type == u"b") {
        return value.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    if (type == u"d") {
        return isoDateCell(value);
    }
    if (value.isEmpty()) {
        return {};
    }
    const bool styled = style >= 0 && size_t(style) < context.dates.size();
    return numberCell(value, styled ? context.dates[size_t(style)] : std::nullopt,
                      context.from1904);
}

void readCell(QXmlStreamReader& xml, const SheetContext& context, quint32 row, qint64* lastColumn,
              SheetCells& cells) {
    const QXmlStreamAttributes attributes = xml.attributes();
    quint32 column = quint32(*lastColumn + 1);
    if (attributes.hasAttribute(QStringLiteral("r"))) {
        if (!parseReference(attributes.value(QStringLiteral("r")), &row, &column)) {
            damaged();
        }
    }
    *lastColumn = column;
    const QString type = attributes.value(QStringLiteral("t")).toString();
    bool styleOk = false;
    const int style = attributes.value(QStringLiteral("s")).toInt(&styleOk);
    QString value;
    QString inlineText;
    while (advance(xml)) {
        if (xml.isStartElement()) {
            if (xml.name() == u"v") {
                value = elementText(xml);
            } else if (xml.name() == u"is") {
                inlineText = stringItem(xml);
            } else {
                xml.skipCurrentElement(); // formulas and the like
            }
        } else if (xml.isEndElement()) {
            break; // </c>
        }
    }
    cells.set(row, column, cellText(type, value, inlineText, styleOk ? style : -1, context));
}

// A relationship part: Id -> target part, and type -> target part.
struct Relationships {
    QHash<QString, QString> byId;
    QHash<QString, QString> byType; // the last segment of the type, e.g. "sharedStrings"
};

// The folder of a part and a relationship target relative to it, as a member name.
QString resolvedTarget(const QString& sourcePart, const QString& target) {
    if (target.startsWith(u'/')) {
        return QDir::cleanPath(target).mid(1);
    }
    const qsizetype slash = sourcePart.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : sourcePart.left(slash + 1);
    QString path = QDir::cleanPath(folder + target);
    while (path.startsWith(QLatin1String("../"))) {
        path = path.mid(3);
    }
    return path;
}

Relationships relationships(const QByteArray& bytes, const QString& sourcePart) {
    Relationships rels;
    QXmlStreamReader xml(bytes);
    while (advance(xml)) {
        if (xml.isStartElement() && xml.name() == u"Relationship") {
            const QXmlStreamAttributes a = xml.attributes();
            if (a.value(QStringLiteral("TargetMode")) == u"External") {
                continue;
            }
            const QString target =
                resolvedTarget(sourcePart, a.value(QStringLiteral("Target")).toString());
            const QString type = a.value(QStringLiteral("Type")).toString();
            rels.byId.insert(a.value(QStringLiteral("Id")).toString(), target);
            rels.byType.insert(type.mid(type.lastIndexOf(u'/') + 1), target);
        }
    }
    return rels;
}

QString relationshipsPart(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) +
           QStringLiteral(".rels");
}

struct WorkbookInfo {
    QString sheetId; // the relationship of the sheet asked for; empty when there is none
    bool from1904 = false;
};

WorkbookInfo workbookInfo(const QByteArray& bytes, const QString& sheetName) {
    WorkbookInfo info;
    QXmlStreamReader xml(bytes);
    while (advance(xml)) {
        if (!xml.isStartElement()) {
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == u"workbookPr") {
            const QStringView mode = a.value(QStringLiteral("date1904"));
            info.from1904 = mode == u"1" || mode == u"true";
        } else if (xml.name() == u"sheet" && info.sheetId.isEmpty() &&
                   a.value(QStringLiteral("name")).compare(sheetName, Qt::CaseInsensitive) == 0) {
            for (const QXmlStreamAttribute& attribute : a) {
                if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty()) {
                    info.sheetId = attribute.value().toString();
                }
            }
            if (info.sheetId.isEmpty()) {
                damaged();
            }
        }
    }
    return info;
}

QByteArray part(const ZipArchive& zip, const QString& name) {
    QByteArray bytes;
    if (!zip.read(name, &bytes, WorkbookLimits::PartBytes)) {
        damaged();
    }
    return bytes;
}

} // namespace

QStringList sharedStrings(const QByteArray& bytes) {
    QStringList strings;
    QXmlStreamReader xml(bytes);
    while (advance(xml)) {
        if (xml.isStartElement() && xml.name() == u"si") {
            if (strings.size() >= MaxSharedStrings) {
                throw UnreadableWorkbook{QStringLiteral("工作簿的字符串太多")};
            }
            strings << stringItem(xml);
        }
    }
    return strings;
}

std::vector<std::optional<DateParts>> dateFormats(const QByteArray& bytes) {
    QHash<int, QString> codes;
    std::vector<int> formatIds;
    int inNumFmts = 0;
    int inCellXfs = 0;
    QXmlStreamReader xml(bytes);
    while (advance(xml)) {
        const int step = xml.isStartElement() ? 1 : xml.isEndElement() ? -1 : 0;
        if (xml.name() == u"numFmts") {
            inNumFmts += step;
        } else if (xml.name() == u"cellXfs") {
            inCellXfs += step;
        } else if (step > 0 && xml.name() == u"numFmt" && inNumFmts > 0) {
            const QXmlStreamAttributes a = xml.attributes();
            codes.insert(a.value(QStringLiteral("numFmtId")).toInt(),
                         a.value(QStringLiteral("formatCode")).toString());
        } else if (step > 0 && xml.name() == u"xf" && inCellXfs > 0) {
            if (formatIds.size() >= MaxCellFormats) {
                damaged();
            }
            formatIds.push_back(xml.attributes().value(QStringLiteral("numFmtId")).toInt());
        }
    }
    std::vector<std::optional<DateParts>> dates;
    dates.reserve(formatIds.size());
    for (const int id : formatIds) {
        const auto code = codes.constFind(id);
        dates.push_back(code != codes.cend() ? codeDateParts(*code) : builtInDateParts(id));
    }
    return dates;
}

void readWorksheet(const QByteArray& bytes, const SheetContext& context, SheetCells& cells) {
    QXmlStreamReader xml(bytes);
    qint64 row = -1;
    qint64 lastColumn = -1;
    while (advance(xml)) {
        if (!xml.isStartElement()) {
            continue;
        }
        if (xml.name() == u"row") {
            const QStringView number = xml.attributes().value(QStringLiteral("r"));
            if (number.isEmpty()) {
                ++row;
            } else {
                bool ok = false;
                row = qint64(number.toUInt(&ok)) - 1;
                if (!ok || row < 0) {
                    damaged();
                }
            }
            if (row >= qint64(WorkbookLimits::Rows)) {
                damaged();
            }
            lastColumn = -1;
        } else if (xml.name() == u"c") {
            readCell(xml, context, quint32(std::max<qint64>(row, 0)), &lastColumn, cells);
        }
    }
}

bool readSheet(const QString& path, const QString& sheetName, SheetCells& cells) {
    const ZipArchive zip(path);
    if (!zip.isOpen()) {
        damaged();
    }
    // The package's relationships name the workbook part; xl/workbook.xml by custom.
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    QByteArray packageRels;
    if (zip.read(QStringLiteral("_rels/.rels"), &packageRels, WorkbookLimits::PartBytes)) {
        workbookPart = relationships(packageRels, QString())
                           .byType.value(QStringLiteral("officeDocument"), workbookPart);
    }
    const WorkbookInfo info = workbookInfo(part(zip, workbookPart), sheetName);
    if (info.sheetId.isEmpty()) {
        return false;
    }
    const Relationships rels =
        relationships(part(zip, relationshipsPart(workbookPart)), workbookPart);
    const QString sheetPart = rels.byId.value(info.sheetId);
    if (sheetPart.isEmpty()) {
        damaged();
    }
    SheetContext context;
    context.from1904 = info.from1904;
    if (rels.byType.contains(QStringLiteral("sharedStrings"))) {
        context.strings = sharedStrings(part(zip, rels.byType.value("sharedStrings")));
    }
    if (rels.byType.contains(QStringLiteral("styles"))) {
        context.dates = dateFormats(part(zip, rels.byType.value("styles")));
    }
    readWorksheet(part(zip, sheetPart), context, cells);
    return true;
}

} // namespace Xlsx
