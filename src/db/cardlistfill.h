#pragma once

#include "db/resultset.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class Connection;
class QThread;

// The rest of a card list, read on a thread of its own over its own connection to the
// register: first the count of its cards, then page after page of its cards with keys below
// the last one read (newest first), then the count of their visits, yielding the processor
// to the window's thread. Each is handed to the
// thread that made the fill as soon as it is read. The fill ends with finished() or, when
// the engine fails, failed() with the message for the error box. A fill destroyed before its
// end stops after the statement under way, and nothing more is handed over.
class CardListFill : public QObject {
    Q_OBJECT
public:
    // filterClause: the list's conditions as the engine of connection writes them.
    CardListFill(std::unique_ptr<Connection> connection, QString filterClause, qint64 belowKey);
    ~CardListFill() override;

    void start();
    bool ended() const { return m_ended; }

    // Small enough that a page lands in the grid in a few milliseconds, large enough that
    // the statement's start is nothing beside its rows.
    static constexpr int PageRows = 10000;
    static void setPageRowsForTests(int rows); // 0: PageRows again
    // Tests: called on the fill's thread before each page is read, with the flag that says
    // the fill is being stopped, so that a test can hand the pages over one by one.
    static void setBeforePageForTests(std::function<void(const std::atomic<bool>& stopping)> hook);

signals:
    void cardsCounted(qint64 cards);
    void rowsRead(std::shared_ptr<ResultSet> rows);
    void visitsCounted(qint64 visits);
    void finished();
    void failed(const QString& message);

private:
    void readAll();
    void readPages();
    qint64 count(const QString& statement);
    template <typename Work> void handOver(Work work);

    std::unique_ptr<Connection> m_connection;
    QString m_filterClause;
    qint64 m_belowKey;
    std::atomic<bool> m_stop{false};
    QThread* m_thread = nullptr;
    bool m_ended = false;
};

// The key of the last row of a list read newest first (the key is its first column).
qint64 lastKey(const ResultSet& rows);
