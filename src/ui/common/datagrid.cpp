#include "ui/common/datagrid.h"

#include "db/query.h"
#include "ui/common/backgroundtask.h"
#include "ui/common/messages.h"
#include "ui/common/resultmodel.h"
#include "ui/common/widgets.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Stripes by position in the order shown; the current cell keeps the grid's selection
// colours while the grid has the focus and its plain colours otherwise.
class StripeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_Selected) {
            const auto* view = qobject_cast<const QWidget*>(option->widget);
            if (view && !view->hasFocus()) {
                option->state &= ~QStyle::State_Selected;
                option->backgroundBrush = option->palette.brush(QPalette::Base);
            }
            return;
        }
        const int position = index.row() + 1;
        option->backgroundBrush =
            position % 2 == 1 ? DataGrid::oddRowColour() : DataGrid::evenRowColour();
    }
};

} // namespace

QColor DataGrid::oddRowColour() {
    return QColor(191, 255, 223);
}

QColor DataGrid::evenRowColour() {
    return QApplication::palette().color(QPalette::ToolTipBase);
}

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new StripeDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false); // the arrows move between cells; Tab leaves the grid

    QHeaderView* titles = horizontalHeader();
    titles->setDefaultSectionSize(DefaultColumnWidth);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setHighlightSections(false);
    titles->setSectionsClickable(true);
    // A title click sorts; it does not select the column.
    disconnect(titles, &QHeaderView::sectionPressed, this, &QTableView::selectColumn);
    disconnect(titles, &QHeaderView::sectionEntered, nullptr, nullptr);
    connect(titles, &QHeaderView::sectionClicked, this, &DataGrid::titleClick);

    QHeaderView* indicator = verticalHeader();
    indicator->setSectionResizeMode(QHeaderView::Fixed);
    indicator->setDefaultSectionSize(18);
    indicator->setFixedWidth(14); // a fixed width: a move never measures the header again
    indicator->setHighlightSections(false);
    indicator->setDefaultAlignment(Qt::AlignCenter);
    disconnect(indicator, &QHeaderView::sectionPressed, this, &QTableView::selectRow);
    disconnect(indicator, &QHeaderView::sectionEntered, nullptr, nullptr);
}

void DataGrid::setQuery(Query* query) {
    delete m_model;
    m_model = new ResultModel(query, this);
    m_model->setTitleFont(windowFont());
    setModel(m_model);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DataGrid::resetColumns);
    // While rows go and come, the view moves its current cell by itself: the query's cursor
    // says where it is once they are in place.
    for (const auto begin :
         {&QAbstractItemModel::rowsAboutToBeRemoved, &QAbstractItemModel::rowsAboutToBeInserted}) {
        connect(m_model, begin, this, [this] { m_syncing = true; });
    }
    for (const auto end : {&QAbstractItemModel::rowsRemoved, &QAbstractItemModel::rowsInserted}) {
        connect(m_model, end, this, [this] { m_syncing = false; });
    }
    connect(query, &Query::currentChanged, this, &DataGrid::followCursor);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_syncing && current.isValid() && this->query()) {
                    this->query()->setRecNo(current.row() + 1);
                }
            });
}

Query* DataGrid::query() const {
    return m_model ? m_model->query() : nullptr;
}

void DataGrid::resetColumns() {
    // A new result brings new columns: every column shows again at the default width.
    QHeaderView* titles = horizontalHeader();
    for (int c = 0; c < titles->count(); ++c) {
        titles->setSectionHidden(c, false);
        titles->resizeSection(c, DefaultColumnWidth);
    }
}

void DataGrid::setColumnLayout(const QList<int>& widths) {
    for (int c = 0; c < widths.size() && c < m_model->columnCount(); ++c) {
        setColumnHidden(c, widths[c] == 0);
        if (widths[c] > 0) {
            setColumnWidth(c, widths[c]);
        }
    }
    if (query() && query()->active()) {
        followCursor(query()->recNo() - 1);
    }
}

void DataGrid::followCursor(int position) {
    if (m_syncing || !m_model || position < 0 || position >= m_model->rowCount()) {
        return;
    }
    int column = currentIndex().isValid() ? currentIndex().column() : 0;
    if (isColumnHidden(column)) {
        column = 0;
        while (column < m_model->columnCount() - 1 && isColumnHidden(column)) {
            ++column;
        }
    }
    m_syncing = true;
    const bool autoScrolls = hasAutoScroll();
    setAutoScroll(false);
    setCurrentIndex(m_model->index(position, column));
    setAutoScroll(autoScrolls);
    m_syncing = false;
    verticalHeader()->viewport()->update();
    if (!m_scrollPending) {
        m_scrollPending = true;
        QMetaObject::invokeMethod(this, &DataGrid::scrollToCurrent, Qt::QueuedConnection);
    }
}

void DataGrid::scrollToCurrent() {
    m_scrollPending = false;
    if (currentIndex().isValid()) {
        scrollTo(currentIndex());
    }
}

void DataGrid::titleClick(int column) {
    Query* q = query();
    if (!q || !q->active() || column < 0 || column >= m_model->columnCount()) {
        return;
    }
    const QString name = q->result()->columnName(column);
    const QString ascending = name + QStringLiteral(" ASC");
    // A list still being read is waited for first, and its reading may fail.
    runCommand(
        this, [&] { sortBy(q->sort() == ascending ? name + QStringLiteral(" DESC") : ascending); });
}

void DataGrid::sortBy(const QString& sortText) {
    Query* q = query();
    if (!q->waitForAllRows()) {
        return; // the user gave up waiting for the rest: the order stays
    }
    const std::function<std::vector<int>()> sort = q->sorter(sortText);
    std::vector<int> order;
    if (q->recordCount() < SortAsideFromRows) {
        const BusyCursor busy;
        order = sort();
    } else {
        BackgroundTask::run(this, QStringLiteral("正在排序"),
                            [&](TaskProgress&) { order = sort(); });
    }
    q->setSort(sortText, std::move(order));
}

void DataGrid::setPopupMenu(QMenu* menu, const QList<QAction*>& rowActions) {
    m_popup = menu;
    m_rowActions = rowActions;
    setContextMenuPolicy(Qt::DefaultContextMenu);
    QHeaderView* titles = horizontalHeader();
    titles->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(titles, &QWidget::customContextMenuRequested, this,
            [this, titles](const QPoint& at) { showPopup(titles->mapToGlobal(at), false); });
}

void DataGrid::showPopup(const QPoint& globalPos, bool onRow) {
    if (!m_popup || m_popup->isVisible()) {
        return;
    }
    for (QAction* action : std::as_const(m_rowActions)) {
        action->setEnabled(onRow);
    }
    m_popup->popup(globalPos);
}

void DataGrid::showPopupAtCurrentRow() {
    const QModelIndex current = currentIndex();
    const QRect cell = current.isValid() ? visualRect(current) : QRect();
    const QPoint at = cell.isValid() ? cell.bottomLeft() : QPoint(0, 0);
    showPopup(viewport()->mapToGlobal(at), current.isValid());
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    const bool menuKey = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
    const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
    if (m_popup && (menuKey || shiftF10)) {
        showPopupAtCurrentRow();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_popup) {
        QTableView::contextMenuEvent(event);
        return;
    }
    if (event->reason() == QContextMenuEvent::Keyboard) {
        showPopupAtCurrentRow(); // the platform's own request from the keyboard
    } else {
        // The press of the right button has already made the row under the mouse current.
        showPopup(event->globalPos(), indexAt(event->pos()).isValid());
    }
    event->accept();
}
