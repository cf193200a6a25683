// Writes the import template: a workbook whose sheet Sheet1 carries the 24 column names the
// import reads, in the card list's order, and one filled example row.
//
//   orvane_template <output.xlsx>

#include <cstdio>
#include <xlsxwriter.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvane_template <output.xlsx>\n");
        return 2;
    }
    const char* headers[] = {"分类",     "姓名",     "性别",     "固定电话", "移动电话",
                             "电子邮箱", "QQ号码",   "MSN号码",  "阿里旺旺", "描述",
                             "省份",     "城市",     "单位名称", "所在部门", "担任职务",
                             "单位地址", "单位电话", "单位传真", "邮政编码", "单位网站",
                             "家庭地址", "家庭电话", "家属姓名", "补充信息"};
    const char* example[] = {"客户",
                             "张伟",
                             "男",
                             "010-65550001",
                             "13800138000",
                             "zhangwei@example.com",
                             "10001",
                             "zhangwei@example.com",
                             "zhangwei2008",
                             "展会上认识，关注新产品",
                             "北京",
                             "北京",
                             "北京华联商贸有限公司",
                             "采购部",
                             "采购经理",
                             "北京市朝阳区建国路1号",
                             "010-65550002",
                             "010-65550003",
                             "100022",
                             "www.example.com",
                             "北京市海淀区中关村大街2号",
                             "010-62220001",
                             "李丽",
                             "每季度初联系一次"};
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
    worksheet_set_column(sheet, 0, 23, 14, text);
    for (lxw_col_t c = 0; c < 24; ++c) {
        worksheet_write_string(sheet, 0, c, headers[c], bold);
        worksheet_write_string(sheet, 1, c, example[c], text);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    return workbook_close(workbook) == LXW_NO_ERROR ? 0 : 1;
}
