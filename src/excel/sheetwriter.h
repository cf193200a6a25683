#pragma once

#include <QString>
#include <functional>
#include <string>
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
// column widths, merges, fonts, alignment, borders, page setup) and written as an .xlsx file
// in one go. Range formats are recorded in the order they are set and combined into each
// cell's own format when the file is written, a later setting winning over an earlier one.
// A row whose font is larger than the default grows to fit it, as the spreadsheet program
// fits a row when its font is set.
class SheetWriter {
public:
    // Text is kept as text: never read as a number, a date or a formula, and formatted as
    // text so that it stays text when edited in the spreadsheet program. Every character is
    // carried, those XML cannot hold written as the format's "_xHHHH_" escapes.
    void setText(int row, int column, const QString& text);
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

    // Writes the workbook to path, replacing any file there; false when it cannot be written,
    // or when rowWritten, told the number of each row once it is written, says to stop.
    bool save(const QString& path, const std::function<bool(int row)>& rowWritten = {}) const;
    int rowCount() const { return int(m_rows.size()); }

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

    void put(int row, const Cell& cell);
    bool writeSheet(lxw_workbook* book, lxw_worksheet* sheet,
                    const std::function<bool(int row)>& rowWritten) const;

    std::vector<std::vector<Cell>> m_rows; // by row - 1, each sorted by column
    std::string m_texts;
    std::vector<RangeFormat> m_formats;
    std::vector<CellRange> m_merges;
    std::vector<std::pair<int, double>> m_widths;
    double m_bottomMargin = -1; // points; negative: the spreadsheet's default
    bool m_portrait = false;
    bool m_a4Paper = false;
    QString m_footer;
    QString m_title;
};
