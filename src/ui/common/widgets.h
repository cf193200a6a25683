#pragma once

#include <QFont>
#include <QString>

#include <QList>

class QAbstractButton;
class QGroupBox;
class QMenuBar;
class QLabel;
class QPushButton;
class QWidget;

// Small builders shared by the windows, whose controls stand at fixed pixel places.

// The font of every window: Arial, 11 pixels high.
QFont windowFont();

QLabel* placeLabel(QWidget* parent, const QString& text, int left, int top);
// A label standing 4 pixels lower than its control, named by it for assistive technology.
QLabel* placeBuddyLabel(QWidget* parent, const QString& text, int left, QWidget* control);
QGroupBox* placeGroup(QWidget* parent, const QString& title, int left, int top, int width,
                      int height);
QPushButton* placeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                         int top, const QString& iconPath = {});
// The control's accessible name: its label's text without the closing colon and without the
// spaces that pad a short label to the width of the others ("姓        名：" → "姓名").
void nameForLabel(QWidget* control, const QString& labelText);

// A tick box that switches a field on: its access key (Alt+letter) ticks or unticks it as
// always, and when that ticks it the focus goes on into the field, ready for typing.
void focusFieldWhenTickedByKey(QAbstractButton* box, QWidget* field);

// F10 opens the bar's first menu, as on other desktops.
void openMenuBarByF10(QMenuBar* bar);

// A window centred over another one (or the screen when there is none), and kept inside the
// screen's available area.
void centreOver(QWidget* window, QWidget* over);

// Lets the controls of a bar stand at their places while the bar is wide enough for them and
// a right margin; as it narrows, the gaps between them (and the one after the bar's first
// `left` pixels) close, down to `gap` pixels each. The bar's smallest width is the one with
// every gap closed.
void closeGapsAsBarNarrows(QWidget* bar, const QList<QWidget*>& controls, int left, int gap,
                           int rightMargin);

// Chains the Tab order of a window's controls as they read: row by row from the top, left to
// right within a row (controls that overlap vertically share a row).
void tabInReadingOrder(QWidget* window);

// The largest client area a window can have on its screen: the screen's available area less
// the frame and title bar that setOuterSize counts on.
QSize roomOnScreen(const QWidget* window);

// Shows the wait cursor while an operation that may take a while (reading or writing a large
// workbook, importing many rows) runs.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Sizes a window by its outer size as laid out (frame and title bar included), so that its
// client area has the room the fixed places of its controls count on; on a smaller screen
// (or a larger scale) no larger than the room the screen has.
void setOuterSize(QWidget* window, int width, int height);
