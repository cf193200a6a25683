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

constexpr size_t MaxCellFormats = 65'536;

[[noreturn]] void damaged() {
    throw UnreadableWorkbook{QStringLiteral("文件已损坏或不完整")};
}

[[noreturn]] void partTooLarge() {
    tooLarge(QStringLiteral("其中一个部件解压后超过 %1 MB")
                 .arg(WorkbookLimits::PartBytes / (1024 * 1024)));
}

// Stands between a part and its XML reader, counting the bytes the reader takes for one token.
// QXmlStreamReader holds a token whole (a text, a tag with its attributes, a comment), in
// UTF-16: a read that takes more than TokenBytes for one token stops there.
class TokenGuard final : public QIODevice {
public:
    explicit TokenGuard(QIODevice* source) : m_source(source) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    void startToken() { m_taken = 0; }
    bool passed() const { return m_passed; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (m_taken > WorkbookLimits::TokenBytes) {
            m_passed = true;
            return -1;
        }
        const qint64 got = m_source->read(data, std::min<qint64>(maxSize, 65536));
        m_taken += std::max<qint64>(got, 0);
        return got;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice* m_source;
    qint64 m_taken = 0;
    bool m_passed = false;
};

// A part's XML token by token, with bounds that keep a hostile part from exhausting memory:
// no token larger than TokenBytes (see TokenGuard); no document type (entities declared in
// one could expand without end), and no nesting far deeper than the dozen levels a workbook
// uses. Every token is read through advance(), text(), skip() so that the depth is always
// known.
class PartReader : public QXmlStreamReader {
public:
    explicit PartReader(QIODevice* part) : m_part(part), m_guard(part) { setDevice(&m_guard); }

    // The next token; false at the end of the part.
    bool advance() {
        m_guard.startToken();
        const TokenType token = readNext();
        if (token == DTD || hasError()) {
            failed();
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
        m_guard.startToken();
        const QString text = readElementText();
        if (hasError()) {
            failed();
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
    // Why the part could not be read: a bound it passed, or damage.
    [[noreturn]] void failed() const {
        if (m_guard.passed()) {
            tooLarge(QStringLiteral("其中一项内容超过 %1 MB")
                         .arg(WorkbookLimits::TokenBytes / (1024 * 1024)));
        }
        const auto* member = dynamic_cast<const ZipMember*>(m_part);
        if (member && member->tooLarge()) {
            partTooLarge();
        }
        damaged();
    }

    static constexpr int MaxDepth = 256;
    QIODevice* m_part;
    TokenGuard m_guard;
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
                if (text.size() > WorkbookLimits::TokenBytes) {
                    tooLarge(QStringLiteral("其中一个字符串超过 %1 MB")
                                 .arg(WorkbookLimits::TokenBytes / (1024 * 1024)));
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
    if (type == u"s") {
        bool ok = false;
        const int index = value.trimmed().toInt(&ok);
        if (!ok || index < 0 || index >= context.strings.size()) {
            damaged();
        }
        cells.set(row, column, context.strings.at(index));
    } else {
        cells.set(row, column, cellText(type, value, inlineText, styleOk ? style : -1, context));
    }
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

Relationships relationships(QIODevice* part, const QString& sourcePart) {
    Relationships rels;
    PartReader xml(part);
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

WorkbookInfo workbookInfo(QIODevice* part, const QString& sheetName) {
    WorkbookInfo info;
    PartReader xml(part);
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

// Reads the part called name through read(QIODevice*), then the rest of it so that its
// checksum is tested. Returns false when there is no such part.
template <typename Read> bool readPart(const ZipArchive& zip, const QString& name, Read&& read) {
    const std::unique_ptr<ZipMember> member = zip.open(name, WorkbookLimits::PartBytes);
    if (!member) {
        return false;
    }
    read(member.get());
    if (!member->finish()) {
        if (member->tooLarge()) {
            partTooLarge();
        }
        damaged();
    }
    return true;
}

// The same for a part the workbook cannot do without.
template <typename Read>
void readNeededPart(const ZipArchive& zip, const QString& name, Read&& read) {
    if (!readPart(zip, name, std::forward<Read>(read))) {
        damaged();
    }
}

} // namespace

SharedStrings sharedStrings(QIODevice* part) {
    SharedStrings strings;
    PartReader xml(part);
    while (xml.advance()) {
        if (xml.isStartElement() && xml.name() == u"si") {
            strings.append(stringItem(xml));
        }
    }
    return strings;
}

std::vector<NumberFormat> numberFormats(QIODevice* part) {
    QHash<int, QString> codes;
    std::vector<int> formatIds;
    int inNumFmts = 0;
    int inCellXfs = 0;
    PartReader xml(part);
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

void readWorksheet(QIODevice* part, const SheetContext& context, SheetCells& cells) {
    PartReader xml(part);
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
    readPart(zip, QStringLiteral("_rels/.rels"), [&](QIODevice* part) {
        workbookPart = relationships(part, QString())
                           .byType.value(QStringLiteral("officeDocument"), workbookPart);
    });
    WorkbookInfo info;
    readNeededPart(zip, workbookPart,
                   [&](QIODevice* part) { info = workbookInfo(part, sheetName); });
    if (info.sheetId.isEmpty()) {
        return false;
    }
    Relationships rels;
    readNeededPart(zip, relationshipsPart(workbookPart),
                   [&](QIODevice* part) { rels = relationships(part, workbookPart); });
    const QString sheetPart = rels.byId.value(info.sheetId);
    if (sheetPart.isEmpty()) {
        damaged();
    }
    SheetContext context;
    context.from1904 = info.from1904;
    if (rels.byType.contains(QStringLiteral("sharedStrings"))) {
        readNeededPart(zip, rels.byType.value(QStringLiteral("sharedStrings")),
                       [&](QIODevice* part) { context.strings = sharedStrings(part); });
    }
    if (rels.byType.contains(QStringLiteral("styles"))) {
        readNeededPart(zip, rels.byType.value(QStringLiteral("styles")),
                       [&](QIODevice* part) { context.formats = numberFormats(part); });
    }
    readNeededPart(zip, sheetPart, [&](QIODevice* part) { readWorksheet(part, context, cells); });
    return true;
}

} // namespace Xlsx
