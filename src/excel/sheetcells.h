#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <vector>

class ResultSet;

// Bounds that keep a damaged or hostile workbook from exhausting memory.
namespace WorkbookLimits {
constexpr qint64 FileBytes = 256LL * 1024 * 1024;
constexpr qint64 PartBytes = 256LL * 1024 * 1024; // one unpacked member of an .xlsx
constexpr qint64 Cells = 20'000'000;              // rows × columns of a sheet's result
constexpr qint64 TextBytes = 512LL * 1024 * 1024; // the texts of all cells together
constexpr quint32 Rows = 1'048'576;
constexpr quint32 Columns = 16'384;
} // namespace WorkbookLimits

// Why a workbook cannot be read; the reader puts the file's name in front of it.
struct UnreadableWorkbook {
    QString reason;
};

// The cells of one sheet as a format reader meets them, in any order (rows and columns
// from 0); a later value of the same cell replaces the earlier one.
class SheetCells {
public:
    // Empty texts are no values. Throws UnreadableWorkbook beyond the bounds.
    void set(quint32 row, quint32 column, const QString& text);

    // The used range as a result: its first row names the columns (blanks around a name are
    // dropped; a column without a name is called "F" and its position from 1), every further
    // row up to the last one holding a value is a result row. Throws UnreadableWorkbook when
    // the range is too large.
    std::shared_ptr<ResultSet> toResult();

private:
    struct Cell {
        quint32 row;
        quint32 column;
        QString text;
    };
    std::vector<Cell> m_cells;
    qint64 m_bytes = 0;
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
