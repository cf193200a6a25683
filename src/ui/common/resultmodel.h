#pragma once

#include "db/query.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>
#include <vector>

// A read-only table model over an open query: its columns, its rows in the query's current
// order, and the sort marks on the titles (the sorted column in bold red when ascending,
// bold blue when descending). A closed query shows no columns and no rows.
class ResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultModel(Query* query, QObject* parent = nullptr);

    Query* query() const { return m_query; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setTitleFont(const QFont& font) { m_titleFont = font; }
    // The column marked by the query's sort, and whether descending; -1 when none.
    int markedColumn(bool* descending = nullptr) const;

private:
    int positionOfRow(int row) const;

    QPointer<Query> m_query;
    std::vector<int> m_rowsBeforeReorder; // rows under the persistent indexes during a sort
    QFont m_titleFont;
};
