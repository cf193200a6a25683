// Renders the application icon from its SVG into the PNG sizes of the desktop's icon theme.
//
//   orvane_icons <icon.svg> <output folder>   writes <folder>/<size>x<size>/orvane-cards.png

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvane_icons <icon.svg> <output folder>\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "orvane_icons: cannot read %s\n", argv[1]);
        return 1;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        const QString folder =
            QStringLiteral("%1/%2x%2").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        QDir().mkpath(folder);
        if (!image.save(folder + QStringLiteral("/orvane-cards.png"))) {
            std::fprintf(stderr, "orvane_icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
