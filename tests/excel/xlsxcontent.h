#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// What a written .xlsx workbook holds, read back from its parts (the first sheet, the
// string table, the styles and the document properties) as a spreadsheet program would.
class XlsxContent {
public:
    struct Cell {
        bool present = false; // the sheet has an element for it
        QString text;         // the value as shown: the text, or the number's decimal form
        bool isNumber = false;
        bool isFormula = false;
        // The cell's format, resolved through its style.
        QString fontName;
        double fontSize = 0;
        bool bold = false;
        QString horizontal; // "" (the default), "center", ...
        QString vertical;
        QStringList edges;    // the line style of the left, right, top and bottom edges
        int numberFormat = 0; // the format's numFmtId: 49 is text ("@")
    };

    explicit XlsxContent(const QString& path);

    bool isValid() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    // A cell by its address ("B3"); a missing cell has the workbook's default format.
    Cell cell(const QString& address) const;
    static QString address(int row, int column); // rows and columns from 1
    int lastRow() const { return m_lastRow; }
    int lastColumn() const { return m_lastColumn; }

    QStringList merges;            // "A1:I1", in order
    QMap<int, double> widths;      // column (from 1) -> width in character units
    QMap<int, double> heights;     // row (from 1) -> height in points, where one is set
    QMap<QString, double> margins; // "left", "bottom", ... in inches
    QString orientation;           // "" when the sheet sets none
    QString paperSize;             // "" when the sheet sets none; "9" is A4
    QString footer;                // the odd-page footer as stored, with its codes
    QString title;                 // the document's title

private:
    struct Style {
        int font = 0;
        int border = 0;
        int numberFormat = 0;
        QString horizontal;
        QString vertical;
    };
    struct Font {
        QString name;
        double size = 0;
        bool bold = false;
    };
    bool readPart(const class ZipArchive& zip, const QString& name, QByteArray* xml);
    void readStrings(const QByteArray& xml);
    void readStyles(const QByteArray& xml);
    void readSheet(const QByteArray& xml);
    void readCore(const QByteArray& xml);
    void fail(const QString& what);

    QString m_error;
    QStringList m_strings;
    QList<Font> m_fonts;
    QList<QStringList> m_borders;
    QList<Style> m_styles;
    QMap<QString, Cell> m_cells;
    int m_lastRow = 0;
    int m_lastColumn = 0;
};

// LibreOffice for the checks a real spreadsheet program makes: its program, or "" when it is
// not installed.
QString officeProgram();
// Converts a workbook headless ("csv:...", "pdf") into folder; the text of the converted
// file (for a text format) in *text. False when the program refuses the workbook.
bool convertWithOffice(const QString& office, const QString& workbook, const QString& filter,
                       const QString& folder, QString* text);
// The pages of a PDF side by side in a PNG image, through poppler's pdftoppm.
bool renderPages(const QString& pdf, const QString& png);
