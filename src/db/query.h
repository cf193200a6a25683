#pragma once

#include "db/resultset.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <unordered_map>
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

    // Brings a whole list of cards (its key in the column "ID", newest first) up to date with
    // the cards with the given keys, as fresh holds those the list now shows: a card held and
    // not in fresh goes, one in fresh takes its place or comes in where the list's order puts
    // it. The current card stays current (the next one when it went), and so do the order
    // and every other row. Returns how many rows the list gained (negative: lost).
    int mergeRows(const std::vector<qint64>& keys, const ResultSet& fresh);
    // Whether the list holds the card with that key.
    bool holdsKey(qint64 key);

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
    // Sorts the rows held (the caller waits for the rest first). Throws on an unknown column.
    void setSort(const QString& sortText);
    // The same in two steps, for a long list: the work of the sort, which may run on another
    // thread while the query is left as it is, and then its order put in place.
    std::function<std::vector<int>()> sorter(const QString& sortText);
    void setSort(const QString& sortText, std::vector<int> order);

    // Read access for grids and exports: the result and the row at a position (from 0).
    const ResultSet* result() const { return m_result.get(); }
    // The result itself, every row of it a row of the list, for another window to read as
    // long as it needs it; null when the query is closed or its rest is still being read.
    std::shared_ptr<const ResultSet> wholeResult();
    int rowAt(int position) const { return m_order.empty() ? position : m_order[position]; }

signals:
    void resultChanged(); // opened or closed
    void rowsAboutToBeAppended(int firstPosition, int lastPosition);
    void rowsAppended();
    void aboutToReorder();
    void reordered(); // the same rows in another order
    void currentChanged(int position);
    void rowsAboutToBeRemoved(int position);
    void rowsRemoved();
    void rowsAboutToBeInserted(int position);
    void rowsInserted();

private:
    void requireOpen() const;
    void moveTo(int position);
    ResultSet& ownRows(); // the result, copied first when another holds it too
    void mergeRow(qint64 key, const ResultSet& fresh, int freshRow);
    int insertPosition(int row) const;
    void compact();
    void indexKeys();

    std::shared_ptr<const ResultSet> m_result;
    std::shared_ptr<ResultSet> m_growing; // m_result while its rest is being read
    std::function<bool()> m_waitForRest;
    std::vector<int> m_order;                   // empty: statement order
    std::unordered_map<qint64, int> m_rowOfKey; // built on the first merge; rows of the list
    int m_deadRows = 0;                         // rows of the result no longer in the list
    int m_keyColumn = -1;
    int m_sortColumn = -1;
    bool m_sortDescending = false;
    QString m_sort;
    int m_pos = -1;
    bool m_eof = true;
};
