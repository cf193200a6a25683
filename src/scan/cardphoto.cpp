#include "scan/cardphoto.h"

#include "scan/scanerror.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <opencv2/imgproc.hpp>

namespace {
QString shownName(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The size to decode to: the photo's own, or scaled down to the longest side kept.
QSize decodeSize(QSize size) {
    const int longest = std::max(size.width(), size.height());
    if (longest <= CardPhotoLongestSide) {
        return size;
    }
    return size.scaled(CardPhotoLongestSide, CardPhotoLongestSide, Qt::KeepAspectRatio);
}
} // namespace

cv::Mat loadCardPhoto(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        throw ScanError(QStringLiteral("找不到文件 %1").arg(shownName(path)));
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(CardPhotoDecodeLimitMb);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid()) {
        throw ScanError(
            QStringLiteral("%1 不是图片文件（可以读取 JPEG 和 PNG 照片）").arg(shownName(path)));
    }
    // Only JPEG decodes straight to a smaller size; anything else is decoded whole first.
    const bool scalesWhileDecoding = reader.format() == "jpeg";
    if (!scalesWhileDecoding &&
        qint64(size.width()) * size.height() * 4 > qint64(CardPhotoDecodeLimitMb) << 20) {
        throw ScanError(QStringLiteral("图片 %1 太大（%2 × %3 像素），无法读取；"
                                       "请把照片缩小后再扫描")
                            .arg(shownName(path))
                            .arg(size.width())
                            .arg(size.height()));
    }
    const QSize wanted = decodeSize(size);
    if (wanted != size) {
        reader.setScaledSize(wanted);
    }
    QImage image = reader.read();
    if (image.isNull()) {
        throw ScanError(QStringLiteral("%1 不是图片文件，或者图片已损坏").arg(shownName(path)));
    }
    // A handler that cannot scale while decoding hands over the full size.
    if (std::max(image.width(), image.height()) > CardPhotoLongestSide) {
        image =
            image.scaled(decodeSize(image.size()), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    image = image.convertToFormat(QImage::Format_RGB888);
    const cv::Mat rgb(image.height(), image.width(), CV_8UC3, image.bits(),
                      size_t(image.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}
