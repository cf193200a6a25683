#include "ui/exchange/importwindow.h"

#include "app/datamodule.h"
#include "db/cards.h"
#include "db/clock.h"
#include "db/connection.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "db/writelock.h"
#include "excel/workbookconnection.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int CardColumnWidth = 80;
const QString OpenFilter =
    QStringLiteral("Excel文件(*.xls *.xlsx);;Excel 97-2003文件(*.xls);;Excel 2007文件(*.xlsx)");
} // namespace

TfrmInData::TfrmInData(QWidget* owner) : ModalWindow(owner, QStringLiteral("frmInData"), 990, 390) {
    setWindowTitle(QStringLiteral("导入名片"));

    ADOQuery1 = new Query(this);
    ADOQuery2 = new Query(this);

    GroupBox1 = placeGroup(this, QStringLiteral("打开EXCEL文件"), 16, 8, 945, 57);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = placeLabel(GroupBox1, QStringLiteral("打开的EXCEL文件的底部一定是Sheet1"), 8, 24);
    Label1->setObjectName(QStringLiteral("Label1"));
    Button1 = placeButton(GroupBox1, QStringLiteral("Button1"), QStringLiteral("打开"), 840, 20);

    GroupBox2 = placeGroup(this, QStringLiteral("EXCEL数据"), 16, 72, 945, 225);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    DBGrid1 = new DataGrid(GroupBox2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("EXCEL数据"));
    DBGrid1->setGeometry(8, 16, 929, 201);
    // The rows are imported in the sheet's order: a title click does not sort them.
    DBGrid1->horizontalHeader()->setSectionsClickable(false);

    BitBtn1 = placeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("导入"), 760, 310,
                          QStringLiteral(":/icons/import.svg"));
    BitBtn2 = placeExitButton(this, QStringLiteral("BitBtn2"), 864, 310);

    connect(Button1, &QPushButton::clicked, this, &TfrmInData::Button1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmInData::BitBtn1Click);

    setTabOrder(Button1, DBGrid1);
    setTabOrder(DBGrid1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
}

void TfrmInData::Button1Click() {
    runCommand(this, [this] {
        const QString path = Messages::openFileName(this, QStringLiteral("打开"), OpenFilter);
        if (!path.isEmpty()) {
            openSheet(path);
        }
    });
}

void TfrmInData::openSheet(const QString& path) {
    Connection* workbook = frmDM->ExcelADOCon;
    workbook->close();
    ADOQuery1->close(); // the sheet of the workbook closed with it
    workbook->setConnectionString(workbookConnectionString(path));
    workbook->setLoginPrompt(false);
    {
        const BusyCursor busy;
        ADOQuery1->openOn(workbook, SheetStatement);
    }

    if (DBGrid1->query() != ADOQuery1) {
        DBGrid1->setQuery(ADOQuery1);
    }
    const int columns = ADOQuery1->result()->columnCount();
    const int fields = int(cardFields().size());
    if (columns < fields) {
        throw EngineError(QStringLiteral("工作表 Sheet1 只有 %1 列，少于名片的 %2 个字段")
                              .arg(columns)
                              .arg(fields));
    }
    DBGrid1->setColumnLayout(QList<int>(fields, CardColumnWidth));
    GroupBox2->setTitle(QStringLiteral("EXCEL数据  共有 ") +
                        QString::number(ADOQuery1->recordCount()) + QStringLiteral(" 条数据"));
}

void TfrmInData::BitBtn1Click() {
    runCommand(this, [this] {
        if (ADOQuery1->recordCount() > 0) {
            const BusyCursor busy;
            ADOQuery1->first();
            while (!ADOQuery1->eof()) {
                importRow();
                ADOQuery1->next();
            }
        }
        Messages::info(this, QStringLiteral("数据导入 保存成功！"));
        emit cardsChanged();
        close();
    });
}

void TfrmInData::importRow() {
    // The sheet's columns are found by the fields' captions, in whatever order they stand.
    CardValues card;
    for (const CardField& field : cardFields()) {
        card.insert(field.column, ADOQuery1->fieldByName(field.caption));
    }
    if (card.value(QStringLiteral("BName")).isEmpty()) {
        return; // no name: skipped without a word
    }
    // The check and the insert hold the write lock together, so that another program cannot
    // store the same card in between; each card is permanent once its row is done.
    Connection* cards = frmDM->ADOConnection1;
    WriteLock lock(cards);
    ADOQuery2->openOn(cards, duplicateCheckStatement(card));
    if (ADOQuery2->recordCount() > 0) {
        return; // a live duplicate: skipped without a word
    }
    ADOQuery2->executeOn(cards, cardInsertStatement(dateText(Clock::today()), card));
    lock.commit();
}
