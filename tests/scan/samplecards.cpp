#include "samplecards.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <opencv2/imgproc.hpp>

namespace {
constexpr int CardWidth = 1050;
constexpr int CardHeight = 600;

struct City {
    const char* province;
    const char* provinceWritten; // as an address writes it
    const char* city;
    const char* district;
    const char* area; // telephone area code
    const char* postcode;
    const char* latinCity;
    const char* latinDistrict;
};

// clang-format off
const City Cities[] = {
    {"广东", "广东省", "深圳", "南山区", "0755", "518057", "Shenzhen", "Nanshan District"},
    {"浙江", "浙江省", "杭州", "西湖区", "0571", "310012", "Hangzhou", "Xihu District"},
    {"江苏", "江苏省", "南京", "鼓楼区", "025", "210008", "Nanjing", "Gulou District"},
    {"北京", "北京市", "北京", "朝阳区", "010", "100022", "Beijing", "Chaoyang District"},
    {"上海", "上海市", "上海", "浦东新区", "021", "200120", "Shanghai", "Pudong New Area"},
    {"四川", "四川省", "成都", "武侯区", "028", "610041", "Chengdu", "Wuhou District"},
    {"湖北", "湖北省", "武汉", "洪山区", "027", "430070", "Wuhan", "Hongshan District"},
    {"山东", "山东省", "青岛", "市南区", "0532", "266071", "Qingdao", "Shinan District"},
    {"福建", "福建省", "厦门", "思明区", "0592", "361001", "Xiamen", "Siming District"},
};
const char* const Surnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "周", "吴", "徐", "孙",
                                "马", "朱", "胡", "郭", "林", "何", "高", "罗", "欧阳", "司马", "上官", "诸葛"};
const char* const GivenNames[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳",
                                  "杰", "涛", "明", "超", "霞", "平", "刚", "建国", "志强", "秀英", "海燕",
                                  "晓东", "子涵", "浩然", "雨桐", "国华", "春梅", "立新"};
const char* const Brands[][2] = {{"华创", "huachuang"}, {"远航", "yuanhang"}, {"恒信", "hengxin"},
                                 {"博通", "botong"},    {"新图", "xintu"},    {"瑞丰", "ruifeng"},
                                 {"金桥", "jinqiao"},   {"天宇", "tianyu"},   {"星辰", "xingchen"}};
const char* const Trades[][2] = {{"科技", "Technology"}, {"贸易", "Trading"}, {"电子", "Electronics"},
                                 {"信息技术", "Information Technology"}, {"医疗器械", "Medical Devices"},
                                 {"文化传媒", "Media"}, {"物流", "Logistics"}, {"食品", "Foods"}};
const char* const Departments[][2] = {{"销售部", "Sales Department"}, {"市场部", "Marketing Department"},
                                      {"技术部", "Technology Department"}, {"研发中心", "R&D Center"},
                                      {"人力资源部", "Human Resources Department"}, {"财务部", "Finance Department"},
                                      {"客户服务部", "Customer Service Department"}, {"采购部", "Purchasing Department"}};
const char* const Titles[][2] = {{"经理", "Manager"}, {"销售经理", "Sales Manager"},
                                 {"总经理", "General Manager"}, {"副总经理", "Deputy General Manager"},
                                 {"市场总监", "Marketing Director"}, {"技术总监", "Technical Director"},
                                 {"高级工程师", "Senior Engineer"}, {"项目经理", "Project Manager"},
                                 {"董事长", "Chairman"}, {"客户经理", "Account Manager"},
                                 {"产品经理", "Product Manager"}, {"销售代表", "Sales Representative"}};
const char* const Roads[][2] = {{"科技园路", "Keyuan Road"}, {"建国路", "Jianguo Road"}, {"中山路", "Zhongshan Road"},
                                {"人民路", "Renmin Road"}, {"文三路", "Wensan Road"}, {"长江路", "Changjiang Road"}};
const char* const Buildings[][2] = {{"创新大厦", "Innovation Tower"}, {"国际中心", "International Center"},
                                    {"金融大厦", "Finance Building"}};
const char* const LatinFirst[] = {"John", "Michael", "David", "Emily", "Sarah", "Linda", "James", "Anna", "Peter", "Grace"};
const char* const LatinLast[] = {"Smith", "Johnson", "Brown", "Miller", "Wilson", "Taylor", "Clark", "Walker", "Young", "Chen"};
const char* const Handles[] = {"info", "sales", "contact", "service", "office", "market"};
const QString Fonts[] = {"WenQuanYi Micro Hei", "DejaVu Serif", "Liberation Serif", "DejaVu Sans",
                         "Liberation Sans"};
// clang-format on

template <typename T, size_t N> const T& pick(QRandomGenerator& random, const T (&items)[N]) {
    return items[random.bounded(int(N))];
}

QString digits(QRandomGenerator& random, int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        text += QChar(u'0' + random.bounded(i == 0 ? 1 : 0, 10));
    }
    return text;
}

// A number as cards print it, and as the reader gives it.
struct Number {
    QString printed;
    QString read;
};

Number fixedNumber(QRandomGenerator& random, const City& city) {
    const QString area = QString::fromLatin1(city.area);
    const QString local = QString::number(random.bounded(2, 9)) + digits(random, 7);
    const QString a = local.left(4);
    const QString b = local.mid(4);
    Number number;
    number.read = area + u'-' + local;
    switch (random.bounded(4)) {
    case 0:
        number.printed = area + u'-' + local;
        break;
    case 1:
        number.printed = u'(' + area + QStringLiteral(") ") + a + u' ' + b;
        break;
    case 2:
        number.printed = area + u' ' + a + u' ' + b;
        break;
    default:
        number.printed = QStringLiteral("+86 ") + area.mid(1) + u' ' + a + u' ' + b;
        break;
    }
    if (random.bounded(4) == 0) {
        const QString extension = digits(random, 3);
        number.printed += QStringLiteral(" 转") + extension;
        number.read += QStringLiteral("转") + extension;
    }
    return number;
}

Number mobileNumber(QRandomGenerator& random) {
    static const char* const Prefixes[] = {"138", "139", "136", "135", "186", "189", "150", "177"};
    const QString number = QLatin1String(pick(random, Prefixes)) + digits(random, 8);
    Number mobile{number, number};
    switch (random.bounded(4)) {
    case 0:
        mobile.printed = number.left(3) + u' ' + number.mid(3, 4) + u' ' + number.mid(7);
        break;
    case 1:
        mobile.printed = number.left(3) + u'-' + number.mid(3, 4) + u'-' + number.mid(7);
        break;
    case 2:
        mobile.printed = QStringLiteral("+86 ") + number;
        break;
    default:
        break;
    }
    return mobile;
}

// The card's people and company, in Chinese and in English.
struct Person {
    QString name, latinName, company, latinCompany, department, latinDepartment, title, latinTitle,
        address, latinAddress, email, website, qq, postcode;
    Number phone, fax, mobile;
    const City* city;
};

Person person(QRandomGenerator& random) {
    Person p;
    p.city = &pick(random, Cities);
    const City& city = *p.city;
    p.name =
        QString::fromUtf8(pick(random, Surnames)) + QString::fromUtf8(pick(random, GivenNames));
    p.latinName =
        QLatin1String(pick(random, LatinFirst)) + u' ' + QLatin1String(pick(random, LatinLast));
    const auto& brand = pick(random, Brands);
    const auto& trade = pick(random, Trades);
    p.company = QString::fromUtf8(city.city) + QString::fromUtf8(brand[0]) +
                QString::fromUtf8(trade[0]) +
                (random.bounded(2) ? QStringLiteral("有限公司") : QStringLiteral("股份有限公司"));
    p.latinCompany =
        QStringLiteral("%1 %2 %3 Co., Ltd.")
            .arg(QLatin1String(city.latinCity),
                 QString::fromLatin1(brand[1]).replace(0, 1, QString(QChar(brand[1][0])).toUpper()),
                 QLatin1String(trade[1]));
    const auto& department = pick(random, Departments);
    p.department = QString::fromUtf8(department[0]);
    p.latinDepartment = QLatin1String(department[1]);
    const auto& title = pick(random, Titles);
    p.title = QString::fromUtf8(title[0]);
    p.latinTitle = QLatin1String(title[1]);
    const auto& road = pick(random, Roads);
    const auto& building = pick(random, Buildings);
    const QString number = QString::number(random.bounded(1, 300));
    const QString room = QString::number(random.bounded(2, 30)) + QStringLiteral("0") +
                         QString::number(random.bounded(1, 9));
    const QString written = random.bounded(3) == 0 && QByteArray(city.province) != city.city
                                ? QString()
                                : QString::fromUtf8(city.provinceWritten);
    p.address = written +
                (QByteArray(city.province) == city.city ? QString()
                                                        : QString::fromUtf8(city.city) + u'市') +
                QString::fromUtf8(city.district) + QString::fromUtf8(road[0]) + number + u'号' +
                QString::fromUtf8(building[0]) + room + u'室';
    p.latinAddress = QStringLiteral("Room %1, %2, No. %3 %4, %5, %6")
                         .arg(room, QLatin1String(building[1]), number, QLatin1String(road[1]),
                              QLatin1String(city.latinDistrict), QLatin1String(city.latinCity));
    const QString domain = QLatin1String(brand[1]) + (random.bounded(2) ? ".com" : ".com.cn");
    p.email = QLatin1String(pick(random, Handles)) + u'@' + domain;
    p.website = QStringLiteral("www.") + domain;
    p.qq = digits(random, random.bounded(7, 11));
    p.postcode = QLatin1String(city.postcode);
    p.phone = fixedNumber(random, city);
    p.fax = fixedNumber(random, city);
    p.fax.printed.remove(QRegularExpression(QStringLiteral(" 转\\d+$")));
    p.fax.read.remove(QRegularExpression(QStringLiteral("转\\d+$")));
    p.mobile = mobileNumber(random);
    return p;
}

struct Painter {
    QPainter& painter;
    QString family;

    // Text at a size, made smaller where it would run off the card.
    void text(int x, int y, int size, const QString& text, bool bold = false) {
        QFont font(family);
        font.setBold(bold);
        for (font.setPixelSize(size);
             size > 12 && QFontMetrics(font).horizontalAdvance(text) > CardWidth - 40 - x;
             font.setPixelSize(--size)) {
        }
        painter.setFont(font);
        painter.drawText(x, y, text);
    }
};

QString label(QRandomGenerator& random, const char* chinese, const char* latin) {
    const QString colon = random.bounded(2) ? QStringLiteral("：") : QStringLiteral(":");
    return (random.bounded(3) == 0 ? QLatin1String(latin) : QString::fromUtf8(chinese)) + colon;
}

// Name and title at the top left, the company under them, the details below.
void chineseLeft(Painter& draw, QRandomGenerator& random, const Person& p, CardValues& truth) {
    draw.text(70, 120, 64, p.name, true);
    const int nameWidth = QFontMetrics(draw.painter.font()).horizontalAdvance(p.name);
    draw.text(70 + nameWidth + 40, 120, 30, p.title);
    draw.text(70, 175, 28, p.department);
    draw.text(70, 250, 38, p.company, true);
    int y = 330;
    const auto line = [&](const QString& text) {
        draw.text(70, y, 27, text);
        y += 50;
    };
    line(label(random, "地址", "Add") + p.address);
    line(label(random, "电话", "Tel") + p.phone.printed);
    line(label(random, "手机", "Mobile") + p.mobile.printed);
    line(label(random, "邮箱", "E-mail") + p.email);
    if (random.bounded(2)) {
        line(label(random, "网址", "Web") + p.website);
        truth.insert("DWWW", p.website);
    }
    truth.insert("BName", p.name);
    truth.insert("DJob", p.title);
    truth.insert("DPart", p.department);
    truth.insert("DName", p.company);
    truth.insert("DAdd", p.address);
    truth.insert("DPho", p.phone.read);
    truth.insert("BMob", p.mobile.read);
    truth.insert("BMail", p.email);
}

// The company across the top, name and title in the middle, two columns of details below.
void chineseColumns(Painter& draw, QRandomGenerator& random, const Person& p, CardValues& truth) {
    draw.text(60, 90, 40, p.company, true);
    draw.text(60, 200, 60, p.name, true);
    draw.text(60, 260, 28, p.title);
    draw.text(60, 370, 26, label(random, "电话", "T") + p.phone.printed);
    draw.text(60, 420, 26, label(random, "传真", "F") + p.fax.printed);
    draw.text(60, 470, 26, label(random, "手机", "M") + p.mobile.printed);
    draw.text(560, 370, 26, QStringLiteral("QQ：") + p.qq);
    draw.text(560, 420, 26, label(random, "邮编", "Zip") + p.postcode);
    draw.text(60, 540, 26, label(random, "地址", "Add") + p.address);
    truth.insert("BName", p.name);
    truth.insert("DJob", p.title);
    truth.insert("DName", p.company);
    truth.insert("DPho", p.phone.read);
    truth.insert("DFax", p.fax.read);
    truth.insert("BMob", p.mobile.read);
    truth.insert("BQQ", p.qq);
    truth.insert("DPos", p.postcode);
    truth.insert("DAdd", p.address);
}

// An English card: name, title, company, address, numbers and addresses.
void english(Painter& draw, QRandomGenerator& random, const Person& p, CardValues& truth) {
    draw.text(70, 110, 56, p.latinName, true);
    draw.text(70, 160, 28, p.latinTitle);
    draw.text(70, 240, 34, p.latinCompany, true);
    draw.text(70, 310, 24, p.latinAddress);
    int y = 370;
    const auto line = [&](const QString& text) {
        draw.text(70, y, 26, text);
        y += 48;
    };
    line(QStringLiteral("Tel: ") + p.phone.printed);
    line(QStringLiteral("Mobile: ") + p.mobile.printed);
    line(QStringLiteral("Email: ") + p.email);
    if (random.bounded(2)) {
        line(p.website);
        truth.insert("DWWW", p.website);
    }
    truth.insert("BName", p.latinName);
    truth.insert("DJob", p.latinTitle);
    truth.insert("DName", p.latinCompany);
    truth.insert("DAdd", p.latinAddress);
    truth.insert("DPho", p.phone.read);
    truth.insert("BMob", p.mobile.read);
    truth.insert("BMail", p.email);
}

// Chinese on the left, the English name and company beside: the Chinese side counts.
void bilingual(Painter& draw, QRandomGenerator& random, const Person& p, CardValues& truth) {
    draw.text(70, 110, 60, p.name, true);
    draw.text(70, 160, 24, p.latinName);
    draw.text(70, 215, 28, p.department + u' ' + p.title);
    draw.text(70, 290, 34, p.company, true);
    draw.text(70, 330, 20, p.latinCompany);
    draw.text(70, 400, 26, label(random, "电话", "Tel") + p.phone.printed);
    draw.text(70, 450, 26, label(random, "手机", "Mob") + p.mobile.printed);
    draw.text(70, 500, 26, label(random, "邮箱", "Email") + p.email);
    draw.text(70, 550, 24, p.address);
    truth.insert("BName", p.name);
    truth.insert("DPart", p.department);
    truth.insert("DJob", p.title);
    truth.insert("DName", p.company);
    truth.insert("DPho", p.phone.read);
    truth.insert("BMob", p.mobile.read);
    truth.insert("BMail", p.email);
    truth.insert("DAdd", p.address);
}

using Layout = void (*)(Painter&, QRandomGenerator&, const Person&, CardValues&);
const std::pair<const char*, Layout> Layouts[] = {{"chinese-left", chineseLeft},
                                                  {"chinese-columns", chineseColumns},
                                                  {"english", english},
                                                  {"bilingual", bilingual}};
} // namespace

std::vector<SampleCard> sampleCards(int count, quint32 seed) {
    QRandomGenerator random(seed);
    std::vector<SampleCard> cards;
    for (int i = 0; i < count; ++i) {
        const auto& [layoutName, layout] = Layouts[i % std::size(Layouts)];
        const QString family = Fonts[random.bounded(int(std::size(Fonts)))];
        SampleCard card;
        card.label = QStringLiteral("%1 %2 (%3)").arg(i).arg(QLatin1String(layoutName), family);
        card.image = QImage(CardWidth, CardHeight, QImage::Format_RGB32);
        const int tint = random.bounded(230, 256);
        card.image.fill(QColor(tint, tint, random.bounded(225, 256)));
        QPainter painter(&card.image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(QColor(random.bounded(0, 60), random.bounded(0, 60), random.bounded(0, 90)));
        Painter draw{painter, family};
        layout(draw, random, person(random), card.truth);
        cards.push_back(card);
    }
    return cards;
}

cv::Mat cardPixels(const QImage& card) {
    const QImage rgb = card.convertToFormat(QImage::Format_RGB888);
    cv::Mat bgr;
    cv::cvtColor(cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar*>(rgb.bits()),
                         size_t(rgb.bytesPerLine())),
                 bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

cv::Mat photographed(const QImage& card, quint32 seed) {
    QRandomGenerator random(seed);
    const cv::Mat pixels = cardPixels(card);
    const cv::Size photo(1600, 1200);
    const auto jitter = [&random](float range) { return float(random.bounded(2.0) - 1.0) * range; };
    // The card's corners on the table: a slant, a perspective, somewhere near the middle.
    const float left = 250 + jitter(60);
    const float top = 250 + jitter(60);
    const float width = 1100 + jitter(60);
    const float height = width * CardHeight / CardWidth;
    const std::array<cv::Point2f, 4> from = {cv::Point2f(0, 0), cv::Point2f(CardWidth, 0),
                                             cv::Point2f(CardWidth, CardHeight),
                                             cv::Point2f(0, CardHeight)};
    const std::array<cv::Point2f, 4> to = {
        cv::Point2f(left + jitter(40), top + jitter(40)),
        cv::Point2f(left + width + jitter(40), top + jitter(40)),
        cv::Point2f(left + width + jitter(40), top + height + jitter(40)),
        cv::Point2f(left + jitter(40), top + height + jitter(40))};
    cv::Mat image(photo, CV_8UC3, cv::Scalar(70 + random.bounded(40), 80 + random.bounded(40), 90));
    cv::warpPerspective(pixels, image, cv::getPerspectiveTransform(from.data(), to.data()), photo,
                        cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
    const double sigma = 0.6 + random.bounded(0.8);
    cv::GaussianBlur(image, image, cv::Size(0, 0), sigma);
    // Light falling from one side.
    cv::Mat light(photo, CV_32FC3);
    const float fromLeft = 0.65F + float(random.bounded(0.2));
    for (int x = 0; x < photo.width; ++x) {
        const float level = fromLeft + (1.0F - fromLeft) * float(x) / float(photo.width);
        light.col(x).setTo(cv::Scalar::all(level));
    }
    if (random.bounded(2)) {
        cv::flip(light, light, 1);
    }
    cv::Mat lit;
    image.convertTo(lit, CV_32FC3);
    cv::multiply(lit, light, lit);
    cv::Mat noise(photo, CV_32FC3);
    cv::randn(noise, 0, 4 + random.bounded(4));
    lit += noise;
    lit.convertTo(image, CV_8UC3);
    return image;
}

const QStringList& scoredColumns() {
    static const QStringList columns = {"BName", "DName", "DPart", "DJob", "DAdd", "DPho",
                                        "BMob",  "DFax",  "BMail", "DWWW", "BQQ",  "DPos"};
    return columns;
}

FieldScore scoreFields(const CardValues& truth, const CardValues& read) {
    FieldScore score;
    for (const QString& column : scoredColumns()) {
        const QString expected = truth.value(column);
        const QString found = read.value(column);
        if (expected.isEmpty() && found.isEmpty()) {
            continue;
        }
        ++score.scored;
        if (expected == found) {
            ++score.right;
        } else {
            score.wrong.append(QStringLiteral("%1: %2 ≠ %3").arg(column, found, expected));
        }
    }
    return score;
}
