#pragma once

#include "db/pgconnection.h"

#include <QObject>
#include <QTimer>
#include <memory>

class QSocketNotifier;

// Hears of every change of the cards or the visits of a server register that another program
// committed, on a connection of its own, and says what changed with changed() (once for all
// the notices that arrived together; this program's own changes are left out). When that
// connection is lost it says lost(), tries again every few seconds, and once back says
// changed() with everything changed: what happened meanwhile was not heard.
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
    void changed(const StoreChanges& changes);
    void lost(const QString& message);

private:
    void listen();
    void readNotices();
    void retry();

    PgConnection m_connection;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_retry;
};
