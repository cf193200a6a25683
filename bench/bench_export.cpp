// The card-list export of 100,000 cards with all 25 fields: the whole export (the walk of
// the list, the sheet with its formats, the file) against libxlsxwriter alone writing the
// same cells without any format, in the default mode and in its constant-memory mode; and the
// export again with a grid showing the list, which follows the walk row by row.

#include "benchsupport.h"
#include "db/query.h"
#include "db/resultset.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
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
constexpr int Runs = 3;

const QStringList Captions = {"录入日期", "分类",     "姓名",     "性别",     "固定电话",
                              "移动电话", "电子邮箱", "QQ号码",   "MSN号码",  "阿里旺旺",
                              "描述",     "省份",     "城市",     "单位名称", "所在部门",
                              "担任职务", "单位地址", "单位电话", "单位传真", "邮政编码",
                              "单位网站", "家庭地址", "家庭电话", "家属姓名", "补充信息"};

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

// The same cells written straight with libxlsxwriter: title, header, number and 25 texts
// per row, no format, no merge, no page setup.
void xlsxwriterAlone(const ResultSet& list, const QString& path, bool constantMemory) {
    lxw_workbook_options options = {};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    worksheet_write_string(sheet, 0, 0, "名片表", nullptr);
    worksheet_write_string(sheet, 1, 0, "序号", nullptr);
    for (int k = 0; k < Captions.size(); ++k) {
        worksheet_write_string(sheet, 1, k + 1, Captions[k].toUtf8().constData(), nullptr);
    }
    std::string value;
    for (int row = 0; row < list.rowCount(); ++row) {
        worksheet_write_number(sheet, row + 2, 0, row + 1, nullptr);
        for (int column = 1; column < list.columnCount(); ++column) {
            value = list.utf8(row, column);
            worksheet_write_string(sheet, row + 2, column, value.c_str(), nullptr);
        }
    }
    workbook_close(book);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Messages::setScripted(true); // the files are not handed to a spreadsheet program
    QTemporaryDir folder;
    setExportFolder(folder.path());

    const std::shared_ptr<ResultSet> result = cardList();
    Query list;
    list.openResult(result);

    const double exportMs = medianMs(Runs, [&] { exportCardList(nullptr, &list, Captions); });
    int run = 0;
    const double aloneMs = medianMs(Runs, [&] {
        xlsxwriterAlone(*result, folder.filePath(QStringLiteral("alone%1.xlsx").arg(++run)), false);
    });
    const double aloneConstantMs = medianMs(Runs, [&] {
        xlsxwriterAlone(*result, folder.filePath(QStringLiteral("constant%1.xlsx").arg(++run)),
                        true);
    });
    const double sheetMs = medianMs(Runs, [&] { cardListSheet(&list, Captions); });

    DataGrid grid;
    grid.resize(1000, 500);
    grid.setQuery(&list);
    grid.show();
    const double withGridMs = medianMs(Runs, [&] { exportCardList(nullptr, &list, Captions); });

    qint64 exportBytes = 0;
    for (const QFileInfo& file : QDir(folder.path()).entryInfoList({"名片表*"}, QDir::Files)) {
        exportBytes = file.size();
    }

    std::printf("cards: %d\nfields: %d\n", Cards, int(Captions.size()));
    print("export_100k_ms", exportMs);
    print("export_sheet_build_100k_ms", sheetMs);
    print("xlsxwriter_alone_100k_ms", aloneMs);
    print("xlsxwriter_alone_constant_memory_100k_ms", aloneConstantMs);
    print("export_with_grid_following_100k_ms", withGridMs);
    print("export_ratio", exportMs / aloneMs);
    print("export_ratio_to_constant_memory", exportMs / aloneConstantMs);
    print("export_file_mb", exportBytes / 1048576.0);
    return 0;
}
