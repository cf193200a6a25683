#include "ui/common/resultmodel.h"

#include "db/query.h"
#include "db/resultset.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>

ResultModel::ResultModel(Query* query, QObject* parent)
    : QAbstractTableModel(parent), m_query(query) {
    connect(query, &Query::resultChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
    // Rows of a list still being read come after the rows shown: the current row and the
    // scroll position stay.
    connect(query, &Query::rowsAboutToBeAppended, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(query, &Query::rowsAppended, this, [this] { endInsertRows(); });
    // A list brought up to date with changes: a row at a time goes or comes in.
    connect(query, &Query::rowsAboutToBeRemoved, this,
            [this](int position) { beginRemoveRows({}, position, position); });
    connect(query, &Query::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(query, &Query::rowsAboutToBeInserted, this,
            [this](int position) { beginInsertRows({}, position, position); });
    connect(query, &Query::rowsInserted, this, [this] { endInsertRows(); });
    // A sort keeps the columns, their widths and hidden state: it is a change of layout.
    connect(query, &Query::aboutToReorder, this, [this] {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        m_rowsBeforeReorder.clear();
        for (const QModelIndex& index : persistentIndexList()) {
            m_rowsBeforeReorder.push_back(m_query->rowAt(index.row()));
        }
    });
    connect(query, &Query::reordered, this, [this] {
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        for (qsizetype i = 0; i < before.size(); ++i) {
            after << index(positionOfRow(m_rowsBeforeReorder[size_t(i)]), before[i].column());
        }
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    });
}

int ResultModel::positionOfRow(int row) const {
    for (int position = 0; position < rowCount(); ++position) {
        if (m_query->rowAt(position) == row) {
            return position;
        }
    }
    return -1;
}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_query || !m_query->active() ? 0 : m_query->recordCount();
}

int ResultModel::columnCount(const QModelIndex& parent) const {
    const ResultSet* result = m_query ? m_query->result() : nullptr;
    return parent.isValid() || !result ? 0 : result->columnCount();
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    return m_query->result()->text(m_query->rowAt(index.row()), index.column());
}

int ResultModel::markedColumn(bool* descending) const {
    if (!m_query || !m_query->result() || m_query->sort().isEmpty()) {
        return -1;
    }
    const QString& sort = m_query->sort();
    const qsizetype blank = sort.lastIndexOf(u' ');
    if (descending) {
        *descending = sort.mid(blank + 1).compare(u"DESC", Qt::CaseInsensitive) == 0;
    }
    return m_query->result()->columnIndex(sort.left(blank));
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        // The row indicator: a mark on the current row.
        if (role == Qt::DisplayRole) {
            // Read when the header paints; the grid repaints it on a move.
            return section == m_query->recNo() - 1 ? QStringLiteral("▶") : QString();
        }
        return {};
    }
    if (section >= columnCount()) {
        return {};
    }
    bool descending = false;
    const bool marked = markedColumn(&descending) == section;
    switch (role) {
    case Qt::DisplayRole:
        // The arrow tells the direction to those who cannot tell the colours apart, and to
        // a screen reader.
        if (marked) {
            return m_query->result()->columnName(section) +
                   (descending ? QStringLiteral(" ▼") : QStringLiteral(" ▲"));
        }
        return m_query->result()->columnName(section);
    case Qt::FontRole: {
        QFont font = m_titleFont;
        font.setBold(marked);
        return font;
    }
    case Qt::ForegroundRole:
        if (marked) {
            return descending ? QColor(0, 0, 255) : QColor(255, 0, 0);
        }
        return QApplication::palette().color(QPalette::WindowText);
    default:
        return {};
    }
}
