// The shared grid over the card list: title-click sorting with its title marks, and the
// stripes painted in the order shown.

#include "db/query.h"
#include "testsupport.h"
#include "ui/common/datagrid.h"
#include "ui/main/mainwindow.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <QHeaderView>
#include <QTest>

class TestDataGrid : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        DirectSql& sql = m_program->sql();
        insertCard(sql, "客户", "张三", "男", "2008-03-01");
        insertCard(sql, "同事", "李四", "女", "2008-01-15");
        insertCard(sql, "朋友", "王五", "男", "2008-02-20");
        insertCard(sql, "家人", "Alice", "女", "2007-12-31");
        m_program->start();
        m_grid = frmMain->DBGrid1;
        // Every signal of the model, through every sort and refresh below, is checked for
        // consistency with what the model reports.
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void cleanup() {
        m_tester.reset();
        m_program.reset();
    }

    void threeClicksOnATitle() {
        const int name = column("姓名");
        clickTitle(name);
        QCOMPARE(frmMain->cardList->sort(), QStringLiteral("姓名 ASC"));
        QCOMPARE(values(name), QStringList({"Alice", "李四", "王五", "张三"}));
        QCOMPARE(mark(name), QColor(255, 0, 0));
        QCOMPARE(title(name), QStringLiteral("姓名 ▲"));
        clickTitle(name);
        QCOMPARE(frmMain->cardList->sort(), QStringLiteral("姓名 DESC"));
        QCOMPARE(values(name), QStringList({"张三", "王五", "李四", "Alice"}));
        QCOMPARE(mark(name), QColor(0, 0, 255));
        QCOMPARE(title(name), QStringLiteral("姓名 ▼"));
        clickTitle(name);
        QCOMPARE(values(name), QStringList({"Alice", "李四", "王五", "张三"}));
        QCOMPARE(mark(name), QColor(255, 0, 0));
        // A sort keeps the columns as the refresh laid them out.
        QVERIFY(m_grid->isColumnHidden(0));
        QCOMPARE(m_grid->columnWidth(name), 100);
    }

    void anotherTitleStartsAscendingAndUnmarksTheFirst() {
        clickTitle(column("姓名"));
        clickTitle(column("姓名"));
        clickTitle(column("录入日期"));
        QCOMPARE(frmMain->cardList->sort(), QStringLiteral("录入日期 ASC"));
        QCOMPARE(values(column("录入日期")),
                 QStringList({"2007-12-31", "2008-01-15", "2008-02-20", "2008-03-01"}));
        QCOMPARE(mark(column("录入日期")), QColor(255, 0, 0));
        QCOMPARE(mark(column("姓名")), QColor()); // plain again
        QCOMPARE(title(column("姓名")), QStringLiteral("姓名"));
        QCOMPARE(title(column("录入日期")), QStringLiteral("录入日期 ▲"));
    }

    void refreshDropsTheSort() {
        clickTitle(column("姓名"));
        frmMain->myRef();
        QCOMPARE(frmMain->cardList->sort(), QString());
        QCOMPARE(values(column("姓名")).first(), QStringLiteral("Alice")); // newest first: ID 4
        QCOMPARE(mark(column("姓名")), QColor());
        clickTitle(column("姓名"));
        QCOMPARE(frmMain->cardList->sort(), QStringLiteral("姓名 ASC"));
    }

    void stripesFollowTheOrderShown() {
        clickTitle(column("姓名"));
        frmMain->cardList->setRecNo(3);
        frmMain->activateWindow();
        frmMain->setFocus(); // the grid does not have the focus
        const QImage shot = m_grid->viewport()->grab().toImage();
        const QColor green(191, 255, 223);
        const QColor yellow = DataGrid::evenRowColour();
        const int cell = column("性别");
        for (int row = 0; row < 4; ++row) {
            const QColor expected = row == 2 ? QColor() : (row % 2 == 0 ? green : yellow);
            const QColor seen = pixel(shot, row, cell);
            if (expected.isValid()) {
                QCOMPARE(seen, expected);
            }
        }
        // The current cell keeps the grid's plain colour; the rest of its row is striped.
        const int current = m_grid->currentIndex().column();
        QCOMPARE(pixel(shot, 2, current), m_grid->palette().color(QPalette::Base));
        QCOMPARE(pixel(shot, 2, current == cell ? column("分类") : cell), green);
    }

    void cursorFollowsTheRowTheUserPicks() {
        const QModelIndex third = m_grid->model()->index(2, column("姓名"));
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {},
                          m_grid->visualRect(third).center());
        QCOMPARE(frmMain->cardList->recNo(), 3);
        frmMain->cardList->first();
        QCOMPARE(m_grid->currentIndex().row(), 0);
        QVERIFY(!m_grid->isColumnHidden(m_grid->currentIndex().column()));
    }

private:
    int column(const char* title) {
        return frmMain->cardList->result()->columnIndex(QString::fromUtf8(title));
    }
    void clickTitle(int section) {
        QHeaderView* titles = m_grid->horizontalHeader();
        const int x = titles->sectionViewportPosition(section) + titles->sectionSize(section) / 2;
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, titles->height() / 2));
    }
    // The title's colour when marked (bold), or an invalid colour when plain.
    QColor mark(int section) {
        const QAbstractItemModel* model = m_grid->model();
        const QFont font = model->headerData(section, Qt::Horizontal, Qt::FontRole).value<QFont>();
        if (!font.bold()) {
            return {};
        }
        return model->headerData(section, Qt::Horizontal, Qt::ForegroundRole).value<QColor>();
    }
    QString title(int section) {
        return m_grid->model()->headerData(section, Qt::Horizontal).toString();
    }
    QStringList values(int section) {
        QStringList result;
        for (int row = 0; row < m_grid->model()->rowCount(); ++row) {
            result << m_grid->model()->index(row, section).data().toString();
        }
        return result;
    }
    QColor pixel(const QImage& shot, int row, int section) {
        const QRect rect = m_grid->visualRect(m_grid->model()->index(row, section));
        const qreal ratio = shot.devicePixelRatio();
        return shot.pixelColor(int((rect.left() + 3) * ratio), int((rect.top() + 3) * ratio));
    }

    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::unique_ptr<ProgramFixture> m_program;
    DataGrid* m_grid = nullptr;
};

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"
