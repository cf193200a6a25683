#pragma once

#include <QList>
#include <QTableView>

class Query;
class QMenu;
class ResultModel;

// The data grid over a query, shared by the card list and the visit list. It shows the
// query's rows in their current order and follows its cursor (and moves it when the user
// picks a row). Following is cheap: the current cell moves at once, but the view scrolls to it
// only when control returns to the event loop, so a walk over every row of the list scrolls
// the grid each time the window repaints, not once per row (a scroll asks the display server
// where the pointer is and waits for the answer). A click on a column title sorts the open result
// in memory: ascending first, descending on the next click of the same title, with the title marked
// in bold red with "▲" or in bold blue with "▼". Rows are painted in alternating colours, pale
// green first, in the order shown; the current cell keeps the grid's own selection painting.
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
    // Sorts the query's rows ("column ASC" / "column DESC"), waiting for a list still being
    // read first; a long list sorts on a thread of its own while the window waits. Throws
    // EngineError.
    void sortBy(const QString& sortText);
    // Below this many rows a sort takes a few milliseconds, and is done at once.
    static constexpr int SortAsideFromRows = 20000;

    // The grid's pop-up menu. A right click on a row or on the title row, Shift+F10 and the
    // Menu key open it (the keys at the current row). The row actions act on the row the
    // menu was opened on: they are enabled only when it was opened on a row.
    void setPopupMenu(QMenu* menu, const QList<QAction*>& rowActions = {});

    static QColor oddRowColour();
    static QColor evenRowColour();
    static constexpr int DefaultColumnWidth = 75;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showPopup(const QPoint& globalPos, bool onRow);
    void showPopupAtCurrentRow();
    void followCursor(int position);
    void scrollToCurrent();
    void resetColumns();

    ResultModel* m_model = nullptr;
    QMenu* m_popup = nullptr;
    QList<QAction*> m_rowActions;
    bool m_syncing = false;
    bool m_scrollPending = false;
};
