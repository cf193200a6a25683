#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <functional>

class QProgressDialog;
class QWidget;

// Long work done row by row on the user-interface thread (an import, an export). The wait
// cursor shows at once. Once the work has taken about DialogDelayMs, a progress dialog shows
// how many rows are done of how many, with a "取消" button; from then on every window
// repaints a few times a second while the work goes on. Short work keeps the wait cursor
// only. The dialog is modal, and before it shows no user input is taken, so no command can
// start while the work runs.
class WorkProgress {
public:
    // withDialog false: the wait cursor only, however long the work takes.
    WorkProgress(QWidget* parent, const QString& what, int total, bool withDialog = true);
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // A new stage of the same work: what is done now and how many rows it has.
    void beginStage(const QString& what, int total);

    // After each row, with the rows of this stage done so far: false once "取消" was pressed,
    // so the caller stops after the row it has just finished.
    bool advance(int done);
    bool cancelled() const { return m_cancelled; }

    static constexpr int DialogDelayMs = 300;
    static constexpr int RepaintEveryMs = 50;

    // Tests: the delay before the dialog shows, and a call after each row (with the dialog
    // shown if it is, and the rows done), from which a test presses "取消" as a user would.
    static void setTestHook(int dialogDelayMs, std::function<void(int done)> afterRow);
    static void clearTestHook();
    static QProgressDialog* dialog(); // the dialog on screen, or null

private:
    void showDialog();
    void updateDialog(int done);

    QWidget* m_parent;
    QString m_what;
    int m_total;
    bool m_withDialog;
    bool m_cancelled = false;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceRepaint;
    QPointer<QProgressDialog> m_dialog;
};
