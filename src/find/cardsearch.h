#pragma once

#include "db/resultset.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class PinyinReadings;

// Finds cards as the user types: a card matches when any of its values holds the text
// (letter case aside), or when the text spells the pinyin of its name or company, in full,
// by initials or a mix ("zw", "zhangwei", "zhangw" find 张伟; "bjhl" finds 北京华联商贸).
// Everything a search needs is worked out once, when the index is built over a list.
class CardSearch {
public:
    // Indexes every row of cards: all columns but the skipped ones for the text, the
    // pinyinColumns for the pinyin.
    CardSearch(const ResultSet& cards, const QStringList& skippedColumns,
               const QStringList& pinyinColumns, PinyinReadings& readings);

    // The rows that match text, in the list's order; none for an empty text. A text that
    // goes on from the one before (the next keystroke) is looked for among the rows found
    // for that one only.
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

    bool holds(int row, const QString& typed) const;
    bool spells(int row, const QString& typed) const;
    quint32 addCharacter(char32_t c, PinyinReadings& readings);

    int m_rows = 0;
    QString m_text;                    // every row's values, lower case, one line per value
    std::vector<qsizetype> m_rowStart; // where each row's values start in m_text

    std::vector<Character> m_characters; // every distinct character met
    std::vector<Way> m_ways;
    std::u16string m_wayText;
    std::vector<quint32> m_sequence;      // the characters of every name and company
    std::vector<quint32> m_sequenceStart; // per row and pinyin column, into m_sequence
    std::vector<quint32> m_rowLetters;    // the letters any spelling of a row can use
    std::vector<LetterPairs> m_rowPairs;  // the letters that may follow each other there
    int m_pinyinColumns = 0;

    QString m_lastTyped;
    std::vector<int> m_lastFound;
};
