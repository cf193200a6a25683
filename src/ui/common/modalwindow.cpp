#include "ui/common/modalwindow.h"

#include "ui/common/widgets.h"

#include "ui/common/messages.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QList>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>

namespace {
// Takes `cut` pixels off the width of what a window or a frame of it holds: a control that
// spans most of the width narrows (a frame's own controls yield likewise), a control in the
// right half moves left.
void yieldWidth(QWidget* container, int width, int cut) {
    for (QWidget* control : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect place = control->geometry();
        if (control->isWindow()) {
            continue;
        }
        if (place.width() > width / 2) {
            if (qobject_cast<QGroupBox*>(control)) {
                yieldWidth(control, place.width(), cut);
            }
            control->resize(place.width() - cut, place.height());
        } else if (place.left() > width / 2) {
            control->move(place.x() - cut, place.y());
        }
    }
}
} // namespace

ModalWindow::ModalWindow(QWidget* owner, const QString& name, int outerWidth, int outerHeight)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(name);
    setFont(windowFont());
    setOuterSize(this, outerWidth, outerHeight);
    centreOver(this, owner ? owner->window() : nullptr);
}

void ModalWindow::setVisible(bool visible) {
    if (visible && !m_tabOrdered) {
        m_tabOrdered = true;
        tabInReadingOrder(this);
    }
    QDialog::setVisible(visible);
}

void ModalWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // QDialog would reject() and hide the window without asking; close() runs the
        // window's own close handling, as "退出" does.
        close();
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

void ModalWindow::closeEvent(QCloseEvent* event) {
    if (!mayClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ModalWindow::askToSaveOnClose(const QString& question, std::function<QStringList()> input,
                                   std::function<bool()> save) {
    m_saveQuestion = question;
    m_input = std::move(input);
    m_save = std::move(save);
    markInputSaved();
}

void ModalWindow::markInputSaved() {
    if (m_input) {
        m_savedInput = m_input();
    }
}

bool ModalWindow::mayClose() {
    if (!m_input || m_input() == m_savedInput) {
        return true;
    }
    switch (Messages::askToSave(this, m_saveQuestion)) {
    case Messages::SaveAnswer::Save:
        return m_save();
    case Messages::SaveAnswer::Discard:
        return true;
    case Messages::SaveAnswer::Cancel:
        return false;
    }
    return false;
}

void ModalWindow::keepControlsShown(QWidget* banner) {
    QList<QWidget*> controls;
    QRect extent;
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const bool hiddenForGood =
            control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide);
        if (control != banner && !control->isWindow() && !hiddenForGood) {
            controls << control;
            extent |= control->geometry();
        }
    }
    const int margin = extent.left();
    QSize needed(extent.right() + 1 + margin, extent.bottom() + 1 + margin);
    const QSize room = roomOnScreen(this);
    if (needed.width() > room.width()) {
        yieldWidth(this, needed.width(), needed.width() - room.width());
        needed.rwidth() = room.width();
    }
    if (banner && needed.height() > room.height()) {
        const int cut = qMin(needed.height() - room.height(), banner->height());
        for (QWidget* control : std::as_const(controls)) {
            if (control->y() >= banner->height()) {
                control->move(control->x(), control->y() - cut);
            }
        }
        banner->resize(banner->width(), banner->height() - cut);
        banner->setVisible(banner->height() > 0);
        needed.rheight() -= cut;
    }
    setMinimumSize(needed.boundedTo(room));
}

QPushButton* ModalWindow::placeExitButton(QWidget* parent, const QString& name, int left, int top) {
    QPushButton* button = placeButton(parent, name, QStringLiteral("退出"), left, top);
    button->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(button, &QPushButton::clicked, this, &QWidget::close);
    button->setToolTip(QStringLiteral("退出 (Esc)"));
    return button;
}

void ModalWindow::setSaveButton(QPushButton* button) {
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, button, [button] {
        if (button->isEnabled()) {
            button->click();
        }
    });
    button->setToolTip(
        QStringLiteral("保存 (%1)").arg(save->key().toString(QKeySequence::NativeText)));
}
