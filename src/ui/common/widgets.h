#pragma once

#include <QFont>
#include <QString>

class QGroupBox;
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
// The control's accessible name: its label's text without the closing colon.
void nameForLabel(QWidget* control, const QString& labelText);

// A window centred over another one (or the screen when there is none).
void centreOver(QWidget* window, QWidget* over);

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
// client area has the room the fixed places of its controls count on.
void setOuterSize(QWidget* window, int width, int height);
