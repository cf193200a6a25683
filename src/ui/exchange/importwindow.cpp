#include "ui/exchange/importwindow.h"

#include "db/cardstore.h"
#include "db/clock.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "db/resultset.h"
#include "excel/workbookreader.h"
#include "ui/common/backgroundtask.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "vcard/vcard.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int CardColumnWidth = 80;
const QString OpenFilter =
    QStringLiteral("Excel文件(*.xls *.xlsx);;Excel 97-2003文件(*.xls);;Excel 2007文件(*.xlsx)");
const QString VCardFilter = QStringLiteral("vCard文件(*.vcf *.vcard)");

// The list of rows not imported: the row's number in the list read, the reason, the card.
QStringList skippedRowColumns() {
    QStringList columns{QStringLiteral("行号"), QStringLiteral("未导入原因")};
    for (const CardField& field : cardFields()) {
        columns << field.caption;
    }
    return columns;
}
} // namespace

TfrmInData::TfrmInData(QWidget* owner, CardStore& store)
    : ModalWindow(owner, QStringLiteral("frmInData"), 990, 390), m_store(store) {
    setWindowTitle(QStringLiteral("导入名片"));

    sheetRows = new Query(this);

    GroupBox1 = placeGroup(this, QStringLiteral("打开EXCEL文件"), 16, 8, 945, 57);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = placeLabel(GroupBox1, QStringLiteral("打开的EXCEL文件的底部一定是Sheet1"), 8, 24);
    Label1->setObjectName(QStringLiteral("Label1"));
    openButton = placeButton(GroupBox1, QStringLiteral("Button1"), QStringLiteral("打开"), 840, 20);
    vCardButton =
        placeButton(GroupBox1, QStringLiteral("Button2"), QStringLiteral("导入vCard"), 752, 20);

    GroupBox2 = placeGroup(this, QStringLiteral("EXCEL数据"), 16, 72, 945, 225);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    DBGrid1 = new DataGrid(GroupBox2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("EXCEL数据"));
    DBGrid1->setGeometry(8, 16, 929, 201);
    // The rows are imported in the sheet's order: a title click does not sort them.
    DBGrid1->horizontalHeader()->setSectionsClickable(false);

    importButton = placeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("导入"), 760, 310,
                               QStringLiteral(":/icons/import.svg"));
    exitButton = placeExitButton(this, QStringLiteral("BitBtn2"), 864, 310);

    connect(openButton, &QPushButton::clicked, this, &TfrmInData::openWorkbook);
    connect(vCardButton, &QPushButton::clicked, this, &TfrmInData::openVCards);
    connect(importButton, &QPushButton::clicked, this, &TfrmInData::importRows);
    keepControlsShown();
}

void TfrmInData::openWorkbook() {
    runCommand(this, [this] {
        const QString path = Messages::openFileName(this, QStringLiteral("打开"), OpenFilter);
        if (!path.isEmpty()) {
            openSheet(path);
        }
    });
}

void TfrmInData::openSheet(const QString& path) {
    sheetRows->close(); // the sheet shown before goes, whatever becomes of this one
    // A large workbook is read on a thread of its own while the window waits and repaints.
    std::shared_ptr<const ResultSet> rows;
    BackgroundTask::run(this, QStringLiteral("正在读取工作簿"), [&](TaskProgress&) {
        rows = readWorkbookSheet(path, QStringLiteral("Sheet1"));
    });
    showRows(std::move(rows));
    const int columns = sheetRows->result()->columnCount();
    const int fields = int(cardFields().size());
    if (columns < fields) {
        throw EngineError(QStringLiteral("工作表 Sheet1 只有 %1 列，少于名片的 %2 个字段")
                              .arg(columns)
                              .arg(fields));
    }
    countRows(QStringLiteral("EXCEL数据"));
}

void TfrmInData::openVCards() {
    runCommand(this, [this] {
        const QString path = Messages::openFileName(this, QStringLiteral("导入vCard"), VCardFilter);
        if (!path.isEmpty()) {
            openVCardFile(path);
        }
    });
}

void TfrmInData::openVCardFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw EngineError(QStringLiteral("无法打开文件 %1：%2")
                              .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    // The whole file is read before anything is shown: a bad file leaves the window as it was.
    showRows(readVCardRows(file));
    countRows(QStringLiteral("vCard数据"));
}

void TfrmInData::showRows(std::shared_ptr<const ResultSet> rows) {
    sheetRows->openResult(std::move(rows));
    if (DBGrid1->query() != sheetRows) {
        DBGrid1->setQuery(sheetRows);
    }
}

// The rows read laid out, their count in the frame's caption: "EXCEL数据  共有 3 条数据".
void TfrmInData::countRows(const QString& caption) {
    DBGrid1->setColumnLayout(QList<int>(int(cardFields().size()), CardColumnWidth));
    GroupBox2->setTitle(caption + QStringLiteral("  共有 ") +
                        QString::number(sheetRows->recordCount()) + QStringLiteral(" 条数据"));
}

namespace {
// What "导入" reports: the cards added and the rows skipped, by reason.
QString importReport(const TfrmInData::ImportTally& tally) {
    QString report = QStringLiteral("数据导入 保存成功！\n新增名片 %1 张，跳过重复 %2 行，"
                                    "跳过无姓名 %3 行。")
                         .arg(tally.stored)
                         .arg(tally.duplicates)
                         .arg(tally.nameless);
    if (tally.refused > 0) {
        report +=
            QStringLiteral("\n有 %1 行含有名片库不能保存的字符，没有导入。").arg(tally.refused);
    }
    if (tally.duplicates + tally.nameless + tally.refused > 0) {
        report += QStringLiteral("\n未导入的行列在窗口中。");
    }
    return report;
}
} // namespace

void TfrmInData::importRows() {
    if (m_importing) {
        return;
    }
    m_importing = true;
    ImportTally tally;
    // The rows not imported, with their number in the list and the reason.
    auto skipped = std::make_shared<ResultSet>(skippedRowColumns());
    const bool completed = runCommand(this, [&] { importAll(tally, *skipped); });
    m_importing = false;
    if (!completed) {
        return;
    }
    if (tally.cancelled) {
        // The cards stored before 取消 stay; the window stays open for another try, which
        // skips them as duplicates.
        Messages::info(this,
                       QStringLiteral("数据导入已取消，已导入 %1 张名片。").arg(tally.stored));
        return;
    }
    Messages::info(this, importReport(tally));
    if (skipped->rowCount() == 0) {
        close();
        return;
    }
    // The window stays open on the rows not imported, for the user to see why.
    sheetRows->openResult(std::move(skipped));
    DBGrid1->setColumnLayout({48, 72});
    GroupBox2->setTitle(QStringLiteral("未导入的行  共有 %1 条数据").arg(sheetRows->recordCount()));
}

// The rows go to the register on a thread of their own, over a connection of their own, in
// groups that each commit; the window waits with the progress and 取消. An error ends the
// import with the cards of the groups committed before it stored, and says how many.
void TfrmInData::importAll(ImportTally& tally, ResultSet& skipped) {
    const int rows = sheetRows->recordCount();
    if (rows == 0) {
        return;
    }
    const ResultSet& sheet = *sheetRows->result();
    const std::vector<int> columns = cardColumns(sheet);
    std::vector<int> sheetOrder(size_t(rows), 0);
    for (int position = 0; position < rows; ++position) {
        sheetOrder[size_t(position)] = sheetRows->rowAt(position);
    }
    const QByteArray today = dateText(Clock::today()).toUtf8();
    const std::unique_ptr<CardStore> importer = m_store.openAnother();
    int reached = 0;
    const auto work = [&](TaskProgress& progress) {
        progress.beginStage(QStringLiteral("正在导入名片"), rows);
        CardStore::ImportBatch batch(*importer);
        std::vector<std::string_view> card(columns.size());
        try {
            for (int position = 0; position < rows; ++position) {
                reached = position;
                for (size_t field = 0; field < columns.size(); ++field) {
                    card[field] = sheet.utf8(sheetOrder[size_t(position)], columns[field]);
                }
                importRow(batch, card, std::string_view(today), position + 1, tally, skipped);
                if (!progress.advance(position + 1)) {
                    tally.cancelled = true;
                    break;
                }
            }
            batch.commit();
        } catch (const EngineError&) {
            tally.stored = batch.committedCards();
            throw;
        }
        tally.stored = batch.committedCards();
    };
    try {
        BackgroundTask::run(this, QStringLiteral("正在导入名片"), work,
                            [&importer] { importer->cancel(); });
    } catch (const EngineError& error) {
        throw EngineError(
            error.message() +
            QStringLiteral("\n导入在第 %1 行停止：在此之前的行中有 %2 张名片已经保存，"
                           "从这一行起没有导入")
                .arg(reached + 1)
                .arg(tally.stored));
    }
}

void TfrmInData::addSkippedRow(ResultSet& skipped, int number, const QString& reason,
                               CardText card) {
    skipped.append(QString::number(number));
    skipped.append(reason);
    for (const std::string_view value : card) {
        skipped.append(value.data(), qsizetype(value.size()));
    }
}

void TfrmInData::closeEvent(QCloseEvent* event) {
    if (m_importing) {
        event->ignore(); // the import ends first, by its own 取消
        return;
    }
    ModalWindow::closeEvent(event);
}

std::vector<int> TfrmInData::cardColumns(const ResultSet& sheet) {
    // The sheet's columns are found by the fields' captions, in whatever order they stand.
    std::vector<int> columns;
    for (const CardField& field : cardFields()) {
        const int column = sheet.columnIndex(field.caption);
        if (column < 0) {
            throw EngineError(QStringLiteral("找不到字段“%1”").arg(field.caption));
        }
        columns.push_back(column);
    }
    return columns;
}

void TfrmInData::importRow(CardStore::ImportBatch& batch, CardText card, std::string_view entryDate,
                           int number, ImportTally& tally, ResultSet& skipped) {
    static const size_t name = size_t(cardFieldIndex(QStringLiteral("BName")));
    if (card[name].empty()) { // without asking the register
        ++tally.nameless;
        addSkippedRow(skipped, number, QStringLiteral("没有姓名"), card);
        return;
    }
    try {
        if (batch.insertCard(card, entryDate).outcome != WriteOutcome::Done) {
            ++tally.duplicates;
            addSkippedRow(skipped, number, QStringLiteral("重复"), card);
        }
    } catch (const RefusedValue&) {
        ++tally.refused;
        addSkippedRow(skipped, number, QStringLiteral("含有不能保存的字符"), card);
    }
}
