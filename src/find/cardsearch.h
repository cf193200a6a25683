#pragma once

#include "db/resultset.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class PinyinReadings;

// Finds cards as the user types: a card matches when any of its values holds the text
// (letter case aside), or when the text spells the pinyin of its name or company, in full,
// by initials or a mix ("zw", "zhangwei", "zhangw" find 张伟; "bjhl" finds 北京华联商贸).
// Everything a search needs is worked out once, when the index is built over a list: the
// values in one block of lower-case text, and each distinct name and company as the
// characters it is written with, so that a name shared by many cards is spelled once per
// search. A long list is searched in two halves at once.
class CardSearch {
public:
    // Indexes every row of cards: all columns but the skipped ones for the text, the
    // pinyinColumns for the pinyin.
    CardSearch(const ResultSet& cards, const QStringList& skippedColumns,
               const QStringList& pinyinColumns, PinyinReadings& readings);

    // The rows that match text, in the list's order; none for an empty text. A text that
    // goes on from the one before (the next keystroke) is looked for in the values of the
    // rows whose values held that one, and spelled among the rows that spelled it.
    std::vector<int> find(const QString& text);

private:
    // One written character of a name or company and the ways to spell it: its pinyin
    // readings and the character itself, kept back to back in m_wayText.
    struct Way {
        quint32 offset;
        quint32 length;
    };
    // Which letters may follow which in a spelling, as bits (hashed into 128).
    struct LetterPairs {
        quint64 bits[2] = {0, 0};
        void add(int first, int second);
        void add(quint32 firstLetters, quint32 secondLetters);
        LetterPairs& operator|=(const LetterPairs& other);
        bool covers(const LetterPairs& other) const;
    };
    struct Character {
        quint32 firstWay;
        quint32 ways;
        quint32 letters;    // the letters a-z of its spellings, as bits
        quint32 initials;   // the letters its spellings start with
        LetterPairs inside; // the letters that follow each other inside its spellings
    };
    // A distinct value of a pinyin column: its characters in m_sequence, the letters any
    // spelling of it can use, and the letters that may follow each other there.
    struct Written {
        quint32 first;
        quint32 count;
        quint32 letters;
        LetterPairs pairs;
    };
    struct Search; // one typed text, as each way of matching needs it

    using CharacterIndex = QHash<char32_t, quint32>;
    quint32 addCharacter(char32_t c, PinyinReadings& readings);
    Written written(QStringView value, CharacterIndex& known, PinyinReadings& readings);
    std::vector<int> rowsHolding(const Search& search, const std::vector<int>& candidates) const;
    std::vector<int> rowsHolding(const Search& search, const int* begin, const int* end) const;
    std::vector<int> rowsSpelling(const Search& search, const std::vector<int>& candidates) const;
    bool spells(const Written& value, const QString& typed) const;

    int m_rows = 0;
    std::string m_text;              // every row's values, lower case, each ended by '\n'
    std::vector<quint64> m_rowStart; // where each row's values start in m_text

    std::vector<Character> m_characters; // every distinct character met
    std::vector<Way> m_ways;
    std::u16string m_wayText;
    std::vector<quint32> m_sequence;   // the characters of every distinct name and company
    std::vector<Written> m_written;    // every distinct name and company
    std::vector<quint32> m_rowWritten; // per row and pinyin column, into m_written
    int m_pinyinColumns = 0;

    QString m_lastTyped; // lower case
    bool m_lastBySpelling = false;
    std::vector<int> m_lastHeld;    // the rows whose values held the last text
    std::vector<int> m_lastSpelled; // the rows that spelled it
};
