#pragma once

// Steps shared by the tests of the card editor and of the defaults window: opening the
// windows as the user does, typing, choosing from a drop-down, reading rows back.

#include "testsupport.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/messages.h"
#include "ui/main/mainwindow.h"

#include <QApplication>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <functional>

// A control of a window by its name; the test fails (and the window is closed by the
// caller) when it is missing.
template <typename T> T* control(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        QTest::qFail(qPrintable(QStringLiteral("no control %1").arg(QLatin1String(name))), __FILE__,
                     __LINE__);
    }
    return found;
}

// Runs steps inside the next modal window, then closes it if the steps left it open (also
// when a check in the steps failed, so the test goes on), without saving.
inline void insideNextWindow(std::function<void(QWidget*)> steps) {
    whenModalShown([steps](QWidget* window) {
        QPointer<QWidget> guard(window);
        if (QTest::qWaitForWindowActive(window)) {
            steps(window);
        } else {
            QTest::qFail("the window did not become active", __FILE__, __LINE__);
        }
        // Closed without the question a window with unsaved input would ask.
        if (auto* dialog = qobject_cast<QDialog*>(guard.data()); dialog && dialog->isVisible()) {
            dialog->reject();
        } else if (guard && guard->isVisible()) {
            guard->close();
        }
    });
}

inline void clickMainButton(const char* name) {
    QTest::mouseClick(frmMain->findChild<QToolButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

// Runs open, which shows a modal window, and the steps inside that window. False when no
// window came up.
[[nodiscard]] inline bool inWindowOpenedBy(std::function<void()> open,
                                           std::function<void(QWidget*)> steps) {
    auto ran = std::make_shared<bool>(false);
    insideNextWindow([steps, ran](QWidget* window) {
        *ran = true;
        steps(window);
    });
    open();
    return *ran;
}

// "新增名片" with steps to run in the card editor.
[[nodiscard]] inline bool withNewCardEditor(std::function<void(QWidget*)> steps) {
    return inWindowOpenedBy([] { clickMainButton("SpeedButton1"); }, std::move(steps));
}

// "修改名片" on the current card with steps to run in the card editor.
[[nodiscard]] inline bool withCardEditorOnCurrentCard(std::function<void(QWidget*)> steps) {
    return inWindowOpenedBy([] { clickMainButton("SpeedButton2"); }, std::move(steps));
}

// "设置默认项" in the card editor with steps to run in the defaults window.
[[nodiscard]] inline bool withDefaultsWindow(QWidget* editor, std::function<void(QWidget*)> steps) {
    return inWindowOpenedBy(
        [editor] { QTest::mouseClick(control<QPushButton>(editor, "Button1"), Qt::LeftButton); },
        std::move(steps));
}

inline void click(QWidget* window, const char* button) {
    QTest::mouseClick(control<QPushButton>(window, button), Qt::LeftButton);
}

// Replaces what a box holds: click into it, select all, type.
inline void retype(QWidget* window, const char* boxName, const QString& text) {
    auto* box = control<QLineEdit>(window, boxName);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Delete);
    } else {
        typeText(box, text);
    }
}

inline QString textOf(QWidget* window, const char* boxName) {
    return control<QLineEdit>(window, boxName)->text();
}

inline QString shownIn(QWidget* window, const char* comboName) {
    return control<LookupCombo>(window, comboName)->shownText();
}

// Picks a name in a drop-down with the keys, as a user does.
inline void choose(QWidget* window, const char* comboName, const QString& name) {
    auto* combo = control<LookupCombo>(window, comboName);
    const int index = combo->findText(name, Qt::MatchExactly);
    if (index < 0) {
        QTest::qFail(qPrintable(QStringLiteral("%1 is not listed").arg(name)), __FILE__, __LINE__);
        return;
    }
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i) {
        QTest::keyClick(combo, Qt::Key_Down);
    }
}

// The three shown texts of the drop-downs category, sex, province.
inline QStringList lookupsShown(QWidget* window) {
    return {shownIn(window, "DBLookupComboBox1"), shownIn(window, "DBLookupComboBox2"),
            shownIn(window, "DBLookupComboBox3")};
}

// The values of a one-column query, row by row.
inline QStringList valuesOf(DirectSql& sql, const QString& query) {
    QStringList values;
    const int count = sql.count(query);
    for (int row = 0; row < count; ++row) {
        values << sql.scalar(query + QStringLiteral(" LIMIT 1 OFFSET %1").arg(row));
    }
    return values;
}

// The rows of D_Mr, each as "theType|theSex|theP".
inline QStringList defaultsRows(DirectSql& sql) {
    return valuesOf(sql, QStringLiteral("SELECT theType||'|'||theSex||'|'||theP FROM D_Mr"));
}

// The texts of the plain message boxes shown so far.
inline QStringList plainMessages() {
    QStringList texts;
    for (const Messages::Shown& shown : Messages::shown()) {
        if (shown.kind == Messages::Kind::Plain) {
            texts << shown.text;
        }
    }
    return texts;
}
