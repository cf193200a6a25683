#include "db/query.h"

#include "db/backgroundthread.h"
#include "db/engineerror.h"
#include "db/resultorder.h"

#include <QEventLoop>
#include <QThread>
#include <algorithm>

namespace {
// Below this many rows a sort takes a few milliseconds, and is done at once.
constexpr int SortAsideFromRows = 20000;

// The order of a long result worked out on a thread of its own, the program's events going
// on meanwhile (user input aside), so that windows repaint and timers fire while it sorts.
std::vector<int> sortedAside(const std::shared_ptr<const ResultSet>& result, int column,
                             bool descending) {
    if (result->rowCount() < SortAsideFromRows) {
        return sortedOrder(*result, column, descending);
    }
    std::vector<int> order;
    QEventLoop loop;
    std::unique_ptr<QThread> sorter(QThread::create([&] {
        yieldToTheWindow();
        order = sortedOrder(*result, column, descending);
    }));
    QObject::connect(sorter.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    sorter->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    sorter->wait();
    return order;
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
    return m_result->rowCount();
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
    m_eof = m_result->rowCount() == 0;
    moveTo(m_eof ? -1 : 0);
}

void Query::last() {
    requireOpen();
    m_eof = m_result->rowCount() == 0;
    moveTo(m_result->rowCount() - 1);
}

void Query::next() {
    requireOpen();
    if (m_pos + 1 < m_result->rowCount()) {
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
    if (position >= 1 && position <= m_result->rowCount()) {
        m_eof = false;
        moveTo(position - 1);
    }
}

void Query::setSort(const QString& sortText) {
    requireOpen();
    if (!sortText.trimmed().isEmpty() && !waitForAllRows()) {
        return; // the user gave up waiting for the rest: the order stays
    }
    const int currentRow = m_pos >= 0 ? rowAt(m_pos) : -1;
    const QString text = sortText.trimmed();
    std::vector<int> order;
    if (!text.isEmpty()) {
        const qsizetype blank = text.lastIndexOf(u' ');
        const QString direction = blank < 0 ? QStringLiteral("ASC") : text.mid(blank + 1).toUpper();
        const QString name = blank < 0 ? text : text.left(blank).trimmed();
        const int column = m_result->columnIndex(name);
        if (column < 0 || (direction != u"ASC" && direction != u"DESC")) {
            throw EngineError(QStringLiteral("无效的排序：“%1”").arg(sortText));
        }
        const std::shared_ptr<const ResultSet> sorted = m_result;
        order = sortedAside(sorted, column, direction == u"DESC");
        if (m_result != sorted) {
            return; // another result was opened while this one sorted
        }
    }
    emit aboutToReorder();
    m_order = std::move(order);
    m_sort = sortText;
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
