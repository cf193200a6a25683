#include "excel/sheetwriter.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <xlsxwriter.h>

namespace {
constexpr double DefaultFontSize = 11; // the workbook's default font, in points
constexpr int TextFormatIndex = 49;    // the built-in number format "@"
constexpr uint8_t A4PaperIndex = 9;

// The height a spreadsheet program gives a row to fit a font larger than the default one
// (about 1.3 times its size, in steps of 0.75 points): 18 points give 23.25.
double fittedRowHeight(double fontSize) {
    return std::round(fontSize * 1.3 / 0.75) * 0.75;
}

// Keeps the first error of a run of library calls.
struct FirstError {
    lxw_error error = LXW_NO_ERROR;
    void operator()(lxw_error result) {
        if (error == LXW_NO_ERROR) {
            error = result;
        }
    }
};
} // namespace

// The format of one cell: every range format that covers it, applied in order.
struct SheetWriter::Style {
    QString fontName;    // empty: the workbook's default
    double fontSize = 0; // 0: the workbook's default
    bool bold = false;
    bool centred = false;
    bool borders = false;
    bool text = false; // the text number format "@": the value stays text when edited again

    void apply(const RangeFormat& format) {
        switch (format.setting) {
        case Setting::FontName:
            fontName = format.fontName;
            break;
        case Setting::FontSize:
            fontSize = format.fontSize;
            break;
        case Setting::Bold:
            bold = true;
            break;
        case Setting::Centre:
            centred = true;
            break;
        case Setting::Borders:
            borders = true;
            break;
        }
    }
    bool isDefault() const {
        return fontName.isEmpty() && fontSize == 0 && !bold && !centred && !borders && !text;
    }
    bool operator<(const Style& other) const {
        return std::tie(fontName, fontSize, bold, centred, borders, text) <
               std::tie(other.fontName, other.fontSize, other.bold, other.centred, other.borders,
                        other.text);
    }
};

void SheetWriter::put(int row, const Cell& cell) {
    if (row < 1 || cell.column < 1) {
        return;
    }
    if (size_t(row) > m_rows.size()) {
        m_rows.resize(row);
    }
    std::vector<Cell>& cells = m_rows[row - 1];
    if (cells.empty() || cells.back().column < cell.column) {
        cells.push_back(cell); // the usual case: a row filled left to right
        return;
    }
    auto at = std::lower_bound(cells.begin(), cells.end(), cell.column,
                               [](const Cell& c, int column) { return c.column < column; });
    if (at != cells.end() && at->column == cell.column) {
        *at = cell;
    } else {
        cells.insert(at, cell);
    }
}

namespace {
// Whether the characters from at on read as an escaped character "_xHHHH_".
bool escapeLikeAt(const QString& text, qsizetype at) {
    if (at + 7 > text.size() || text.at(at) != u'_' || text.at(at + 1) != u'x' ||
        text.at(at + 6) != u'_') {
        return false;
    }
    bool hex = false;
    text.mid(at + 2, 4).toUShort(&hex, 16);
    return hex;
}

// Characters XML 1.0 cannot carry: NUL, the other C0 controls but tab, line feed and carriage
// return, and the two non-characters U+FFFE and U+FFFF.
bool xmlCannotCarry(QChar c) {
    const char16_t code = c.unicode();
    return (code < 0x20 && code != u'\t' && code != u'\n' && code != u'\r') || code == 0xFFFE ||
           code == 0xFFFF;
}

// The text as the file format carries it: characters XML cannot carry written as "_xHHHH_",
// and the "_" of a text that reads like such an escape escaped in turn.
QString escapedText(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (escapeLikeAt(text, i)) {
            escaped += QStringLiteral("_x005F_"); // its "_" escaped: the text stays as it is
        } else if (xmlCannotCarry(c)) {
            const QString hex = QString::number(c.unicode(), 16).toUpper();
            escaped += QStringLiteral("_x") + hex.rightJustified(4, u'0') + u'_';
        } else {
            escaped += c;
        }
    }
    return escaped;
}
} // namespace

void SheetWriter::setText(int row, int column, const QString& text) {
    qsizetype length = std::min<qsizetype>(text.size(), MaxTextLength);
    if (length < text.size() && text.at(length).isLowSurrogate()) {
        --length; // never split a character
    }
    const size_t offset = m_texts.size();
    const QByteArray utf8 = escapedText(text.left(length)).toUtf8();
    m_texts.append(utf8.constData(), utf8.size());
    m_texts += '\0'; // no NUL inside: it is escaped
    put(row, {column, false, 0, offset});
}

void SheetWriter::setNumber(int row, int column, double value) {
    put(row, {column, true, value, 0});
}

void SheetWriter::setColumnWidth(int column, double width) {
    m_widths.emplace_back(column, width);
}

void SheetWriter::merge(const CellRange& range) {
    if (range.firstRow != range.lastRow || range.firstColumn != range.lastColumn) {
        m_merges.push_back(range);
    }
}

void SheetWriter::setFontName(const CellRange& range, const QString& name) {
    m_formats.push_back({range, Setting::FontName, name});
}

void SheetWriter::setFontSize(const CellRange& range, double points) {
    m_formats.push_back({range, Setting::FontSize, {}, points});
}

void SheetWriter::setBold(const CellRange& range) {
    m_formats.push_back({range, Setting::Bold, {}, 0});
}

void SheetWriter::centre(const CellRange& range) {
    m_formats.push_back({range, Setting::Centre, {}, 0});
}

void SheetWriter::setBorders(const CellRange& range) {
    m_formats.push_back({range, Setting::Borders, {}, 0});
}

void SheetWriter::setBottomMargin(double points) {
    m_bottomMargin = points;
}

void SheetWriter::setPortrait() {
    m_portrait = true;
}

void SheetWriter::setA4Paper() {
    m_a4Paper = true;
}

void SheetWriter::setCentreFooter(const QString& codes) {
    m_footer = codes;
}

QString SheetWriter::footerText(const QString& plain) {
    QString text = plain;
    return text.replace(u'&', QStringLiteral("&&"));
}

bool SheetWriter::save(const QString& path, const std::function<bool(int row)>& rowWritten) const {
    // Rows go out in order, one at a time, so the library need not hold the whole sheet.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!book) {
        return false;
    }
    FirstError error;
    QByteArray title = m_title.toUtf8();
    lxw_doc_properties properties = {};
    properties.title = title.data();
    error(workbook_set_properties(book, &properties));
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    const bool written = sheet && writeSheet(book, sheet, rowWritten);
    error(workbook_close(book));
    return written && error.error == LXW_NO_ERROR;
}

bool SheetWriter::writeSheet(lxw_workbook* book, lxw_worksheet* sheet,
                             const std::function<bool(int row)>& rowWritten) const {
    FirstError error;
    for (const auto& [column, width] : m_widths) {
        error(worksheet_set_column(sheet, column - 1, column - 1, width, nullptr));
    }
    if (m_bottomMargin >= 0) {
        worksheet_set_margins(sheet, -1, -1, -1, m_bottomMargin / 72); // inches
    }
    if (m_portrait) {
        worksheet_set_portrait(sheet);
    }
    if (m_a4Paper) {
        worksheet_set_paper(sheet, A4PaperIndex);
    }
    if (!m_footer.isEmpty()) {
        error(worksheet_set_footer(sheet, (QStringLiteral("&C") + m_footer).toUtf8().constData()));
    }

    int lastRow = int(m_rows.size());
    int lastColumn = 0;
    for (const std::vector<Cell>& cells : m_rows) {
        if (!cells.empty()) {
            lastColumn = std::max(lastColumn, cells.back().column);
        }
    }
    for (const RangeFormat& format : m_formats) {
        lastRow = std::max(lastRow, format.range.lastRow);
        lastColumn = std::max(lastColumn, format.range.lastColumn);
    }

    std::map<Style, lxw_format*> formats;
    auto formatOf = [&](const Style& style) -> lxw_format* {
        if (style.isDefault()) {
            return nullptr;
        }
        lxw_format*& format = formats[style];
        if (!format) {
            format = workbook_add_format(book);
            if (!style.fontName.isEmpty()) {
                format_set_font_name(format, style.fontName.toUtf8().constData());
            }
            if (style.fontSize > 0) {
                format_set_font_size(format, style.fontSize);
            }
            if (style.bold) {
                format_set_bold(format);
            }
            if (style.centred) {
                format_set_align(format, LXW_ALIGN_CENTER);
                format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
            }
            if (style.borders) {
                format_set_border(format, LXW_BORDER_THIN);
            }
            if (style.text) {
                format_set_num_format_index(format, TextFormatIndex);
            }
        }
        return format;
    };

    // Rows covered by the same range formats share their cells' formats, worked out once.
    std::vector<size_t> covering;
    std::vector<size_t> previousCovering;
    std::vector<lxw_format*> columnFormats(lastColumn + 1, nullptr);
    std::vector<lxw_format*> columnTextFormats(lastColumn + 1, nullptr);
    double largestFont = 0;
    const std::vector<Cell> noCells;
    for (int row = 1; row <= lastRow; ++row) {
        covering.clear();
        for (size_t i = 0; i < m_formats.size(); ++i) {
            if (m_formats[i].range.containsRow(row)) {
                covering.push_back(i);
            }
        }
        if (row == 1 || covering != previousCovering) {
            largestFont = 0;
            for (int column = 1; column <= lastColumn; ++column) {
                Style style;
                for (size_t i : covering) {
                    if (m_formats[i].range.containsColumn(column)) {
                        style.apply(m_formats[i]);
                    }
                }
                columnFormats[column] = formatOf(style);
                style.text = true;
                columnTextFormats[column] = formatOf(style);
                largestFont = std::max(largestFont, style.fontSize);
            }
            previousCovering = covering;
        }
        if (largestFont > DefaultFontSize) {
            error(worksheet_set_row(sheet, row - 1, fittedRowHeight(largestFont), nullptr));
        }
        for (const CellRange& range : m_merges) {
            if (range.firstRow == row) {
                // Writes no cell itself (no text, no format): the cells follow with their own.
                error(worksheet_merge_range(sheet, range.firstRow - 1, range.firstColumn - 1,
                                            range.lastRow - 1, range.lastColumn - 1, "", nullptr));
            }
        }
        const std::vector<Cell>& cells = size_t(row) <= m_rows.size() ? m_rows[row - 1] : noCells;
        auto cell = cells.begin();
        for (int column = 1; column <= lastColumn; ++column) {
            lxw_format* format = columnFormats[column];
            if (cell != cells.end() && cell->column == column) {
                error(cell->isNumber
                          ? worksheet_write_number(sheet, row - 1, column - 1, cell->number, format)
                          : worksheet_write_string(sheet, row - 1, column - 1,
                                                   m_texts.data() + cell->text,
                                                   columnTextFormats[column]));
                ++cell;
            } else if (format) {
                error(worksheet_write_blank(sheet, row - 1, column - 1, format));
            }
        }
        if (rowWritten && !rowWritten(row)) {
            return false;
        }
    }
    return error.error == LXW_NO_ERROR;
}
