#include "ui/exchange/visitexport.h"

#include "db/query.h"
#include "excel/sheetwriter.h"
#include "ui/exchange/exportfile.h"

SheetWriter visitLogSheet(const QString& title, Query* visits, WorkProgress& progress) {
    SheetWriter sheet;
    sheet.setTitle(title);
    const CellRange titleRow{1, 1, 1, 4};
    sheet.merge(titleRow);
    sheet.setText(1, 1, title);
    sheet.centre({1, 1, 2, 4});
    sheet.setFontName(titleRow, QStringLiteral("宋体"));
    sheet.setFontSize(titleRow, 16);
    sheet.setBold({1, 1, 2, 4});
    int column = 1;
    for (double width : {4, 10, 10, 50}) {
        sheet.setColumnWidth(column++, width);
    }

    const QStringList fields = {QStringLiteral("拜访日期"), QStringLiteral("拜访方式"),
                                QStringLiteral("拜访内容")};
    sheet.setText(2, 1, QStringLiteral("序号"));
    for (int k = 0; k < fields.size(); ++k) {
        sheet.setText(2, k + 2, fields[k]);
    }
    int lastRow = 2;
    walkRows(visits, progress, [&](int position) {
        lastRow = position + 2;
        sheet.setNumber(lastRow, 1, position);
        for (int k = 0; k < fields.size(); ++k) {
            sheet.setText(lastRow, k + 2, visits->fieldByName(fields[k]));
        }
    });

    const CellRange table{2, 1, lastRow, 4};
    sheet.setBorders(table);
    sheet.setFontSize(table, 9);
    sheet.setPortrait();
    sheet.setA4Paper();
    sheet.setCentreFooter(pageFooter(QStringLiteral(" ")));
    return sheet;
}

void exportVisitLog(QWidget* parent, const QString& title, Query* visits) {
    runExport(parent, title, visits,
              [&](WorkProgress& progress) { return visitLogSheet(title, visits, progress); });
}
