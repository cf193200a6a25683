#include "ui/common/messages.h"

#include "ui/common/appinfo.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QQueue>

namespace {
struct Script {
    bool on = false;
    QQueue<bool> answers;
    QQueue<QString> fileNames;
    QQueue<QString> passwords;
    bool externalOpenResult = true;
    QList<Messages::Shown> shown;
    QList<QUrl> opened;
    QString fileFilter;
};
Script& script() {
    static Script s;
    return s;
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
        record(Kind::Plain, AppTitle, text, false);
        if (script().passwords.isEmpty()) {
            return std::nullopt;
        }
        return script().passwords.dequeue();
    }
    QInputDialog dialog(parent);
    dialog.setWindowTitle(AppTitle);
    dialog.setLabelText(text);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

QString Messages::openFileName(QWidget* parent, const QString& caption, const QString& filter) {
    if (script().on) {
        script().fileFilter = filter;
        return script().fileNames.isEmpty() ? QString() : script().fileNames.dequeue();
    }
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
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
    script().on = scripted;
}

void Messages::queueAnswer(bool yes) {
    script().answers.enqueue(yes);
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

void Messages::clearRecord() {
    script().shown.clear();
    script().opened.clear();
}
