// The GBK byte limit of an edit box, whichever way the text arrives: typed keys, a paste by
// key or by the context menu, an input method's commit, a drop; and a longer text set by the
// program.

#include "ui/common/gbklineedit.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>

class TestGbkLineEdit : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_box = std::make_unique<GbkLineEdit>();
        m_box->setMaxBytes(10);
        m_box->show();
        m_box->activateWindow();
        m_box->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(m_box.get()));
    }
    void cleanup() { m_box.reset(); }

    void byteCounts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bytes");
        QTest::newRow("ascii") << "ab 1'%" << 6;
        QTest::newRow("chinese") << "张三" << 4;
        QTest::newRow("mixed") << "a张b" << 4;
        QTest::newRow("outside the basic plane") << "a😀" << 3;
    }
    void byteCounts() {
        QFETCH(QString, text);
        QFETCH(int, bytes);
        QCOMPARE(gbkBytes(text), bytes);
    }

    void insertionIsCutAtTheLastWholeCharacter_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedCursor");

        const QList<QString> ways = {"type", "paste", "menu paste", "commit", "drop"};
        for (const QString& how : ways) {
            auto row = [&how](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(how + ": " + QString::fromUtf8(name))) << how;
            };
            row("ascii up to the limit") << QString() << 0 << "12345678901234"
                                         << "1234567890" << 10;
            row("chinese up to the limit") << QString() << 0 << "一二三四五六"
                                           << "一二三四五" << 5;
            row("no half character") << "a" << 1 << "一二三四五"
                                     << "a一二三四" << 5;
            row("in the middle") << "ab" << 1 << "一二三四五"
                                 << "a一二三四b" << 5;
            row("repeated characters") << "aaaa" << 2 << "aaaaaaaaa"
                                       << "aaaaaaaaaa" << 8;
            row("full box takes nothing") << "一二三四五" << 2 << "x"
                                          << "一二三四五" << 2;
            row("leading byte order mark kept")
                << QString() << 0 << QChar(0xFEFF) + QStringLiteral("abc")
                << QChar(0xFEFF) + QStringLiteral("abc") << 4;
            if (how != QLatin1String("type")) { // keys carry one UTF-16 unit each
                row("surrogate pair kept whole") << "abcdefgh" << 8 << "x😀"
                                                 << "abcdefghx" << 9;
            }
        }
    }
    void insertionIsCutAtTheLastWholeCharacter() {
        QFETCH(QString, how);
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QFETCH(int, expectedCursor);

        m_box->setText(before);
        m_box->setCursorPosition(cursor);
        enter(how, input);
        QCOMPARE(m_box->text(), expected);
        QCOMPARE(m_box->cursorPosition(), expectedCursor);

        // The box stays full after a cut: nothing more gets in, whichever way.
        if (gbkBytes(expected) >= 9) {
            enter(how, QStringLiteral("yz"));
            QVERIFY2(gbkBytes(m_box->text()) <= 10, qPrintable(m_box->text()));
        }
    }

    void pasteReplacingASelection() {
        m_box->setText(QStringLiteral("12345678"));
        m_box->setSelection(2, 4); // "3456"
        enter(QStringLiteral("paste"), QStringLiteral("一二三四"));
        QCOMPARE(m_box->text(), QStringLiteral("12一二三78"));
    }

    void inputMethodPreeditThenCommit() {
        m_box->setText(QStringLiteral("一二三四"));
        m_box->setCursorPosition(4);
        QInputMethodEvent preedit(QStringLiteral("wu"), {});
        QApplication::sendEvent(m_box.get(), &preedit);
        QCOMPARE(m_box->text(), QStringLiteral("一二三四"));
        enter(QStringLiteral("commit"), QStringLiteral("五六"));
        QCOMPARE(m_box->text(), QStringLiteral("一二三四五"));
    }

    void longerStoredTextCanBeShortenedNotLengthened() {
        const QString stored = QStringLiteral("一二三四五六七八"); // 16 bytes
        m_box->setText(stored);
        QCOMPARE(m_box->text(), stored);
        m_box->end(false);
        QTest::keyClick(m_box.get(), Qt::Key_Backspace);
        QCOMPARE(m_box->text(), stored.left(7));
        enter(QStringLiteral("type"), QStringLiteral("x"));
        enter(QStringLiteral("paste"), QStringLiteral("xy"));
        QCOMPARE(m_box->text(), stored.left(7));
        // Replacing part of it with something shorter is a shortening too.
        m_box->setSelection(0, 2);
        enter(QStringLiteral("type"), QStringLiteral("a"));
        QCOMPARE(m_box->text(), QStringLiteral("a三四五六七"));
        // Below the limit again, typing fills up to the limit only.
        m_box->setText(QStringLiteral("一二三四"));
        m_box->end(false);
        enter(QStringLiteral("type"), QStringLiteral("abc"));
        QCOMPARE(m_box->text(), QStringLiteral("一二三四ab"));
    }

    void noLimitTakesEverything() {
        m_box->setMaxBytes(0);
        enter(QStringLiteral("paste"), QString(300, QChar(u'长')));
        QCOMPARE(m_box->text().size(), 300);
    }

private:
    void enter(const QString& how, const QString& input) {
        if (how == QLatin1String("type")) {
            // One key per character; keys beyond Latin-1 carry their text only.
            for (const QChar c : input) {
                QTest::sendKeyEvent(QTest::Click, m_box.get(), Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
            }
        } else if (how == QLatin1String("paste")) {
            QGuiApplication::clipboard()->setText(input);
            QTest::keyClick(m_box.get(), Qt::Key_V, Qt::ControlModifier);
        } else if (how == QLatin1String("menu paste")) {
            QGuiApplication::clipboard()->setText(input);
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                                    m_box->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(m_box.get(), &event);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction* action : menu->actions()) {
                if (action->text().startsWith(QLatin1String("&Paste"))) {
                    action->trigger();
                }
            }
            menu->close();
            QCoreApplication::processEvents(); // back in the event loop
        } else if (how == QLatin1String("drop")) {
            QMimeData data;
            data.setText(input);
            const QPoint at = cursorPoint().toPoint();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_box.get(), &enter);
            QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_box.get(), &move);
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_box.get(), &drop);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(input);
            QApplication::sendEvent(m_box.get(), &commit);
        }
    }

    // Where a drop lands at the cursor.
    QPointF cursorPoint() const {
        return m_box->inputMethodQuery(Qt::ImCursorRectangle).toRectF().center();
    }

    std::unique_ptr<GbkLineEdit> m_box;
};

QTEST_MAIN(TestGbkLineEdit)
#include "tst_gbklineedit.moc"
