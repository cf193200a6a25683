#include "ui/exchange/cardexport.h"

#include "db/query.h"
#include "ui/exchange/exportfile.h"

namespace {
const QString Title = QStringLiteral("名片表");
}

SheetWriter cardListSheet(Query* cards, const QStringList& fields, WorkProgress& progress) {
    SheetWriter sheet;
    const int columns = int(fields.size()) + 1;
    sheet.setTitle(Title);

    sheet.setText(2, 1, QStringLiteral("序号"));
    sheet.setColumnWidth(1, 4);
    for (int k = 0; k < fields.size(); ++k) {
        sheet.setText(2, k + 2, fields[k]);
        sheet.setColumnWidth(k + 2, 10);
    }
    int lastRow = 2;
    walkRows(cards, progress, [&](int position) {
        lastRow = position + 2;
        sheet.setNumber(lastRow, 1, position);
        for (int k = 0; k < fields.size(); ++k) {
            sheet.setText(lastRow, k + 2, cards->fieldByName(fields[k]));
        }
    });

    const CellRange titleRow{1, 1, 1, columns};
    sheet.merge(titleRow);
    sheet.setText(1, 1, Title);
    sheet.setFontName(titleRow, QStringLiteral("宋体"));
    sheet.setFontSize(titleRow, 18);
    sheet.setBold({1, 1, 2, columns});
    sheet.centre({1, 1, 2, columns});
    const CellRange table{2, 1, lastRow, columns};
    sheet.setBorders(table);
    sheet.setFontSize(table, 9);
    sheet.setBottomMargin(360.0 / 7);
    sheet.setCentreFooter(pageFooter(QStringLiteral("  ")));
    return sheet;
}

void exportCardList(QWidget* parent, Query* cards, const QStringList& fields) {
    runExport(parent, Title, cards,
              [&](WorkProgress& progress) { return cardListSheet(cards, fields, progress); });
}
