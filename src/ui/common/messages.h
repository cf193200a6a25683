#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class QWidget;

// Every message box, file dialog and hand-over to the desktop goes through here. A test
// switches on scripted mode: nothing modal is shown, every box is recorded, and questions and
// file dialogs take their answers from queues (an empty queue answers with the default
// button, as pressing Enter would; a file dialog with an empty queue is cancelled).
class Messages {
public:
    enum class Kind { Plain, Question, Error, Password };
    struct Shown {
        Kind kind;
        QString caption;
        QString text;
        bool yesIsDefault = false;
    };

    // Plain message box: the text and an OK button, no icon, the application title.
    static void info(QWidget* parent, const QString& text);
    // Confirmation box: Yes and No, the question icon; true when the answer is Yes.
    static bool confirm(QWidget* parent, const QString& text, const QString& caption,
                        bool yesIsDefault);
    // Unsaved input when a window closes: 是 (save, the default), 否 (close without saving),
    // 取消 (stay). The question icon and the application title.
    enum class SaveAnswer { Save, Discard, Cancel };
    static SaveAnswer askToSave(QWidget* parent, const QString& text);
    // Standard error box: the stop icon and OK; the text gets its closing "." (errorText).
    static void error(QWidget* parent, const QString& text);
    // The error text as shown: a "." is appended when the last character sorts after ".".
    static QString errorText(const QString& text);

    // The password prompt: the text over one password box (named "密码"), 确定 and 取消.
    // The password typed, or nothing when cancelled. Scripted, it is answered from the
    // queue of passwords; an empty queue cancels.
    static std::optional<QString> askPassword(QWidget* parent, const QString& text);

    // The file-open dialog, in fileDialogFolder(). Empty when cancelled.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& filter);
    // Where the next file dialog starts: the folder of the file last chosen, or the user's
    // documents folder (the home folder when there is none).
    static QString fileDialogFolder();
    // Hands an address or a file to the desktop (the browser, the spreadsheet program).
    static bool openExternally(const QUrl& url);

    // Scripted mode for tests.
    static void setScripted(bool scripted);
    static void queueAnswer(bool yes);
    static void queueSaveAnswer(SaveAnswer answer); // an empty queue saves
    static void queueFileName(const QString& path);
    static void queuePassword(const QString& password); // an empty queue cancels
    static void setExternalOpenResult(bool opened);
    static const QList<Shown>& shown();
    static const QList<QUrl>& opened();
    static const QString& lastFileFilter(); // of the last file dialog
    static const QString& lastFileFolder(); // where the last file dialog started
    static void clearRecord();
};

// Runs one command of a window: an error raised out of it ends the command where it arose
// and is shown in the standard error box; the window stays open. Returns false on an error.
template <typename Body> bool runCommand(QWidget* parent, Body&& body);

#include "db/engineerror.h"

template <typename Body> bool runCommand(QWidget* parent, Body&& body) {
    try {
        body();
        return true;
    } catch (const EngineError& e) {
        Messages::error(parent, e.message());
    } catch (const std::exception& e) {
        Messages::error(parent, QString::fromUtf8(e.what()));
    }
    return false;
}
