#include "excel/sheetcells.h"

#include "db/resultset.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

void tooLarge(const QString& what) {
    throw UnreadableWorkbook{QStringLiteral("工作簿太大：") + what};
}

namespace {
QString megabytes(qint64 bytes) {
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}
QString tenThousands(qint64 count) {
    return QStringLiteral("%1 万").arg(count / 10'000);
}
} // namespace

void SharedStrings::append(const QString& text) {
    if (size() >= WorkbookLimits::SharedStrings) {
        tooLarge(
            QStringLiteral("共享字符串超过 %1个").arg(tenThousands(WorkbookLimits::SharedStrings)));
    }
    const QByteArray utf8 = text.toUtf8();
    if (qint64(m_text.size()) + utf8.size() > WorkbookLimits::SharedStringBytes) {
        tooLarge(QStringLiteral("共享字符串的文字超过 %1")
                     .arg(megabytes(WorkbookLimits::SharedStringBytes)));
    }
    m_text.append(utf8.constData(), size_t(utf8.size()));
    m_ends.push_back(quint32(m_text.size()));
}

std::string_view SharedStrings::at(qsizetype index) const {
    const size_t start = index == 0 ? 0 : m_ends[size_t(index - 1)];
    return std::string_view(m_text).substr(start, m_ends[size_t(index)] - start);
}

void SheetCells::set(quint32 row, quint32 column, std::string_view utf8) {
    if (utf8.empty()) {
        return;
    }
    if (row >= WorkbookLimits::Rows || column >= WorkbookLimits::Columns) {
        throw UnreadableWorkbook{QStringLiteral("单元格位置超出了工作表的范围")};
    }
    if (qint64(m_cells.size()) >= WorkbookLimits::Cells) {
        throw UnreadableWorkbook{
            QStringLiteral("工作表太大：单元格超过 %1个").arg(tenThousands(WorkbookLimits::Cells))};
    }
    if (qint64(m_text.size() + utf8.size()) > WorkbookLimits::TextBytes) {
        throw UnreadableWorkbook{
            QStringLiteral("工作表太大：文字超过 %1").arg(megabytes(WorkbookLimits::TextBytes))};
    }
    m_cells.push_back({row, column, quint32(m_text.size()), quint32(utf8.size())});
    m_text.append(utf8);
}

void SheetCells::set(quint32 row, quint32 column, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    set(row, column, std::string_view(utf8.constData(), size_t(utf8.size())));
}

namespace {
// The row that names the columns: the first used row, unless the first rows hold one value
// each (a title over the table, such as a merged "名片表") and one of the next rows holds
// several: that row, below its title, names the columns.
template <typename Cell> size_t headerStart(const std::vector<Cell>& cells) {
    constexpr int TitleRows = 3;
    size_t start = 0;
    for (int row = 0; row <= TitleRows && start < cells.size(); ++row) {
        size_t end = start;
        bool several = false;
        while (end < cells.size() && cells[end].row == cells[start].row) {
            several = several || cells[end].column != cells[start].column;
            ++end;
        }
        if (several) {
            return start;
        }
        start = end;
    }
    return 0;
}
} // namespace

std::shared_ptr<ResultSet> SheetCells::toResult() {
    std::vector<Cell>& cells = m_cells;
    // A later value of a place replaces an earlier one, and a later value stands later in the
    // text: ordering by the text's start too keeps them in the order read, in place.
    auto before = [](const Cell& a, const Cell& b) {
        return a.row != b.row         ? a.row < b.row
               : a.column != b.column ? a.column < b.column
                                      : a.start < b.start;
    };
    if (!std::is_sorted(cells.begin(), cells.end(), before)) {
        std::sort(cells.begin(), cells.end(), before);
    }
    if (cells.empty()) {
        return std::make_shared<ResultSet>(QStringList());
    }
    cells.erase(cells.begin(), cells.begin() + qsizetype(headerStart(cells)));
    const quint32 firstRow = cells.front().row;
    const quint32 lastRow = cells.back().row;
    quint32 firstColumn = cells.front().column;
    quint32 lastColumn = firstColumn;
    for (const Cell& cell : cells) {
        firstColumn = std::min(firstColumn, cell.column);
        lastColumn = std::max(lastColumn, cell.column);
    }
    const qint64 columns = qint64(lastColumn) - firstColumn + 1;
    const qint64 rows = qint64(lastRow) - firstRow + 1;
    if (rows * columns > WorkbookLimits::Cells) {
        throw UnreadableWorkbook{
            QStringLiteral("工作表太大（%1 行 × %2 列）").arg(rows).arg(columns)};
    }

    // Walks the sorted cells row by row; for duplicates of one place the last value counts.
    size_t next = 0;
    auto valueAt = [&](quint32 row, quint32 column) {
        std::string_view value;
        while (next < cells.size() && (cells[next].row < row ||
                                       (cells[next].row == row && cells[next].column <= column))) {
            if (cells[next].row == row && cells[next].column == column) {
                value = text(cells[next]);
            }
            ++next;
        }
        return value;
    };

    QStringList names;
    for (quint32 c = firstColumn; c <= lastColumn; ++c) {
        const QString name = textFromUtf8(valueAt(firstRow, c)).trimmed();
        names << (name.isEmpty() ? QStringLiteral("F%1").arg(c - firstColumn + 1) : name);
    }
    auto result = std::make_shared<ResultSet>(names);
    result->reserveRows(int(rows - 1),
                        qsizetype(m_text.size() / size_t(std::max<qint64>(rows, 1))));
    for (quint32 r = firstRow + 1; r <= lastRow; ++r) {
        for (quint32 c = firstColumn; c <= lastColumn; ++c) {
            const std::string_view value = valueAt(r, c);
            result->append(value.data(), qsizetype(value.size()));
        }
    }
    return result;
}

namespace {
// The number rounded to the 15 significant digits a spreadsheet program keeps and shows.
double spreadsheetPrecision(double value) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    double rounded = value;
    std::from_chars(buffer, end.ptr, rounded);
    return rounded;
}
} // namespace

QString numberText(double exactValue) {
    if (!std::isfinite(exactValue)) {
        return QStringLiteral("#NUM!");
    }
    const double value = spreadsheetPrecision(exactValue);
    if (value == 0) {
        return QStringLiteral("0"); // also for -0
    }
    char buffer[64];
    if (value != std::trunc(value) || std::fabs(value) >= 1e21) {
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value);
        return QString::fromLatin1(buffer, end.ptr - buffer);
    }
    // A whole number in plain digits: its significant digits padded with zeros to the units
    // (2^60 gives 1152921504606850000, as the spreadsheet program shows it).
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                   std::chars_format::scientific); // "-1.3800138e+10"
    const std::string_view text(buffer, size_t(end.ptr - buffer));
    const size_t e = text.find('e');
    std::string digits;
    for (const char c : text.substr(0, e)) {
        if (c != '.') {
            digits += c;
        }
    }
    const int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
    const size_t units = size_t(exponent) + 1 + (value < 0 ? 1 : 0);
    if (digits.size() < units) {
        digits.append(units - digits.size(), '0');
    }
    return QString::fromLatin1(digits.data(), qsizetype(digits.size()));
}

QString serialDateText(double serial, bool from1904, DateParts parts) {
    // 9999-12-31 is the last day a workbook can hold.
    const double lastDay = from1904 ? 2957003 : 2958465;
    if (!std::isfinite(serial) || serial < 0 || serial >= lastDay + 1) {
        return {};
    }
    qint64 days = qint64(std::floor(serial));
    qint64 seconds = std::llround((serial - double(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds = 0;
    }
    // The 1900 system counts a 29 February 1900 that never was: from day 61 on, serials run
    // one day ahead of the calendar.
    const QDate base = from1904    ? QDate(1904, 1, 1)
                       : days < 61 ? QDate(1899, 12, 31)
                                   : QDate(1899, 12, 30);
    const QString date = base.addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
    const QString time = QTime(0, 0).addSecs(int(seconds)).toString(QStringLiteral("hh:mm:ss"));
    switch (parts) {
    case DateParts::Date:
        return date;
    case DateParts::DateTime:
        return date + u' ' + time;
    case DateParts::Time:
        return time;
    }
    return {};
}

namespace {
// Whether a format code shows a date, a time or both: the letters of the date and time parts
// count outside quoted text, escapes and bracketed colours or locales.
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

// The sections of a code made of quoted texts only, such as "TRUE";"TRUE";"FALSE"; empty
// for any other code.
QStringList literalSections(const QString& code) {
    QStringList texts;
    for (const QString& section : code.split(u';')) {
        const QString trimmed = section.trimmed();
        if (trimmed.size() < 2 || !trimmed.startsWith(u'"') || !trimmed.endsWith(u'"') ||
            trimmed.count(u'"') != 2) {
            return {};
        }
        texts << trimmed.mid(1, trimmed.size() - 2);
    }
    return texts;
}

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

} // namespace

NumberFormat numberFormat(const QString& code) {
    return {codeDateParts(code), literalSections(code)};
}

NumberFormat builtInNumberFormat(int id) {
    return {builtInDateParts(id), {}};
}

QString numberCellText(double value, const NumberFormat& format, bool from1904) {
    if (format.date) {
        const QString text = serialDateText(value, from1904, *format.date);
        if (!text.isEmpty()) {
            return text;
        }
    }
    if (!format.texts.isEmpty()) {
        // Sections for positive numbers, negative ones and zero; those left out fall back to
        // the first.
        const qsizetype section = value < 0 ? 1 : value == 0 ? 2 : 0;
        return format.texts.value(section, format.texts.first());
    }
    return numberText(value);
}
