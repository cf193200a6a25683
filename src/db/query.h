#pragma once

#include "db/resultset.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class Connection;

// A statement object of a window. Every statement runs the same way: attach it to a
// connection, close it, clear its text, add the text, then open() a query or execSQL() a
// command. An open query holds its whole result in memory with a cursor on one row.
class Query : public QObject {
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);

    void setConnection(Connection* connection) { m_connection = connection; }
    Connection* connection() const { return m_connection; }

    void close();
    void clear() { m_sql.clear(); }
    void add(const QString& text) { m_sql += text; }
    const QString& sql() const { return m_sql; }

    // Runs the statement as a query; on failure the query stays closed. Throws EngineError.
    void open();
    // Runs the statement as a command, giving no result. Throws EngineError.
    void execSQL();
    // The whole sequence every statement of the program follows: attach to the connection,
    // close, clear the text, add the statement, then open it as a query or run it as a
    // command. Throw EngineError.
    void openOn(Connection* connection, const QString& statement);
    void executeOn(Connection* connection, const QString& statement);

    // Opens the query on a result read by other means (a workbook sheet).
    void openResult(std::shared_ptr<const ResultSet> result);

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
    void setSort(const QString& sortText); // throws on an unknown column

    // Read access for grids and exports: the result and the row at a position (from 0).
    const ResultSet* result() const { return m_result.get(); }
    int rowAt(int position) const { return m_order.empty() ? position : m_order[position]; }

signals:
    void resultChanged(); // opened or closed
    void aboutToReorder();
    void reordered(); // the same rows in another order
    void currentChanged(int position);

private:
    void requireOpen() const;
    void moveTo(int position);

    Connection* m_connection = nullptr;
    QString m_sql;
    std::shared_ptr<const ResultSet> m_result;
    std::vector<int> m_order; // empty: statement order
    QString m_sort;
    int m_pos = -1;
    bool m_eof = true;
};
