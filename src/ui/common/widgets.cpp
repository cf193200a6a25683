#include "ui/common/widgets.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

QFont windowFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    return font;
}

QLabel* placeLabel(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void nameForLabel(QWidget* control, const QString& labelText) {
    QString name = labelText;
    if (name.endsWith(u'：') || name.endsWith(u':')) {
        name.chop(1);
    }
    control->setAccessibleName(name);
}

QLabel* placeBuddyLabel(QWidget* parent, const QString& text, int left, QWidget* control) {
    QLabel* label = placeLabel(parent, text, left, control->y() + 4);
    label->setBuddy(control);
    nameForLabel(control, text);
    return label;
}

QGroupBox* placeGroup(QWidget* parent, const QString& title, int left, int top, int width,
                      int height) {
    auto* group = new QGroupBox(title, parent);
    group->setGeometry(left, top, width, height);
    return group;
}

QPushButton* placeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                         int top, const QString& iconPath) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, 75, 25);
    button->setAutoDefault(false);
    if (!iconPath.isEmpty()) {
        button->setIcon(QIcon(iconPath));
        button->setIconSize(QSize(16, 16));
    }
    return button;
}

void centreOver(QWidget* window, QWidget* over) {
    const QRect area =
        over ? over->frameGeometry() : QGuiApplication::primaryScreen()->availableGeometry();
    window->move(area.center() - window->rect().center());
}

BusyCursor::BusyCursor() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QGuiApplication::restoreOverrideCursor();
}

void setOuterSize(QWidget* window, int width, int height) {
    constexpr int Border = 4;
    constexpr int TitleBar = 26;
    window->resize(width - 2 * Border, height - 2 * Border - TitleBar);
}
