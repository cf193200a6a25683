#include "ui/common/bannerpane.h"

#include "ui/common/messages.h"

#include <QEvent>
#include <QFile>

BannerPane::BannerPane(QWidget* parent) : QTextBrowser(parent) {
    setFrameShape(QFrame::NoFrame);
    setOpenLinks(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAccessibleName(QStringLiteral("横幅"));
    connect(this, &QTextBrowser::anchorClicked, this,
            [](const QUrl& url) { Messages::openExternally(url); });
}

BannerPane* BannerPane::acrossTop(QWidget* window) {
    auto* banner = new BannerPane(window);
    banner->setObjectName(QStringLiteral("WebBrowser1"));
    banner->setGeometry(0, 0, window->width(), 120);
    window->installEventFilter(banner);
    return banner;
}

BannerPane* BannerPane::atRightOf(QWidget* bar, QSize size, int left) {
    auto* banner = new BannerPane(bar);
    banner->setObjectName(QStringLiteral("WebBrowser1"));
    banner->m_largest = size;
    banner->m_left = left;
    banner->followParent();
    bar->installEventFilter(banner);
    return banner;
}

void BannerPane::followParent() {
    const int barWidth = parentWidget()->width();
    if (m_left < 0) {
        setGeometry(0, 0, barWidth, height());
        return;
    }
    const int width = qBound(0, barWidth - m_left, m_largest.width());
    setGeometry(barWidth - width, (parentWidget()->height() - m_largest.height()) / 2, width,
                m_largest.height());
    setVisible(width > 0);
}

bool BannerPane::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && watched == parentWidget()) {
        followParent();
    }
    return QTextBrowser::eventFilter(watched, event);
}

void BannerPane::navigate(Page page) {
    QFile file(page == Page::Main ? QStringLiteral(":/banner/main.html")
                                  : QStringLiteral(":/banner/child.html"));
    if (file.open(QIODevice::ReadOnly)) {
        setHtml(QString::fromUtf8(file.readAll()));
    }
}
