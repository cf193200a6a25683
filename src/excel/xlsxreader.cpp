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

// A part's XML token by token, with bounds that keep a hostile part from exhausting memory:
// no part of a workbook declares a document type (entities declared in one could expand
// without end) or nests elements more than a dozen levels deep, so a declaration or nesting
// far deeper than that counts as damage. Every token is read through advance(), text(),
// skip() so that the depth is always known.
class PartReader : public QXmlStreamReader {
public:
    explicit PartReader(const QByteArray& bytes) : QXmlStreamReader(bytes) {}

    // The next token; false at the end of the part.
    bool advance() {
        const TokenType token = readNext();
        if (token == DTD || hasError()) {
            damaged();
        }
        if (token == StartElement && ++m_depth > MaxDepth) {
            throw UnreadableWorkbook{QStringLiteral("工作表的结构嵌套过深")};
        }
        if (token == EndElement) {
            --m_depth;
        }
        return token != EndDocument;
    }

    // The text of the element just started, up to its end.
    QString text() {
        const QString text = readElementText();
        if (hasError()) {
            damaged();
        }
        --m_depth;
        return text;
    }

    // Past the end of the element just started.
    void skip() {
        for (const int depth = m_depth; m_depth >= depth;) {
            if (!advance()) {
                damaged();
            }
        }
    }

private:
    static constexpr int MaxDepth = 256;
    int m_depth = 0;
};

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
QString stringItem(PartReader& xml) {
    const QString item = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (xml.advance()) {
        if (xml.isStartElement()) {
            if (xml.name() == u"rPh") {
                ++phonetic;
            } else if (xml.name() == u"t") {
                const QString run = xml.text();
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

QString numberCell(const QString& value, const NumberFormat& format, bool from1904) {
    const QByteArray digits = value.trimmed().toLatin1();
    double number = 0;
    const auto [end, error] =
        std::from_chars(digits.constData(), digits.constData() + digits.size(), number);
    if (error != std::errc() || end != digits.constData() + digits.size() || digits.isEmpty() ||
        !std::isfinite(number)) {
        return value; // not a number after all: the text as written
    }
    return numberCellText(number, format, from1904);
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
    const bool styled = style >= 0 && size_t(style) < context.formats.size();
    return numberCell(value, styled ? context.formats[size_t(style)] : NumberFormat(),
                      context.from1904);
}

void readCell(PartReader& xml, const SheetContext& context, quint32 row, qint64* lastColumn,
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
    while (xml.advance()) {
        if (xml.isStartElement()) {
            if (xml.name() == u"v") {
                value = xml.text();
            } else if (xml.name() == u"is") {
                inlineText = stringItem(xml);
            } else {
                xml.skip(); // formulas and the like
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
    PartReader xml(bytes);
    while (xml.advance()) {
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
    PartReader xml(bytes);
    while (xml.advance()) {
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
    PartReader xml(bytes);
    while (xml.advance()) {
        if (xml.isStartElement() && xml.name() == u"si") {
            if (strings.size() >= MaxSharedStrings) {
                throw UnreadableWorkbook{QStringLiteral("工作簿的字符串太多")};
            }
            strings << stringItem(xml);
        }
    }
    return strings;
}

std::vector<NumberFormat> numberFormats(const QByteArray& bytes) {
    QHash<int, QString> codes;
    std::vector<int> formatIds;
    int inNumFmts = 0;
    int inCellXfs = 0;
    PartReader xml(bytes);
    while (xml.advance()) {
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
    std::vector<NumberFormat> formats;
    formats.reserve(formatIds.size());
    for (const int id : formatIds) {
        const auto code = codes.constFind(id);
        formats.push_back(code != codes.cend() ? numberFormat(*code) : builtInNumberFormat(id));
    }
    return formats;
}

void readWorksheet(const QByteArray& bytes, const SheetContext& context, SheetCells& cells) {
    PartReader xml(bytes);
    qint64 row = -1;
    qint64 lastColumn = -1;
    while (xml.advance()) {
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
        context.formats = numberFormats(part(zip, rels.byType.value("styles")));
    }
    readWorksheet(part(zip, sheetPart), context, cells);
    return true;
}

} // namespace Xlsx
