// Writes the import template: a workbook whose sheet Sheet1 carries the 24 column names the
// import reads, in the card list's order, and one filled example row.
//
//   orvane_template <output.xlsx>

#include "db/cardfields.h"

#include <QHash>
#include <cstdio>
#include <xlsxwriter.h>

namespace {
// The example card, by column.
const QHash<QString, QString> Example = {
    {"theType", "客户"},
    {"BName", "张伟"},
    {"BSex", "男"},
    {"BPho", "010-65550001"},
    {"BMob", "13800138000"},
    {"BMail", "zhangwei@example.com"},
    {"BQQ", "10001"},
    {"BMSN", "zhangwei@example.com"},
    {"BWW", "zhangwei2008"},
    {"BDes", "展会上认识，关注新产品"},
    {"DArea", "北京"},
    {"DCity", "北京"},
    {"DName", "北京华联商贸有限公司"},
    {"DPart", "采购部"},
    {"DJob", "采购经理"},
    {"DAdd", "北京市朝阳区建国路1号"},
    {"DPho", "010-65550002"},
    {"DFax", "010-65550003"},
    {"DPos", "100022"},
    {"DWWW", "www.example.com"},
    {"FAdd", "北京市海淀区中关村大街2号"},
    {"FPho", "010-62220001"},
    {"FPro", "李丽"},
    {"FDes", "每季度初联系一次"},
};
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvane_template <output.xlsx>\n");
        return 2;
    }
    lxw_workbook* workbook = workbook_new(argv[1]);
    if (!workbook) {
        std::fprintf(stderr, "orvane_template: cannot create %s\n", argv[1]);
        return 1;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Sheet1");
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    lxw_format* text = workbook_add_format(workbook);
    format_set_num_format(text, "@"); // numbers typed in later stay as typed
    const auto& fields = cardFields();
    worksheet_set_column(sheet, 0, lxw_col_t(fields.size() - 1), 14, text);
    for (lxw_col_t c = 0; c < fields.size(); ++c) {
        worksheet_write_string(sheet, 0, c, fields[c].caption.toUtf8().constData(), bold);
        worksheet_write_string(sheet, 1, c, Example.value(fields[c].column).toUtf8().constData(),
                               text);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
}
