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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
