#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QPushButton;

// A window shown modally over the main window: only the close box in its title bar, the
// window font, its outer size as laid out, centred over the window that opens it. It has no
// default button: Enter presses only the button that has the focus. Esc closes it as its
// "退出" does (with the same questions, if any), and Ctrl+S presses its "保存", if it has one.
// A window whose input can be saved asks before it closes with input not saved.
class ModalWindow : public QDialog {
    Q_OBJECT
public:
    // On the first showing, the Tab order follows the layout (tabInReadingOrder).
    void setVisible(bool visible) override;

signals:
    // Cards or their visits changed: the window that opened this one reads its list again.
    void cardsChanged();

protected:
    ModalWindow(QWidget* owner, const QString& name, int outerWidth, int outerHeight);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Closing the window (退出, Esc, the close box) while input() differs from the input last
    // marked saved asks `question` (是 / 否 / 取消): 是 runs save(), and the window stays open
    // when that did not save; 取消 keeps it open; 否 closes it, leaving the input unsaved.
    void askToSaveOnClose(const QString& question, std::function<QStringList()> input,
                          std::function<bool()> save);
    // The input as it stands now counts as saved: as loaded, or just saved.
    void markInputSaved();

    // Makes the window's smallest size the one at which every control shows: the extent of
    // the controls at their fixed places, with the left margin mirrored on the right and at
    // the bottom. A control that follows the window's width (the banner) does not count.
    // When the screen has less room than that, the banner yields its height first (the
    // controls below it move up), and the smallest size never exceeds the screen.
    void keepControlsShown(QWidget* banner = nullptr);

    // "退出": a button with the standard close picture that closes the window.
    QPushButton* placeExitButton(QWidget* parent, const QString& name, int left, int top);
    // Makes button the window's "保存": Ctrl+S presses it (while it is enabled).
    void setSaveButton(QPushButton* button);

private:
    bool mayClose();

    bool m_tabOrdered = false;
    QString m_saveQuestion;
    std::function<QStringList()> m_input;
    std::function<bool()> m_save;
    QStringList m_savedInput;
};
