#include "bannerpane.h"

#include "messages.h"

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

void BannerPane::navigate(Page page) {
    QFile file(page == Page::Main ? QStringLiteral(":/banner/main.html")
                                  : QStringLiteral(":/banner/child.html"));
    if (file.open(QIODevice::ReadOnly)) {
        setHtml(QString::fromUtf8(file.readAll()));
    }
}
