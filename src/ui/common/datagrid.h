#pragma once

#include <QList>
#include <QTableView>

class Query;
class ResultModel;

// The data grid over a query, shared by the card list and the visit list. It shows the
// query's rows in their current order and follows its cursor (and moves it when the user
// picks a row). A click on a column title sorts the open result in memory: ascending first,
// descending on the next click of the same title, with the title marked in bold red or blue.
// Rows are painted in alternating colours, pale green first, in the order shown; the current
// cell keeps the grid's own selection painting.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);

    void setQuery(Query* query);
    Query* query() const;

    // Hidden columns and widths by position, after each opening of the query:
    // 0 hides a column, a negative width keeps the grid's default.
    void setColumnLayout(const QList<int>& widths);

    // The title-click sort of one column.
    void titleClick(int column);

    static QColor oddRowColour();
    static QColor evenRowColour();
    static constexpr int DefaultColumnWidth = 75;

private:
    void followCursor(int position);
    void resetColumns();

    ResultModel* m_model = nullptr;
    bool m_syncing = false;
};
