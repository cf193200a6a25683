#include "db/resultset.h"

#include <QStringDecoder>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

QString textFromUtf8(std::string_view utf8) {
    if (!utf8.starts_with("\xEF\xBB\xBF")) {
        return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
}

TextArena::TextArena(const TextArena& other) {
    append(other.m_data, other.m_size);
}

TextArena& TextArena::operator=(const TextArena& other) {
    if (this != &other) {
        m_size = 0;
        append(other.m_data, other.m_size);
    }
    return *this;
}

TextArena::TextArena(TextArena&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

TextArena& TextArena::operator=(TextArena&& other) noexcept {
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    std::swap(m_capacity, other.m_capacity);
    return *this;
}

TextArena::~TextArena() {
    std::free(m_data);
}

void TextArena::reserve(size_t capacity) {
    if (capacity <= m_capacity) {
        return;
    }
    char* grown = static_cast<char*>(std::realloc(m_data, capacity));
    if (!grown) {
        throw std::bad_alloc();
    }
    m_data = grown;
    m_capacity = capacity;
}

void TextArena::append(const char* text, size_t size) {
    if (m_size + size > m_capacity) {
        reserve(std::max({m_size + size, m_capacity * 2, size_t(4096)}));
    }
    if (size > 0) {
        std::memcpy(m_data + m_size, text, size);
    }
    m_size += size;
}

ResultSet::ResultSet(const QStringList& columnNames)
    : m_names(columnNames), m_integer(columnNames.size(), false) {
    for (int i = int(m_names.size()) - 1; i >= 0; --i) {
        m_index.insert(m_names.at(i).toLower(), i); // the first of equal names wins
    }
}

void ResultSet::setIntegerColumn(int column, bool isInteger) {
    m_integer.at(column) = isInteger;
}

int ResultSet::columnIndex(const QString& name) const {
    return m_index.value(name.toLower(), -1);
}

void ResultSet::append(const char* utf8, qsizetype size) {
    if (m_ends.size() % size_t(m_names.size()) == 0) {
        m_rowStarts.push_back(quint64(m_arena.size()));
    }
    m_arena.append(utf8, size_t(size));
    m_ends.push_back(quint32(quint64(m_arena.size()) - m_rowStarts.back()));
}

void ResultSet::append(const QString& value) {
    const QByteArray bytes = value.toUtf8();
    append(bytes.constData(), bytes.size());
}

void ResultSet::reserveRows(int rows, qsizetype bytesPerRow) {
    m_rowStarts.reserve(size_t(rows));
    m_ends.reserve(size_t(rows) * m_names.size());
    m_arena.reserve(size_t(rows) * size_t(bytesPerRow));
}

void ResultSet::appendRows(const ResultSet& more) {
    if (more.rowCount() == 0) {
        return;
    }
    const bool first = rowCount() == 0;
    for (size_t c = 0; c < m_integer.size() && c < more.m_integer.size(); ++c) {
        m_integer[c] = more.m_integer[c] && (first || m_integer[c]);
    }
    const quint64 offset = m_arena.size();
    m_arena.append(more.m_arena.data(), more.m_arena.size());
    for (const quint64 start : more.m_rowStarts) {
        m_rowStarts.push_back(offset + start);
    }
    m_ends.insert(m_ends.end(), more.m_ends.begin(), more.m_ends.end());
}

std::string_view ResultSet::utf8(int row, int column) const {
    const size_t i = size_t(row) * m_names.size() + column;
    const quint32 begin = column == 0 ? 0 : m_ends[i - 1];
    return std::string_view(m_arena.data() + m_rowStarts[size_t(row)] + begin, m_ends[i] - begin);
}

QString ResultSet::text(int row, int column) const {
    return textFromUtf8(utf8(row, column));
}

ResultSet ResultSet::subset(const std::vector<int>& rows) const {
    ResultSet part;
    part.m_names = m_names;
    part.m_integer = m_integer;
    part.m_index = m_index;
    const size_t columns = m_names.size();
    if (columns == 0) {
        return part;
    }
    part.m_rowStarts.reserve(rows.size());
    part.m_ends.reserve(rows.size() * columns);
    for (const int row : rows) {
        const size_t first = size_t(row) * columns;
        part.m_rowStarts.push_back(quint64(part.m_arena.size()));
        part.m_arena.append(m_arena.data() + m_rowStarts[size_t(row)], m_ends[first + columns - 1]);
        part.m_ends.insert(part.m_ends.end(), m_ends.begin() + qsizetype(first),
                           m_ends.begin() + qsizetype(first + columns));
    }
    return part;
}
