// Every window on the screen it runs on (registered twice: a 1024 × 768 desktop, and a
// 1920 × 1080 one at twice the scale, where a window has 960 × 540 to live in): no smallest size
// larger than the screen, every window opened inside it, every control shown at the smallest
// size, and the banners yielding first.

#include "testsupport.h"
#include "ui/common/messages.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <functional>

namespace {
void press(QWidget* window, const char* name) {
    if (auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(name))) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else if (auto* action = window->findChild<QAction*>(QString::fromLatin1(name))) {
        action->trigger();
    } else {
        QFAIL(name);
    }
}

// The window as a whole, frame and title bar included, lies on the screen, and it can be made
// no larger than the screen.
void checkFitsTheScreen(QWidget* window) {
    const QRect screen = window->screen()->availableGeometry();
    const QSize frame = window->frameGeometry().size() - window->size();
    QVERIFY2(window->minimumWidth() + frame.width() <= screen.width() &&
                 window->minimumHeight() + frame.height() <= screen.height(),
             qPrintable(QStringLiteral("%1 needs at least %2 × %3 on a %4 × %5 screen")
                            .arg(window->objectName())
                            .arg(window->minimumWidth())
                            .arg(window->minimumHeight())
                            .arg(screen.width())
                            .arg(screen.height())));
    QVERIFY2(screen.contains(window->frameGeometry()),
             qPrintable(QStringLiteral("%1 opens at %2,%3 %4 × %5")
                            .arg(window->objectName())
                            .arg(window->frameGeometry().x())
                            .arg(window->frameGeometry().y())
                            .arg(window->frameGeometry().width())
                            .arg(window->frameGeometry().height())));
    checkEveryControlShowsAtMinimumSize(window);
}
} // namespace

class TestScreenFit : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_program = std::make_unique<ProgramFixture>();
        insertCard(m_program->sql(), "客户", "张三", "男");
        m_program->start();
    }
    void cleanup() { m_program.reset(); }

    void mainWindow_() {
        QWidget* window = mainWindow();
        checkFitsTheScreen(window);
        // The bar buttons stay whole; the banner beside them yields its width first.
        for (auto* button : window->findChild<QWidget*>("Panel1")->findChildren<QToolButton*>()) {
            QCOMPARE(button->size(), QSize(60, 60));
        }
    }

    void childWindows_data() {
        QTest::addColumn<QStringList>("opening"); // buttons or menu items, window by window
        QTest::newRow("card editor") << QStringList{"SpeedButton1"};
        QTest::newRow("defaults") << QStringList{"SpeedButton1", "Button1"};
        QTest::newRow("visits") << QStringList{"SpeedButton8"};
        QTest::newRow("import") << QStringList{"SpeedButton7"};
        QTest::newRow("export options") << QStringList{"BitBtn2"};
        QTest::newRow("deleted cards") << QStringList{"R1"};
        QTest::newRow("find") << QStringList{"F1"};
    }
    void childWindows() {
        QFETCH(QStringList, opening);
        bool checked = false;
        // Each window opens the next one of the row; the last is checked, then all close.
        std::function<void(int)> openFrom = [&](int step) {
            whenModalShown([&, step](QWidget* window) {
                if (step + 1 < opening.size()) {
                    openFrom(step + 1);
                    press(window, opening[step + 1].toLatin1().constData());
                } else {
                    checkFitsTheScreen(window);
                    checked = true;
                }
                window->close();
            });
        };
        openFrom(0);
        press(mainWindow(), opening[0].toLatin1().constData());
        QVERIFY(checked);
        QVERIFY2(lastErrorText().isEmpty(), qPrintable(lastErrorText()));
    }

private:
    std::unique_ptr<ProgramFixture> m_program;
};

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
