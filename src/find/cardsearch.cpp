#include "find/cardsearch.h"

#include "find/pinyin.h"

#include <QHash>
#include <algorithm>
#include <bit>

namespace {
// Pinyin is matched over at most this many typed letters (one bit each).
constexpr int MaxSpelledLength = 63;

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
} // namespace

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

    QHash<char32_t, quint32> characterIndex;
    m_rowStart.reserve(size_t(m_rows) + 1);
    m_rowLetters.reserve(size_t(m_rows));
    m_rowPairs.reserve(size_t(m_rows));
    m_sequenceStart.reserve(size_t(m_rows) * spelledColumns.size() + 1);
    for (int row = 0; row < m_rows; ++row) {
        m_rowStart.push_back(m_text.size());
        for (const int column : textColumns) {
            m_text += cards.text(row, column).toLower();
            m_text += u'\n';
        }
        quint32 letters = 0;
        LetterPairs pairs;
        for (const int column : spelledColumns) {
            m_sequenceStart.push_back(quint32(m_sequence.size()));
            if (column < 0) {
                continue;
            }
            quint32 lettersBefore = 0; // of the character before, in this value
            const QString value = cards.text(row, column);
            for (const char32_t c : value.toUcs4()) {
                if (QChar::isSpace(c)) {
                    continue; // typed or not, blanks do not count
                }
                auto known = characterIndex.constFind(c);
                if (known == characterIndex.cend()) {
                    known = characterIndex.insert(c, addCharacter(c, readings));
                }
                m_sequence.push_back(*known);
                const Character& character = m_characters[*known];
                letters |= character.letters;
                pairs |= character.inside;
                pairs.add(lettersBefore, character.initials);
                lettersBefore = character.letters;
            }
        }
        m_rowLetters.push_back(letters);
        m_rowPairs.push_back(pairs);
    }
    m_rowStart.push_back(m_text.size());
    m_sequenceStart.push_back(quint32(m_sequence.size()));
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

bool CardSearch::holds(int row, const QString& typed) const {
    const qsizetype start = m_rowStart[size_t(row)];
    return QStringView(m_text)
        .sliced(start, m_rowStart[size_t(row) + 1] - start)
        .contains(typed, Qt::CaseSensitive);
}

std::vector<int> CardSearch::find(const QString& text) {
    std::vector<int> rows;
    const QString typed = text.toLower();
    const QString spelled = spelledForm(text);
    const bool bySpelling = !spelled.isEmpty() && spelled.size() <= MaxSpelledLength;
    const quint32 typedLetters = lettersOf(spelled);
    LetterPairs typedPairs;
    for (qsizetype i = 1; i < spelled.size(); ++i) {
        typedPairs.add(lettersOf(spelled.sliced(i - 1, 1)), lettersOf(spelled.sliced(i, 1)));
    }
    // A row can only be spelled with the letters of its spellings, each letter followed by
    // one that follows it in a spelling or starts the next character's.
    const auto consider = [&](int row) {
        if (holds(row, typed) ||
            (bySpelling && (typedLetters & ~m_rowLetters[size_t(row)]) == 0 &&
             m_rowPairs[size_t(row)].covers(typedPairs) && spells(row, spelled))) {
            rows.push_back(row);
        }
    };
    if (typed.isEmpty()) {
        // nothing typed, nothing found
    } else if (!m_lastTyped.isEmpty() && typed.startsWith(m_lastTyped)) {
        // A card that matches the longer text matched the shorter one too.
        for (const int row : m_lastFound) {
            consider(row);
        }
    } else {
        for (int row = 0; row < m_rows; ++row) {
            consider(row);
        }
    }
    m_lastTyped = typed;
    m_lastFound = rows;
    return rows;
}

// Whether the typed text spells a run of characters of the row's name or company: each
// character is taken by the start of one of its spellings (an initial, a whole syllable or
// anything between), the last one perhaps only in part. The positions in the typed text that
// can be reached so far are kept as bits.
bool CardSearch::spells(int row, const QString& typed) const {
    const qsizetype length = typed.size();
    const auto* want = reinterpret_cast<const char16_t*>(typed.utf16());
    const quint64 whole = quint64(1) << length;
    // Most characters cannot start the typed text: their spellings start with other letters.
    const quint32 firstLetter = want[0] >= u'a' && want[0] <= u'z' ? 1u << (want[0] - u'a') : 0;
    for (int column = 0; column < m_pinyinColumns; ++column) {
        const size_t slot = size_t(row) * size_t(m_pinyinColumns) + size_t(column);
        quint64 reached = 0;
        for (quint32 i = m_sequenceStart[slot]; i < m_sequenceStart[slot + 1]; ++i) {
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
                         l < wayLength && start + l < length && spelling[l] == want[start + l];
                         ++l) {
                        next |= quint64(1) << (start + l + 1);
                    }
                }
            }
            if (next & whole) {
                return true;
            }
            reached = next;
        }
    }
    return false;
}
