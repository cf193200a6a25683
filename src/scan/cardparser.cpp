#include "scan/cardparser.h"

#include <QRegularExpression>
#include <optional>

namespace {
// clang-format off
// Single and compound surnames a Chinese name starts with.
const QString Surnames = QStringLiteral(
    "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈"
    "姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤"
    "常温康施文牛樊葛邢安齐易乔伍庞颜倪庄聂章鲁岳翟殷詹申欧耿关兰焦俞左柳甘祝包宁尚符舒阮柯纪梅童凌毕单季"
    "裴霍涂成苗谷盛曲翁冉骆蓝路游辛靳管柴蒙鲍华喻祁蒲房滕屈饶解牟艾尤阳时穆农司卓古吉缪简车项连芦麦褚娄窦"
    "戚岑景党宫费卜冷晏席卫米柏宗瞿桂全佟应臧闵苟邬边卞姬师和仇栾隋商刁沙荣巫寇桑郎甄丛仲虞敖巩明佘池查麻"
    "苑迟邝官封谈匡鞠惠荆乐冀郁胥南班储原栗燕楚鄢劳谌奚皮粟冼蔺楼盘满闻位厉伊仝区郜海阚花权强帅屠豆朴盖练"
    "廉禹井祖漆巴丰支卿国狄平计索宣晋相初门云容敬来扈晁芮都普阙浦戈伏鹿薄邸雍辜羊阿乌母裘亓修邰赫杭况那宿"
    "鲜印逯隆茹诸战慕危玉银亢嵇公哈湛宾戎勾茅利於呼居揭干但尉冶斯元束檀衣信展阴昝智幸奉植衡富尧闭由");
const QStringList CompoundSurnames = {
    "欧阳", "司马", "上官", "诸葛", "东方", "皇甫", "令狐", "慕容", "尉迟", "长孙", "宇文", "司徒",
    "夏侯", "轩辕", "公孙", "端木", "独孤", "南宫", "西门", "万俟", "闻人", "呼延", "澹台", "公冶",
    "太史", "申屠", "钟离", "第五", "百里", "东郭", "司空", "拓跋"};
// The endings of job titles.
const QStringList TitleEndings = {
    "经理", "总监", "总裁", "董事长", "董事", "主任", "工程师", "主管", "顾问", "专员", "代表", "助理",
    "秘书", "会计", "会计师", "设计师", "律师", "教授", "医生", "医师", "编辑", "记者", "老师", "校长",
    "院长", "所长", "厂长", "行长", "局长", "处长", "科长", "部长", "组长", "店长", "合伙人", "创始人",
    "架构师", "分析师", "讲师", "研究员", "主席", "总工", "经纪人", "总经理", "总监助理", "策划",
    "负责人", "领班", "主编", "监事", "审计师", "规划师", "咨询师", "技术员", "业务员", "销售"};
// Words a title starts with, never the end of a name before it ("高级工程师" is no 高级).
const QStringList TitlePrefixes = {
    "高级", "资深", "首席", "副总", "总经", "执行", "区域", "大区", "常务", "特约", "注册", "主治", "业务",
    "项目", "产品", "客户", "销售", "市场", "技术", "财务", "行政", "人事", "采购", "研发", "运营",
    "部门", "工程", "质量", "品牌", "售后", "招商", "设计", "培训", "法务", "商务"};
// The endings of departments.
const QStringList DepartmentEndings = {"部", "处", "科", "室", "中心", "事业部", "办公室", "事业群", "团队", "小组"};
// What a Chinese company's name contains or ends with.
const QStringList CompanyWords = {"公司", "集团"};
const QStringList CompanyEndings = {
    "研究院", "研究所", "大学", "学院", "医院", "银行", "分行", "支行", "事务所", "工作室", "出版社",
    "委员会", "协会", "学校", "商行", "工厂", "酒店", "律所", "基金会", "实验室", "商会", "联合会"};
// Words of an address.
const QStringList AddressWords = {"省", "市", "区", "县", "路", "街", "道", "号", "楼", "大厦", "广场",
                                  "层", "室", "镇", "村", "巷", "弄", "园", "座", "栋", "乡"};

// The provinces as the province list spells them, with the forms an address gives them.
const QStringList Provinces = {
    "北京", "天津", "上海", "重庆", "河北", "山西", "辽宁", "吉林", "黑龙江", "江苏", "浙江", "安徽",
    "福建", "江西", "山东", "河南", "湖北", "湖南", "广东", "海南", "四川", "贵州", "云南", "陕西",
    "甘肃", "青海", "台湾", "内蒙古", "广西", "西藏", "宁夏", "新疆", "香港", "澳门"};
const QStringList Municipalities = {"北京", "天津", "上海", "重庆", "香港", "澳门"};
const QRegularExpression ProvinceSuffix(QStringLiteral(
    "^(省|市|壮族自治区|回族自治区|维吾尔自治区|自治区|特别行政区)"));

struct Place {
    const char* latin; // as an English card spells it
    const char* city;  // empty: a province
    const char* province;
};
// Provinces and the larger cities, in Chinese and in pinyin.
const Place Places[] = {
    {"Beijing", "北京", "北京"}, {"Shanghai", "上海", "上海"}, {"Tianjin", "天津", "天津"},
    {"Chongqing", "重庆", "重庆"}, {"Hong Kong", "香港", "香港"}, {"Macau", "澳门", "澳门"},
    {"Guangzhou", "广州", "广东"}, {"Shenzhen", "深圳", "广东"}, {"Dongguan", "东莞", "广东"},
    {"Foshan", "佛山", "广东"}, {"Zhuhai", "珠海", "广东"}, {"Hangzhou", "杭州", "浙江"},
    {"Ningbo", "宁波", "浙江"}, {"Wenzhou", "温州", "浙江"}, {"Nanjing", "南京", "江苏"},
    {"Suzhou", "苏州", "江苏"}, {"Wuxi", "无锡", "江苏"}, {"Changzhou", "常州", "江苏"},
    {"Chengdu", "成都", "四川"}, {"Wuhan", "武汉", "湖北"}, {"Xi'an", "西安", "陕西"},
    {"Xian", "西安", "陕西"}, {"Xiamen", "厦门", "福建"}, {"Fuzhou", "福州", "福建"},
    {"Changsha", "长沙", "湖南"}, {"Zhengzhou", "郑州", "河南"}, {"Jinan", "济南", "山东"},
    {"Qingdao", "青岛", "山东"}, {"Shenyang", "沈阳", "辽宁"}, {"Dalian", "大连", "辽宁"},
    {"Harbin", "哈尔滨", "黑龙江"}, {"Changchun", "长春", "吉林"}, {"Shijiazhuang", "石家庄", "河北"},
    {"Taiyuan", "太原", "山西"}, {"Hefei", "合肥", "安徽"}, {"Nanchang", "南昌", "江西"},
    {"Kunming", "昆明", "云南"}, {"Guiyang", "贵阳", "贵州"}, {"Nanning", "南宁", "广西"},
    {"Haikou", "海口", "海南"}, {"Sanya", "三亚", "海南"}, {"Lanzhou", "兰州", "甘肃"},
    {"Xining", "西宁", "青海"}, {"Yinchuan", "银川", "宁夏"}, {"Urumqi", "乌鲁木齐", "新疆"},
    {"Lhasa", "拉萨", "西藏"}, {"Hohhot", "呼和浩特", "内蒙古"}, {"Taipei", "台北", "台湾"},
    {"Guangdong", "", "广东"}, {"Zhejiang", "", "浙江"}, {"Jiangsu", "", "江苏"},
    {"Sichuan", "", "四川"}, {"Hubei", "", "湖北"}, {"Hunan", "", "湖南"}, {"Henan", "", "河南"},
    {"Hebei", "", "河北"}, {"Shandong", "", "山东"}, {"Shanxi", "", "山西"}, {"Shaanxi", "", "陕西"},
    {"Fujian", "", "福建"}, {"Anhui", "", "安徽"}, {"Jiangxi", "", "江西"}, {"Liaoning", "", "辽宁"},
    {"Jilin", "", "吉林"}, {"Heilongjiang", "", "黑龙江"}, {"Yunnan", "", "云南"},
    {"Guizhou", "", "贵州"}, {"Guangxi", "", "广西"}, {"Hainan", "", "海南"}, {"Gansu", "", "甘肃"},
    {"Qinghai", "", "青海"}, {"Ningxia", "", "宁夏"}, {"Xinjiang", "", "新疆"}, {"Tibet", "", "西藏"},
    {"Inner Mongolia", "", "内蒙古"}, {"Taiwan", "", "台湾"}};

// What a labelled part of a line holds.
enum class Kind { None, Mobile, Phone, Fax, Email, Website, QQ, Postcode, Address };

// The labels of a card's lines; a Latin one starts a word. A letter alone (T, M, F, E, W) is a label only before a colon
// or a point; any "传" followed by a Han character is the fax label (a misread "传真").
const QRegularExpression Labels(QStringLiteral(
    "(?:(?<![A-Za-z0-9@._-])|(?=\\p{Han}))(?:"
    "(?<mobile>手机号码|手机|移动电话|Mobile|Mob|Cell(?:phone)?|M(?=\\s*[:.]))|"
    "(?<phone>(?:单位|办公|公司|联系)?电话|固话|座机|总机|Tel(?:ephone)?|Phone|T(?=\\s*[:.]))|"
    "(?<fax>(?:单位)?传真|传\\p{Han}|Fax|F(?=\\s*[:.]))|"
    "(?<email>(?:电子)?邮箱|电邮|E-?mail|Mail|E(?=\\s*[:.]))|"
    "(?<website>网址|网站|主页|Website|Web|URL|W(?=\\s*[:.]))|"
    "(?<qq>QQ)|"
    "(?<postcode>邮政编码|邮编|Zip(?:\\s*code)?|Post\\s*code|P\\.?\\s*C\\.?(?=\\s*:))|"
    "(?<address>(?:公司|单位)?地址|Add(?:ress|r)?\\.?(?=\\s*:|\\s)))"
    "\\s*[:.]?\\s*"),
    QRegularExpression::CaseInsensitiveOption);
// clang-format on

const QRegularExpression MobileNumber(QStringLiteral(
    "(?<!\\d)(?:\\+?\\s*86[\\s-]*)?(1[3-9]\\d)[\\s-]?(\\d{4})[\\s-]?(\\d{4})(?!\\d)"));
// Area codes: 010 and 02x have three digits, all others four.
const QRegularExpression FixedNumber(
    QStringLiteral(
        "(?<![\\d])(?:(?:\\+?\\s*86[\\s-]*\\(?0?(10|2\\d|[3-9]\\d{2})\\)?)|"
        "(?:\\(?(0(?:10|2\\d|[3-9]\\d{2}))\\)?))?[\\s-]*"
        "(\\d{3,4})[\\s-]?(\\d{4})(?:\\s*(?:转|分机|ext\\.?|x|-)\\s*(\\d{1,6}))?(?!\\d)"),
    QRegularExpression::CaseInsensitiveOption);
const QRegularExpression EmailAddress(
    QStringLiteral("[A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(?:\\.[A-Za-z0-9-]+)*\\.[A-Za-z]{2,}"));
const QRegularExpression
    WholeEmailAddress(QStringLiteral("^[A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(?:\\.[A-Za-z0-9-]+)*\\.(?:"
                                     "com|cn|net|org|edu|gov|cc|io|biz|"
                                     "info|top|co|hk|tw|us|uk|de|jp)(?:\\.[a-z]{2})?$"),
                      QRegularExpression::CaseInsensitiveOption);
const QRegularExpression WebAddress(
    QStringLiteral(
        "(?:https?://"
        ")?(?:www\\.)?[A-Za-z0-9-]+(?:\\.[A-Za-z0-9-]+)*\\.(?:com|cn|net|org|edu|gov|cc|io|"
        "biz|info|top|co|hk)(?:\\.[a-z]{2})?(?:/[^\\s]*)?"),
    QRegularExpression::CaseInsensitiveOption);
const QRegularExpression MarkedWebAddress(QStringLiteral("(?:https?://|www\\.)"),
                                          QRegularExpression::CaseInsensitiveOption);
const QRegularExpression Postcode(QStringLiteral("(?<!\\d)\\d{6}(?!\\d)"));
const QRegularExpression QQNumber(QStringLiteral("(?<!\\d)\\d{5,12}(?!\\d)"));
const QRegularExpression Han(QStringLiteral("\\p{Han}"));
const QRegularExpression LatinAddress(
    QStringLiteral("\\b(?:Road|Rd|Street|St|Avenue|Ave|District|Dist|Building|Bldg|Tower|Floor|"
                   "Room|Rm|Suite|Plaza|Lane|Blvd|Boulevard|No|Zone|Park|Industrial)\\b\\.?"),
    QRegularExpression::CaseInsensitiveOption);
const QRegularExpression LatinCompany(
    QStringLiteral("\\b(?:Co\\.?,?\\s*Ltd|Company|Corporation|Corp|Inc|Limited|LLC|Group|"
                   "Technologies|Technology|Holdings|Bank|University|Institute|Firm)\\b\\.?"),
    QRegularExpression::CaseInsensitiveOption);
const QRegularExpression LatinTitle(
    QStringLiteral("\\b(?:Manager|Director|Engineer|President|CEO|CTO|CFO|COO|CIO|VP|Chairman|"
                   "Consultant|Specialist|Representative|Assistant|Secretary|Accountant|"
                   "Designer|Lawyer|Attorney|Professor|Officer|Supervisor|Partner|Founder|"
                   "Analyst|Architect|Executive|Head|Lead|Coordinator|Developer|Editor|"
                   "Administrator|Agent|Advisor|Adviser)\\b"),
    QRegularExpression::CaseInsensitiveOption);
const QRegularExpression
    LatinDepartment(QStringLiteral("\\b(?:Department|Dept|Division|Office of)\\b\\.?"),
                    QRegularExpression::CaseInsensitiveOption);
// Two or three words of letters, the first capitalised (the recogniser may read a capital as a
// small letter further on: "Grace wilson").
const QRegularExpression
    LatinName(QStringLiteral("^(?:[A-Z][A-Za-z]+(?:-[A-Za-z]+)?|[A-Z]\\.)(?:\\s+(?:[A-Za-z]{2,}(?:-"
                             "[A-Za-z]+)?|[A-Z]\\.)){1,2}$"));

bool hasHan(const QString& text) {
    return text.contains(Han);
}

bool allHan(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(),
                                          [](QChar c) { return c.script() == QChar::Script_Han; });
}

bool endsWithAny(const QString& text, const QStringList& endings, int minimumRest = 0) {
    return std::any_of(endings.begin(), endings.end(), [&](const QString& ending) {
        return text.endsWith(ending) && text.size() - ending.size() >= minimumRest;
    });
}

// Full-width letters, digits and signs as their ASCII forms, runs of spaces as one.
QString normalised(const QString& line) {
    QString text = line;
    for (QChar& c : text) {
        if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E) {
            c = QChar(c.unicode() - 0xFEE0);
        } else if (c.unicode() == 0x3000) {
            c = u' ';
        }
    }
    text.replace(u'—', u'-').replace(u'–', u'-').replace(u'－', u'-');
    return text.simplified();
}

// English text as read with its spaces lost ("MarketingDirector", "Room1608,No.140Renmin")
// spaced again, and a zero between letters read as the letter o ("Qingda0").
QString spacedLatin(QString text) {
    static const std::pair<QRegularExpression, QString> Rules[] = {
        {QRegularExpression(QStringLiteral("(?<=[a-z])0(?=[a-z]|\\b)")), QStringLiteral("o")},
        {QRegularExpression(QStringLiteral("(?<=[a-z])(?=[A-Z])")), QStringLiteral(" ")},
        {QRegularExpression(QStringLiteral("(?<=[A-Za-z])(?=\\d)")), QStringLiteral(" ")},
        {QRegularExpression(QStringLiteral("(?<=\\d)(?=[A-Za-z]{2})")), QStringLiteral(" ")},
        {QRegularExpression(QStringLiteral("(?<=No\\.)(?=\\d)")), QStringLiteral(" ")},
        {QRegularExpression(QStringLiteral(",(?=[A-Za-z0-9])")), QStringLiteral(", ")},
    };
    for (const auto& [pattern, replacement] : Rules) {
        text.replace(pattern, replacement);
    }
    return text;
}

// Each word of a name starting with a capital.
QString capitalised(QString name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (i == 0 || name.at(i - 1) == u' ' || name.at(i - 1) == u'-') {
            name[i] = name.at(i).toUpper();
        }
    }
    return name;
}

// The digits of a number in one of the forms below: a mobile as its eleven digits; a
// fixed number as area code, dash, number and extension (0755-86001234转8001).
std::optional<QString> mobileIn(const QString& text) {
    const QRegularExpressionMatch match = MobileNumber.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured(1) + match.captured(2) + match.captured(3);
}

std::optional<QString> fixedNumberIn(const QString& text) {
    const QRegularExpressionMatch match = FixedNumber.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    QString area = match.captured(2);
    if (area.isEmpty() && !match.captured(1).isEmpty()) {
        area = u'0' + match.captured(1);
    }
    QString number = match.captured(3) + match.captured(4);
    if (!area.isEmpty()) {
        number = area + u'-' + number;
    }
    if (!match.captured(5).isEmpty()) {
        number += QStringLiteral("转") + match.captured(5);
    }
    return number;
}

// Mostly digits: a phone number's part of a line, not an address with a house number.
bool mostlyNumber(const QString& text) {
    int digits = 0;
    for (QChar c : text) {
        digits += c.isDigit() || QStringLiteral("+-() /").contains(c);
    }
    return digits * 10 >= text.size() * 6;
}

bool isTitle(const QString& token) {
    return token.size() <= 12 && allHan(token) && endsWithAny(token, TitleEndings);
}

bool isDepartment(const QString& token) {
    return token.size() <= 12 && allHan(token) && endsWithAny(token, DepartmentEndings, 1);
}

bool isCompany(const QString& text) {
    return hasHan(text) && text.size() >= 4 &&
           (std::any_of(CompanyWords.begin(), CompanyWords.end(),
                        [&](const QString& word) { return text.contains(word); }) ||
            endsWithAny(text, CompanyEndings, 1));
}

// An address names at least three places (省, 市, 区, 路 …), or two and a number.
bool isChineseAddress(const QString& text) {
    if (!hasHan(text) || text.size() < 6 || isTitle(text) || isDepartment(text)) {
        return false;
    }
    QString places = text;
    places.remove(QStringLiteral("市场")); // 市场部 is no city
    int words = 0;
    for (const QString& word : AddressWords) {
        words += int(places.count(word));
    }
    const bool number = std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    return words >= 3 || (words == 2 && number);
}

bool isChineseName(const QString& token) {
    if (!allHan(token) || isTitle(token) || isDepartment(token)) {
        return false;
    }
    if (std::any_of(CompoundSurnames.begin(), CompoundSurnames.end(),
                    [&](const QString& surname) { return token.startsWith(surname); })) {
        return token.size() >= 3 && token.size() <= 4;
    }
    return token.size() >= 2 && token.size() <= 3 && Surnames.contains(token.at(0));
}

// A title's first word begins inside the name part of a token cut after length characters.
bool titlePrefixCrosses(const QString& token, int length) {
    for (int start = 0; start < length; ++start) {
        for (const QString& prefix : TitlePrefixes) {
            if (token.mid(start).startsWith(prefix) && start + prefix.size() > length - 1) {
                return true;
            }
        }
    }
    return false;
}

// An e-mail address whose "@" was read as another letter: the one place where "@" makes a
// valid address, or the place whose domain is the card's website's.
std::optional<QString> restoredEmail(const QString& text, const QString& website) {
    QString compact = text;
    compact.remove(u' ');
    if (compact.contains(u'@')) {
        return std::nullopt;
    }
    QString siteDomain = website.toLower();
    siteDomain.remove(QRegularExpression(QStringLiteral("^(?:https?://)?(?:www\\.)?")));
    siteDomain = siteDomain.section(u'/', 0, 0);
    QStringList valid;
    for (int i = 1; i + 1 < compact.size(); ++i) {
        if (!QStringLiteral("oO0Q©®").contains(compact.at(i))) {
            continue;
        }
        QString candidate = compact;
        candidate[i] = u'@';
        if (WholeEmailAddress.match(candidate).hasMatch()) {
            valid.append(candidate);
        }
    }
    for (const QString& candidate : valid) {
        if (!siteDomain.isEmpty() && candidate.section(u'@', 1).toLower() == siteDomain) {
            return candidate;
        }
    }
    if (valid.size() == 1) {
        return valid.first();
    }
    return std::nullopt;
}

struct Segment {
    Kind kind;
    QString text;
};

Kind labelKind(const QRegularExpressionMatch& match) {
    static const std::pair<const char*, Kind> Groups[] = {
        {"mobile", Kind::Mobile},     {"phone", Kind::Phone},     {"fax", Kind::Fax},
        {"email", Kind::Email},       {"website", Kind::Website}, {"qq", Kind::QQ},
        {"postcode", Kind::Postcode}, {"address", Kind::Address}};
    for (const auto& [group, kind] : Groups) {
        if (match.capturedStart(QLatin1String(group)) >= 0) {
            return kind;
        }
    }
    return Kind::None;
}

// A label counts only before a value of its kind: "传媒" in a company's name is no fax.
bool valueFollows(Kind kind, const QString& line, qsizetype at) {
    if (at >= line.size()) {
        return false;
    }
    const QChar next = line.at(at);
    switch (kind) {
    case Kind::Mobile:
    case Kind::Phone:
    case Kind::Fax:
    case Kind::QQ:
    case Kind::Postcode:
        return next.isDigit() || next == u'+' || next == u'(';
    case Kind::Email:
    case Kind::Website:
        return next.isLetterOrNumber() && next.unicode() < 0x80;
    default:
        return true;
    }
}

// A line cut at its labels: "电话:010-1234567 传真:010-7654321" is a phone and a fax.
std::vector<Segment> segments(const QString& line) {
    std::vector<Segment> parts;
    Kind kind = Kind::None;
    qsizetype start = 0;
    QRegularExpressionMatchIterator it = Labels.globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const Kind found = labelKind(match);
        if (!valueFollows(found, line, match.capturedEnd())) {
            continue;
        }
        const QString before = line.mid(start, match.capturedStart() - start).trimmed();
        if (!before.isEmpty() || kind != Kind::None) {
            parts.push_back({kind, before});
        }
        kind = found;
        start = match.capturedEnd();
    }
    parts.push_back({kind, line.mid(start).trimmed()});
    return parts;
}

// Tokens of a line cut at its spaces, Han characters standing alone joined again: a name
// printed with spaces between its characters ("张  伟") is one token.
QStringList tokens(const QString& text) {
    QStringList joined;
    bool lastSingle = false;
    for (const QString& token : text.split(u' ', Qt::SkipEmptyParts)) {
        const bool single = token.size() == 1 && allHan(token);
        if (single && lastSingle) {
            joined.last() += token;
        } else {
            joined.append(token);
        }
        lastSingle = single;
    }
    return joined;
}

class Parser {
public:
    ParsedCard parse(const std::vector<CardLine>& lines);

private:
    void readSegment(const Segment& segment, float height);
    void readLabelled(Kind kind, const QString& text);
    bool readWhole(const QString& text, float height);
    void readToken(const QString& token, float height);
    void readAddress(const QString& text);
    void set(const QString& column, const QString& value);
    void setFromUnused();
    void chooseName();
    void fillPlace();

    struct NameCandidate {
        QString name;
        float height;
        int order;
    };

    ParsedCard m_card;
    std::vector<NameCandidate> m_names;
    // Text that may be an e-mail address with its "@" misread, and whether it was labelled so.
    std::vector<std::pair<QString, bool>> m_emailLike;
};

// A field keeps its first value, except that Chinese text takes the place of English (the
// Chinese side of a bilingual card).
void Parser::set(const QString& column, const QString& value) {
    if (value.isEmpty()) {
        return;
    }
    const QString old = m_card.fields.value(column);
    if (old.isEmpty() || (!hasHan(old) && hasHan(value))) {
        if (!old.isEmpty()) {
            m_card.unusedLines.append(old);
        }
        m_card.fields.insert(column, value);
    } else {
        m_card.unusedLines.append(value);
    }
}

void Parser::readLabelled(Kind kind, const QString& text) {
    switch (kind) {
    case Kind::Mobile:
    case Kind::Phone:
    case Kind::Fax: {
        const std::optional<QString> mobile = mobileIn(text);
        if (mobile && (kind == Kind::Mobile || !m_card.fields.contains("BMob"))) {
            set("BMob", *mobile);
        } else if (const std::optional<QString> fixed = fixedNumberIn(text)) {
            set(kind == Kind::Fax ? "DFax" : "DPho", *fixed);
        } else {
            m_card.unusedLines.append(text);
        }
        break;
    }
    case Kind::Email: {
        QString compact = text;
        compact.remove(u' ');
        const QRegularExpressionMatch match = EmailAddress.match(compact);
        if (match.hasMatch()) {
            set("BMail", match.captured());
        } else {
            m_emailLike.emplace_back(compact, true);
        }
        break;
    }
    case Kind::Website: {
        const QRegularExpressionMatch match = WebAddress.match(text);
        set("DWWW", match.hasMatch() ? match.captured() : text);
        break;
    }
    case Kind::QQ: {
        const QRegularExpressionMatch match = QQNumber.match(text);
        set("BQQ", match.hasMatch() ? match.captured() : text);
        break;
    }
    case Kind::Postcode: {
        const QRegularExpressionMatch match = Postcode.match(text);
        set("DPos", match.hasMatch() ? match.captured() : text);
        break;
    }
    case Kind::Address:
        readAddress(hasHan(text) ? text : spacedLatin(text));
        break;
    case Kind::None:
        break;
    }
}

// An address; a postcode at its end is the card's postcode.
void Parser::readAddress(const QString& text) {
    static const QRegularExpression TrailingPostcode(
        QStringLiteral("[\\s,(]*(?:邮编|Zip|P\\.?C\\.?)?[:\\s]*(\\d{6})\\)?$"),
        QRegularExpression::CaseInsensitiveOption);
    QString address = text;
    const QRegularExpressionMatch match = TrailingPostcode.match(address);
    if (match.hasMatch() && address.size() > 12) {
        set("DPos", match.captured(1));
        address.truncate(match.capturedStart());
    }
    set("DAdd", address.trimmed());
}

// A part of a line without label read as a whole: contact details, an address, an English
// company, title or name. False when it is none of these.
bool Parser::readWhole(const QString& text, float height) {
    const QRegularExpressionMatch email = EmailAddress.match(text);
    if (email.hasMatch()) {
        set("BMail", email.captured());
        const QString rest =
            QString(text).remove(email.capturedStart(), email.capturedLength()).trimmed();
        if (!rest.isEmpty()) {
            readSegment({Kind::None, rest}, height);
        }
        return true;
    }
    if (MarkedWebAddress.match(text).hasMatch() && !text.contains(u' ')) {
        readLabelled(Kind::Website, text);
        return true;
    }
    if (mostlyNumber(text)) {
        if (const std::optional<QString> mobile = mobileIn(text)) {
            set("BMob", *mobile);
            return true;
        }
        if (const std::optional<QString> fixed = fixedNumberIn(text)) {
            set("DPho", *fixed);
            return true;
        }
    }
    if (hasHan(text)) {
        if (isCompany(text) && !text.contains(u' ')) {
            set("DName", text);
            return true;
        }
        if (isChineseAddress(text) && !isCompany(text)) {
            readAddress(text);
            return true;
        }
        return false;
    }
    if (text.contains(u'.') && !text.contains(u' ') && !text.contains(u',')) {
        m_emailLike.emplace_back(text, false); // a domain, or an address without its "@"
        return true;
    }
    const QString spaced = spacedLatin(text);
    if (spaced != text) {
        return readWhole(spaced, height);
    }
    if (LatinCompany.match(text).hasMatch()) {
        set("DName", text);
    } else if (LatinAddress.match(text).hasMatch() && text.contains(QRegularExpression("\\d"))) {
        readAddress(text);
    } else if (LatinDepartment.match(text).hasMatch()) {
        set("DPart", text);
    } else if (LatinTitle.match(text).hasMatch()) {
        set("DJob", text);
    } else if (LatinName.match(text).hasMatch()) {
        m_names.push_back({capitalised(text), height, int(m_names.size())});
    } else {
        return false;
    }
    return true;
}

// One token of a Chinese line: a title, a department, a name, or two of them run together
// ("市场部经理", "张伟总经理"). A token that is a title is never taken for a name ("高级工程师").
void Parser::readToken(const QString& token, float height) {
    if (isCompany(token)) {
        set("DName", token);
        return;
    }
    if (isTitle(token) && !isChineseName(token)) {
        for (const QString& ending : DepartmentEndings) {
            const qsizetype at = token.indexOf(ending);
            if (at > 0 && isTitle(token.mid(at + ending.size()))) {
                set("DPart", token.left(at + ending.size()));
                set("DJob", token.mid(at + ending.size()));
                return;
            }
        }
        for (int length = 2; length <= 4 && length < token.size() - 1; ++length) {
            if (isChineseName(token.left(length)) && isTitle(token.mid(length)) &&
                !titlePrefixCrosses(token, length)) {
                m_names.push_back({token.left(length), height, int(m_names.size())});
                set("DJob", token.mid(length));
                return;
            }
        }
        set("DJob", token);
    } else if (isDepartment(token)) {
        set("DPart", token);
    } else if (isChineseName(token)) {
        m_names.push_back({token, height, int(m_names.size())});
    } else {
        m_card.unusedLines.append(token);
    }
}

void Parser::readSegment(const Segment& segment, float height) {
    if (segment.text.isEmpty()) {
        return;
    }
    if (segment.kind != Kind::None) {
        readLabelled(segment.kind, segment.text);
        return;
    }
    if (readWhole(segment.text, height)) {
        return;
    }
    if (!hasHan(segment.text)) {
        m_card.unusedLines.append(segment.text);
        return;
    }
    for (const QString& token : tokens(segment.text)) {
        if (!readWhole(token, height)) {
            readToken(token, height);
        }
    }
}

// The name: a Chinese one before a Latin one, the largest print first.
void Parser::chooseName() {
    const auto better = [](const NameCandidate& a, const NameCandidate& b) {
        if (hasHan(a.name) != hasHan(b.name)) {
            return hasHan(a.name);
        }
        if (a.height != b.height) {
            return a.height > b.height;
        }
        return a.order < b.order;
    };
    std::sort(m_names.begin(), m_names.end(), better);
    for (size_t i = 0; i < m_names.size(); ++i) {
        if (i == 0) {
            m_card.fields.insert("BName", m_names[i].name);
        } else {
            m_card.unusedLines.append(m_names[i].name);
        }
    }
}

// The province and city of the address, spelt as the province list spells them.
void Parser::fillPlace() {
    const QString address = m_card.fields.value("DAdd");
    if (address.isEmpty()) {
        return;
    }
    QString rest = address;
    rest.remove(QRegularExpression(QStringLiteral("^中国\\s*")));
    QString province;
    QString city;
    for (const QString& name : Provinces) {
        if (rest.startsWith(name)) {
            province = name;
            rest = rest.mid(name.size());
            rest.remove(ProvinceSuffix);
            break;
        }
    }
    if (Municipalities.contains(province)) {
        city = province;
    } else {
        static const QRegularExpression CityName(QStringLiteral("^(\\p{Han}{2,4}?)市"));
        const QRegularExpressionMatch match = CityName.match(rest);
        if (match.hasMatch()) {
            city = match.captured(1);
        }
    }
    for (const Place& place : Places) {
        const QString placeCity = QString::fromUtf8(place.city);
        const bool named = hasHan(address)
                               ? !city.isEmpty() && city == placeCity
                               : address.contains(QLatin1String(place.latin), Qt::CaseInsensitive);
        if (!named) {
            continue;
        }
        if (province.isEmpty()) {
            province = QString::fromUtf8(place.province);
        }
        if (city.isEmpty() && !placeCity.isEmpty()) {
            city = placeCity;
        }
    }
    if (!province.isEmpty()) {
        m_card.fields.insert("DArea", province);
    }
    if (!city.isEmpty()) {
        m_card.fields.insert("DCity", city);
    }
}

ParsedCard Parser::parse(const std::vector<CardLine>& lines) {
    for (const CardLine& line : lines) {
        for (const Segment& segment : segments(normalised(line.text))) {
            readSegment(segment, line.height);
        }
    }
    for (const auto& [candidate, labelled] : m_emailLike) {
        const std::optional<QString> email =
            m_card.fields.contains("BMail") ? std::nullopt
                                            : restoredEmail(candidate, m_card.fields.value("DWWW"));
        if (email) {
            m_card.fields.insert("BMail", *email);
        } else if (labelled) {
            set("BMail", candidate); // as read: the user sees it and puts the "@" right
        } else if (WebAddress.match(candidate).hasMatch() && !m_card.fields.contains("DWWW")) {
            m_card.fields.insert("DWWW", candidate);
        } else {
            m_card.unusedLines.append(candidate);
        }
    }
    chooseName();
    fillPlace();
    return m_card;
}
} // namespace

ParsedCard parseCardLines(const std::vector<CardLine>& lines) {
    return Parser().parse(lines);
}

ParsedCard parseCardLines(const QStringList& lines) {
    std::vector<CardLine> cardLines;
    for (const QString& line : lines) {
        cardLines.push_back({line, 0});
    }
    return parseCardLines(cardLines);
}
