#include "excel/sheetwriter.h"

#include "db/resultset.h"

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

// Whether UTF-8 text goes into the file unchanged: short enough for a cell, and nothing the
// escaping would touch (no control character, no "_", no U+FFFE or U+FFFF). Card values
// nearly always are.
bool carriedAsItIs(std::string_view utf8) {
    if (utf8.size() > size_t(SheetWriter::MaxTextLength)) {
        return false;
    }
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == '_') {
            return false;
        }
        if (byte == 0xEF && i + 2 < utf8.size() &&
            static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xBE) {
            return false;
        }
    }
    return true;
}
} // namespace

void SheetWriter::setText(int row, int column, const QString& text) {
    qsizetype length = std::min<qsizetype>(text.size(), MaxTextLength);
    if (length < text.size() && text.at(length).isLowSurrogate()) {
        --length; // never split a character
    }
    const QByteArray utf8 = escapedText(text.left(length)).toUtf8();
    put(row, {column, false, 0, 0}, std::string_view(utf8.constData(), size_t(utf8.size())));
}

void SheetWriter::setUtf8Text(int row, int column, std::string_view utf8) {
    if (!carriedAsItIs(utf8)) {
        setText(row, column, textFromUtf8(utf8));
        return;
    }
    put(row, {column, false, 0, 0}, utf8);
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

// The file being written: the workbook, the cell formats made so far, and the formats of the
// columns for the range formats covering the row written last.
struct SheetWriter::Stream {
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    FirstError error;
    std::map<Style, lxw_format*> formats;
    int formatsLastRow = 0;
    int formatsLastColumn = 0;
    int nextRow = 1; // the next row to write out
    std::vector<size_t> covering;
    std::vector<lxw_format*> columnFormats;     // by column, up to formatsLastColumn
    std::vector<lxw_format*> columnTextFormats; // the same with the text number format
    lxw_format* plainTextFormat = nullptr;      // right of every range format
    double largestFont = 0;

    ~Stream() {
        if (book) {
            lxw_workbook_free(book); // never finished: nothing is written
        }
    }

    lxw_format* formatOf(const Style& style) {
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
    }
};

SheetWriter::SheetWriter() = default;
SheetWriter::~SheetWriter() = default;

void SheetWriter::put(int row, Cell cell, std::string_view text) {
    if (row < m_firstHeld || cell.column < 1) {
        return; // before the sheet, or a row already written out
    }
    if (m_stream) {
        writeRowsBefore(row);
    }
    if (!cell.isNumber) {
        cell.text = m_texts.size();
        m_texts.append(text);
        m_texts += '\0'; // no NUL inside: it is escaped
    }
    const size_t index = size_t(row - m_firstHeld);
    if (index >= m_rows.size()) {
        m_rows.resize(index + 1);
    }
    std::vector<Cell>& cells = m_rows[index];
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

bool SheetWriter::save(const QString& path) {
    return begin(path) && finish();
}

bool SheetWriter::begin(const QString& path) {
    auto stream = std::make_unique<Stream>();
    // Rows go out in order, one at a time, so the library need not hold the whole sheet.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    stream->book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!stream->book) {
        return false;
    }
    QByteArray title = m_title.toUtf8();
    lxw_doc_properties properties = {};
    properties.title = title.data();
    stream->error(workbook_set_properties(stream->book, &properties));
    stream->sheet = workbook_add_worksheet(stream->book, nullptr);
    if (!stream->sheet) {
        return false;
    }
    lxw_worksheet* sheet = stream->sheet;
    for (const auto& [column, width] : m_widths) {
        stream->error(worksheet_set_column(sheet, column - 1, column - 1, width, nullptr));
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
        stream->error(
            worksheet_set_footer(sheet, (QStringLiteral("&C") + m_footer).toUtf8().constData()));
    }
    for (const RangeFormat& format : m_formats) {
        stream->formatsLastRow = std::max(stream->formatsLastRow, format.range.lastRow);
        stream->formatsLastColumn = std::max(stream->formatsLastColumn, format.range.lastColumn);
    }
    stream->columnFormats.assign(size_t(stream->formatsLastColumn) + 1, nullptr);
    stream->columnTextFormats.assign(size_t(stream->formatsLastColumn) + 1, nullptr);
    Style plainText;
    plainText.text = true;
    stream->plainTextFormat = stream->formatOf(plainText);
    m_stream = std::move(stream);
    writeRowsBefore(m_firstHeld + int(m_rows.size()));
    return true;
}

bool SheetWriter::finish() {
    if (!m_stream) {
        return false;
    }
    writeRowsBefore(std::max(m_firstHeld + int(m_rows.size()), m_stream->formatsLastRow + 1));
    const std::unique_ptr<Stream> stream = std::move(m_stream);
    const lxw_error closed = workbook_close(stream->book);
    stream->book = nullptr; // closing frees it
    return closed == LXW_NO_ERROR && stream->error.error == LXW_NO_ERROR;
}

void SheetWriter::writeRowsBefore(int row) {
    static const std::vector<Cell> noCells;
    while (m_firstHeld < row) {
        writeRow(m_rows.empty() ? noCells : m_rows.front());
        if (!m_rows.empty()) {
            m_rows.pop_front();
        }
        ++m_firstHeld;
    }
    if (m_rows.empty()) {
        m_texts.clear(); // every text held has gone out
    }
}

void SheetWriter::writeRow(const std::vector<Cell>& cells) {
    Stream& s = *m_stream;
    const int row = s.nextRow++;
    // Rows covered by the same range formats share their cells' formats, worked out once.
    std::vector<size_t> covering;
    for (size_t i = 0; i < m_formats.size(); ++i) {
        if (m_formats[i].range.containsRow(row)) {
            covering.push_back(i);
        }
    }
    if (row == 1 || covering != s.covering) {
        s.largestFont = 0;
        for (int column = 1; column <= s.formatsLastColumn; ++column) {
            Style style;
            for (size_t i : covering) {
                if (m_formats[i].range.containsColumn(column)) {
                    style.apply(m_formats[i]);
                }
            }
            s.columnFormats[column] = s.formatOf(style);
            style.text = true;
            s.columnTextFormats[column] = s.formatOf(style);
            s.largestFont = std::max(s.largestFont, style.fontSize);
        }
        s.covering = std::move(covering);
    }
    if (s.largestFont > DefaultFontSize) {
        s.error(worksheet_set_row(s.sheet, row - 1, fittedRowHeight(s.largestFont), nullptr));
    }
    for (const CellRange& range : m_merges) {
        if (range.firstRow == row) {
            // Writes no cell itself (no text, no format): the cells follow with their own.
            s.error(worksheet_merge_range(s.sheet, range.firstRow - 1, range.firstColumn - 1,
                                          range.lastRow - 1, range.lastColumn - 1, "", nullptr));
        }
    }
    const int lastColumn = std::max(s.formatsLastColumn, cells.empty() ? 0 : cells.back().column);
    auto cell = cells.begin();
    for (int column = 1; column <= lastColumn; ++column) {
        const bool formatted = column <= s.formatsLastColumn;
        lxw_format* format = formatted ? s.columnFormats[column] : nullptr;
        if (cell != cells.end() && cell->column == column) {
            s.error(cell->isNumber
                        ? worksheet_write_number(s.sheet, row - 1, column - 1, cell->number, format)
                        : worksheet_write_string(
                              s.sheet, row - 1, column - 1, m_texts.data() + cell->text,
                              formatted ? s.columnTextFormats[column] : s.plainTextFormat));
            ++cell;
        } else if (format) {
            s.error(worksheet_write_blank(s.sheet, row - 1, column - 1, format));
        }
    }
}
