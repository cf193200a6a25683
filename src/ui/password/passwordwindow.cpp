#include "ui/password/passwordwindow.h"

#include "db/cardpassword.h"
#include "db/connectionsettings.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QLabel>
#include <QPushButton>

namespace {
GbkLineEdit* placePasswordBox(QWidget* parent, const QString& name, const QString& label, int top) {
    auto* box = new GbkLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    box->setMaxBytes(MaxPasswordBytes);
    box->setGeometry(132, top, 250, 21);
    placeBuddyLabel(parent, label, 24, box);
    return box;
}
} // namespace

TfrmPassword::TfrmPassword(QWidget* owner, Connection& cards)
    : ModalWindow(owner, QStringLiteral("frmPassword"), 420, 300), m_cards(cards) {
    setWindowTitle(QStringLiteral("设置密码"));
    const bool passwordSet = hasOwnPassword();

    Label1 = placeLabel(this, {}, 24, 16);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setFixedWidth(360);
    Label1->setText(
        passwordSet
            ? QStringLiteral("名片文件已设置密码：没有密码的人拿到这个文件也打不开。"
                             "可以修改密码，或者去掉密码。")
            : QStringLiteral("现在名片文件用程序内置的密钥加密，任何装有本程序的人都能打开它。"
                             "设置密码后，没有密码就打不开名片文件。忘记密码，名片将无法找回。"));
    Label1->adjustSize();

    Edit1 = placePasswordBox(this, QStringLiteral("Edit1"), QStringLiteral("当前密码："), 104);
    Edit2 = placePasswordBox(this, QStringLiteral("Edit2"), QStringLiteral("新密码："), 136);
    Edit3 = placePasswordBox(this, QStringLiteral("Edit3"), QStringLiteral("再输入一次："), 168);
    Edit1->setEnabled(passwordSet);

    BitBtn1 = placeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("确定"), 24, 216);
    BitBtn2 = placeButton(this, QStringLiteral("BitBtn2"), QStringLiteral("去掉密码"), 133, 216);
    BitBtn2->setEnabled(passwordSet);
    BitBtn3 = placeExitButton(this, QStringLiteral("BitBtn3"), 287, 216);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmPassword::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfrmPassword::BitBtn2Click);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    (passwordSet ? Edit1 : Edit2)->setFocus();
    keepControlsShown();
}

bool TfrmPassword::currentPasswordGiven() {
    if (!hasOwnPassword() || Edit1->text() == databasePassword()) {
        return true;
    }
    Messages::error(this, QStringLiteral("当前密码不正确，请重新输入"));
    Edit1->clear();
    Edit1->setFocus();
    return false;
}

void TfrmPassword::BitBtn1Click() {
    if (!currentPasswordGiven()) {
        return;
    }
    if (Edit2->text().isEmpty()) {
        Messages::error(this, QStringLiteral("请输入新密码"));
        Edit2->setFocus();
        return;
    }
    if (Edit2->text() != Edit3->text()) {
        Messages::error(this, QStringLiteral("两次输入的新密码不一样，请重新输入"));
        Edit3->clear();
        Edit3->setFocus();
        return;
    }
    applyPassword(Edit2->text(),
                  QStringLiteral("密码已设置。以后启动本程序时，要输入这个密码才能打开名片。"));
}

void TfrmPassword::BitBtn2Click() {
    if (!currentPasswordGiven()) {
        return;
    }
    if (!Messages::confirm(this,
                           QStringLiteral("去掉密码后，名片文件改用程序内置的密钥，任何装有本程序"
                                          "的人都能打开它。确定要去掉密码吗？"),
                           QStringLiteral("去掉密码"), false)) {
        return;
    }
    applyPassword(QString(), QStringLiteral("密码已去掉。"));
}

void TfrmPassword::applyPassword(const QString& password, const QString& doneMessage) {
    const bool done = runCommand(this, [&] {
        BusyCursor busy;
        changeCardPassword(m_cards, password);
    });
    if (done) {
        Messages::info(this, doneMessage);
        accept();
    }
}
