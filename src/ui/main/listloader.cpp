#include "ui/main/listloader.h"

#include "db/cardlistfill.h"
#include "db/engineerror.h"
#include "db/query.h"
#include "db/resultset.h"
#include "ui/common/messages.h"
#include "ui/common/workprogress.h"

#include <QCoreApplication>
#include <QTimer>

ListLoader::ListLoader(QWidget* window, Query* list)
    : QObject(list), m_window(window), m_list(list) {}

ListLoader::~ListLoader() = default;

void ListLoader::stop() {
    m_fill.reset();
    m_whenWhole.clear();
}

void ListLoader::show(std::shared_ptr<ResultSet> firstRows, std::unique_ptr<CardListFill> rest) {
    stop();
    m_failure.clear();
    if (!rest) {
        m_list->openResult(std::move(firstRows));
        return;
    }
    m_expectedRows = firstRows->rowCount();
    m_fill = std::move(rest);
    connect(m_fill.get(), &CardListFill::cardsCounted, this, [this](qint64 cards) {
        m_expectedRows = cards;
        m_list->reserveRows(cards);
        emit cardsCounted(cards);
    });
    connect(m_fill.get(), &CardListFill::rowsRead, this,
            [this](const std::shared_ptr<ResultSet>& rows) { m_list->appendRows(*rows); });
    connect(m_fill.get(), &CardListFill::visitsCounted, this, &ListLoader::visitsCounted);
    connect(m_fill.get(), &CardListFill::finished, this, &ListLoader::fillEnded);
    connect(m_fill.get(), &CardListFill::failed, this, [this](const QString& message) {
        m_failure = message;
        m_whenWhole.clear();
        Messages::error(m_window, message);
    });
    m_list->openFirstRows(std::move(firstRows), [this] { return waitForRest(); });
    m_fill->start();
}

void ListLoader::fillEnded() {
    m_list->restArrived();
    const std::vector<std::function<void()>> waiting = std::move(m_whenWhole);
    m_whenWhole.clear();
    for (const std::function<void()>& work : waiting) {
        work();
    }
}

void ListLoader::whenWhole(std::function<void()> work) {
    if (m_list->whole()) {
        work();
    } else {
        m_whenWhole.push_back(std::move(work));
    }
}

bool ListLoader::waitForRest() {
    if (!m_fill) {
        return true;
    }
    if (!m_fill->ended()) {
        WorkProgress progress(m_window, QStringLiteral("正在读取名片列表"), int(m_expectedRows));
        QTimer tick; // the progress moves on even between two pages
        tick.start(WorkProgress::RepaintEveryMs);
        while (!m_fill->ended()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                            QEventLoop::ExcludeUserInputEvents);
            if (!progress.advance(m_list->recordCount())) {
                return false;
            }
        }
    }
    if (!m_failure.isEmpty()) {
        throw EngineError(m_failure);
    }
    return true;
}
