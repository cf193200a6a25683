#include "scan/textreader.h"

#include "scan/scanerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

struct TextModels {
    cv::dnn::Net detector;
    cv::dnn::Net recogniser;
    // The recogniser's classes: 0 is CTC's blank, then the character list, then the space.
    QStringList characters;
};

namespace {
constexpr int DetectionLongestSide = 960;
constexpr float TextThreshold = 0.3F; // a pixel belongs to text above this probability
constexpr float BoxThreshold = 0.6F;  // a region is a line when its mean probability is above
constexpr float UnclipRatio = 1.5F;   // how far a region grows back to the line's full height
constexpr int LineHeight = 48;
// A first reading this sure needs no check whether the photo is upside down.
constexpr float UprightConfidence = 0.85F;

QString modelFile(const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QLatin1String(name));
    if (!QFileInfo::exists(path)) {
        throw ScanError(QStringLiteral("找不到识别名片所需的文件 %1，请重新安装本程序").arg(path));
    }
    return path;
}

cv::dnn::Net loadNet(const QString& path) {
    try {
        return cv::dnn::readNetFromONNX(QFile::encodeName(path).toStdString());
    } catch (const cv::Exception& error) {
        throw ScanError(
            QStringLiteral("无法读取识别名片所需的文件 %1：%2").arg(path, error.what()));
    }
}

float distance(cv::Point2f a, cv::Point2f b) {
    return float(cv::norm(a - b));
}

// The corners of a rectangle in reading order, for text that runs from left to right.
std::array<cv::Point2f, 4> orderedCorners(const cv::RotatedRect& rect) {
    std::array<cv::Point2f, 4> points;
    rect.points(points.data());
    std::sort(points.begin(), points.end(), [](cv::Point2f a, cv::Point2f b) { return a.x < b.x; });
    auto [topLeft, bottomLeft] = points[0].y <= points[1].y ? std::pair(points[0], points[1])
                                                            : std::pair(points[1], points[0]);
    auto [topRight, bottomRight] = points[2].y <= points[3].y ? std::pair(points[2], points[3])
                                                              : std::pair(points[3], points[2]);
    return {topLeft, topRight, bottomRight, bottomLeft};
}

// The mean text probability inside a rectangle of the probability map.
float regionScore(const cv::Mat& probability, const cv::RotatedRect& rect) {
    const cv::Rect bounds =
        rect.boundingRect() & cv::Rect(0, 0, probability.cols, probability.rows);
    if (bounds.empty()) {
        return 0;
    }
    cv::Mat mask = cv::Mat::zeros(bounds.size(), CV_8U);
    std::array<cv::Point2f, 4> corners;
    rect.points(corners.data());
    std::vector<cv::Point> polygon;
    for (cv::Point2f corner : corners) {
        polygon.emplace_back(cvRound(corner.x) - bounds.x, cvRound(corner.y) - bounds.y);
    }
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{polygon}, cv::Scalar(1));
    return float(cv::mean(probability(bounds), mask)[0]);
}

// The lines of text the detector finds on a photo: the regions of its probability map above
// the text threshold, each grown back by the margin the model was trained to shrink lines by.
std::vector<TextBox> detectLines(TextModels& models, const cv::Mat& bgr) {
    const cv::Mat probability = runDetector(models, detectionInput(bgr));
    const float scaleX = float(bgr.cols) / float(probability.cols);
    const float scaleY = float(bgr.rows) / float(probability.rows);
    std::vector<std::vector<cv::Point>> regions;
    cv::findContours(probability > TextThreshold, regions, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    std::vector<TextBox> boxes;
    for (const std::vector<cv::Point>& region : regions) {
        cv::RotatedRect rect = cv::minAreaRect(region);
        if (std::min(rect.size.width, rect.size.height) < 3 ||
            regionScore(probability, rect) < BoxThreshold) {
            continue;
        }
        const float area = rect.size.area();
        const float margin = area * UnclipRatio / (2 * (rect.size.width + rect.size.height));
        rect.size.width += 2 * margin;
        rect.size.height += 2 * margin;
        if (std::min(rect.size.width, rect.size.height) < 5) {
            continue;
        }
        std::array<cv::Point2f, 4> corners;
        rect.points(corners.data());
        for (cv::Point2f& corner : corners) {
            corner = {corner.x * scaleX, corner.y * scaleY};
        }
        TextBox box;
        box.corners = orderedCorners(
            cv::minAreaRect(std::vector<cv::Point2f>(corners.begin(), corners.end())));
        boxes.push_back(box);
    }
    return boxes;
}

float boxWidth(const TextBox& box) {
    return std::max(distance(box.corners[0], box.corners[1]),
                    distance(box.corners[3], box.corners[2]));
}

// A line cut out of the photo and turned straight; a line standing upright is laid down.
cv::Mat cutLine(const cv::Mat& bgr, const TextBox& box) {
    const float width = boxWidth(box);
    const float height = box.height();
    const std::array<cv::Point2f, 4> straight = {cv::Point2f(0, 0), cv::Point2f(width, 0),
                                                 cv::Point2f(width, height),
                                                 cv::Point2f(0, height)};
    const cv::Mat transform = cv::getPerspectiveTransform(box.corners.data(), straight.data());
    cv::Mat line;
    cv::warpPerspective(bgr, line, transform, cv::Size(cvRound(width), cvRound(height)),
                        cv::INTER_CUBIC, cv::BORDER_REPLICATE);
    if (height >= 1.5F * width) {
        cv::rotate(line, line, cv::ROTATE_90_COUNTERCLOCKWISE);
    }
    return line;
}

// CTC's reading of the recogniser's output: the most likely class at each step, repeats and
// blanks dropped.
void decodeLine(const TextModels& models, const cv::Mat& output, TextBox& box) {
    const int steps = output.size[1];
    const int classes = output.size[2];
    const float* scores = output.ptr<float>();
    int previous = 0;
    float sum = 0;
    int count = 0;
    box.text.clear();
    for (int step = 0; step < steps; ++step, scores += classes) {
        const int best = int(std::max_element(scores, scores + classes) - scores);
        if (best != 0 && best != previous && best < models.characters.size()) {
            box.text += models.characters.at(best);
            sum += scores[best];
            ++count;
        }
        previous = best;
    }
    box.confidence = count == 0 ? 0 : sum / float(count);
}

void recogniseLine(TextModels& models, const cv::Mat& bgr, TextBox& box) {
    decodeLine(models, runRecogniser(models, recognitionInput(cutLine(bgr, box))), box);
}

// Most of the text runs up or down the photo: the photo lies on its side.
bool liesOnItsSide(const std::vector<TextBox>& boxes) {
    float across = 0;
    float along = 0;
    for (const TextBox& box : boxes) {
        const float width = boxWidth(box);
        (box.height() >= 1.5F * width ? along : across) += std::max(width, box.height());
    }
    return along > across;
}

TextBox turnedHalfway(const TextBox& box, cv::Size size) {
    TextBox turned = box;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f corner = box.corners[size_t((i + 2) % 4)];
        turned.corners[size_t(i)] = {float(size.width) - corner.x, float(size.height) - corner.y};
    }
    return turned;
}

float meanConfidence(const std::vector<TextBox>& boxes) {
    float sum = 0;
    for (const TextBox& box : boxes) {
        sum += box.confidence;
    }
    return boxes.empty() ? 0 : sum / float(boxes.size());
}

// Reads every line; stopped, it drops the lines not read yet.
void recogniseLines(TextModels& models, TextReading& reading, const std::stop_token& stop) {
    for (size_t i = 0; i < reading.lines.size(); ++i) {
        if (stop.stop_requested()) {
            reading.lines.resize(i);
            return;
        }
        recogniseLine(models, reading.photo, reading.lines[i]);
    }
}

// The longest lines, read again turned halfway round, read with more confidence: the photo is
// upside down.
bool readsBetterTurned(TextModels& models, const TextReading& reading) {
    std::vector<TextBox> longest = reading.lines;
    std::sort(longest.begin(), longest.end(),
              [](const TextBox& a, const TextBox& b) { return boxWidth(a) > boxWidth(b); });
    longest.resize(std::min<size_t>(longest.size(), 3));
    const float upright = meanConfidence(longest);
    cv::Mat turned;
    cv::rotate(reading.photo, turned, cv::ROTATE_180);
    for (TextBox& box : longest) {
        box = turnedHalfway(box, reading.photo.size());
        recogniseLine(models, turned, box);
    }
    return meanConfidence(longest) > upright + 0.05F;
}
} // namespace

float TextBox::height() const {
    return std::max(distance(corners[0], corners[3]), distance(corners[1], corners[2]));
}

float TextBox::left() const {
    return std::min(corners[0].x, corners[3].x);
}

float TextBox::right() const {
    return std::max(corners[1].x, corners[2].x);
}

float TextBox::centreY() const {
    return (corners[0].y + corners[1].y + corners[2].y + corners[3].y) / 4;
}

std::unique_ptr<TextModels> loadTextModels(const QString& folder) {
    const QString keysPath = modelFile(folder, "ppocr_keys_v1.txt");
    auto models = std::make_unique<TextModels>();
    models->detector = loadNet(modelFile(folder, "ch_PP-OCRv4_det.onnx"));
    // With its layers fused, OpenCV 4.6's detector answers wrongly once the input size changes.
    models->detector.enableFusion(false);
    models->recogniser = loadNet(modelFile(folder, "ch_PP-OCRv4_rec.onnx"));
    QFile keys(keysPath);
    if (!keys.open(QIODevice::ReadOnly)) {
        throw ScanError(QStringLiteral("无法读取识别名片所需的文件 %1").arg(keysPath));
    }
    models->characters.append(QString());
    models->characters.append(QString::fromUtf8(keys.readAll()).split(u'\n'));
    if (models->characters.last().isEmpty()) {
        models->characters.removeLast();
    }
    models->characters.append(QStringLiteral(" "));
    return models;
}

cv::Mat detectionInput(const cv::Mat& bgr) {
    const double scale = std::min(1.0, double(DetectionLongestSide) / std::max(bgr.cols, bgr.rows));
    const auto side = [scale](int length) {
        return std::max(32, int(std::lround(length * scale / 32)) * 32);
    };
    cv::Mat resized;
    cv::resize(bgr, resized, cv::Size(side(bgr.cols), side(bgr.rows)));
    resized.convertTo(resized, CV_32FC3, 1.0 / 255);
    cv::subtract(resized, cv::Scalar(0.485, 0.456, 0.406), resized);
    cv::divide(resized, cv::Scalar(0.229, 0.224, 0.225), resized);
    return cv::dnn::blobFromImage(resized);
}

cv::Mat recognitionInput(const cv::Mat& line) {
    const int width =
        std::clamp(int(std::ceil(double(LineHeight) * line.cols / std::max(1, line.rows))), 8,
                   LineHeight * 60);
    cv::Mat resized;
    cv::resize(line, resized, cv::Size(width, LineHeight));
    // Unpadded: padding short lines to 320 pixels, as in training, read no better here and
    // took about 5 % longer.
    resized.convertTo(resized, CV_32FC3, 2.0 / 255, -1.0);
    return cv::dnn::blobFromImage(resized);
}

cv::Mat runDetector(TextModels& models, const cv::Mat& input) {
    models.detector.setInput(input);
    const cv::Mat output = models.detector.forward();
    return cv::Mat(output.size[2], output.size[3], CV_32F, const_cast<float*>(output.ptr<float>()))
        .clone();
}

cv::Mat runRecogniser(TextModels& models, const cv::Mat& input) {
    models.recogniser.setInput(input);
    return models.recogniser.forward().clone();
}

TextReader::TextReader(QString modelFolder) : m_folder(std::move(modelFolder)) {}

TextReader::~TextReader() = default;

TextModels& TextReader::models() {
    if (!m_models) {
        m_models = loadTextModels(m_folder);
    }
    return *m_models;
}

TextReading TextReader::read(const cv::Mat& bgr, std::stop_token stop) {
    TextModels& textModels = models();
    TextReading reading{bgr, detectLines(textModels, bgr)};
    if (liesOnItsSide(reading.lines)) {
        cv::rotate(reading.photo, reading.photo, cv::ROTATE_90_CLOCKWISE);
        reading.lines = detectLines(textModels, reading.photo);
    }
    recogniseLines(textModels, reading, stop);
    if (!stop.stop_requested() && !reading.lines.empty() &&
        meanConfidence(reading.lines) < UprightConfidence &&
        readsBetterTurned(textModels, reading)) {
        cv::rotate(reading.photo, reading.photo, cv::ROTATE_180);
        reading.lines = detectLines(textModels, reading.photo);
        recogniseLines(textModels, reading, stop);
    }
    return reading;
}
