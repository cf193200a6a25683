#pragma once

#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;

// A block of cells; rows and columns count from 1, as the spreadsheet counts them.
struct CellRange {
    int firstRow;
    int firstColumn;
    int lastRow;
    int lastColumn;

    bool containsRow(int row) const { return row >= firstRow && row <= lastRow; }
    bool containsColumn(int column) const { return column >= firstColumn && column <= lastColumn; }
};

// The one worksheet of a new workbook, filled the way a spreadsheet program is driven (values,
// column widths, merges, fonts, alignment, borders, page setup) and written as an .xlsx file.
// Range formats are recorded in the order they are set and combined into each cell's own
// format when the cell is written, a later setting winning over an earlier one. A row whose
// font is larger than the default grows to fit it, as the spreadsheet program fits a row when
// its font is set.
//
// A sheet is either filled first and then saved in one go, or streamed: the layout (formats,
// merges, widths, page setup, title) is set, begin() opens the file, and the rows follow in
// order, each written out as soon as a later row is touched, so that only one row is held
// at a time however long the sheet. A cell of a row already written out is ignored.
class SheetWriter {
public:
    SheetWriter();
    ~SheetWriter(); // a sheet begun and never finished leaves its file unwritten
    SheetWriter(const SheetWriter&) = delete;
    SheetWriter& operator=(const SheetWriter&) = delete;

    // Text is kept as text: never read as a number, a date or a formula, and formatted as
    // text so that it stays text when edited in the spreadsheet program. Every character is
    // carried, those XML cannot hold written as the format's "_xHHHH_" escapes.
    void setText(int row, int column, const QString& text);
    // The same for a text already in UTF-8, the form the card list holds.
    void setUtf8Text(int row, int column, std::string_view utf8);
    void setNumber(int row, int column, double value);

    void setColumnWidth(int column, double width); // in the spreadsheet's character units
    void merge(const CellRange& range);            // a one-cell range stays a plain cell

    void setFontName(const CellRange& range, const QString& name);
    void setFontSize(const CellRange& range, double points);
    void setBold(const CellRange& range);
    void centre(const CellRange& range);     // horizontally and vertically
    void setBorders(const CellRange& range); // a thin continuous line on every edge of every cell

    void setBottomMargin(double points);
    void setPortrait();
    void setA4Paper();
    // The centre footer in the spreadsheet's footer codes ("&P" the page, "&N" the pages).
    void setCentreFooter(const QString& codes);
    // Plain text for a footer: every "&" doubled so that none reads as a code.
    static QString footerText(const QString& plain);

    // The workbook's title, its document property.
    void setTitle(const QString& title) { m_title = title; }
    const QString& title() const { return m_title; }

    // Opens the workbook at path, replacing any file there, with the layout set so far;
    // false when it cannot be created. The rows set before are written out at once.
    bool begin(const QString& path);
    // Writes the rows still held and closes the file; false when it could not be written.
    bool finish();
    // begin() and finish() for a sheet filled beforehand.
    bool save(const QString& path);

    // The most text a cell holds; longer texts are cut to it.
    static constexpr int MaxTextLength = 32767;

private:
    enum class Setting { FontName, FontSize, Bold, Centre, Borders };
    struct RangeFormat {
        CellRange range;
        Setting setting;
        QString fontName;
        double fontSize = 0;
    };
    struct Cell {
        int column;
        bool isNumber;
        double number;
        size_t text; // offset of the UTF-8 text, ending in '\0', in m_texts
    };
    struct Style;
    struct Stream;

    void put(int row, Cell cell, std::string_view text = {});
    void writeRowsBefore(int row); // writes out every held row before row
    void writeRow(const std::vector<Cell>& cells);

    // The rows not yet written out, from row m_firstHeld on, each sorted by column.
    std::deque<std::vector<Cell>> m_rows;
    int m_firstHeld = 1;
    std::string m_texts;
    std::unique_ptr<Stream> m_stream; // from begin() to finish()
    std::vector<RangeFormat> m_formats;
    std::vector<CellRange> m_merges;
    std::vector<std::pair<int, double>> m_widths;
    double m_bottomMargin = -1; // points; negative: the spreadsheet's default
    bool m_portrait = false;
    bool m_a4Paper = false;
    QString m_footer;
    QString m_title;
};
