// 查找 over 100,000 generated cards: opening the window (the live cards read and indexed once),
// then every keystroke of a few searches, as typed, with the grid of found cards following.
// The baseline is the plainest search in the same run: every value of every card compared
// with the typed text, ignoring letter case, without pinyin.

#include "benchsupport.h"
#include "db/cardstore.h"
#include "db/query.h"
#include "testsupport.h"
#include "ui/find/findwindow.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <vector>

namespace {

constexpr int Cards = 100000;

void generate(DirectSql& sql) {
    sql.exec(QStringLiteral(
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                 "INSERT INTO D_B (theDate, theType, BName, BSex, BPho, BMob, BMail, BQQ, BDes, "
                 "DArea, DCity, DName, DPart, DJob, DAdd, DPho, DWWW, FAdd, theDel) SELECT "
                 "printf('%04d-%02d-%02d', 2000 + i % 9, 1 + i % 12, 1 + i % 28), "
                 "substr('客户同事朋友同学家人其他', 1 + (i % 6) * 2, 2), "
                 "substr('张王李赵刘陈杨黄周吴徐孙马朱胡郭何高林曾', 1 + i % 20, 1) || "
                 "substr('伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞小', 1 + (i / 20) % 20, 1) || "
                 "substr('一二三四五六七八九贤', 1 + (i / 400) % 10, 1), "
                 "substr('男女', 1 + i % 2, 1), '010-' || (60000000 + i), '138' || (10000000 + i), "
                 "'user' || i || '@example.com', '' || (100000 + i), '老客户，合作多年', "
                 "substr('北京上海广东浙江江苏四川', 1 + (i % 6) * 2, 2), '城市' || (i % 50), "
                 "substr('北京华联长城重庆银行中信深圳', 1 + (i % 7) * 2, 2) || "
                 "substr('商贸科技实业电子建设传媒物流', 1 + (i / 7 % 7) * 2, 2) || "
                 "'有限公司' || (i % 1000), '销售部', '经理', '某路' || i || '号', "
                 "'021-' || (50000000 + i), 'www.example' || i || '.com', '家庭住址' || i, '否' "
                 "FROM n")
                 .arg(Cards));
}

// The plainest search: every value of every card, letter case aside.
int plainScan(const ResultSet& cards, const QString& typed) {
    int found = 0;
    for (int row = 0; row < cards.rowCount(); ++row) {
        for (int column = 1; column < cards.columnCount(); ++column) {
            if (cards.text(row, column).contains(typed, Qt::CaseInsensitive)) {
                ++found;
                break;
            }
        }
    }
    return found;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ProgramFixture program;
    generate(program.sql());
    program.start();

    QElapsedTimer opening;
    opening.start();
    auto* find = new TfrmFind(frmMain, program.store());
    find->show();
    QApplication::processEvents();
    const double openMs = double(opening.nsecsElapsed()) / 1e6;

    // Each search typed key by key into an empty box; one letter finds the most cards.
    const QStringList searches = {QStringLiteral("zxx"),   QStringLiteral("cxx"),
                                  QStringLiteral("bjhl"),  QStringLiteral("zhangwei"),
                                  QStringLiteral("13810"), QStringLiteral("user99@"),
                                  QStringLiteral("长城"),  QStringLiteral("cckj")};
    std::vector<double> keystrokes;
    for (const QString& search : searches) {
        find->searchBox->clear();
        QApplication::processEvents();
        for (qsizetype typed = 1; typed <= search.size(); ++typed) {
            QElapsedTimer key;
            key.start();
            find->searchBox->setText(search.left(typed));
            QApplication::processEvents();
            keystrokes.push_back(double(key.nsecsElapsed()) / 1e6);
        }
    }
    std::sort(keystrokes.begin(), keystrokes.end());
    const double slowest = keystrokes.back();

    // The same live cards the window indexed, read again for the baseline.
    const std::shared_ptr<ResultSet> live = program.store().cardList(FilterInput());
    const ResultSet& cards = *live;
    const double plainMs =
        timeRuns(3, [&cards] { plainScan(cards, QStringLiteral("z")); }).medianMs;

    std::printf("cards: %d\nkeystrokes: %zu\n", Cards, keystrokes.size());
    print("find_open_100k_ms", openMs);
    print("find_100k_ms", slowest);
    print("find_median_keystroke_ms", keystrokes[keystrokes.size() / 2]);
    print("plain_scan_100k_ms", plainMs);
    print("find_ratio_to_plain_scan", slowest / plainMs);
    find->close();
    delete find;
    program.stop();
    return 0;
}
