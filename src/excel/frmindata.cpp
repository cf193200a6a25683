#include "frmindata.h"

#include "app/clock.h"
#include "app/frmdm.h"
#include "db/cardstatements.h"
#include "db/connection.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "db/sqltext.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "ui/main/frmmain.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

// The sheet's column titles the import reads, in the order of the insert's values.
const QStringList CardHeaders = {
    QStringLiteral("分类"),     QStringLiteral("姓名"),     QStringLiteral("性别"),
    QStringLiteral("固定电话"), QStringLiteral("移动电话"), QStringLiteral("电子邮箱"),
    QStringLiteral("QQ号码"),   QStringLiteral("MSN号码"),  QStringLiteral("阿里旺旺"),
    QStringLiteral("描述"),     QStringLiteral("省份"),     QStringLiteral("城市"),
    QStringLiteral("单位名称"), QStringLiteral("所在部门"), QStringLiteral("担任职务"),
    QStringLiteral("单位地址"), QStringLiteral("单位电话"), QStringLiteral("单位传真"),
    QStringLiteral("邮政编码"), QStringLiteral("单位网站"), QStringLiteral("家庭地址"),
    QStringLiteral("家庭电话"), QStringLiteral("家属姓名"), QStringLiteral("补充信息")};

constexpr int CardColumnWidth = 80;

const QString OpenFilter =
    QStringLiteral("Excel文件(*.xls *.xlsx);;Excel 97-2003文件(*.xls);;Excel 2007文件(*.xlsx)");
const QString SheetStatement = QStringLiteral("Select * from [Sheet1$]");

// The file as the connection string's "Data Source". A name holding ";" is quoted, or the
// connection string would end the path there.
QString dataSource(const QString& path) {
    return path.contains(u';') ? u'"' + path + u'"' : path;
}

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
    workbook->setConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") + QStringLiteral("Data Source=") +
        dataSource(path) + QStringLiteral(";") + QStringLiteral("Extended Properties=Excel 8.0;") +
        QStringLiteral("Persist Security Info=False"));
    workbook->setLoginPrompt(false);
    {
        const BusyCursor busy;
        ADOQuery1->openOn(workbook, SheetStatement);
    }

    if (DBGrid1->query() != ADOQuery1) {
        DBGrid1->setQuery(ADOQuery1);
    }
    const int columns = ADOQuery1->result()->columnCount();
    if (columns < CardHeaders.size()) {
        throw EngineError(QStringLiteral("工作表 Sheet1 只有 %1 列，少于名片的 %2 个字段")
                              .arg(columns)
                              .arg(CardHeaders.size()));
    }
    DBGrid1->setColumnLayout(QList<int>(CardHeaders.size(), CardColumnWidth));
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
        frmMain->myRef();
        close();
    });
}

void TfrmInData::importRow() {
    QStringList values;
    for (const QString& header : CardHeaders) {
        values << ADOQuery1->fieldByName(header);
    }
    const QString date = dateText(Clock::today());
    const QString& type = values.at(0);
    const QString& name = values.at(1);
    const QString& sex = values.at(2);

    Connection* cards = frmDM->ADOConnection1;
    ADOQuery2->openOn(cards, duplicateCheckStatement(type, name, sex));
    if (ADOQuery2->recordCount() > 0 || name.isEmpty()) {
        return; // a live duplicate, or no name: skipped without a word
    }
    ADOQuery2->executeOn(cards, cardInsertStatement(date, values));
}
