#include "excel/xlsreader.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <QFile>
#include <QHash>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

// An .xls file is a compound file (OLE2) whose "Workbook" stream holds records: a record id
// and a body length (16 bits each, little-endian), then the body. The stream starts with the
// workbook globals (shared strings, formats, the sheet list) up to their EOF record; each
// sheet follows as a substream of its own, from its BOF record to its EOF record. A body
// longer than 8,224 bytes goes on in the CONTINUE records right after it.

namespace Xls {
namespace {

enum RecordId : quint16 {
    Formula = 0x0006,
    Eof = 0x000A,
    DateMode = 0x0022,
    FilePass = 0x002F,
    Continue = 0x003C,
    BoundSheet = 0x0085,
    MulRk = 0x00BD,
    RString = 0x00D6,
    Xf = 0x00E0,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    Number = 0x0203,
    Label = 0x0204,
    BoolErr = 0x0205,
    String = 0x0207,
    Array = 0x0221,
    Table = 0x0236,
    Rk = 0x027E,
    Format = 0x041E,
    ShrFmla = 0x04BC,
    Bof = 0x0809,
    // BLANK (0x0201) and MULBLANK (0x00BE) give formatted cells without a value: nothing.
};

constexpr quint16 Biff8 = 0x0600;
constexpr quint16 GlobalsSubstream = 0x0005;
constexpr quint8 WorksheetType = 0x00;

[[noreturn]] void damaged() {
    throw UnreadableWorkbook{QStringLiteral("文件已损坏或不完整")};
}

[[noreturn]] void passwordProtected() {
    throw UnreadableWorkbook{
        QStringLiteral("工作簿设有密码保护，请在电子表格程序中去掉密码后再导入")};
}

[[noreturn]] void olderFormat() {
    throw UnreadableWorkbook{QStringLiteral(
        "这是 Excel 95 或更早版本的工作簿，请在电子表格程序中另存为 Excel 97-2003 或 .xlsx "
        "格式后再导入")};
}

// The body of one record and of the CONTINUE records after it, read front to back as one
// run of bytes, except that the characters of a string carry on in a CONTINUE body behind a
// byte of their own that tells their width anew.
class RecordReader {
public:
    RecordReader(QByteArrayView stream, qsizetype body, qsizetype end)
        : m_stream(stream), m_at(body), m_end(end) {}

    quint8 u8() { return take<quint8>(); }
    quint16 u16() { return take<quint16>(); }
    quint32 u32() { return take<quint32>(); }
    double f64() {
        const quint64 bits = take<quint64>();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    void skip(quint64 bytes) {
        while (bytes > 0) {
            enterNextBodyAtEnd();
            const quint64 step = std::min<quint64>(bytes, quint64(m_end - m_at));
            m_at += qsizetype(step);
            bytes -= step;
        }
    }

    // A string with a 16-bit (or 8-bit) character count, then its flags and characters.
    QString string(bool shortCount = false) {
        const quint16 count = shortCount ? u8() : u16();
        const quint8 flags = u8();
        return characters(count, flags & 0x01);
    }

    // A shared string: a plain string that may also have formatting runs and a phonetic
    // block, both skipped.
    QString richString() {
        const quint16 count = u16();
        const quint8 flags = u8();
        const quint16 runs = (flags & 0x08) ? u16() : 0;
        const quint32 phonetic = (flags & 0x04) ? u32() : 0;
        QString text = characters(count, flags & 0x01);
        skip(quint64(runs) * 4 + phonetic);
        return text;
    }

    bool atEnd() const { return m_at == m_end && !continuesAt(m_end); }

private:
    template <typename T> T take() {
        unsigned char bytes[sizeof(T)];
        for (unsigned char& byte : bytes) {
            enterNextBodyAtEnd();
            byte = uchar(m_stream[m_at++]);
        }
        return qFromLittleEndian<T>(bytes);
    }

    bool continuesAt(qsizetype at) const {
        return at + 4 <= m_stream.size() &&
               qFromLittleEndian<quint16>(m_stream.data() + at) == Continue;
    }

    // At the end of a body, moves into the CONTINUE body after it; damage when there is none.
    void enterNextBodyAtEnd() {
        while (m_at == m_end) {
            if (!continuesAt(m_end)) {
                damaged();
            }
            const qsizetype length = qFromLittleEndian<quint16>(m_stream.data() + m_end + 2);
            m_at = m_end + 4;
            m_end = m_at + length;
            if (m_end > m_stream.size()) {
                damaged();
            }
        }
    }

    // Characters of one byte each (the low byte; the high one is 0) or of two bytes
    // (UTF-16LE). A CONTINUE body starts with the width of the characters it holds, a byte 0
    // or 1. Some writers (Gnumeric, in the text result of a formula) carry the bytes on
    // without that byte, even splitting a character: a first byte other than 0 or 1, or a
    // character begun before the CONTINUE, shows it.
    QString characters(quint16 count, bool wide) {
        QString text;
        text.reserve(count);
        while (count > 0) {
            if (wide && m_end - m_at == 1) {
                const quint8 low = u8();
                text += QChar(ushort(low | (u8() << 8))); // the rest follows without a flag
                --count;
                continue;
            }
            if (m_at == m_end) {
                enterNextBodyAtEnd();
                const quint8 flag = uchar(m_stream[m_at]);
                if (flag <= 0x01) {
                    wide = flag;
                    ++m_at;
                }
            }
            const qsizetype width = wide ? 2 : 1;
            const qsizetype fits = std::min<qsizetype>(count, (m_end - m_at) / width);
            const char* at = m_stream.data() + m_at;
            if (wide) {
                for (qsizetype i = 0; i < fits; ++i) {
                    text += QChar(qFromLittleEndian<quint16>(at + 2 * i));
                }
            } else {
                text += QLatin1StringView(at, fits);
            }
            m_at += fits * width;
            count -= quint16(fits);
        }
        return text;
    }

    QByteArrayView m_stream;
    qsizetype m_at;
    qsizetype m_end;
};

// The records of a stream from a position on; CONTINUE records are read with the record
// before them.
class RecordStream {
public:
    RecordStream(QByteArrayView stream, qsizetype from) : m_stream(stream), m_next(from) {}

    // Moves to the next record; damage when the stream ends first.
    void next() {
        do {
            if (m_next < 0 || m_next + 4 > m_stream.size()) {
                damaged();
            }
            m_id = qFromLittleEndian<quint16>(m_stream.data() + m_next);
            m_body = m_next + 4;
            m_next = m_body + qFromLittleEndian<quint16>(m_stream.data() + m_next + 2);
            if (m_next > m_stream.size()) {
                damaged();
            }
        } while (m_id == Continue);
    }
    quint16 id() const { return m_id; }
    RecordReader body() const { return RecordReader(m_stream, m_body, m_next); }

private:
    QByteArrayView m_stream;
    qsizetype m_next;
    qsizetype m_body = 0;
    quint16 m_id = 0;
};

// A BOF record's substream kind; an older format than BIFF8 is refused.
quint16 substreamKind(const RecordStream& records) {
    if (records.id() == 0x0009 || records.id() == 0x0209 || records.id() == 0x0409) {
        olderFormat(); // the BOF records of BIFF2 to BIFF4
    }
    if (records.id() != Bof) {
        damaged();
    }
    RecordReader body = records.body();
    if (body.u16() != Biff8) {
        olderFormat();
    }
    return body.u16();
}

// What the workbook globals tell about the sheet asked for.
struct Globals {
    SharedStrings strings;
    std::vector<NumberFormat> xfFormats; // by cell format (XF) index
    bool from1904 = false;
    qint64 sheetStart = -1; // the sheet's BOF record; -1: no such sheet
};

SharedStrings sharedStrings(RecordReader body) {
    body.u32(); // references to the strings in the workbook
    const quint32 count = body.u32();
    SharedStrings strings;
    for (quint32 i = 0; i < count && !body.atEnd(); ++i) {
        strings.append(body.richString());
    }
    return strings;
}

Globals readGlobals(QByteArrayView stream, const QString& sheetName) {
    RecordStream records(stream, 0);
    records.next();
    if (substreamKind(records) != GlobalsSubstream) {
        damaged();
    }
    Globals globals;
    QHash<int, QString> formatCodes;
    std::vector<int> xfFormatIds;
    for (records.next(); records.id() != Eof; records.next()) {
        RecordReader body = records.body();
        switch (records.id()) {
        case FilePass:
            passwordProtected();
        case DateMode:
            globals.from1904 = body.u16() == 1;
            break;
        case Sst:
            globals.strings = sharedStrings(body);
            break;
        case Format: {
            const int id = body.u16();
            formatCodes.insert(id, body.string());
            break;
        }
        case Xf:
            body.u16(); // font
            xfFormatIds.push_back(body.u16());
            break;
        case BoundSheet: {
            const quint32 start = body.u32();
            body.u8(); // visibility
            const quint8 type = body.u8();
            const QString name = body.string(true);
            if (globals.sheetStart < 0 && type == WorksheetType &&
                name.compare(sheetName, Qt::CaseInsensitive) == 0) {
                globals.sheetStart = start;
            }
            break;
        }
        default:
            break;
        }
    }
    globals.xfFormats.reserve(xfFormatIds.size());
    for (const int id : xfFormatIds) {
        const auto code = formatCodes.constFind(id);
        globals.xfFormats.push_back(code != formatCodes.cend() ? numberFormat(*code)
                                                               : builtInNumberFormat(id));
    }
    return globals;
}

// An RK number: 30 bits of an integer or of a double's high bits, perhaps hundredths.
double rkNumber(quint32 rk) {
    double value;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

QString errorText(quint8 code) {
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        damaged();
    }
}

QString booleanText(quint8 value) {
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

// What a formula's tokens (in reverse Polish order) tell of its result: text when its
// outermost operation gives text (joining with &, a string, a text function); shared when its
// tokens stand in the SHRFMLA record of the formula range it belongs to.
enum class FormulaKind { Text, Other, Shared };

// The size of the token at the start of tokens; 0 for a token not known here.
qsizetype tokenSize(QByteArrayView tokens) {
    const quint8 token = uchar(tokens[0]);
    if (token == 0x01 || token == 0x02) {
        return 5; // shared formula or table: a cell's row and column
    }
    if (token >= 0x03 && token <= 0x16) {
        return 1; // operators, parentheses, a missing argument
    }
    switch (token) {
    case 0x17: // a string: its length, its width, its characters
        return tokens.size() < 3 ? 0 : 3 + uchar(tokens[1]) * ((tokens[2] & 0x01) ? 2 : 1);
    case 0x19: // an attribute; CHOOSE carries a table of offsets
        if (tokens.size() < 4) {
            return 0;
        }
        return (tokens[1] & 0x04) ? 4 + 2 * (qFromLittleEndian<quint16>(tokens.data() + 2) + 1) : 4;
    case 0x1C: // error
    case 0x1D: // boolean
        return 2;
    case 0x1E: // integer
        return 3;
    case 0x1F: // number
        return 9;
    default:
        break;
    }
    if (token < 0x20) {
        return 0;
    }
    // Operand and function tokens, in any of their three classes.
    static constexpr qsizetype sizes[32] = {8, 3, 4, 5, 5, 9, 7, 7, 7, 3, 5, 9,  5, 9,  0, 0,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 11, 7, 11, 0, 0};
    return sizes[token & 0x1F];
}

// Whether a function (by its number) gives text: CONCATENATE, LOWER, UPPER, PROPER, LEFT,
// RIGHT, MID, REPT, TRIM, SUBSTITUTE, REPLACE, TEXT, CHAR, T, FIXED, DOLLAR, CLEAN.
bool textFunction(quint16 number) {
    static constexpr quint16 texts[] = {336, 112, 113, 114, 115, 116, 31, 30, 118,
                                        120, 119, 48,  111, 130, 14,  13, 162};
    return std::find(std::begin(texts), std::end(texts), number & 0x7FFF) != std::end(texts);
}

FormulaKind formulaKind(QByteArrayView tokens) {
    if (tokens.size() >= 5 && tokens[0] == 0x01) {
        return FormulaKind::Shared;
    }
    bool text = false; // of the last operation that counts
    for (qsizetype at = 0; at < tokens.size();) {
        const QByteArrayView token = tokens.sliced(at);
        const qsizetype size = tokenSize(token);
        if (size == 0 || size > token.size()) {
            return FormulaKind::Other; // nothing to conclude
        }
        const quint8 id = uchar(token[0]);
        const quint8 base = id & 0x1F; // without the operand class
        const bool function = id >= 0x20 && (base == 0x01 || base == 0x02);
        const bool sumAttribute = id == 0x19 && (token[1] & 0x10);
        // Parentheses and attributes other than SUM leave the outermost operation as it is.
        if (id != 0x15 && (id != 0x19 || sumAttribute)) {
            text =
                id == 0x08 || id == 0x17 ||
                (function &&
                 textFunction(qFromLittleEndian<quint16>(token.data() + (base == 0x01 ? 1 : 2))));
        }
        at += size;
    }
    return text ? FormulaKind::Text : FormulaKind::Other;
}

// "B2" for row 1, column 1.
QString cellName(quint16 row, quint16 column) {
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26) {
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    }
    return letters + QString::number(row + 1);
}

// The cell records of one sheet substream.
class SheetReader {
public:
    SheetReader(const Globals& globals, SheetCells& cells) : m_globals(globals), m_cells(cells) {}

    void read(QByteArrayView stream) {
        RecordStream records(stream, qsizetype(m_globals.sheetStart));
        records.next();
        substreamKind(records);
        // A chart inside the sheet is a substream of its own, nested in the sheet's.
        for (int depth = 1; depth > 0;) {
            records.next();
            if (records.id() == Bof) {
                ++depth;
            } else if (records.id() == Eof) {
                --depth;
            } else if (depth == 1) {
                readRecord(records.id(), records.body());
            }
        }
        checkFormulaResults();
    }

private:
    struct Place {
        quint16 row;
        quint16 column;
    };

    void readRecord(quint16 id, RecordReader body) {
        if (id == String) {
            // The text result of the formula just before.
            if (m_formulaText) {
                m_cells.set(m_formulaText->row, m_formulaText->column, body.string());
            }
            m_formulaText.reset();
            return;
        }
        if (id == ShrFmla) {
            readSharedFormula(body);
            return; // may stand between a formula and its STRING record
        }
        if (id == Array || id == Table) {
            return; // may stand between a formula and its STRING record
        }
        m_formulaText.reset();
        switch (id) {
        case LabelSst:
            readCell(body, [&] {
                const quint32 index = body.u32();
                if (qint64(index) >= m_globals.strings.size()) {
                    damaged();
                }
                return m_globals.strings.at(index);
            });
            break;
        case Label:
        case RString: // a label with formatting runs after its text
            readCell(body, [&] { return body.string(); });
            break;
        case Number:
            readNumberCell(body, [&] { return body.f64(); });
            break;
        case Rk:
            readNumberCell(body, [&] { return rkNumber(body.u32()); });
            break;
        case MulRk:
            readMulRk(body);
            break;
        case BoolErr:
            readCell(body, [&] {
                const quint8 value = body.u8();
                return body.u8() ? errorText(value) : booleanText(value);
            });
            break;
        case Formula:
            readFormula(body);
            break;
        default:
            break;
        }
    }

    template <typename Text> void readCell(RecordReader& body, Text&& text) {
        const Place place = placeOf(body);
        body.u16(); // cell format
        m_cells.set(place.row, place.column, text());
    }

    template <typename Value> void readNumberCell(RecordReader& body, Value&& value) {
        const Place place = placeOf(body);
        const quint16 format = body.u16();
        m_cells.set(place.row, place.column, numberCell(format, value()));
    }

    static Place placeOf(RecordReader& body) {
        const quint16 row = body.u16();
        return {row, body.u16()};
    }

    QString numberCell(quint16 format, double value) const {
        const auto& formats = m_globals.xfFormats;
        return numberCellText(value, format < formats.size() ? formats[format] : NumberFormat(),
                              m_globals.from1904);
    }

    // Row, first column, then a cell format and an RK number for each column, then the last
    // column.
    void readMulRk(RecordReader& body) {
        const Place first = placeOf(body);
        for (quint32 column = first.column; !body.atEnd(); ++column) {
            const quint16 formatOrLast = body.u16();
            if (body.atEnd()) {
                break; // that was the last column's number
            }
            m_cells.set(first.row, column, numberCell(formatOrLast, rkNumber(body.u32())));
        }
    }

    // The result the formula had when the file was saved: a number, or a marker 0xFFFF in
    // its last two bytes and the kind of result in its first byte.
    void readFormula(RecordReader& body) {
        const Place place = placeOf(body);
        const quint16 format = body.u16();
        unsigned char result[8];
        for (unsigned char& byte : result) {
            byte = body.u8();
        }
        if (result[6] != 0xFF || result[7] != 0xFF) {
            const quint64 bits = qFromLittleEndian<quint64>(result);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            if (value == 0) {
                noteZeroResult(place, body);
            }
            m_cells.set(place.row, place.column, numberCell(format, value));
            return;
        }
        switch (result[0]) {
        case 0: // text, in the STRING record that follows
            m_formulaText = place;
            break;
        case 1:
            m_cells.set(place.row, place.column, booleanText(result[2]));
            break;
        case 2:
            m_cells.set(place.row, place.column, errorText(result[2]));
            break;
        case 3: // empty text
            break;
        default:
            damaged();
        }
    }

    // A formula giving text has its text result stored as such; LibreOffice's .xls export
    // stores 0 in its place and calculates the formula again when it reads the file. Such a
    // cell cannot be read without calculating, which the import does not do: it refuses the
    // workbook rather than take the 0.
    void noteZeroResult(Place place, RecordReader& body) {
        body.u16(); // options
        body.u32();
        const quint16 size = body.u16();
        QByteArray tokens(size, Qt::Uninitialized);
        for (char& byte : tokens) {
            byte = char(body.u8());
        }
        const FormulaKind kind = formulaKind(tokens);
        if (kind == FormulaKind::Text) {
            m_zeroTextResults.push_back(place);
        } else if (kind == FormulaKind::Shared) {
            const Place anchor{qFromLittleEndian<quint16>(tokens.constData() + 1),
                               qFromLittleEndian<quint16>(tokens.constData() + 3)};
            m_zeroSharedResults.emplace_back(place, anchor);
        }
    }

    // The tokens of a formula range, kept by the range's first cell.
    void readSharedFormula(RecordReader& body) {
        const quint16 firstRow = body.u16();
        body.u16(); // last row
        const quint8 firstColumn = body.u8();
        body.u8();  // last column
        body.u16(); // uses
        const quint16 size = body.u16();
        QByteArray tokens(size, Qt::Uninitialized);
        for (char& byte : tokens) {
            byte = char(body.u8());
        }
        if (formulaKind(tokens) == FormulaKind::Text) {
            m_textRanges.push_back({firstRow, firstColumn});
        }
    }

    void checkFormulaResults() const {
        std::vector<Place> missing = m_zeroTextResults;
        for (const auto& shared : m_zeroSharedResults) {
            const Place anchor = shared.second;
            if (std::any_of(m_textRanges.begin(), m_textRanges.end(), [anchor](Place range) {
                    return range.row == anchor.row && range.column == anchor.column;
                })) {
                missing.push_back(shared.first);
            }
        }
        if (!missing.empty()) {
            const Place first =
                *std::min_element(missing.begin(), missing.end(), [](Place a, Place b) {
                    return std::tie(a.row, a.column) < std::tie(b.row, b.column);
                });
            throw UnreadableWorkbook{
                QStringLiteral("单元格 %1 的公式没有把计算结果保存在文件中（LibreOffice 保存的 "
                               ".xls 文件会这样），程序不计算公式，无法得到它的值。请在电子表格"
                               "程序中把工作簿另存为 .xlsx 后再导入")
                    .arg(cellName(first.row, first.column))};
        }
    }

    const Globals& m_globals;
    SheetCells& m_cells;
    std::optional<Place> m_formulaText;
    std::vector<Place> m_zeroTextResults;                     // formulas giving text, 0 stored
    std::vector<std::pair<Place, Place>> m_zeroSharedResults; // and their range's first cell
    std::vector<Place> m_textRanges; // first cells of formula ranges giving text
};

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GsfPointer = std::unique_ptr<T, GObjectUnref>;

// The stream of the compound file whose name is name in any letter case, as OLE2 names go.
GsfPointer<GsfInput> child(GsfInfile* file, const char* name) {
    const int count = gsf_infile_num_children(file);
    for (int i = 0; i < count; ++i) {
        const char* childName = gsf_infile_name_by_index(file, i);
        if (childName && g_ascii_strcasecmp(childName, name) == 0) {
            return GsfPointer<GsfInput>(gsf_infile_child_by_index(file, i));
        }
    }
    return nullptr;
}

// libgsf logs what it finds wrong in a damaged compound file; the reader reports the damage
// itself.
void quietLibgsf() {
    gsf_init();
    for (const char* domain : {"libgsf", "libgsf:msole"}) {
        g_log_set_handler(
            domain, GLogLevelFlags(G_LOG_LEVEL_MASK),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    }
}

// Whether the compound file's root directory entry is what the format requires: a root
// (type 5) without siblings. libgsf leaks the siblings of a root that has them, so such a
// damaged file is refused before libgsf reads it.
bool soundRoot(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray header = file.read(512);
    if (header.size() < 512) {
        return false;
    }
    const quint16 sectorShift = qFromLittleEndian<quint16>(header.constData() + 0x1E);
    const quint32 directorySector = qFromLittleEndian<quint32>(header.constData() + 0x30);
    if ((sectorShift != 9 && sectorShift != 12) ||
        !file.seek((qint64(directorySector) + 1) << sectorShift)) {
        return false;
    }
    const QByteArray root = file.read(128);
    constexpr quint32 NoStream = 0xFFFFFFFF;
    return root.size() == 128 && root[0x42] == 5 &&
           qFromLittleEndian<quint32>(root.constData() + 0x44) == NoStream &&
           qFromLittleEndian<quint32>(root.constData() + 0x48) == NoStream;
}

QByteArray workbookStream(const QString& path) {
    static const bool initialized = (quietLibgsf(), true);
    Q_UNUSED(initialized);
    GsfPointer<GsfInput> file(gsf_input_stdio_new(QFile::encodeName(path).constData(), nullptr));
    if (!file) {
        throw UnreadableWorkbook{QStringLiteral("文件无法打开")};
    }
    if (!soundRoot(path)) {
        damaged();
    }
    GsfPointer<GsfInfile> compound(gsf_infile_msole_new(file.get(), nullptr));
    if (!compound) {
        damaged();
    }
    const GsfPointer<GsfInput> stream = child(compound.get(), "Workbook");
    if (!stream) {
        if (child(compound.get(), "Book")) {
            olderFormat();
        }
        if (child(compound.get(), "EncryptedPackage")) {
            passwordProtected(); // an encrypted .xlsx inside a compound file
        }
        throw UnreadableWorkbook{QStringLiteral("文件中没有 Excel 工作簿")};
    }
    const gsf_off_t size = gsf_input_size(stream.get());
    if (size < 0) {
        damaged();
    }
    if (size > WorkbookLimits::XlsStreamBytes) {
        tooLarge(QStringLiteral("工作簿数据超过 %1 MB")
                     .arg(WorkbookLimits::XlsStreamBytes / (1024 * 1024)));
    }
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (size > 0 &&
        !gsf_input_read(stream.get(), size_t(size), reinterpret_cast<guint8*>(bytes.data()))) {
        damaged();
    }
    return bytes;
}

} // namespace

bool readWorkbookStream(const QByteArray& stream, const QString& sheetName, SheetCells& cells) {
    const Globals globals = readGlobals(stream, sheetName);
    if (globals.sheetStart < 0) {
        return false;
    }
    SheetReader(globals, cells).read(stream);
    return true;
}

bool readSheet(const QString& path, const QString& sheetName, SheetCells& cells) {
    return readWorkbookStream(workbookStream(path), sheetName, cells);
}

} // namespace Xls
