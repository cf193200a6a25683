// The card list read in two steps: the newest cards at once, the counters and the rest in
// the background, page by page. The pages are handed over one at a time here, so that the
// user's moves, saves and refreshes fall between them.

#include "../card/cardtest.h"
#include "db/cardlistfill.h"
#include "db/query.h"
#include "ui/common/datagrid.h"

#include <QLabel>
#include <QScrollBar>
#include <QSemaphore>
#include <QTest>

namespace {
constexpr int Cards = 1000;
constexpr int PageRows = 100;

// The keys of the list as shown, top to bottom.
QList<qint64> shownKeys() {
    QList<qint64> keys;
    const Query* list = frmMain->cardList;
    const ResultSet* rows = list->result();
    for (int position = 0; rows && position < rows->rowCount(); ++position) {
        keys << rows->text(list->rowAt(position), 0).toLongLong();
    }
    return keys;
}

QList<qint64> newestFirst(qint64 newest, int count) {
    QList<qint64> keys;
    for (qint64 key = newest; key > newest - count; --key) {
        keys << key;
    }
    return keys;
}

qint64 currentKey() {
    return frmMain->cardList->fieldByName(QStringLiteral("ID")).toLongLong();
}

QString label(const char* name) {
    return frmMain->findChild<QLabel*>(QString::fromLatin1(name))->text();
}
} // namespace

class TestListFill : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        DirectSql& sql = m_program->sql();
        sql.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                "WHERE i < %1) INSERT INTO D_B (theDate, theType, BName, BSex, "
                                "theDel) SELECT '2008-03-07', '客户', '卡' || i, '男', '否' FROM n")
                     .arg(Cards));
        sql.exec(QStringLiteral("INSERT INTO DList (DID, LDate, LType, LMemo) "
                                "SELECT ID, '2008-03-08', '电话', '' FROM D_B WHERE ID % 10 = 0"));
        CardListFill::setPageRowsForTests(PageRows);
        m_pages.acquire(m_pages.available());
        CardListFill::setBeforePageForTests([this](const std::atomic<bool>& stopping) {
            while (!stopping && !m_pages.tryAcquire(1, 5)) {
            }
        });
    }
    void cleanup() {
        m_pages.release(Cards); // a fill still reading ends
        m_program.reset();
        CardListFill::setBeforePageForTests(nullptr);
        CardListFill::setPageRowsForTests(0);
    }

    // The first screen comes at once, the counter of the cards soon; the pages come under it
    // while the user moves down the list, and the card under the cursor and the scroll
    // position stay as the user left them.
    void rowsArriveWhileTheUserMovesTheCursor() {
        m_program->start();
        QCOMPARE(shownKeys(), newestFirst(Cards, TfrmMain::FirstScreenRows));
        QTRY_COMPARE(label("Label1"), QStringLiteral("名片数量：%1").arg(Cards));

        DataGrid* grid = frmMain->DBGrid1;
        grid->setFocus();
        int moves = 0;
        int rows = TfrmMain::FirstScreenRows;
        while (rows < Cards) {
            for (int i = 0; i < 7; ++i) {
                QTest::keyClick(grid, Qt::Key_Down);
                ++moves;
            }
            const int scrolled = grid->verticalScrollBar()->value();
            m_pages.release();
            rows = std::min(Cards, rows + PageRows);
            QTRY_COMPARE(frmMain->cardList->recordCount(), rows);
            QCOMPARE(grid->model()->rowCount(), rows);
            QCOMPARE(currentKey(), qint64(Cards - moves));
            QCOMPARE(grid->currentIndex().row(), moves);
            QCOMPARE(grid->verticalScrollBar()->value(), scrolled);
        }
        m_pages.release(); // the last, empty page
        QTRY_VERIFY(frmMain->cardList->whole());
        QCOMPARE(shownKeys(), newestFirst(Cards, Cards));
        QCOMPARE(currentKey(), qint64(Cards - moves));
        QTRY_COMPARE(label("Label5"), QStringLiteral("拜访次数：%1").arg(Cards / 10));
    }

    // A card saved while the rest is read: the fill goes on, nothing is read again, and once
    // the list is whole the new card comes in on top, the counters counting it; every card
    // shows once.
    void aSaveDuringAFill() {
        m_program->start();
        m_pages.release(2);
        QTRY_COMPARE(frmMain->cardList->recordCount(), TfrmMain::FirstScreenRows + 2 * PageRows);

        QVERIFY(withNewCardEditor([](QWidget* editor) {
            retype(editor, "EditB1", QStringLiteral("新卡"));
            click(editor, "BitBtn1");
        }));
        QVERIFY2(lastErrorText().isEmpty(), qPrintable(lastErrorText()));
        QCOMPARE(frmMain->cardList->recordCount(), TfrmMain::FirstScreenRows + 2 * PageRows);
        const qint64 current = currentKey();

        m_pages.release(Cards / PageRows + 1);
        QTRY_COMPARE(frmMain->cardList->recordCount(), Cards + 1);
        QCOMPARE(label("Label1"), QStringLiteral("名片数量：%1").arg(Cards + 1));
        const Query* list = frmMain->cardList;
        QCOMPARE(list->result()->text(list->rowAt(0), list->result()->columnIndex("姓名")),
                 QStringLiteral("新卡"));
        QCOMPARE(currentKey(), current);
        // Sorting waits for the whole list.
        frmMain->DBGrid1->titleClick(frmMain->cardList->result()->columnIndex("姓名"));
        QVERIFY(frmMain->cardList->whole());
        QCOMPARE(frmMain->cardList->recordCount(), Cards + 1);
        QList<qint64> keys = shownKeys();
        std::sort(keys.begin(), keys.end(), std::greater<>());
        QCOMPARE(keys, newestFirst(Cards + 1, Cards + 1));
        QTRY_COMPARE(label("Label5"), QStringLiteral("拜访次数：%1").arg(Cards / 10));
    }

    // A refresh that keeps the user's place (another program's change): the newest cards at
    // once; a current card among them comes back at once, one further down or a sort once
    // the list is whole, unless the user has moved meanwhile.
    void aRefreshKeepsThePlace_data() {
        QTest::addColumn<int>("position"); // of the current card, from 0
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<bool>("userMoves"); // before the list is whole
        QTest::newRow("among the newest") << 10 << false << false;
        QTest::newRow("further down") << 600 << false << false;
        QTest::newRow("sorted") << 10 << true << false;
        QTest::newRow("the user moved meanwhile") << 600 << false << true;
    }
    void aRefreshKeepsThePlace() {
        QFETCH(int, position);
        QFETCH(bool, sorted);
        QFETCH(bool, userMoves);
        m_program->start();
        m_pages.release(Cards);
        QTRY_VERIFY(frmMain->cardList->whole());
        Query* list = frmMain->cardList;
        if (sorted) {
            frmMain->DBGrid1->titleClick(list->result()->columnIndex("姓名"));
        }
        list->setRecNo(position + 1);
        const qint64 current = currentKey();
        const QString sort = list->sort();

        m_pages.acquire(m_pages.available());
        frmMain->refreshKeepingPlace();
        const bool atOnce = position < TfrmMain::FirstScreenRows && !sorted;
        QCOMPARE(currentKey(), atOnce ? current : qint64(Cards));
        if (userMoves) {
            QTest::keyClick(frmMain->DBGrid1, Qt::Key_Down);
        }
        m_pages.release(Cards);
        QTRY_VERIFY(list->whole());
        QCOMPARE(list->sort(), sort);
        QCOMPARE(currentKey(), userMoves ? qint64(Cards - 1) : current);
        QVERIFY(lastErrorText().isEmpty());
    }

private:
    std::unique_ptr<ProgramFixture> m_program;
    QSemaphore m_pages;
};

QTEST_MAIN(TestListFill)
#include "tst_listfill.moc"
