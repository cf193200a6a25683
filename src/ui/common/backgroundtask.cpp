#include "ui/common/backgroundtask.h"

#include "ui/common/appinfo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <exception>
#include <memory>

namespace {
struct TestHook {
    int dialogDelayMs = BackgroundTask::DialogDelayMs;
    std::function<void(int)> afterStep;
};
TestHook& testHook() {
    static TestHook hook;
    return hook;
}
QPointer<QProgressDialog> shownDialog;
int runningTasks = 0;

QString progressText(const QString& what, int done, int total) {
    if (total <= 0) {
        return what + QStringLiteral("…");
    }
    return QStringLiteral("%1：已完成 %2 条，共 %3 条").arg(what).arg(done).arg(total);
}
} // namespace

void TaskProgress::beginStage(const QString& what, int total) {
    {
        const std::lock_guard<std::mutex> lock(m_whatLock);
        m_what = what;
    }
    m_total = total;
    m_done = 0;
}

QString TaskProgress::what() const {
    const std::lock_guard<std::mutex> lock(m_whatLock);
    return m_what;
}

bool TaskProgress::advance(int done) {
    m_done = done;
    if (testHook().afterStep) {
        // The test sees every step, on the window's thread, before the work goes on.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [done] { testHook().afterStep(done); },
            Qt::BlockingQueuedConnection);
    }
    return !m_cancelled;
}

bool BackgroundTask::running() {
    return runningTasks > 0;
}

BackgroundTaskNotifier& BackgroundTask::notifier() {
    static BackgroundTaskNotifier notifier;
    return notifier;
}

void BackgroundTask::run(QWidget* window, const QString& what,
                         const std::function<void(TaskProgress&)>& work,
                         const std::function<void()>& cancel) {
    TaskProgress progress;
    progress.beginStage(what, 0);
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop waiting;
    QObject::connect(worker.get(), &QThread::finished, &waiting, &QEventLoop::quit,
                     Qt::QueuedConnection);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ++runningTasks;
    worker->start();

    // First only repaints and timers: a short wait shows nothing but the wait cursor.
    QTimer dialogDue;
    dialogDue.setSingleShot(true);
    QObject::connect(&dialogDue, &QTimer::timeout, &waiting, &QEventLoop::quit);
    dialogDue.start(testHook().dialogDelayMs);
    waiting.exec(QEventLoop::ExcludeUserInputEvents);

    std::unique_ptr<QProgressDialog> dialog;
    if (!worker->isFinished()) {
        dialog = std::make_unique<QProgressDialog>(window);
        dialog->setObjectName(QStringLiteral("WorkProgress"));
        dialog->setWindowTitle(AppTitle);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->setAutoReset(false);
        dialog->setAutoClose(false);
        dialog->setMinimumDuration(0);
        if (cancel) {
            dialog->setCancelButtonText(QStringLiteral("取消"));
        } else {
            dialog->setCancelButton(nullptr); // work that cannot stop midway
        }
        dialog->setMinimumWidth(320);
        const auto update = [&] {
            const int total = progress.m_total;
            const int done = progress.m_done;
            dialog->setMaximum(total > 0 ? total : 0); // 0: a busy bar
            if (total > 0) {
                dialog->setValue(qBound(0, done, total));
            }
            dialog->setLabelText(progressText(progress.what(), done, total));
        };
        update();
        // 取消 asks the work to stop, and asks again while it does not: a wait for an answer
        // that does not come is then given up.
        QTimer cancelAgain;
        cancelAgain.setInterval(CancelAgainMs);
        if (cancel) {
            QObject::connect(&cancelAgain, &QTimer::timeout, dialog.get(), cancel);
        }
        QObject::connect(dialog.get(), &QProgressDialog::canceled, dialog.get(), [&] {
            progress.m_cancelled = true;
            dialog->setLabelText(QStringLiteral("正在取消…"));
            if (cancel) {
                cancel();
                cancelAgain.start();
            }
        });
        QTimer repaint;
        QObject::connect(&repaint, &QTimer::timeout, dialog.get(), [&] {
            if (!progress.m_cancelled) {
                update();
            }
        });
        repaint.start(RepaintEveryMs);
        dialog->show();
        shownDialog = dialog.get();
        QGuiApplication::changeOverrideCursor(Qt::BusyCursor);
        if (!worker->isFinished()) {
            waiting.exec(); // the dialog is modal: its 取消 is the one input taken
        }
    }
    worker->wait();
    // What the work posted to this thread on its way (its changes) is delivered before the
    // window goes on.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    --runningTasks;
    dialog.reset();
    QGuiApplication::restoreOverrideCursor();
    if (runningTasks == 0) {
        emit notifier().ended();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void BackgroundTask::setTestHook(int dialogDelayMs, std::function<void(int done)> afterStep) {
    testHook() = TestHook{dialogDelayMs, std::move(afterStep)};
}

void BackgroundTask::clearTestHook() {
    testHook() = TestHook{};
}

QProgressDialog* BackgroundTask::dialog() {
    return shownDialog && shownDialog->isVisible() ? shownDialog.data() : nullptr;
}
