#include "db/changewatcher.h"

#include "db/engineerror.h"

#include <QSocketNotifier>

ChangeWatcher::ChangeWatcher(const QString& connectionString, QObject* parent)
    : QObject(parent), m_connection(connectionString) {
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &ChangeWatcher::retry);
}

ChangeWatcher::~ChangeWatcher() = default;

void ChangeWatcher::start() {
    try {
        listen();
    } catch (const EngineError& error) {
        m_retry.start();
        emit lost(error.message());
    }
}

void ChangeWatcher::listen() {
    m_connection.listenForChanges();
    m_notifier =
        std::make_unique<QSocketNotifier>(m_connection.socketDescriptor(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &ChangeWatcher::readNotices);
}

void ChangeWatcher::readNotices() {
    try {
        const StoreChanges changes = m_connection.takeChangeNotices();
        if (!changes.empty()) {
            emit changed(changes);
        }
    } catch (const EngineError& error) {
        m_notifier.reset();
        m_retry.start();
        emit lost(error.message());
    }
}

void ChangeWatcher::retry() {
    try {
        listen();
    } catch (const EngineError&) {
        return; // still away: the timer tries again
    }
    m_retry.stop();
    StoreChanges unknown;
    unknown.everything = true;
    emit changed(unknown);
}
