#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

// UTF-8 text as a string, every character kept: QString::fromUtf8 drops a leading byte order
// mark (U+FEFF), which is a character of a stored value like any other.
QString textFromUtf8(std::string_view utf8);

// Text kept back to back in one block that grows with realloc(), which extends a block in
// place where it can (and moves a mapped one by remapping its pages) instead of copying it.
class TextArena {
public:
    TextArena() = default;
    TextArena(const TextArena& other);
    TextArena& operator=(const TextArena& other);
    TextArena(TextArena&& other) noexcept;
    TextArena& operator=(TextArena&& other) noexcept;
    ~TextArena();

    size_t size() const { return m_size; }
    const char* data() const { return m_data; }
    void append(const char* text, size_t size);
    void reserve(size_t capacity);

private:
    char* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// A whole query result held in memory: column names and every row, each value as text.
// Values live back to back in one UTF-8 arena so that a list of 100,000 cards costs a few
// tens of megabytes rather than one heap block per cell.
class ResultSet {
public:
    ResultSet() = default;
    explicit ResultSet(const QStringList& columnNames);

    // Columns whose values the engine gave as integers sort as numbers.
    void setIntegerColumn(int column, bool isInteger);
    bool isIntegerColumn(int column) const { return m_integer.at(column); }

    int columnCount() const { return int(m_names.size()); }
    int rowCount() const { return m_names.isEmpty() ? 0 : int(m_ends.size() / m_names.size()); }
    const QStringList& columnNames() const { return m_names; }
    const QString& columnName(int column) const { return m_names.at(column); }
    // Case-insensitive lookup of a result column; -1 when there is none.
    int columnIndex(const QString& name) const;

    // Builder: append one value at a time, columnCount() values per row.
    void append(const char* utf8, qsizetype size);
    void append(const QString& value);
    void reserveRows(int rows, qsizetype bytesPerRow);
    // Appends the rows of a result with the same columns, after the rows held. A column stays
    // an integer column only while every part that has rows gives it as one.
    void appendRows(const ResultSet& more);
    // The bytes of values held, for sizing a result from a part of it.
    qsizetype valueBytes() const { return qsizetype(m_arena.size()); }

    // A result of the same columns holding the given rows, in the order given.
    ResultSet subset(const std::vector<int>& rows) const;

    QString text(int row, int column) const;
    std::string_view utf8(int row, int column) const;

private:
    QStringList m_names;
    std::vector<bool> m_integer;
    QHash<QString, int> m_index; // lower-cased name -> column
    TextArena m_arena;
    // Where each row starts in the arena (any size of text), and where each value ends,
    // counted from the start of its row (a row is far below 4 GiB: the engine caps it at
    // 1 GB), row-major.
    std::vector<quint64> m_rowStarts;
    std::vector<quint32> m_ends;
};
