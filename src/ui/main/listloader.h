#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class CardListFill;
class Query;
class ResultSet;
class QWidget;

// Shows a card list the way the main window does: its first rows at once, the rest as a fill
// reads it in the background, each page added under the rows shown (the current row and the
// scroll position stay), with the counts of its cards and visits as the fill counts them.
// Whatever needs the whole list (a sort, an export, finding a card) waits for the rest with
// the progress dialog of long work; a failed fill shows its error once, and is reported
// again to whatever waits for it.
class ListLoader : public QObject {
    Q_OBJECT
public:
    ListLoader(QWidget* window, Query* list);
    ~ListLoader() override;

    // Opens the list on firstRows; rest, when given, counts the list and reads what follows
    // them. A fill still running stops first.
    void show(std::shared_ptr<ResultSet> firstRows, std::unique_ptr<CardListFill> rest);
    // Stops a fill still running; the list keeps the rows it has.
    void stop();
    // Runs work once the whole list is held: at once when it is, otherwise when the fill
    // ends well (not at all when it fails or another list is shown first), in the order
    // given.
    void whenWhole(std::function<void()> work);

signals:
    void cardsCounted(qint64 cards);
    void visitsCounted(qint64 visits);

private:
    bool waitForRest(); // throws EngineError when the fill failed
    void fillEnded();

    QWidget* m_window;
    Query* m_list;
    std::unique_ptr<CardListFill> m_fill;
    qint64 m_expectedRows = 0;
    QString m_failure;
    std::vector<std::function<void()>> m_whenWhole;
};
