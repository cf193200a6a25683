#include "ui/common/modalwindow.h"

#include "ui/common/widgets.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>

ModalWindow::ModalWindow(QWidget* owner, const QString& name, int outerWidth, int outerHeight)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(name);
    setFont(windowFont());
    setOuterSize(this, outerWidth, outerHeight);
    centreOver(this, owner ? owner->window() : nullptr);
}

void ModalWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        }
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void ModalWindow::keepControlsShown(const QWidget* follower) {
    QRect extent;
    for (const QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const bool hiddenForGood =
            control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide);
        if (control != follower && !control->isWindow() && !hiddenForGood) {
            extent |= control->geometry();
        }
    }
    const int margin = extent.left();
    setMinimumSize(extent.right() + 1 + margin, extent.bottom() + 1 + margin);
}

QPushButton* ModalWindow::placeExitButton(QWidget* parent, const QString& name, int left, int top) {
    QPushButton* button = placeButton(parent, name, QStringLiteral("退出"), left, top);
    button->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(button, &QPushButton::clicked, this, &QWidget::close);
    return button;
}
