// Takes a screenshot of each window of the program, on a scratch copy of the delivered
// database filled with sample cards. Run on a (virtual) display by scripts/screenshots.sh.
// With "main-scale2" it takes the main window alone under that name (for a run at twice the
// scale).
//
//   orvane_screenshots <output folder> [main-scale2]

#include "app/startup.h"
#include "db/cardfields.h"
#include "db/connectionsettings.h"
#include "db/query.h"
#include "excel/sheetwriter.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"
#include "ui/common/workprogress.h"
#include "ui/main/mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

QString outputFolder;
constexpr int HoldMs = 2000; // how long a box stays up after its shot

void shoot(const QString& name) {
    QApplication::processEvents();
    QThread::msleep(300);
    QApplication::processEvents();
    const QString path = outputFolder + QLatin1Char('/') + name + QStringLiteral(".png");
    QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout); // a shot from outside can follow at once
}

void fillSampleCards(DirectSql& sql) {
    struct Card {
        const char *type, *name, *sex, *mobile, *province, *city, *employer, *post;
    };
    const Card cards[] = {
        {"客户", "张伟", "男", "13800138000", "北京", "北京", "北京华联商贸有限公司", "采购经理"},
        {"客户", "王芳", "女", "13912345678", "上海", "上海", "上海东方电子有限公司", "总经理"},
        {"供应商", "李娜", "女", "13511112222", "广东", "广州", "广州恒通物流有限公司", "业务主管"},
        {"同事", "刘洋", "男", "13698765432", "浙江", "杭州", "Orvane软件", "工程师"},
        {"朋友", "陈静", "女", "13787654321", "江苏", "南京", "南京大学", "讲师"},
        {"合作伙伴", "杨磊", "男", "15011223344", "四川", "成都", "成都天府科技有限公司",
         "技术总监"},
        {"客户", "黄敏", "女", "15122334455", "湖北", "武汉", "武汉长江贸易有限公司", "财务"},
        {"同学", "赵强", "男", "15233445566", "山东", "济南", "济南第一中学", "教师"},
        {"家人", "周丽", "女", "15344556677", "福建", "厦门", "", ""},
        {"客户", "吴军", "男", "15855667788", "河南", "郑州", "郑州中原重工有限公司", "副总经理"},
        {"供应商", "徐勇", "男", "18666778899", "天津", "天津", "天津港务集团", "调度"},
        {"客户", "孙艳", "女", "18777889900", "重庆", "重庆", "重庆山城食品有限公司", "市场总监"},
        {"朋友", "马杰", "男", "18988990011", "陕西", "西安", "西安古城旅行社", "导游"},
        {"同事", "朱娟", "女", "13099001122", "浙江", "宁波", "Orvane软件", "产品经理"},
        {"客户", "胡涛", "男", "13100112233", "安徽", "合肥", "合肥新能源有限公司", "采购"},
        {"合作伙伴", "郭明", "男", "13211223344", "湖南", "长沙", "长沙湘江传媒有限公司", "编辑"},
        {"客户", "何超", "男", "13322334455", "江西", "南昌", "南昌赣江建材有限公司", "销售经理"},
        {"同学", "高秀英", "女", "13422334455", "辽宁", "沈阳", "沈阳机床厂", "会计"},
        {"客户", "林霞", "女", "13533445566", "广东", "深圳", "深圳前海金融有限公司", "客户经理"},
        {"供应商", "罗平", "男", "13644556677", "云南", "昆明", "昆明花卉市场", "老板"},
        {"客户", "梁志强", "男", "13755667788", "广西", "南宁", "南宁绿城物业", "主管"},
        {"朋友", "宋佳", "女", "13866778899", "黑龙江", "哈尔滨", "哈尔滨冰雪文化公司", "策划"},
        {"客户", "郑凯", "男", "13977889900", "河北", "石家庄", "石家庄药业集团", "区域经理"},
        {"其他", "谢婷", "女", "15088990011", "山西", "太原", "太原煤炭研究所", "研究员"},
        {"客户", "韩磊", "男", "15199001122", "吉林", "长春", "长春一汽配件厂", "质检"},
        {"同事", "唐敏", "女", "15200112233", "浙江", "杭州", "Orvane软件", "测试工程师"},
        {"客户", "冯刚", "男", "15311223344", "贵州", "贵阳", "贵阳大数据中心", "运维"},
        {"合作伙伴", "于晓燕", "女", "15822334455", "海南", "海口", "海口椰风酒店", "经理"},
        {"客户", "董建国", "男", "18633445566", "甘肃", "兰州", "兰州石化公司", "工程师"},
        {"供应商", "萧雨", "女", "18744556677", "台湾", "台北", "台北精密仪器", "业务代表"},
    };
    int day = 1;
    for (const Card& c : cards) {
        const QString id = insertCard(sql, c.type, c.name, c.sex,
                                      QStringLiteral("2008-%1-%2")
                                          .arg(1 + day % 3, 2, 10, QLatin1Char('0'))
                                          .arg(day % 28 + 1, 2, 10, QLatin1Char('0')),
                                      c.province);
        sql.exec(QStringLiteral("update D_B set BMob='%1', DCity='%2', DName='%3', DJob='%4', "
                                "BPho='010-6%5', BMail='contact%6@example.com' where ID=%7")
                     .arg(c.mobile, c.city, c.employer, c.post)
                     .arg(5550000 + day)
                     .arg(day)
                     .arg(id));
        ++day;
    }
    const QString first = QStringLiteral("1");
    insertVisit(sql, first, "2008-03-05", "上门", "拜访张总，洽谈第二季度的采购计划");
    insertVisit(sql, first, "2008-01-12", "电话", "电话确认样品已收到");
    insertVisit(sql, first, "2008-02-20", "吃饭", "与张总及其团队晚餐，关系良好");
    insertVisit(sql, first, "2007-12-28", "其它", "寄送新年贺卡和台历");
}

// A sheet of four rows: two new cards, one that repeats a sample card, one without a name.
QString writeReportSheet(const QTemporaryDir& folder) {
    SheetWriter sheet;
    int column = 1;
    for (const CardField& field : cardFields()) {
        sheet.setText(1, column++, field.caption);
    }
    const QStringList rows[] = {{"客户", "钱多多", "男"},
                                {"客户", "张伟", "男"},
                                {"朋友", "", "女"},
                                {"同事", "孔丽", "女"}};
    int row = 2;
    for (const QStringList& card : rows) {
        for (int c = 0; c < card.size(); ++c) {
            sheet.setText(row, c + 1, card[c]);
        }
        ++row;
    }
    const QString path = folder.filePath(QStringLiteral("report.xlsx"));
    sheet.save(path);
    return path;
}

// A sheet of many cards to import, for the import under way.
QString writeLongSheet(const QTemporaryDir& folder) {
    SheetWriter sheet;
    int column = 1;
    for (const CardField& field : cardFields()) {
        sheet.setText(1, column++, field.caption);
    }
    for (int row = 2; row <= 5001; ++row) {
        sheet.setText(row, 1, QStringLiteral("客户"));
        sheet.setText(row, 2, QStringLiteral("导入%1").arg(row - 1));
        sheet.setText(row, 3, row % 2 ? QStringLiteral("男") : QStringLiteral("女"));
        sheet.setText(row, 5, QString::number(13900000000LL + row));
    }
    const QString path = folder.filePath(QStringLiteral("cards.xlsx"));
    sheet.save(path);
    return path;
}

// Runs action on the next modal window once it is up.
void inModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(500, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            action(modal);
        }
    });
}

void clickButton(QWidget* window, const char* name) {
    if (auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(name))) {
        button->click();
    }
}

// Runs the steps one after another from the event loop, so modal windows can be shown
// and shot in between.
void runSteps(std::vector<std::function<void()>> steps) {
    auto shared = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
    auto next = std::make_shared<std::function<void(size_t)>>();
    *next = [shared, next](size_t i) {
        if (i >= shared->size()) {
            return;
        }
        QTimer::singleShot(400, [shared, next, i] {
            (*shared)[i]();
            (*next)(i + 1);
        });
    };
    (*next)(0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    prepareApplication(app);
    outputFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(outputFolder);

    ProgramFixture program;              // scratch database, scripted message boxes
    QApplication::setFont(windowFont()); // the program's own font, which the fixture replaces
    fillSampleCards(program.sql());
    program.create();
    frmMain->move(0, 0);
    frmMain->show();

    if (argc > 2 && QString::fromLatin1(argv[2]) == QLatin1String("main-scale2")) {
        runSteps({[] { shoot(QStringLiteral("main-scale2")); }, [] { QApplication::exit(0); }});
        const int result = QApplication::exec();
        program.stop();
        return result;
    }

    QTemporaryDir scratch;
    const QString longSheet = writeLongSheet(scratch);
    const QString reportSheet = writeReportSheet(scratch);
    const QString templatePath =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../名片导入模板.xlsx");
    runSteps({
        [] {
            const int name = frmMain->cardList->result()->columnIndex(QStringLiteral("姓名"));
            frmMain->DBGrid1->titleClick(name);
            frmMain->cardList->setRecNo(3);
            shoot(QStringLiteral("main"));
        },
        [] {
            // The menu bar with 名片 opened.
            auto* bar = frmMain->findChild<QMenuBar*>();
            bar->setActiveAction(bar->actions().first());
            shoot(QStringLiteral("menu-bar"));
            bar->actions().first()->menu()->close();
        },
        [] {
            // The editor on the first card, then the defaults window over it.
            frmMain->cardList->setSort(QString());
            frmMain->cardList->last();
            inModal([](QWidget* editor) {
                shoot(QStringLiteral("editor"));
                inModal([](QWidget* defaults) {
                    shoot(QStringLiteral("defaults"));
                    defaults->close();
                });
                clickButton(editor, "Button1");
                editor->close();
            });
            frmMain->changeCard();
        },
        [] {
            inModal([](QWidget* visits) {
                auto* grid = visits->findChild<DataGrid*>(QStringLiteral("DBGrid1"));
                grid->titleClick(grid->query()->result()->columnIndex(QStringLiteral("拜访日期")));
                shoot(QStringLiteral("visits"));
                visits->close();
            });
            frmMain->showVisits();
        },
        [] {
            inModal([](QWidget* options) {
                shoot(QStringLiteral("export-options"));
                options->close();
            });
            frmMain->showExportOptions();
        },
        [templatePath] {
            inModal([templatePath](QWidget* import) {
                Messages::queueFileName(templatePath);
                clickButton(import, "Button1");
                shoot(QStringLiteral("import"));
                import->close();
            });
            frmMain->importCards();
        },
        [&longSheet] {
            // The import under way: shot once 1,200 rows are in, then cancelled.
            inModal([&longSheet](QWidget* import) {
                Messages::queueFileName(longSheet);
                clickButton(import, "Button1");
                WorkProgress::setTestHook(0, [](int done) {
                    if (done == 1200 && WorkProgress::dialog()) {
                        shoot(QStringLiteral("import-progress"));
                        WorkProgress::dialog()->cancel();
                    }
                });
                clickButton(import, "BitBtn1");
                WorkProgress::clearTestHook();
                import->close();
            });
            frmMain->importCards();
        },
        [] {
            // The delete question as the user meets it: Qt's own box, not the scripted one.
            // Each of the two boxes stays up a moment, long enough for a shot from outside.
            Messages::setScripted(false);
            inModal([](QWidget* question) {
                shoot(QStringLiteral("delete-question"));
                QTimer::singleShot(HoldMs, question, [question] {
                    qobject_cast<QMessageBox*>(question)->button(QMessageBox::No)->click();
                });
            });
            frmMain->deleteCard();
        },
        [&reportSheet] {
            // The import's report, as the user meets it, then the rows it skipped.
            inModal([&reportSheet](QWidget* import) {
                Messages::setScripted(true);
                Messages::queueFileName(reportSheet);
                clickButton(import, "Button1");
                Messages::setScripted(false);
                inModal([import](QWidget* report) {
                    shoot(QStringLiteral("import-report"));
                    QTimer::singleShot(HoldMs, report, [report, import] {
                        qobject_cast<QMessageBox*>(report)->button(QMessageBox::Ok)->click();
                        QTimer::singleShot(500, import, [import] {
                            shoot(QStringLiteral("import-skipped"));
                            import->close();
                        });
                    });
                });
                clickButton(import, "BitBtn1");
            });
            frmMain->importCards();
        },
        [] {
            // The import's file dialog.
            inModal([](QWidget* import) {
                inModal([](QWidget* dialog) {
                    shoot(QStringLiteral("import-file-dialog"));
                    QTimer::singleShot(HoldMs, dialog,
                                       [dialog] { qobject_cast<QDialog*>(dialog)->reject(); });
                });
                clickButton(import, "Button1");
                Messages::setScripted(true);
                import->close();
            });
            frmMain->importCards();
        },
        [] {
            // 查找 with a pinyin search: "cs" finds 长沙 by the reading chang of 长.
            inModal([](QWidget* find) {
                auto* box = find->findChild<QLineEdit*>(QStringLiteral("Edit1"));
                box->setText(QStringLiteral("cs"));
                shoot(QStringLiteral("find"));
                find->close();
            });
            frmMain->findCards();
        },
        [] { QApplication::exit(0); },
    });
    const int result = QApplication::exec();
    program.stop();
    return result;
}
