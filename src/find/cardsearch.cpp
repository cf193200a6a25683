#include "find/cardsearch.h"

#include "find/pinyin.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <numeric>
#include <thread>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// Pinyin is matched over at most this many typed letters (one bit each).
constexpr int MaxSpelledLength = 63;
// Below this much text, a second thread costs more than it saves.
constexpr quint64 HalvedFromBytes = 1 << 20;

quint32 lettersOf(QStringView text) {
    quint32 letters = 0;
    for (const QChar c : text) {
        if (c >= u'a' && c <= u'z') {
            letters |= 1u << (c.unicode() - u'a');
        }
    }
    return letters;
}

// The typed text as pinyin is matched: lower case, without the blanks and apostrophes that
// people put between syllables ("zhang wei", "xi'an").
QString spelledForm(const QString& typed) {
    QString form;
    for (const QChar c : typed.toLower()) {
        if (!c.isSpace() && c != u'\'') {
            form += c;
        }
    }
    return form;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The length of the UTF-8 character that starts at text[0] and its code point, or 0 when
// the bytes there are no well-formed character.
size_t decodeUtf8(std::string_view text, char32_t* c) {
    const uchar lead = uchar(text[0]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || length > text.size() || lead > 0xF4) {
        return 0;
    }
    char32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const uchar next = uchar(text[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3F);
    }
    *c = code;
    return length;
}

// Appends text in lower case, character by character as QChar::toLower has it; bytes that
// are no well-formed UTF-8 are kept as they are.
void appendLowerCase(std::string& out, std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const uchar byte = uchar(text[i]);
        if (byte < 0x80) {
            out += char(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
            ++i;
            continue;
        }
        char32_t c = 0;
        const size_t length = decodeUtf8(text.substr(i), &c);
        if (length == 0) {
            out += char(byte);
            ++i;
            continue;
        }
        const char32_t lower = QChar::toLower(c);
        if (lower == c) {
            out.append(text.data() + i, length);
        } else {
            appendUtf8(out, lower);
        }
        i += length;
    }
}

// Where needle first stands in [from, end), or end. Sixteen places are tried at once by
// their first and last bytes; only where both agree are the bytes between compared.
const char* findText(const char* from, const char* end, std::string_view needle) {
    const size_t n = needle.size();
    if (size_t(end - from) < n) {
        return end;
    }
    if (n == 1) {
        const void* at = std::memchr(from, needle[0], size_t(end - from));
        return at ? static_cast<const char*>(at) : end;
    }
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[n - 1]);
    for (; from + n - 1 + 16 <= end; from += 16) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + n - 1));
        auto candidates = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, last))));
        for (; candidates != 0; candidates &= candidates - 1) {
            const char* at = from + std::countr_zero(candidates);
            if (std::memcmp(at + 1, needle.data() + 1, n - 2) == 0) {
                return at;
            }
        }
    }
#endif
    const void* at = memmem(from, size_t(end - from), needle.data(), n);
    return at ? static_cast<const char*>(at) : end;
}
} // namespace

struct CardSearch::Search {
    std::string text; // lower case, as the values are kept
    QString spelled;
    bool bySpelling = false;
    quint32 letters = 0;
    LetterPairs pairs;
};

CardSearch::CardSearch(const ResultSet& cards, const QStringList& skippedColumns,
                       const QStringList& pinyinColumns, PinyinReadings& readings)
    : m_rows(cards.rowCount()), m_pinyinColumns(int(pinyinColumns.size())) {
    std::vector<int> textColumns;
    for (int column = 0; column < cards.columnCount(); ++column) {
        if (!skippedColumns.contains(cards.columnName(column), Qt::CaseInsensitive)) {
            textColumns.push_back(column);
        }
    }
    std::vector<int> spelledColumns;
    for (const QString& name : pinyinColumns) {
        spelledColumns.push_back(cards.columnIndex(name));
    }

    // The values' text on a thread of its own, the names and companies on this one.
    std::thread text([&] {
        m_text.reserve(size_t(cards.valueBytes()) + size_t(m_rows) * textColumns.size());
        m_rowStart.reserve(size_t(m_rows) + 1);
        for (int row = 0; row < m_rows; ++row) {
            m_rowStart.push_back(m_text.size());
            for (const int column : textColumns) {
                appendLowerCase(m_text, cards.utf8(row, column));
                m_text += '\n';
            }
        }
        m_rowStart.push_back(m_text.size());
    });
    m_rowWritten.reserve(size_t(m_rows) * spelledColumns.size());
    CharacterIndex known;
    // Each distinct value once; the empty value, and a column the list lacks, is the first.
    std::unordered_map<std::string_view, quint32> writtenIndex{{std::string_view(), 0}};
    m_written.push_back({0, 0, 0, {}});
    for (int row = 0; row < m_rows; ++row) {
        for (const int column : spelledColumns) {
            const std::string_view value =
                column < 0 ? std::string_view() : cards.utf8(row, column);
            auto [at, isNew] = writtenIndex.try_emplace(value, quint32(m_written.size()));
            if (isNew) {
                m_written.push_back(written(textFromUtf8(value), known, readings));
            }
            m_rowWritten.push_back(at->second);
        }
    }
    text.join();
}

CardSearch::Written CardSearch::written(QStringView value, CharacterIndex& known,
                                        PinyinReadings& readings) {
    Written written{quint32(m_sequence.size()), 0, 0, {}};
    quint32 lettersBefore = 0; // of the character before
    for (const char32_t c : value.toUcs4()) {
        if (QChar::isSpace(c)) {
            continue; // typed or not, blanks do not count
        }
        auto index = known.constFind(c);
        if (index == known.cend()) {
            index = known.insert(c, addCharacter(c, readings));
        }
        m_sequence.push_back(*index);
        const Character& character = m_characters[*index];
        written.letters |= character.letters;
        written.pairs |= character.inside;
        written.pairs.add(lettersBefore, character.initials);
        lettersBefore = character.letters;
    }
    written.count = quint32(m_sequence.size()) - written.first;
    return written;
}

quint32 CardSearch::addCharacter(char32_t c, PinyinReadings& readings) {
    QStringList ways = readings.of(c);
    ways << QString::fromUcs4(&c, 1).toLower();
    Character character{quint32(m_ways.size()), quint32(ways.size()), 0, 0, {}};
    for (const QString& way : ways) {
        m_ways.push_back({quint32(m_wayText.size()), quint32(way.size())});
        m_wayText.append(reinterpret_cast<const char16_t*>(way.utf16()), size_t(way.size()));
        character.letters |= lettersOf(way);
        character.initials |= lettersOf(way.left(1));
        for (qsizetype i = 1; i < way.size(); ++i) {
            character.inside.add(lettersOf(way.sliced(i - 1, 1)), lettersOf(way.sliced(i, 1)));
        }
    }
    m_characters.push_back(character);
    return quint32(m_characters.size() - 1);
}

void CardSearch::LetterPairs::add(int first, int second) {
    const int bit = (first * 26 + second) % 128;
    bits[bit / 64] |= quint64(1) << (bit % 64);
}

void CardSearch::LetterPairs::add(quint32 firstLetters, quint32 secondLetters) {
    for (quint32 first = firstLetters; first != 0; first &= first - 1) {
        for (quint32 second = secondLetters; second != 0; second &= second - 1) {
            add(std::countr_zero(first), std::countr_zero(second));
        }
    }
}

CardSearch::LetterPairs& CardSearch::LetterPairs::operator|=(const LetterPairs& other) {
    bits[0] |= other.bits[0];
    bits[1] |= other.bits[1];
    return *this;
}

bool CardSearch::LetterPairs::covers(const LetterPairs& other) const {
    return (other.bits[0] & ~bits[0]) == 0 && (other.bits[1] & ~bits[1]) == 0;
}

std::vector<int> CardSearch::find(const QString& text) {
    const QString typed = text.toLower();
    Search search;
    appendLowerCase(search.text, text.toUtf8().toStdString());
    search.spelled = spelledForm(text);
    search.bySpelling = !search.spelled.isEmpty() && search.spelled.size() <= MaxSpelledLength;
    search.letters = lettersOf(search.spelled);
    for (qsizetype i = 1; i < search.spelled.size(); ++i) {
        search.pairs.add(lettersOf(search.spelled.sliced(i - 1, 1)),
                         lettersOf(search.spelled.sliced(i, 1)));
    }

    // Values that hold the longer text held the shorter one, and a name or company that
    // spells the longer text spelled the shorter one.
    const bool narrowing = !m_lastTyped.isEmpty() && typed.startsWith(m_lastTyped) &&
                           (m_lastBySpelling || !search.bySpelling);
    if (typed.isEmpty()) {
        m_lastHeld.clear();
        m_lastSpelled.clear();
    } else if (narrowing) {
        m_lastHeld = rowsHolding(search, m_lastHeld);
        m_lastSpelled =
            search.bySpelling ? rowsSpelling(search, m_lastSpelled) : std::vector<int>();
    } else {
        std::vector<int> every(static_cast<size_t>(m_rows));
        std::iota(every.begin(), every.end(), 0);
        m_lastHeld = rowsHolding(search, every);
        m_lastSpelled = search.bySpelling ? rowsSpelling(search, every) : std::vector<int>();
    }
    m_lastTyped = typed;
    m_lastBySpelling = search.bySpelling;
    std::vector<int> rows;
    rows.reserve(std::max(m_lastHeld.size(), m_lastSpelled.size()));
    std::set_union(m_lastHeld.begin(), m_lastHeld.end(), m_lastSpelled.begin(), m_lastSpelled.end(),
                   std::back_inserter(rows));
    return rows;
}

// The candidate rows, in order, with a value that holds the typed text; a long stretch of
// text is searched in two halves at once.
std::vector<int> CardSearch::rowsHolding(const Search& search,
                                         const std::vector<int>& candidates) const {
    if (candidates.empty()) {
        return {};
    }
    const int* begin = candidates.data();
    const int* end = begin + candidates.size();
    if (m_rowStart[size_t(end[-1]) + 1] - m_rowStart[size_t(*begin)] < HalvedFromBytes) {
        return rowsHolding(search, begin, end);
    }
    const int* middle = begin + candidates.size() / 2;
    std::vector<int> secondHalf;
    std::thread second([&] { secondHalf = rowsHolding(search, middle, end); });
    std::vector<int> rows = rowsHolding(search, begin, middle);
    second.join();
    rows.insert(rows.end(), secondHalf.begin(), secondHalf.end());
    return rows;
}

// The candidate rows, in order, whose name or company spells the typed text.
std::vector<int> CardSearch::rowsSpelling(const Search& search,
                                          const std::vector<int>& candidates) const {
    // Whether each distinct name and company spells the text: -1 not yet known.
    std::vector<signed char> spelling(m_written.size(), -1);
    const auto spelled = [&](int row) {
        for (int column = 0; column < m_pinyinColumns; ++column) {
            const quint32 id = m_rowWritten[size_t(row) * size_t(m_pinyinColumns) + size_t(column)];
            if (spelling[id] < 0) {
                // A value can only be spelled with the letters of its spellings, each letter
                // followed by one that follows it in a spelling or starts the next character's.
                const Written& value = m_written[id];
                spelling[id] = (search.letters & ~value.letters) == 0 &&
                               value.pairs.covers(search.pairs) && spells(value, search.spelled);
            }
            if (spelling[id] != 0) {
                return true;
            }
        }
        return false;
    };
    std::vector<int> rows;
    std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(rows), spelled);
    return rows;
}

// The candidate rows, in order, with a value that holds the typed text: each row on its own
// when they are few among the rows they span, otherwise one pass over the text they span.
std::vector<int> CardSearch::rowsHolding(const Search& search, const int* begin,
                                         const int* end) const {
    std::vector<int> rows;
    if (begin == end) {
        return rows;
    }
    const char* text = m_text.data();
    const auto rowText = [&](int row) { return text + m_rowStart[size_t(row)]; };
    const int firstRow = *begin;
    const int lastRow = end[-1];
    if ((end - begin) * 8 < lastRow - firstRow + 1) {
        for (const int* row = begin; row != end; ++row) {
            const char* stop = rowText(*row + 1);
            if (findText(rowText(*row), stop, search.text) != stop) {
                rows.push_back(*row);
            }
        }
        return rows;
    }
    const char* stop = rowText(lastRow + 1);
    const int* candidate = begin;
    int row = firstRow;
    for (const char* from = rowText(firstRow);;) {
        const char* at = findText(from, stop, search.text);
        if (at == stop) {
            break;
        }
        // The row of the match: most often the next one or close after it.
        const auto offset = quint64(at - text);
        while (row < lastRow && m_rowStart[size_t(row) + 1] <= offset) {
            ++row;
        }
        candidate = std::lower_bound(candidate, end, row);
        if (candidate != end && *candidate == row) {
            rows.push_back(row);
        }
        from = rowText(row + 1);
    }
    return rows;
}

// Whether the typed text spells a run of characters of a name or company: each character is
// taken by the start of one of its spellings (an initial, a whole syllable or anything
// between), the last one perhaps only in part. The positions in the typed text that can be
// reached so far are kept as bits.
bool CardSearch::spells(const Written& value, const QString& typed) const {
    const qsizetype length = typed.size();
    const auto* want = reinterpret_cast<const char16_t*>(typed.utf16());
    const quint64 whole = quint64(1) << length;
    // Most characters cannot start the typed text: their spellings start with other letters.
    const quint32 firstLetter = want[0] >= u'a' && want[0] <= u'z' ? 1u << (want[0] - u'a') : 0;
    quint64 reached = 0;
    for (quint32 i = value.first; i < value.first + value.count; ++i) {
        reached |= 1; // a match may start at any character
        const Character& character = m_characters[m_sequence[i]];
        if (reached == 1 && firstLetter != 0 && (character.initials & firstLetter) == 0) {
            reached = 0;
            continue;
        }
        quint64 next = 0;
        for (quint32 w = character.firstWay; w < character.firstWay + character.ways; ++w) {
            const char16_t* spelling = m_wayText.data() + m_ways[w].offset;
            const qsizetype wayLength = m_ways[w].length;
            for (quint64 from = reached; from != 0; from &= from - 1) {
                const int start = std::countr_zero(from);
                for (qsizetype l = 0;
                     l < wayLength && start + l < length && spelling[l] == want[start + l]; ++l) {
                    next |= quint64(1) << (start + l + 1);
                }
            }
        }
        if (next & whole) {
            return true;
        }
        reached = next;
    }
    return false;
}
