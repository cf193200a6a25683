#include "ui/common/messages.h"

#include "ui/common/appinfo.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
struct Script {
    bool on = false;
    QQueue<bool> answers;
    QQueue<Messages::SaveAnswer> saveAnswers;
    QQueue<QString> fileNames;
    QQueue<QString> passwords;
    bool externalOpenResult = true;
    QList<Messages::Shown> shown;
    QList<QUrl> opened;
    QString fileFilter;
    QString fileFolder;
};
Script& script() {
    static Script s;
    return s;
}

// The folder of the file last chosen in a file dialog, for the rest of the session.
QString& lastFolder() {
    static QString folder;
    return folder;
}

void record(Messages::Kind kind, const QString& caption, const QString& text, bool yesDefault) {
    script().shown.append({kind, caption, text, yesDefault});
}
} // namespace

QString Messages::errorText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) {
        return text + QLatin1Char('.');
    }
    return text;
}

void Messages::info(QWidget* parent, const QString& text) {
    if (script().on) {
        record(Kind::Plain, AppTitle, text, false);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, AppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool Messages::confirm(QWidget* parent, const QString& text, const QString& caption,
                       bool yesIsDefault) {
    if (script().on) {
        record(Kind::Question, caption, text, yesIsDefault);
        return script().answers.isEmpty() ? yesIsDefault : script().answers.dequeue();
    }
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Messages::SaveAnswer Messages::askToSave(QWidget* parent, const QString& text) {
    if (script().on) {
        record(Kind::Question, AppTitle, text, true);
        return script().saveAnswers.isEmpty() ? SaveAnswer::Save : script().saveAnswers.dequeue();
    }
    QMessageBox box(QMessageBox::Question, AppTitle, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return SaveAnswer::Save;
    case QMessageBox::No:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

void Messages::error(QWidget* parent, const QString& text) {
    const QString shownText = errorText(text);
    if (script().on) {
        record(Kind::Error, AppTitle, shownText, false);
        return;
    }
    QMessageBox box(QMessageBox::Critical, AppTitle, shownText, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> Messages::askPassword(QWidget* parent, const QString& text) {
    if (script().on) {
        record(Kind::Password, AppTitle, text, false);
        if (script().passwords.isEmpty()) {
            return std::nullopt;
        }
        return script().passwords.dequeue();
    }
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("PasswordPrompt"));
    dialog.setWindowTitle(AppTitle);
    auto* label = new QLabel(text, &dialog);
    label->setWordWrap(true);
    auto* box = new QLineEdit(&dialog);
    box->setObjectName(QStringLiteral("Password"));
    box->setEchoMode(QLineEdit::Password);
    box->setAccessibleName(QStringLiteral("密码"));
    label->setBuddy(box);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(box);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(360);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return box->text();
}

QString Messages::fileDialogFolder() {
    if (!lastFolder().isEmpty() && QFileInfo(lastFolder()).isDir()) {
        return lastFolder();
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString Messages::openFileName(QWidget* parent, const QString& caption, const QString& filter) {
    QString chosen;
    if (script().on) {
        script().fileFilter = filter;
        script().fileFolder = fileDialogFolder();
        chosen = script().fileNames.isEmpty() ? QString() : script().fileNames.dequeue();
    } else {
        chosen = QFileDialog::getOpenFileName(parent, caption, fileDialogFolder(), filter);
    }
    if (!chosen.isEmpty()) {
        lastFolder() = QFileInfo(chosen).absolutePath();
    }
    return chosen;
}

bool Messages::openExternally(const QUrl& url) {
    if (script().on) {
        script().opened.append(url);
        return script().externalOpenResult;
    }
    return QDesktopServices::openUrl(url);
}

void Messages::setScripted(bool scripted) {
    script() = Script{};
    lastFolder().clear();
    script().on = scripted;
}

void Messages::queueAnswer(bool yes) {
    script().answers.enqueue(yes);
}

void Messages::queueSaveAnswer(SaveAnswer answer) {
    script().saveAnswers.enqueue(answer);
}

void Messages::queueFileName(const QString& path) {
    script().fileNames.enqueue(path);
}

void Messages::queuePassword(const QString& password) {
    script().passwords.enqueue(password);
}

void Messages::setExternalOpenResult(bool opened) {
    script().externalOpenResult = opened;
}

const QList<Messages::Shown>& Messages::shown() {
    return script().shown;
}

const QList<QUrl>& Messages::opened() {
    return script().opened;
}

const QString& Messages::lastFileFilter() {
    return script().fileFilter;
}

const QString& Messages::lastFileFolder() {
    return script().fileFolder;
}

void Messages::clearRecord() {
    script().shown.clear();
    script().opened.clear();
}
