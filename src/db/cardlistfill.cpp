#include "db/cardlistfill.h"

#include "db/backgroundthread.h"
#include "db/cardlist.h"
#include "db/connection.h"
#include "db/engineerror.h"

#include <QThread>
#include <malloc.h>

namespace {
std::atomic<int> pageRowsForTests{0};
std::function<void(const std::atomic<bool>&)> beforePageForTests;

int pageRows() {
    return pageRowsForTests > 0 ? pageRowsForTests.load() : CardListFill::PageRows;
}
} // namespace

qint64 lastKey(const ResultSet& rows) {
    const std::string_view key = rows.utf8(rows.rowCount() - 1, 0);
    return QByteArray::fromRawData(key.data(), qsizetype(key.size())).toLongLong();
}

CardListFill::CardListFill(std::unique_ptr<Connection> connection, QString filterClause,
                           qint64 belowKey)
    : m_connection(std::move(connection)), m_filterClause(std::move(filterClause)),
      m_belowKey(belowKey) {}

void CardListFill::setPageRowsForTests(int rows) {
    pageRowsForTests = rows;
}

void CardListFill::setBeforePageForTests(
    std::function<void(const std::atomic<bool>& stopping)> hook) {
    beforePageForTests = std::move(hook);
}

CardListFill::~CardListFill() {
    m_stop = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
    m_connection.reset(); // closed here, once its thread is done with it
}

void CardListFill::start() {
    m_thread = QThread::create([this] { readAll(); });
    m_thread->start();
}

// What the fill's thread hands over goes through this object's own thread, so that a fill
// destroyed meanwhile hands over nothing more.
template <typename Work> void CardListFill::handOver(Work work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

qint64 CardListFill::count(const QString& statement) {
    return m_connection->select(statement)->text(0, 0).toLongLong();
}

void CardListFill::readAll() {
    yieldToTheWindow();
    try {
        const qint64 cards = count(cardCountStatement(m_filterClause));
        handOver([this, cards] { emit cardsCounted(cards); });
        readPages();
        if (!m_stop) {
            const qint64 visits = count(visitCountStatement(m_filterClause));
            handOver([this, visits] { emit visitsCounted(visits); });
        }
        m_connection->close();
        // The pages, the connection's cache and the old list were freed on the way: what of
        // that the allocator holds goes back to the system.
        malloc_trim(0);
        handOver([this] {
            m_ended = true;
            emit finished();
        });
    } catch (const EngineError& error) {
        m_connection->close();
        handOver([this, message = error.message()] {
            m_ended = true;
            emit failed(message);
        });
    }
}

void CardListFill::readPages() {
    const int rowsPerPage = pageRows();
    qint64 below = m_belowKey;
    while (below > 0 && !m_stop) {
        if (beforePageForTests) {
            beforePageForTests(m_stop);
            if (m_stop) {
                return;
            }
        }
        std::shared_ptr<ResultSet> page = m_connection->select(
            cardPageStatement(m_connection->dialect(), m_filterClause, below, rowsPerPage));
        const int rows = page->rowCount();
        below = rows < rowsPerPage ? 0 : lastKey(*page);
        if (rows > 0) {
            handOver([this, page] { emit rowsRead(page); });
        }
    }
}
