#include "ui/exchange/cardexport.h"

#include "excel/sheetwriter.h"
#include "ui/exchange/exportfile.h"

namespace {
const QString Title = QStringLiteral("名片表");

void layCardListSheet(SheetWriter& sheet, const QStringList& fields, int lastRow) {
    const int columns = int(fields.size()) + 1;
    sheet.setTitle(Title);
    const CellRange titleRow{1, 1, 1, columns};
    sheet.merge(titleRow);
    sheet.setFontName(titleRow, QStringLiteral("宋体"));
    sheet.setFontSize(titleRow, 18);
    sheet.setBold({1, 1, 2, columns});
    sheet.centre({1, 1, 2, columns});
    const CellRange table{2, 1, lastRow, columns};
    sheet.setBorders(table);
    sheet.setFontSize(table, 9);
    sheet.setBottomMargin(360.0 / 7);
    sheet.setCentreFooter(pageFooter(QStringLiteral("  ")));
    sheet.setColumnWidth(1, 4);
    for (int k = 0; k < fields.size(); ++k) {
        sheet.setColumnWidth(k + 2, 10);
    }

    sheet.setText(1, 1, Title);
    sheet.setText(2, 1, QStringLiteral("序号"));
    for (int k = 0; k < fields.size(); ++k) {
        sheet.setText(2, k + 2, fields[k]);
    }
}
} // namespace

void exportCardList(QWidget* parent, Query* cards, const QStringList& fields) {
    runExport(parent, Title, cards, fields,
              [&](SheetWriter& sheet, int lastRow) { layCardListSheet(sheet, fields, lastRow); });
}
