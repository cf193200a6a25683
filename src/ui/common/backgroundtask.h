#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

class QProgressDialog;
class QWidget;

// What work on a worker thread tells the window that waits for it, and what the window asks
// of it: how far it is, and whether the user pressed 取消.
class TaskProgress {
public:
    // A new stage: what is done now and how many steps it has (0: no count to show).
    void beginStage(const QString& what, int total);
    // After each step, with the steps of this stage done: false once 取消 was pressed, so
    // that the work stops after the step it has just finished.
    bool advance(int done);
    bool cancelled() const { return m_cancelled; }

private:
    friend class BackgroundTask;
    QString what() const;

    std::atomic<int> m_done{0};
    std::atomic<int> m_total{0};
    std::atomic<bool> m_cancelled{false};
    mutable std::mutex m_whatLock;
    QString m_what;
};

// Says when a window has stopped waiting for work: what waited for it may go on.
class BackgroundTaskNotifier : public QObject {
    Q_OBJECT
signals:
    void ended();
};

// Runs work on a thread of its own while the window waits for it. The window keeps painting
// and its timers run; it takes no click or key, so no other command starts meanwhile. Once
// the work has taken DialogDelayMs, a modal dialog says what the window waits for (with the
// steps done, where the work counts them); where the work can stop midway (cancel given) it
// offers 取消, which asks the work to stop and calls cancel, to stop a statement under way (a
// store's cancel()). What the work throws is thrown again on the window's thread.
class BackgroundTask {
public:
    static void run(QWidget* window, const QString& what,
                    const std::function<void(TaskProgress&)>& work,
                    const std::function<void()>& cancel = {});

    // Whether a window waits for work right now: nothing else may use the connection that the
    // work uses.
    static bool running();
    static BackgroundTaskNotifier& notifier();

    static constexpr int DialogDelayMs = 500;
    static constexpr int CancelAgainMs = 2000;
    static constexpr int RepaintEveryMs = 50;

    // Tests: the delay before the dialog shows, and a call on the window's thread after each
    // step of the work, with the steps done (the work waits for it), from which a test can
    // press 取消 as a user would.
    static void setTestHook(int dialogDelayMs, std::function<void(int done)> afterStep);
    static void clearTestHook();
    static QProgressDialog* dialog(); // the dialog on screen, or null
};
