#include "vcard/vcard.h"

#include "db/engineerror.h"
#include "vcard/vcardnames.h"

#include <QBuffer>
#include <QStringDecoder>
#include <QStringList>
#include <optional>
#include <unicode/ucnv.h>

namespace {

// ---- writing ----

constexpr qsizetype FoldOctets = 75;

QString escaped(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u',':
            out += QLatin1String("\\,");
            break;
        case u';':
            out += QLatin1String("\\;");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r': // kept apart from \n so that a value comes back exactly as it was
            out += QLatin1String("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Appends one content line, folded: no line passes 75 octets, a continuation starts with a
// blank, and no character is cut between two lines.
void appendLine(QByteArray& file, const QByteArray& line) {
    qsizetype at = 0;
    for (bool first = true;; first = false) {
        const qsizetype room = first ? FoldOctets : FoldOctets - 1;
        if (!first) {
            file += ' ';
        }
        if (line.size() - at <= room) {
            file += QByteArrayView(line).sliced(at);
            file += "\r\n";
            return;
        }
        qsizetype cut = at + room;
        while (cut > at + 1 && (uchar(line[cut]) & 0xC0) == 0x80) { // inside a character
            --cut;
        }
        file += QByteArrayView(line).sliced(at, cut - at);
        file += "\r\n";
        at = cut;
    }
}

class CardWriter {
public:
    CardWriter(QByteArray& file, const CardValues& card) : m_file(file), m_card(card) {}

    void write() {
        line("BEGIN", QStringLiteral("VCARD"));
        line("VERSION", QStringLiteral("3.0"));
        const QString name = field("BName");
        const SplitName split = splitName(name);
        line("FN", escaped(name));
        line("N", escaped(split.family) + u';' + escaped(split.given) + QStringLiteral(";;;"));
        text("CATEGORIES", "theType");
        text("X-GENDER", "BSex");
        text("TEL;TYPE=VOICE", "BPho");
        text("TEL;TYPE=CELL", "BMob");
        text("EMAIL;TYPE=INTERNET", "BMail");
        text("X-QQ", "BQQ");
        text("X-MSN", "BMSN");
        text("X-ALIWANGWANG", "BWW");
        text("NOTE", "BDes");
        structured("ORG", {"DName", "DPart"}, QString());
        text("TITLE", "DJob");
        structured("ADR;TYPE=WORK", {"DAdd", "DCity", "DArea", "DPos"}, QStringLiteral(";;"),
                   QStringLiteral(";"));
        text("TEL;TYPE=WORK,VOICE", "DPho");
        text("TEL;TYPE=WORK,FAX", "DFax");
        text("URL", "DWWW");
        structured("ADR;TYPE=HOME", {"FAdd"}, QStringLiteral(";;"), QStringLiteral(";;;;"));
        text("TEL;TYPE=HOME,VOICE", "FPho");
        text("X-ORVANE-FAMILY", "FPro");
        text("X-ORVANE-NOTE", "FDes");
        line("END", QStringLiteral("VCARD"));
    }

private:
    QString field(const char* column) const { return m_card.value(QLatin1String(column)); }

    void line(const char* property, const QString& value) {
        appendLine(m_file, QByteArray(property) + ':' + value.toUtf8());
    }

    void text(const char* property, const char* column) {
        const QString value = field(column);
        if (!value.isEmpty()) {
            line(property, escaped(value));
        }
    }

    // A value of several parts separated by ";", written when any part has a value.
    void structured(const char* property, std::initializer_list<const char*> columns,
                    const QString& before, const QString& after = {}) {
        QStringList parts;
        bool any = false;
        for (const char* column : columns) {
            parts << escaped(field(column));
            any = any || !parts.back().isEmpty();
        }
        if (any) {
            line(property, before + parts.join(u';') + after);
        }
    }

    QByteArray& m_file;
    const CardValues& m_card;
};

// ---- reading ----

EngineError notAVCard() {
    return EngineError(QStringLiteral("这个文件不是 vCard 文件：vCard 文件以 BEGIN:VCARD 开始"));
}

// One content line: "group.NAME;PARAM=x;BARE:value".
struct Property {
    QByteArray name; // upper case, without its group
    QList<QByteArray> types;
    QByteArray charset;
    QByteArray encoding; // upper case
    bool uriValue = false;
    QByteArray value; // as it stands in the file
};

// Splits at separator outside double quotes.
QList<QByteArray> splitOutsideQuotes(const QByteArray& text, char separator) {
    QList<QByteArray> parts{QByteArray()};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        }
        if (c == separator && !quoted) {
            parts << QByteArray();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

QByteArray unquoted(QByteArray text) {
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"')) {
        return text.mid(1, text.size() - 2);
    }
    return text;
}

std::optional<Property> parseLine(const QByteArray& line) {
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon <= 0) {
        return std::nullopt;
    }
    Property property;
    property.value = line.mid(colon + 1);
    const QList<QByteArray> head = splitOutsideQuotes(line.left(colon), ';');
    const QByteArray name = head.front().trimmed();
    property.name = name.mid(name.lastIndexOf('.') + 1).toUpper();
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArray& parameter = head[i];
        const qsizetype equals = parameter.indexOf('=');
        const QByteArray key =
            (equals < 0 ? parameter : parameter.left(equals)).trimmed().toUpper();
        const QByteArray value = equals < 0 ? QByteArray() : unquoted(parameter.mid(equals + 1));
        if (equals < 0) {
            if (key == "QUOTED-PRINTABLE" || key == "BASE64" || key == "8BIT" || key == "7BIT") {
                property.encoding = key;
            } else {
                property.types << key; // a bare type of vCard 2.1: TEL;CELL;VOICE
            }
        } else if (key == "TYPE") {
            for (const QByteArray& type : value.split(',')) {
                property.types << unquoted(type).toUpper();
            }
        } else if (key == "CHARSET") {
            property.charset = value;
        } else if (key == "ENCODING") {
            property.encoding = value.toUpper();
        } else if (key == "VALUE") {
            property.uriValue = value.toUpper() == "URI";
        }
    }
    return property;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) {
        return (c & 0x07) + 9;
    }
    return -1;
}

// "=E4=B8=AD" gives three bytes; an "=" not followed by two hex digits stays as it is.
QByteArray fromQuotedPrintable(const QByteArray& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
            hexDigit(text[i + 2]) >= 0) {
            bytes += char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// The bytes read in the character set; nothing when they are not text of that set. Throws
// EngineError when the set is unknown.
std::optional<QString> fromCharset(const QByteArray& bytes, const QByteArray& charset) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(charset.constData(), &status);
    if (U_FAILURE(status) || !converter || charset.contains('\0')) {
        if (converter) {
            ucnv_close(converter);
        }
        throw EngineError(QStringLiteral("vCard 文件使用了无法识别的字符集“%1”")
                              .arg(QString::fromLatin1(charset)));
    }
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::u16string text(size_t(bytes.size()) + 16, u'\0');
    int32_t length = ucnv_toUChars(converter, text.data(), int32_t(text.size()), bytes.constData(),
                                   int32_t(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) { // more UTF-16 units than bytes
        status = U_ZERO_ERROR;
        text.assign(size_t(length) + 1, u'\0');
        ucnv_resetToUnicode(converter);
        length = ucnv_toUChars(converter, text.data(), int32_t(text.size()), bytes.constData(),
                               int32_t(bytes.size()), &status);
    }
    ucnv_close(converter);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return QString::fromUtf16(text.data(), length);
}

// The value as text: its transfer encoding undone, then read in its character set. Without
// a character set a value is UTF-8, or, when it is not valid UTF-8, GBK (GB18030), in which
// older Chinese phones wrote their vCards.
QString decodedText(const Property& property) {
    QByteArray bytes = property.value;
    if (property.encoding == "QUOTED-PRINTABLE") {
        bytes = fromQuotedPrintable(bytes);
    } else if (property.encoding == "B" || property.encoding == "BASE64") {
        bytes = QByteArray::fromBase64(bytes);
    }
    if (!property.charset.isEmpty()) {
        if (const std::optional<QString> text = fromCharset(bytes, property.charset)) {
            return *text;
        }
        throw EngineError(QStringLiteral("vCard 文件中有不能按字符集“%1”读取的文字")
                              .arg(QString::fromLatin1(property.charset)));
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    if (const std::optional<QString> gbk = fromCharset(bytes, "GB18030")) {
        return *gbk;
    }
    throw EngineError(QStringLiteral(
        "vCard 文件中有既不是 UTF-8 也不是 GBK 的文字（文件没有声明字符集），没有导入任何名片"));
}

// Splits a structured value at the ";" that are not escaped, and undoes the escapes of each
// part.
QStringList parts(const QString& value) {
    QStringList parts{QString()};
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            switch (next.unicode()) {
            case u'n':
            case u'N':
                parts.back() += u'\n';
                break;
            case u'r':
                parts.back() += u'\r';
                break;
            case u'\\':
            case u',':
            case u';':
            case u':':
                parts.back() += next;
                break;
            default: // no escape: a backslash of the text (vCard 2.1)
                parts.back() += c;
                parts.back() += next;
            }
        } else if (c == u';') {
            parts << QString();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// A plain text value: escapes undone, a ";" in it kept.
QString plainText(const QString& value) {
    return parts(value).join(u';');
}

class CardReader {
public:
    void take(const Property& property) {
        const QByteArray& name = property.name;
        if (name == "VERSION") {
            m_version = property.value.trimmed();
        } else if (name == "FN") {
            if (!m_fullName) {
                m_fullName = plainText(decodedText(property));
            }
        } else if (name == "N") {
            const QStringList n = parts(decodedText(property));
            m_family = n.value(0);
            m_given = n.value(1);
        } else if (name == "CATEGORIES") {
            put("theType", plainText(decodedText(property)));
        } else if (name == "X-GENDER") {
            put("BSex", plainText(decodedText(property)));
        } else if (name == "GENDER") {
            const QStringList gender = parts(decodedText(property));
            const QString sex = gender.value(0).toUpper();
            put("BSex", sex == u"M"   ? QStringLiteral("男")
                        : sex == u"F" ? QStringLiteral("女")
                                      : gender.value(1));
        } else if (name == "TEL") {
            takePhone(property);
        } else if (name == "EMAIL") {
            put("BMail", plainText(decodedText(property)));
        } else if (name == "X-QQ") {
            put("BQQ", plainText(decodedText(property)));
        } else if (name == "X-MSN") {
            put("BMSN", plainText(decodedText(property)));
        } else if (name == "X-ALIWANGWANG") {
            put("BWW", plainText(decodedText(property)));
        } else if (name == "NOTE") {
            put("BDes", plainText(decodedText(property)), u"\n");
        } else if (name == "ORG") {
            const QStringList org = parts(decodedText(property));
            put("DName", org.value(0));
            put("DPart", org.mid(1).join(u';'));
        } else if (name == "TITLE") {
            put("DJob", plainText(decodedText(property)));
        } else if (name == "ADR") {
            takeAddress(property);
        } else if (name == "URL") {
            put("DWWW", plainText(decodedText(property)));
        } else if (name == "X-ORVANE-FAMILY") {
            put("FPro", plainText(decodedText(property)));
        } else if (name == "X-ORVANE-NOTE") {
            put("FDes", plainText(decodedText(property)), u"\n");
        }
    }

    CardValues values() {
        if (m_fullName) {
            m_card.insert(QStringLiteral("BName"), *m_fullName);
        } else {
            const bool latin = !m_family.isEmpty() && m_family.front().unicode() < 0x2E80;
            m_card.insert(QStringLiteral("BName"),
                          latin ? (m_given + u' ' + m_family).trimmed() : m_family + m_given);
        }
        return m_card;
    }

private:
    // A further value for a field that has one already is added to it, so nothing is lost.
    void put(const char* column, const QString& value, QStringView separator = u", ") {
        if (value.isEmpty()) {
            return;
        }
        QString& field = m_card[QLatin1String(column)];
        if (!field.isEmpty()) {
            field += separator; // in place: a card of many lines stays linear
        }
        field += value;
    }

    void takePhone(const Property& property) {
        QString number = plainText(decodedText(property));
        if ((property.uriValue || m_version == "4.0") &&
            number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
            number = number.mid(4);
        }
        const auto has = [&property](const char* type) { return property.types.contains(type); };
        put(has("FAX")    ? "DFax"
            : has("CELL") ? "BMob"
            : has("HOME") ? "FPho"
            : has("WORK") ? "DPho"
                          : "BPho",
            number);
    }

    // ADR: post office box; extended address; street; locality; region; postal code; country.
    void takeAddress(const Property& property) {
        const QStringList adr = parts(decodedText(property));
        const bool home = property.types.contains("HOME") ||
                          (!property.types.contains("WORK") && m_workAddressTaken);
        if (home) {
            const bool streetOnly = adr.value(0).isEmpty() && adr.value(1).isEmpty() &&
                                    adr.mid(3).join(QString()).isEmpty();
            QStringList pieces;
            for (const int part : {6, 4, 3, 2, 1, 0, 5}) {
                if (!adr.value(part).isEmpty()) {
                    pieces << adr.value(part);
                }
            }
            put("FAdd", streetOnly ? adr.value(2) : pieces.join(u' '));
            return;
        }
        m_workAddressTaken = true;
        QStringList street;
        for (const int part : {0, 1, 2, 6}) {
            if (!adr.value(part).isEmpty()) {
                street << adr.value(part);
            }
        }
        put("DAdd", street.join(u' '));
        put("DCity", adr.value(3));
        put("DArea", adr.value(4));
        put("DPos", adr.value(5));
    }

    CardValues m_card;
    std::optional<QString> m_fullName;
    QString m_family;
    QString m_given;
    QByteArray m_version;
    bool m_workAddressTaken = false;
};

EngineError tooLarge(const QString& what) {
    return EngineError(QStringLiteral("vCard 文件太大：%1，没有导入任何名片").arg(what));
}

QString megabytes(qint64 bytes) {
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}

// The file as UTF-8, a piece at a time: a byte-order mark is dropped, UTF-16 made UTF-8.
class Utf8Pieces {
public:
    explicit Utf8Pieces(QIODevice& file) : m_file(file) {
        if (!file.isSequential() && file.size() > VCardLimits::FileBytes) {
            fileTooLarge();
        }
    }

    // The next piece; false at the end of the file.
    bool next(QByteArray* piece) {
        *piece = m_file.read(PieceBytes);
        if (piece->isEmpty()) {
            return false;
        }
        m_read += piece->size();
        if (m_read > VCardLimits::FileBytes) {
            fileTooLarge();
        }
        if (m_first) {
            m_first = false;
            if (piece->startsWith("\xFF\xFE") || piece->startsWith("\xFE\xFF")) {
                m_utf16.emplace(piece->startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                              : QStringDecoder::Utf16BE);
                piece->remove(0, 2);
            } else if (piece->startsWith("\xEF\xBB\xBF")) {
                piece->remove(0, 3);
            }
        }
        if (m_utf16) {
            // A character of two UTF-16 units split between pieces waits for its second unit.
            QString text = m_highSurrogate + QString((*m_utf16)(*piece));
            m_highSurrogate.clear();
            if (!text.isEmpty() && text.back().isHighSurrogate()) {
                m_highSurrogate = text.back();
                text.chop(1);
            }
            *piece = text.toUtf8();
        }
        return true;
    }

private:
    [[noreturn]] static void fileTooLarge() {
        throw tooLarge(QStringLiteral("超过 %1").arg(megabytes(VCardLimits::FileBytes)));
    }

    static constexpr qint64 PieceBytes = 64 * 1024;
    QIODevice& m_file;
    qint64 m_read = 0;
    bool m_first = true;
    std::optional<QStringDecoder> m_utf16;
    QString m_highSurrogate;
};

// The content lines of the file, one at a time: folded lines joined again, and
// quoted-printable values that go on in the next line ("=" at the end) joined too. No line
// passes the bound of a card.
class ContentLines {
public:
    explicit ContentLines(QIODevice& file) : m_pieces(file) {}

    // The next content line; false at the end of the file. Outside a card a line past the
    // bound tells that the file is no vCard.
    bool next(QByteArray* line, bool inCard) {
        m_inCard = inCard;
        if (!m_haveAhead && !physicalLine(&m_ahead)) {
            return false;
        }
        *line = std::move(m_ahead);
        m_haveAhead = false;
        LineHead head;
        bool softBreak = endsInSoftBreak(*line, head);
        while (physicalLine(&m_ahead)) {
            if (softBreak) {
                *line += m_ahead;
            } else if (!m_ahead.isEmpty() && (m_ahead[0] == ' ' || m_ahead[0] == '\t')) {
                *line += QByteArrayView(m_ahead).sliced(1);
            } else {
                m_haveAhead = true;
                break;
            }
            checkCardBound(line->size());
            softBreak = endsInSoftBreak(*line, head);
        }
        return true;
    }

private:
    // Where a line's first ":" is, looked for once, and whether the head before it asks for
    // quoted-printable.
    struct LineHead {
        qsizetype searched = 0;
        bool found = false;
        bool quotedPrintable = false;
    };

    void checkCardBound(qsizetype bytes) const {
        if (bytes > VCardLimits::CardBytes) {
            if (!m_inCard) {
                throw notAVCard();
            }
            throw tooLarge(
                QStringLiteral("有一张名片超过 %1").arg(megabytes(VCardLimits::CardBytes)));
        }
    }

    // Drops the "=" of a quoted-printable soft line break; true when there was one.
    static bool endsInSoftBreak(QByteArray& line, LineHead& head) {
        if (!head.found) {
            const qsizetype colon = line.indexOf(':', head.searched);
            head.searched = line.size();
            if (colon >= 0) {
                head.found = true;
                head.quotedPrintable =
                    colon > 0 && line.left(colon).toUpper().contains("QUOTED-PRINTABLE");
            }
        }
        if (head.quotedPrintable && line.endsWith('=')) {
            line.chop(1);
            return true;
        }
        return false;
    }

    // The next line of the file, without its CR LF; false at the end of the file.
    bool physicalLine(QByteArray* line) {
        for (;;) {
            const qsizetype end = m_buffer.indexOf('\n', m_at);
            if (end >= 0) {
                *line = m_buffer.sliced(m_at, end - m_at);
                m_at = end + 1;
                break;
            }
            checkCardBound(m_buffer.size() - m_at);
            QByteArray piece;
            if (!m_pieces.next(&piece)) {
                if (m_at == m_buffer.size()) {
                    return false;
                }
                *line = m_buffer.sliced(m_at); // the last line, without a line end
                m_at = m_buffer.size();
                break;
            }
            m_buffer = m_buffer.sliced(m_at) + piece;
            m_at = 0;
        }
        if (line->endsWith('\r')) {
            line->chop(1);
        }
        return true;
    }

    Utf8Pieces m_pieces;
    QByteArray m_buffer;
    qsizetype m_at = 0;
    QByteArray m_ahead; // the physical line after the content line given last
    bool m_haveAhead = false;
    bool m_inCard = false;
};

bool isCardBoundary(const Property& property, const char* name) {
    return property.name == name && property.value.trimmed().toUpper() == "VCARD";
}

// Rows under the fields' captions, none yet.
std::shared_ptr<ResultSet> emptyCardRows() {
    QStringList captions;
    for (const CardField& field : cardFields()) {
        captions << field.caption;
    }
    return std::make_shared<ResultSet>(captions);
}

} // namespace

QByteArray writeVCards(const std::vector<CardValues>& cards) {
    QByteArray file;
    for (const CardValues& card : cards) {
        CardWriter(file, card).write();
    }
    return file;
}

void readVCards(QIODevice& file, const std::function<void(const CardValues&)>& take) {
    std::optional<CardReader> card;
    int depth = 0; // a vCard 2.1 AGENT may hold a card inside a card
    qint64 cardBytes = 0;
    qint64 cards = 0;
    ContentLines lines(file);
    for (QByteArray line; lines.next(&line, depth > 0);) {
        if (line.trimmed().isEmpty()) {
            continue;
        }
        const std::optional<Property> property = parseLine(line);
        if (!property) {
            if (depth == 0) {
                throw notAVCard();
            }
            throw EngineError(
                QStringLiteral("vCard 文件已损坏：有一行不是“名称:内容”的形式，没有导入任何名片"));
        }
        if (depth > 0 && (cardBytes += line.size()) > VCardLimits::CardBytes) {
            throw tooLarge(
                QStringLiteral("有一张名片超过 %1").arg(megabytes(VCardLimits::CardBytes)));
        }
        if (isCardBoundary(*property, "BEGIN")) {
            if (depth++ == 0) {
                card.emplace();
                cardBytes = line.size();
            }
        } else if (isCardBoundary(*property, "END")) {
            if (depth == 0) {
                throw notAVCard();
            }
            if (--depth == 0) {
                if (++cards > VCardLimits::Cards) {
                    throw tooLarge(
                        QStringLiteral("名片超过 %1 万张").arg(VCardLimits::Cards / 10'000));
                }
                take(card->values());
                card.reset();
            }
        } else if (depth == 0) {
            throw notAVCard();
        } else if (depth == 1) {
            card->take(*property);
        }
    }
    if (depth > 0) {
        throw EngineError(
            QStringLiteral("vCard 文件不完整：最后一张名片缺少 END:VCARD，没有导入任何名片"));
    }
    if (cards == 0) {
        throw notAVCard();
    }
}

std::vector<CardValues> readVCards(const QByteArray& file) {
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    std::vector<CardValues> cards;
    readVCards(buffer, [&cards](const CardValues& card) { cards.push_back(card); });
    return cards;
}

std::shared_ptr<ResultSet> readVCardRows(QIODevice& file) {
    std::shared_ptr<ResultSet> rows = emptyCardRows();
    qint64 textBytes = 0;
    readVCards(file, [&](const CardValues& card) {
        for (const CardField& field : cardFields()) {
            const QByteArray value = card.value(field.column).toUtf8();
            if ((textBytes += value.size()) > VCardLimits::TextBytes) {
                throw tooLarge(
                    QStringLiteral("名片的文字超过 %1").arg(megabytes(VCardLimits::TextBytes)));
            }
            rows->append(value.constData(), value.size());
        }
    });
    return rows;
}

std::shared_ptr<ResultSet> cardRows(const std::vector<CardValues>& cards) {
    std::shared_ptr<ResultSet> rows = emptyCardRows();
    for (const CardValues& card : cards) {
        for (const CardField& field : cardFields()) {
            rows->append(card.value(field.column));
        }
    }
    return rows;
}
