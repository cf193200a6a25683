#include "ui/exchange/visitexport.h"

#include "excel/sheetwriter.h"
#include "ui/exchange/exportfile.h"

#include <QStringList>

namespace {
const QStringList Fields = {QStringLiteral("拜访日期"), QStringLiteral("拜访方式"),
                            QStringLiteral("拜访内容")};

void layVisitLogSheet(SheetWriter& sheet, const QString& title, int lastRow) {
    sheet.setTitle(title);
    const CellRange titleRow{1, 1, 1, 4};
    sheet.merge(titleRow);
    sheet.centre({1, 1, 2, 4});
    sheet.setFontName(titleRow, QStringLiteral("宋体"));
    sheet.setFontSize(titleRow, 16);
    sheet.setBold({1, 1, 2, 4});
    const CellRange table{2, 1, lastRow, 4};
    sheet.setBorders(table);
    sheet.setFontSize(table, 9);
    sheet.setPortrait();
    sheet.setA4Paper();
    sheet.setCentreFooter(pageFooter(QStringLiteral(" ")));
    int column = 1;
    for (double width : {4, 10, 10, 50}) {
        sheet.setColumnWidth(column++, width);
    }

    sheet.setText(1, 1, title);
    sheet.setText(2, 1, QStringLiteral("序号"));
    for (int k = 0; k < Fields.size(); ++k) {
        sheet.setText(2, k + 2, Fields[k]);
    }
}
} // namespace

void exportVisitLog(QWidget* parent, const QString& title, Query* visits) {
    runExport(parent, title, visits, Fields,
              [&](SheetWriter& sheet, int lastRow) { layVisitLogSheet(sheet, title, lastRow); });
}
