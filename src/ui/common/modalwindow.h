#pragma once

#include <QDialog>

class QPushButton;

// A window shown modally over the main window: only the close box in its title bar, the
// window font, its outer size as laid out, centred over the window that opens it. It has
// neither a default nor a cancel button: Esc does not close it, and Enter presses only the
// button that has the focus.
class ModalWindow : public QDialog {
    Q_OBJECT
signals:
    // Cards or their visits changed: the window that opened this one reads its list again.
    void cardsChanged();

protected:
    ModalWindow(QWidget* owner, const QString& name, int outerWidth, int outerHeight);

    void keyPressEvent(QKeyEvent* event) override;

    // Makes the window's smallest size the one at which every control shows: the extent of
    // the controls at their fixed places, with the left margin mirrored on the right and at
    // the bottom. A control that follows the window's width (the banner) does not count.
    void keepControlsShown(const QWidget* follower = nullptr);

    // "退出": a button with the standard close picture that closes the window.
    QPushButton* placeExitButton(QWidget* parent, const QString& name, int left, int top);
};
