#include "find/pinyin.h"

#include "db/engineerror.h"

#include <unicode/translit.h>
#include <unicode/uscript.h>

namespace {
// Readings ICU leaves out: it gives one reading per character (and one as a surname), so
// these common characters with several readings get the others here. Not a pinyin table:
// only characters people often meet in names, companies and places.
const QHash<char32_t, QStringList>& otherReadings() {
    static const QHash<char32_t, QStringList> readings = {
        {U'长', {"chang", "zhang"}}, {U'曾', {"zeng", "ceng"}},   {U'重', {"zhong", "chong"}},
        {U'行', {"xing", "hang"}},   {U'乐', {"le", "yue"}},      {U'单', {"dan", "shan", "chan"}},
        {U'朴', {"pu", "piao"}},     {U'仇', {"chou", "qiu"}},    {U'解', {"jie", "xie"}},
        {U'查', {"cha", "zha"}},     {U'区', {"qu", "ou"}},       {U'会', {"hui", "kuai"}},
        {U'尉', {"wei", "yu"}},      {U'覃', {"tan", "qin"}},     {U'缪', {"miao", "mou", "miu"}},
        {U'翟', {"zhai", "di"}},     {U'召', {"zhao", "shao"}},   {U'盖', {"gai", "ge"}},
        {U'万', {"wan", "mo"}},      {U'传', {"chuan", "zhuan"}}, {U'朝', {"chao", "zhao"}},
        {U'藏', {"cang", "zang"}},   {U'厦', {"sha", "xia"}},     {U'调', {"diao", "tiao"}},
        {U'都', {"du", "dou"}},      {U'还', {"hai", "huan"}},    {U'和', {"he", "huo", "hu"}},
        {U'差', {"cha", "chai"}},    {U'种', {"zhong", "chong"}}, {U'石', {"shi", "dan"}},
        {U'贾', {"jia", "gu"}},      {U'秘', {"mi", "bi"}},       {U'薄', {"bo", "bao"}},
        {U'大', {"da", "dai"}},      {U'参', {"can", "shen"}},    {U'系', {"xi", "ji"}},
        {U'便', {"bian", "pian"}},   {U'降', {"jiang", "xiang"}}, {U'省', {"sheng", "xing"}},
        {U'宿', {"su", "xiu"}},      {U'校', {"xiao", "jiao"}},   {U'奇', {"qi", "ji"}},
        {U'车', {"che", "ju"}},      {U'沈', {"shen", "chen"}},   {U'员', {"yuan", "yun"}},
        {U'柏', {"bai", "bo"}},      {U'繁', {"fan", "po"}},      {U'期', {"qi", "ji"}},
    };
    return readings;
}

std::unique_ptr<icu::Transliterator> transliterator(const char* id) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
        icu::UnicodeString::fromUTF8(id), UTRANS_FORWARD, status));
    if (U_FAILURE(status) || !made) {
        throw EngineError(QStringLiteral("无法加载拼音转换（ICU %1）").arg(u_errorName(status)));
    }
    return made;
}

QString transliterated(icu::Transliterator& by, char32_t c) {
    icu::UnicodeString text{UChar32(c)};
    by.transliterate(text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length()).trimmed();
}

// A reading is kept when it is plain lower-case Latin: a character ICU does not know comes
// back unchanged.
bool isReading(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'a' || c > u'z') {
            return false;
        }
    }
    return true;
}
} // namespace

// ICU's readings of a character as a word and as a surname.
struct PinyinReadings::Transliterators {
    std::unique_ptr<icu::Transliterator> word = transliterator("Han-Latin; Latin-ASCII; Lower");
    std::unique_ptr<icu::Transliterator> name =
        transliterator("Han-Latin/Names; Latin-ASCII; Lower");
};

PinyinReadings::PinyinReadings() : m_icu(std::make_unique<Transliterators>()) {}

PinyinReadings::~PinyinReadings() = default;

bool PinyinReadings::isHan(char32_t c) {
    UErrorCode status = U_ZERO_ERROR;
    return uscript_getScript(UChar32(c), &status) == USCRIPT_HAN && U_SUCCESS(status);
}

const QStringList& PinyinReadings::of(char32_t c) {
    auto known = m_known.constFind(c);
    if (known == m_known.cend()) {
        known = m_known.insert(c, isHan(c) ? ask(c) : QStringList());
    }
    return *known;
}

QStringList PinyinReadings::ask(char32_t c) const {
    QStringList readings;
    auto add = [&readings](const QString& reading) {
        if (isReading(reading) && !readings.contains(reading)) {
            readings << reading;
        }
    };
    add(transliterated(*m_icu->word, c));
    add(transliterated(*m_icu->name, c));
    for (const QString& reading : otherReadings().value(c)) {
        add(reading);
    }
    return readings;
}

namespace {
// Whether typed, from `at`, spells the characters of `written` from `from` on (all of typed
// used up, not necessarily all of written).
bool spellsFrom(PinyinReadings& readings, const QList<uint>& written, qsizetype from,
                const QString& typed, qsizetype at) {
    if (at == typed.size()) {
        return true;
    }
    if (from == written.size()) {
        return false;
    }
    const char32_t c = written[from];
    if (QString::fromUcs4(&c, 1).compare(typed.mid(at, 1), Qt::CaseInsensitive) == 0 &&
        spellsFrom(readings, written, from + 1, typed, at + 1)) {
        return true;
    }
    for (const QString& reading : readings.of(c)) {
        // The first letter, the whole reading, or (at the end of what is typed) its start.
        for (qsizetype length = 1; length <= reading.size(); ++length) {
            const QStringView part = QStringView(typed).mid(at, length);
            if (part.size() < length ||
                part.compare(QStringView(reading).left(length), Qt::CaseInsensitive) != 0) {
                break;
            }
            const bool mayEndHere =
                length == 1 || length == reading.size() || at + length == typed.size();
            if (mayEndHere && spellsFrom(readings, written, from + 1, typed, at + length)) {
                return true;
            }
        }
    }
    return false;
}
} // namespace

bool typedBegins(PinyinReadings& readings, const QString& text, const QString& typed) {
    return !typed.isEmpty() && spellsFrom(readings, text.toUcs4(), 0, typed, 0);
}
