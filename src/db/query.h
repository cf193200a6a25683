#pragma once

#include "db/resultset.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

// The open result of a window (the card list, a card's visits, a sheet's rows): the whole
// result in memory with a cursor on one row and an in-memory sort, which the grids show and
// follow. The card store reads the result; the window opens the query on it.
class Query : public QObject {
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);

    void close();
    // Opens the query on a result, the cursor on its first row.
    void openResult(std::shared_ptr<const ResultSet> result);

    // Opens the query on the first rows of a result whose rest is still being read: the rest
    // comes through appendRows(), and waitForRest, until it has come, waits for it (false
    // when the user gave up waiting).
    void openFirstRows(std::shared_ptr<ResultSet> rows, std::function<bool()> waitForRest);
    // Rows of the rest, after the rows held in the statement's order. The current row, and
    // the rows before, stay where they are.
    void appendRows(const ResultSet& rows);
    // Makes room for the whole result, rows long, sized from the rows held: the rows of the
    // rest are copied in once, never moved again.
    void reserveRows(qint64 rows);
    // The rest has all come: nothing more to wait for.
    void restArrived();
    // Whether every row is held; otherwise waits for the rest. False when the user gave up.
    // Throws EngineError when reading the rest failed.
    bool waitForAllRows();
    bool whole() const { return !m_waitForRest; }

    bool active() const { return m_result != nullptr; }
    int recordCount() const; // throws on a closed query

    // Field of the current row by result-column name, case-insensitive; NULL reads as empty.
    // Throws on a closed query, an unknown name, or with no current row.
    QString fieldByName(const QString& name) const;

    void first();
    void next();  // past the last row: eof() becomes true, the row stays
    void prior(); // before the first row: the row stays
    void last();
    bool eof() const { return m_eof; }
    int recNo() const { return m_pos + 1; } // position of the current row, from 1; 0 if none
    void setRecNo(int position);

    // The in-memory sort: "column ASC" or "column DESC", or empty for the statement's order.
    const QString& sort() const { return m_sort; }
    // Throws on an unknown column. A long result sorts on a thread of its own while the
    // program's events (but the user's input) go on; should another result be opened
    // meanwhile, the sort is dropped.
    void setSort(const QString& sortText);

    // Read access for grids and exports: the result and the row at a position (from 0).
    const ResultSet* result() const { return m_result.get(); }
    // The result itself, for another window to read as long as it needs it; null when the
    // query is closed or its rest is still being read.
    std::shared_ptr<const ResultSet> wholeResult() const { return whole() ? m_result : nullptr; }
    int rowAt(int position) const { return m_order.empty() ? position : m_order[position]; }

signals:
    void resultChanged(); // opened or closed
    void rowsAboutToBeAppended(int firstPosition, int lastPosition);
    void rowsAppended();
    void aboutToReorder();
    void reordered(); // the same rows in another order
    void currentChanged(int position);

private:
    void requireOpen() const;
    void moveTo(int position);

    std::shared_ptr<const ResultSet> m_result;
    std::shared_ptr<ResultSet> m_growing; // m_result while its rest is being read
    std::function<bool()> m_waitForRest;
    std::vector<int> m_order; // empty: statement order
    QString m_sort;
    int m_pos = -1;
    bool m_eof = true;
};
