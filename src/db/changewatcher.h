#pragma once

#include "db/pgconnection.h"

#include <QObject>
#include <QTimer>
#include <memory>

class QSocketNotifier;

// Hears of every committed change of the cards or the visits of a server register, whoever
// made it, on a connection of its own, and says so with changed() (once for all the notices
// that arrived together). When that connection is lost it says lost(), tries again every few
// seconds, and once back says changed(): what happened meanwhile was not heard.
class ChangeWatcher : public QObject {
    Q_OBJECT
public:
    explicit ChangeWatcher(const QString& connectionString, QObject* parent = nullptr);
    ~ChangeWatcher() override;

    // Starts listening. When the server cannot be reached it says lost() with the reason and
    // tries again as after a loss.
    void start();
    bool listening() const { return m_notifier != nullptr; }

    static constexpr int RetryMs = 3000;

signals:
    void changed();
    void lost(const QString& message);

private:
    void listen();
    void readNotices();
    void retry();

    PgConnection m_connection;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_retry;
};
