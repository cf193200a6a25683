#include "db/query.h"

#include "db/engineerror.h"
#include "db/resultorder.h"

#include <algorithm>
#include <numeric>

namespace {
// The column and direction of a sort text ("姓名 DESC"; the direction ASC when left out); the
// column -1 for an empty text, an unknown column or another direction.
struct SortKey {
    int column = -1;
    bool descending = false;
};

SortKey sortKeyOf(const ResultSet& result, const QString& text) {
    const qsizetype blank = text.lastIndexOf(u' ');
    const QString direction = blank < 0 ? QStringLiteral("ASC") : text.mid(blank + 1).toUpper();
    if (text.isEmpty() || (direction != u"ASC" && direction != u"DESC")) {
        return {};
    }
    return {result.columnIndex(blank < 0 ? text : text.left(blank).trimmed()),
            direction == u"DESC"};
}
} // namespace

Query::Query(QObject* parent) : QObject(parent) {}

void Query::close() {
    if (!m_result) {
        return;
    }
    m_result.reset();
    m_growing.reset();
    m_waitForRest = nullptr;
    m_order.clear();
    m_rowOfKey.clear();
    m_deadRows = 0;
    m_keyColumn = -1;
    m_sortColumn = -1;
    m_sort.clear();
    m_pos = -1;
    m_eof = true;
    emit resultChanged();
}

void Query::openResult(std::shared_ptr<const ResultSet> result) {
    close();
    m_result = std::move(result);
    m_pos = m_result->rowCount() > 0 ? 0 : -1;
    m_eof = m_pos < 0;
    emit resultChanged();
    emit currentChanged(m_pos);
}

void Query::openFirstRows(std::shared_ptr<ResultSet> rows, std::function<bool()> waitForRest) {
    openResult(rows);
    m_growing = std::move(rows);
    m_waitForRest = std::move(waitForRest);
}

void Query::appendRows(const ResultSet& rows) {
    if (!m_growing || rows.rowCount() == 0) {
        return;
    }
    const int first = m_growing->rowCount();
    const int last = first + rows.rowCount() - 1;
    emit rowsAboutToBeAppended(first, last);
    m_growing->appendRows(rows);
    m_rowOfKey.clear(); // built again by the next merge
    if (!m_order.empty()) {
        for (int row = first; row <= last; ++row) {
            m_order.push_back(row); // after the sorted rows until the list is sorted again
        }
    }
    const bool wasEmpty = m_pos < 0;
    if (wasEmpty) {
        m_pos = 0;
        m_eof = false;
    }
    emit rowsAppended();
    if (wasEmpty) {
        emit currentChanged(m_pos);
    }
}

void Query::reserveRows(qint64 rows) {
    if (m_growing && m_growing->rowCount() > 0 && rows > m_growing->rowCount()) {
        // A little more than the rows held take on average, for rows longer than those.
        const qsizetype rowBytes = m_growing->valueBytes() / m_growing->rowCount();
        m_growing->reserveRows(int(rows), rowBytes + rowBytes / 8 + 1);
    }
}

void Query::restArrived() {
    m_growing.reset();
    m_waitForRest = nullptr;
}

bool Query::waitForAllRows() {
    if (!m_waitForRest) {
        return true;
    }
    const std::function<bool()> wait = m_waitForRest; // the wait may end the rest itself
    if (!wait()) {
        return false;
    }
    restArrived();
    return true;
}

void Query::requireOpen() const {
    if (!m_result) {
        throw EngineError(QStringLiteral("无法在已关闭的数据集上执行此操作"));
    }
}

int Query::recordCount() const {
    requireOpen();
    return m_order.empty() ? m_result->rowCount() : int(m_order.size());
}

QString Query::fieldByName(const QString& name) const {
    requireOpen();
    const int column = m_result->columnIndex(name);
    if (column < 0) {
        throw EngineError(QStringLiteral("找不到字段“%1”").arg(name));
    }
    if (m_pos < 0) {
        throw EngineError(QStringLiteral("数据集中没有当前记录"));
    }
    return m_result->text(rowAt(m_pos), column);
}

void Query::moveTo(int position) {
    if (position != m_pos) {
        m_pos = position;
        emit currentChanged(m_pos);
    }
}

void Query::first() {
    requireOpen();
    m_eof = recordCount() == 0;
    moveTo(m_eof ? -1 : 0);
}

void Query::last() {
    requireOpen();
    m_eof = recordCount() == 0;
    moveTo(recordCount() - 1);
}

void Query::next() {
    requireOpen();
    if (m_pos + 1 < recordCount()) {
        moveTo(m_pos + 1);
    } else {
        m_eof = true;
    }
}

void Query::prior() {
    requireOpen();
    if (m_pos > 0) {
        m_eof = false;
        moveTo(m_pos - 1);
    }
}

void Query::setRecNo(int position) {
    requireOpen();
    if (position >= 1 && position <= recordCount()) {
        m_eof = false;
        moveTo(position - 1);
    }
}

std::function<std::vector<int>()> Query::sorter(const QString& sortText) {
    requireOpen();
    compact(); // every row of the result a row of the list
    const QString text = sortText.trimmed();
    if (text.isEmpty()) {
        if (m_keyColumn < 0) {
            return [] { return std::vector<int>(); }; // the rows as read
        }
        // A list that took in changes: newest first, as the statement reads it.
        return [result = m_result, key = m_keyColumn] { return sortedOrder(*result, key, true); };
    }
    const SortKey key = sortKeyOf(*m_result, text);
    if (key.column < 0) {
        throw EngineError(QStringLiteral("无效的排序：“%1”").arg(sortText));
    }
    return [result = m_result, key] { return sortedOrder(*result, key.column, key.descending); };
}

void Query::setSort(const QString& sortText) {
    setSort(sortText, sorter(sortText)());
}

void Query::setSort(const QString& sortText, std::vector<int> order) {
    requireOpen();
    const int currentRow = m_pos >= 0 ? rowAt(m_pos) : -1;
    emit aboutToReorder();
    m_order = std::move(order);
    m_sort = sortText.trimmed().isEmpty() ? QString() : sortText;
    const SortKey key = sortKeyOf(*m_result, m_sort.trimmed());
    m_sortColumn = key.column;
    m_sortDescending = key.descending;
    // The current card stays current, wherever the sort puts it.
    if (m_pos >= 0) {
        m_pos = int(std::find(m_order.begin(), m_order.end(), currentRow) - m_order.begin());
        if (m_order.empty()) {
            m_pos = currentRow;
        }
    }
    emit reordered();
    emit currentChanged(m_pos);
}

ResultSet& Query::ownRows() {
    if (m_result.use_count() > 1) {
        m_result = std::make_shared<ResultSet>(*m_result); // another window still reads it
    }
    // Every result is made as a ResultSet that the query may change once it alone holds it.
    return const_cast<ResultSet&>(*m_result);
}

void Query::indexKeys() {
    m_keyColumn = m_result->columnIndex(QStringLiteral("ID"));
    if (m_keyColumn < 0) {
        throw EngineError(QStringLiteral("找不到字段“ID”"));
    }
    if (m_order.empty()) {
        m_order.resize(size_t(m_result->rowCount()));
        std::iota(m_order.begin(), m_order.end(), 0);
    }
    if (m_rowOfKey.empty()) {
        m_rowOfKey.reserve(m_order.size());
        for (const int row : m_order) {
            const std::string_view key = m_result->utf8(row, m_keyColumn);
            m_rowOfKey.emplace(
                QByteArray::fromRawData(key.data(), qsizetype(key.size())).toLongLong(), row);
        }
    }
}

bool Query::holdsKey(qint64 key) {
    if (!m_result || m_growing) {
        return false;
    }
    indexKeys();
    return m_rowOfKey.count(key) > 0;
}

int Query::mergeRows(const std::vector<qint64>& keys, const ResultSet& fresh) {
    requireOpen();
    if (m_growing) {
        throw EngineError(QStringLiteral("名片列表还没有读完"));
    }
    indexKeys();
    const int before = recordCount();
    const int freshKey = fresh.columnIndex(QStringLiteral("ID"));
    std::unordered_map<qint64, int> freshRowOfKey;
    for (int row = 0; row < fresh.rowCount(); ++row) {
        freshRowOfKey.emplace(fresh.text(row, freshKey).toLongLong(), row);
    }
    for (const qint64 key : keys) {
        const auto found = freshRowOfKey.find(key);
        mergeRow(key, fresh, found == freshRowOfKey.end() ? -1 : found->second);
    }
    // A list whose result holds more rows gone than shown is made anew.
    if (m_deadRows > m_result->rowCount() / 2) {
        compact();
    }
    return recordCount() - before;
}

// Where a row not yet in the list goes: after the rows that sort before it or equal it, or,
// in the statement's order, after the newer cards.
int Query::insertPosition(int row) const {
    const ResultSet& rows = *m_result;
    if (m_sortColumn >= 0) {
        const auto after = [&](int listed) {
            const int order = compareForSort(rows, m_sortColumn, listed, row);
            return m_sortDescending ? order >= 0 : order <= 0;
        };
        return int(std::partition_point(m_order.begin(), m_order.end(), after) - m_order.begin());
    }
    const auto keyOf = [&](int r) {
        const std::string_view key = rows.utf8(r, m_keyColumn);
        return QByteArray::fromRawData(key.data(), qsizetype(key.size())).toLongLong();
    };
    const qint64 key = keyOf(row);
    return int(std::partition_point(m_order.begin(), m_order.end(),
                                    [&](int listed) { return keyOf(listed) > key; }) -
               m_order.begin());
}

void Query::mergeRow(qint64 key, const ResultSet& fresh, int freshRow) {
    bool wasCurrent = false;
    const auto held = m_rowOfKey.find(key);
    if (held != m_rowOfKey.end()) {
        const int position =
            int(std::find(m_order.begin(), m_order.end(), held->second) - m_order.begin());
        wasCurrent = position == m_pos;
        emit rowsAboutToBeRemoved(position);
        m_order.erase(m_order.begin() + position);
        m_rowOfKey.erase(held);
        ++m_deadRows;
        // The rows below move up; a current card that went leaves the next one current (the
        // one above when it was the last).
        if (m_pos > position || m_pos == int(m_order.size())) {
            --m_pos;
        }
        m_eof = m_order.empty();
        emit rowsRemoved();
        if (wasCurrent && freshRow < 0) {
            emit currentChanged(m_pos);
        }
    }
    if (freshRow < 0) {
        return;
    }
    ResultSet& rows = ownRows();
    rows.appendRows(fresh.subset({freshRow}));
    const int row = rows.rowCount() - 1;
    const int at = insertPosition(row);
    emit rowsAboutToBeInserted(at);
    m_order.insert(m_order.begin() + at, row);
    m_rowOfKey.emplace(key, row);
    const bool wasEmpty = m_pos < 0;
    if (wasCurrent || wasEmpty) {
        m_pos = at; // a card changed stays current, wherever its new values put it
    } else if (m_pos >= at) {
        ++m_pos;
    }
    m_eof = false;
    emit rowsInserted();
    if (wasCurrent || wasEmpty) {
        emit currentChanged(m_pos);
    }
}

void Query::compact() {
    if (m_deadRows == 0 || !m_result) {
        return;
    }
    const bool sorted = m_sortColumn >= 0;
    std::vector<int> live = m_order;
    if (!sorted) {
        // The statement's order is the list's order: the result is made in it.
    } else {
        std::sort(live.begin(), live.end()); // rows in the result's order, the sort kept below
    }
    auto compacted = std::make_shared<ResultSet>(m_result->subset(live));
    std::unordered_map<int, int> newRow;
    newRow.reserve(live.size());
    for (size_t i = 0; i < live.size(); ++i) {
        newRow.emplace(live[i], int(i));
    }
    for (int& row : m_order) {
        row = newRow.at(row);
    }
    if (!sorted) {
        m_order.clear(); // identity again
    }
    m_result = std::move(compacted);
    m_rowOfKey.clear();
    m_deadRows = 0;
}

std::shared_ptr<const ResultSet> Query::wholeResult() {
    if (!whole()) {
        return nullptr;
    }
    compact();
    return m_result;
}
