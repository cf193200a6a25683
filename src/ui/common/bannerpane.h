#pragma once

#include <QTextBrowser>

// The banner pane: shows one page bundled with the program. Links in it open in the
// desktop's browser.
class BannerPane : public QTextBrowser {
    Q_OBJECT
public:
    enum class Page { Main, Child };
    explicit BannerPane(QWidget* parent = nullptr);
    void navigate(Page page);

    // A strip across the top of the child windows, 120 pixels high, that follows the window's
    // width when it is resized.
    static BannerPane* acrossTop(QWidget* window);
    // A pane at the right end of a bar, up to size, right of the bar's first `left` pixels:
    // when the bar is too narrow for both, the banner yields its width first.
    static BannerPane* atRightOf(QWidget* bar, QSize size, int left);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followParent();

    QSize m_largest; // at the right of a bar: the size it takes when there is room
    int m_left = -1; // at the right of a bar: the part of the bar it leaves free
};
