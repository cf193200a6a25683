#include "ui/common/workprogress.h"

#include "ui/common/appinfo.h"

#include <QGuiApplication>
#include <QProgressDialog>

namespace {
struct TestHook {
    int dialogDelayMs = WorkProgress::DialogDelayMs;
    std::function<void(int)> afterRow;
};
TestHook& testHook() {
    static TestHook hook;
    return hook;
}
QPointer<QProgressDialog> shownDialog;
} // namespace

WorkProgress::WorkProgress(QWidget* parent, const QString& what, int total, bool withDialog)
    : m_parent(parent), m_what(what), m_total(total), m_withDialog(withDialog) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_started.start();
    m_sinceRepaint.start();
}

WorkProgress::~WorkProgress() {
    delete m_dialog;
    QGuiApplication::restoreOverrideCursor();
}

void WorkProgress::beginStage(const QString& what, int total) {
    m_what = what;
    m_total = total;
    if (m_dialog) {
        updateDialog(0);
    }
}

bool WorkProgress::advance(int done) {
    if (m_withDialog && !m_dialog && m_started.elapsed() >= testHook().dialogDelayMs) {
        showDialog();
    }
    if (m_sinceRepaint.elapsed() >= RepaintEveryMs || (m_dialog && testHook().afterRow)) {
        m_sinceRepaint.restart();
        if (m_dialog) {
            updateDialog(done);
        }
        // Paint every window and let the dialog take its button. Before the dialog is up no
        // click or key is taken, so no other command can start in the middle of this one.
        QCoreApplication::processEvents(m_dialog ? QEventLoop::AllEvents
                                                 : QEventLoop::ExcludeUserInputEvents);
    }
    if (testHook().afterRow) {
        testHook().afterRow(done);
    }
    m_cancelled = m_cancelled || (m_dialog && m_dialog->wasCanceled());
    return !m_cancelled;
}

void WorkProgress::showDialog() {
    m_dialog = new QProgressDialog(m_parent);
    m_dialog->setObjectName(QStringLiteral("WorkProgress"));
    m_dialog->setWindowTitle(AppTitle);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setCancelButtonText(QStringLiteral("取消"));
    m_dialog->setMinimumWidth(320);
    updateDialog(0);
    m_dialog->show();
    shownDialog = m_dialog;
    // The dialog and its button take clicks: the arrow with the busy mark.
    QGuiApplication::changeOverrideCursor(Qt::BusyCursor);
}

void WorkProgress::updateDialog(int done) {
    m_dialog->setMaximum(qMax(m_total, 1));
    m_dialog->setValue(qBound(0, done, qMax(m_total, 1)));
    m_dialog->setLabelText(
        QStringLiteral("%1：已完成 %2 条，共 %3 条").arg(m_what).arg(done).arg(m_total));
}

void WorkProgress::setTestHook(int dialogDelayMs, std::function<void(int done)> afterRow) {
    testHook() = TestHook{dialogDelayMs, std::move(afterRow)};
}

void WorkProgress::clearTestHook() {
    testHook() = TestHook{};
}

QProgressDialog* WorkProgress::dialog() {
    return shownDialog && shownDialog->isVisible() ? shownDialog.data() : nullptr;
}
