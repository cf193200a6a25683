// The card-list export of 100,000 cards with all 25 fields, as the window runs it (the list
// shown in a grid, the rows streamed into the file, the progress dialog), against
// libxlsxwriter alone writing the same cells with the same formats in its constant-memory
// mode, the two in turn for five rounds; and the memory the export takes above what the
// program held. Offscreen, or on a virtual display: QT_QPA_PLATFORM=xcb xvfb-run -a bench_export.

#include "benchsupport.h"
#include "db/cardfields.h"
#include "db/query.h"
#include "db/resultset.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/workprogress.h"
#include "ui/exchange/cardexport.h"
#include "ui/exchange/exportfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <xlsxwriter.h>

namespace {

constexpr int Cards = 100000;
constexpr int Rounds = 5;

// The captions of the card list: the entry date, then every field's.
const QStringList Captions = [] {
    QStringList captions{EntryDateCaption};
    for (const CardField& field : cardFields()) {
        captions << field.caption;
    }
    return captions;
}();

// A card list as the engine gives it: the key and the 25 aliased columns.
std::shared_ptr<ResultSet> cardList() {
    auto result = std::make_shared<ResultSet>(QStringList{"ID"} + Captions);
    result->reserveRows(Cards, 400);
    const QStringList surnames = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴"};
    const QStringList provinces = {"北京", "上海", "广东", "浙江", "江苏", "四川"};
    for (int i = 1; i <= Cards; ++i) {
        const QString n = QString::number(i);
        const QStringList values = {
            n,
            QStringLiteral("%1-%2-%3")
                .arg(2000 + i % 9)
                .arg(1 + i % 12, 2, 10, QChar(u'0'))
                .arg(1 + i % 28, 2, 10, QChar(u'0')),
            i % 2 ? "客户" : "同事",
            surnames[i % 10] + "某" + n,
            i % 2 ? "男" : "女",
            "010-" + QString::number(60000000 + i),
            "138" + QString::number(10000000 + i),
            "user" + n + "@example.com",
            QString::number(100000 + i),
            "",
            "ww" + n,
            "老客户，合作多年",
            provinces[i % 6],
            "城市" + QString::number(i % 50),
            "某某科技有限公司" + QString::number(i % 1000),
            "销售部",
            "经理",
            "某路" + n + "号",
            "021-" + QString::number(50000000 + i),
            "021-" + QString::number(40000000 + i),
            "0" + QString::number(10000 + i % 90000),
            "www.example" + n + ".com",
            "家庭住址" + n,
            QString::number(80000000 + i),
            "家属",
            "",
        };
        for (const QString& value : values) {
            result->append(value);
        }
    }
    return result;
}

// The same cells written straight with libxlsxwriter in its constant-memory mode, the mode
// the program writes in, with the same formats: the merged title, the bold centred header,
// the bordered size-9 table, the column widths, the bottom margin and the footer.
void xlsxwriterAlone(const ResultSet& list, const QString& path) {
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* title = workbook_add_format(book);
    format_set_font_name(title, "宋体");
    format_set_font_size(title, 18);
    format_set_bold(title);
    format_set_align(title, LXW_ALIGN_CENTER);
    format_set_align(title, LXW_ALIGN_VERTICAL_CENTER);
    lxw_format* header = workbook_add_format(book);
    format_set_font_size(header, 9);
    format_set_bold(header);
    format_set_align(header, LXW_ALIGN_CENTER);
    format_set_align(header, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(header, LXW_BORDER_THIN);
    lxw_format* cell = workbook_add_format(book);
    format_set_font_size(cell, 9);
    format_set_border(cell, LXW_BORDER_THIN);
    const int lastColumn = int(Captions.size());
    worksheet_set_column(sheet, 0, 0, 4, nullptr);
    worksheet_set_column(sheet, 1, lxw_col_t(lastColumn), 10, nullptr);
    worksheet_set_margins(sheet, -1, -1, -1, 360.0 / 7 / 72);
    worksheet_set_footer(sheet, "&COrvane名片管理  https://www.example.com 共&N页，第&P页");

    worksheet_set_row(sheet, 0, 24, nullptr);
    worksheet_merge_range(sheet, 0, 0, 0, lxw_col_t(lastColumn), "名片表", title);
    worksheet_write_string(sheet, 1, 0, "序号", header);
    for (int k = 0; k < Captions.size(); ++k) {
        worksheet_write_string(sheet, 1, lxw_col_t(k + 1), Captions[k].toUtf8().constData(),
                               header);
    }
    std::string value;
    for (int row = 0; row < list.rowCount(); ++row) {
        worksheet_write_number(sheet, lxw_row_t(row + 2), 0, row + 1, cell);
        for (int column = 1; column < list.columnCount(); ++column) {
            value = list.utf8(row, column);
            worksheet_write_string(sheet, lxw_row_t(row + 2), lxw_col_t(column), value.c_str(),
                                   cell);
        }
    }
    workbook_close(book);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // xcb under xvfb-run: the grid on a display
    }
    QApplication app(argc, argv);
    Messages::setScripted(true); // the files are not handed to a spreadsheet program
    QTemporaryDir folder;
    setExportFolder(folder.path());

    const std::shared_ptr<ResultSet> result = cardList();
    Query list;
    list.openResult(result);

    DataGrid grid;
    grid.resize(1000, 500);
    grid.setQuery(&list);
    grid.show();
    QApplication::processEvents();

    // The memory the export needs above what the program held before it.
    const long before = residentMb();
    resetPeakResident();
    exportCardList(nullptr, &list, Captions);
    const long peakExtraMb = peakResidentMb() - before;

    int run = 0;
    const std::vector<Timing> timings = interleaved(
        Rounds, {[&] { exportCardList(nullptr, &list, Captions); },
                 [&] {
                     xlsxwriterAlone(*result,
                                     folder.filePath(QStringLiteral("alone%1.xlsx").arg(++run)));
                 }});
    const Timing& exported = timings[0];
    const Timing& alone = timings[1];

    qint64 exportBytes = 0;
    for (const QFileInfo& file : QDir(folder.path()).entryInfoList({"名片表*"}, QDir::Files)) {
        exportBytes = file.size();
    }

    std::printf("cards: %d\nfields: %d\nplatform: %s\nrounds: %d\n", Cards, int(Captions.size()),
                qPrintable(QGuiApplication::platformName()), Rounds);
    print("export_with_grid_100k", exported);
    print("xlsxwriter_constant_memory_100k", alone);
    printRatio("export_gui_ratio", exported, alone);
    print("export_peak_extra_mb", double(peakExtraMb));
    print("export_file_mb", exportBytes / 1048576.0);
    return 0;
}
