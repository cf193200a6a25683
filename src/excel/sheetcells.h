#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ResultSet;

// Bounds that keep a damaged or hostile workbook from exhausting memory and time. A part of
// an .xlsx is read as a stream, so its size costs time, not memory; what is held is bounded:
// while the sheet is read, the shared strings (4 bytes each and their text) and the cells read
// (16 bytes each and their text), and the Workbook stream of an .xls; then the cells and the
// result made of them (4 bytes a cell of the used range, and the text once more). At every
// bound together that stays under 200 MB.
namespace WorkbookLimits {
constexpr qint64 FileBytes = 256LL * 1024 * 1024;
constexpr qint64 PartBytes = 256LL * 1024 * 1024;        // one unpacked member of an .xlsx
constexpr qint64 TokenBytes = 4LL * 1024 * 1024;         // one tag, text or comment of a part
constexpr qint64 XlsStreamBytes = 32LL * 1024 * 1024;    // the Workbook stream of an .xls
constexpr qint64 SharedStrings = 4'000'000;              // the workbook's shared strings
constexpr qint64 SharedStringBytes = 32LL * 1024 * 1024; // their text in UTF-8
constexpr qint64 Cells = 4'000'000;                      // cells read, and rows × columns
constexpr qint64 TextBytes = 32LL * 1024 * 1024;         // the texts of all cells, UTF-8
constexpr quint32 Rows = 1'048'576;
constexpr quint32 Columns = 16'384;
} // namespace WorkbookLimits

// Why a workbook cannot be read; the reader puts the file's name in front of it.
struct UnreadableWorkbook {
    QString reason;
};

// Refuses a workbook beyond a bound: "工作簿太大：" and what passed it.
[[noreturn]] void tooLarge(const QString& what);

// The shared strings of a workbook, back to back in UTF-8, within their bounds.
class SharedStrings {
public:
    // Throws UnreadableWorkbook beyond the bounds.
    void append(const QString& text);
    qsizetype size() const { return qsizetype(m_ends.size()); }
    std::string_view at(qsizetype index) const;

private:
    std::string m_text;
    std::vector<quint32> m_ends;
};

// The cells of one sheet as a format reader meets them, in any order (rows and columns
// from 0); a later value of the same cell replaces the earlier one.
class SheetCells {
public:
    // Empty texts are no values. Throws UnreadableWorkbook beyond the bounds.
    void set(quint32 row, quint32 column, std::string_view utf8);
    void set(quint32 row, quint32 column, const QString& text);

    // The used range as a result: its first row names the columns (blanks around a name are
    // dropped; a column without a name is called "F" and its position from 1), every further
    // row up to the last one holding a value is a result row. A title over the table, up to
    // three rows of one value each above a row of several, is left out: that row names the
    // columns. Throws UnreadableWorkbook when the range is too large.
    std::shared_ptr<ResultSet> toResult();

private:
    struct Cell {
        quint32 row;
        quint32 column;
        quint32 start; // of its text in m_text
        quint32 size;
    };
    std::string_view text(const Cell& cell) const {
        return {m_text.data() + cell.start, cell.size};
    }

    std::vector<Cell> m_cells;
    std::string m_text;
};

// A number as the spreadsheet program shows it: rounded to the 15 significant digits a
// spreadsheet keeps, whole numbers in plain digits, others in the shortest form that reads
// back as that rounded number.
QString numberText(double value);

// A date serial of a workbook (days, with the time of day as the fraction) as text.
enum class DateParts { Date, DateTime, Time };
// "yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss" or "hh:mm:ss"; empty when the serial is no date.
QString serialDateText(double serial, bool from1904, DateParts parts);

// How a number format shows a number: as a date, a time or both; as fixed texts chosen by
// the number's sign (as LibreOffice's "TRUE";"TRUE";"FALSE" shows a boolean); or as a number.
struct NumberFormat {
    std::optional<DateParts> date;
    QStringList texts; // for a positive number, a negative one, zero
};
NumberFormat numberFormat(const QString& code);
// The built-in formats (by id) of both workbook formats, the Chinese ones included.
NumberFormat builtInNumberFormat(int id);

// A number cell as its format shows it; numberText when the format shows a plain number.
QString numberCellText(double value, const NumberFormat& format, bool from1904);
