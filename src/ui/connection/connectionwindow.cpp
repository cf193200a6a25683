#include "ui/connection/connectionwindow.h"

#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/sqlcipherconnection.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
QLineEdit* placeEdit(QGroupBox* group, const QString& name, const QString& label, int top) {
    auto* edit = new QLineEdit(group);
    edit->setObjectName(name);
    edit->setGeometry(112, top, 249, 22);
    placeBuddyLabel(group, label, 40, edit);
    return edit;
}

QPushButton* placeWideButton(QWidget* parent, const QString& name, const QString& caption, int left,
                             int top) {
    QPushButton* button = placeButton(parent, name, caption, left, top);
    button->resize(qMax(button->width(), button->sizeHint().width()), button->height());
    return button;
}
} // namespace

TfrmConnect::TfrmConnect(QWidget* owner, const QString& localFile)
    : ModalWindow(owner, QStringLiteral("frmConnect"), 420, 380), m_localFile(localFile) {
    setWindowTitle(QStringLiteral("连接服务器"));
    buildServerGroup();
    buildButtons();
    showChoice(loadRegisterChoice());
    keepControlsShown();
}

void TfrmConnect::buildServerGroup() {
    GroupBox1 = placeGroup(this, QStringLiteral("名片保存在"), 16, 8, 377, 265);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    RadioLocal = new QRadioButton(QStringLiteral("本机文件"), GroupBox1);
    RadioLocal->setObjectName(QStringLiteral("RadioLocal"));
    RadioLocal->move(16, 22);
    RadioLocal->adjustSize();
    RadioServer = new QRadioButton(QStringLiteral("服务器"), GroupBox1);
    RadioServer->setObjectName(QStringLiteral("RadioServer"));
    RadioServer->move(16, 48);
    RadioServer->adjustSize();
    EditHost = placeEdit(GroupBox1, QStringLiteral("EditHost"), QStringLiteral("主机："), 76);
    EditPort = placeEdit(GroupBox1, QStringLiteral("EditPort"), QStringLiteral("端口："), 106);
    EditPort->setPlaceholderText(QStringLiteral("5432"));
    EditDatabase =
        placeEdit(GroupBox1, QStringLiteral("EditDatabase"), QStringLiteral("数据库："), 136);
    EditUser = placeEdit(GroupBox1, QStringLiteral("EditUser"), QStringLiteral("用户："), 166);
    EditPassword =
        placeEdit(GroupBox1, QStringLiteral("EditPassword"), QStringLiteral("密码："), 196);
    EditPassword->setEchoMode(QLineEdit::Password);
    CheckRemember = new QCheckBox(QStringLiteral("记住密码"), GroupBox1);
    CheckRemember->setObjectName(QStringLiteral("CheckRemember"));
    CheckRemember->move(112, 228);
    CheckRemember->adjustSize();
    connect(RadioServer, &QRadioButton::toggled, this, &TfrmConnect::followChoice);
}

void TfrmConnect::buildButtons() {
    BitBtnTest =
        placeWideButton(this, QStringLiteral("BitBtnTest"), QStringLiteral("测试连接"), 16, 284);
    BitBtnCopyTo = placeWideButton(this, QStringLiteral("BitBtnCopyTo"),
                                   QStringLiteral("复制到服务器"), 120, 284);
    BitBtnCopyFrom = placeWideButton(this, QStringLiteral("BitBtnCopyFrom"),
                                     QStringLiteral("复制到本机文件"), 248, 284);
    BitBtnOk = placeWideButton(this, QStringLiteral("BitBtnOk"), QStringLiteral("确定"), 224, 324);
    BitBtnCancel =
        placeWideButton(this, QStringLiteral("BitBtnCancel"), QStringLiteral("取消"), 318, 324);
    connect(BitBtnTest, &QPushButton::clicked, this, &TfrmConnect::testClick);
    connect(BitBtnCopyTo, &QPushButton::clicked, this, &TfrmConnect::copyToClick);
    connect(BitBtnCopyFrom, &QPushButton::clicked, this, &TfrmConnect::copyFromClick);
    connect(BitBtnOk, &QPushButton::clicked, this, &TfrmConnect::okClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmConnect::showChoice(const RegisterChoice& choice) {
    (choice.onServer ? RadioServer : RadioLocal)->setChecked(true);
    EditHost->setText(choice.host);
    EditPort->setText(choice.port);
    EditDatabase->setText(choice.database);
    EditUser->setText(choice.user);
    CheckRemember->setChecked(choice.onServer && passwordRemembered(choice));
    followChoice();
}

void TfrmConnect::followChoice() {
    const bool server = RadioServer->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{EditHost, EditPort, EditDatabase, EditUser, EditPassword,
                                         CheckRemember, BitBtnTest, BitBtnCopyTo, BitBtnCopyFrom}) {
        control->setEnabled(server);
    }
}

RegisterChoice TfrmConnect::choice() const {
    RegisterChoice choice;
    choice.onServer = RadioServer->isChecked();
    choice.host = EditHost->text().trimmed();
    choice.port = EditPort->text().trimmed();
    choice.database = EditDatabase->text().trimmed();
    choice.user = EditUser->text().trimmed();
    return choice;
}

QString TfrmConnect::serverConnectionString() const {
    const RegisterChoice server = choice();
    if (server.host.isEmpty()) {
        throw EngineError(QStringLiteral("请填写服务器的主机名或地址"));
    }
    bool isNumber = false;
    const int port = server.port.toInt(&isNumber);
    if (!server.port.isEmpty() && (!isNumber || port < 1 || port > 65535)) {
        throw EngineError(QStringLiteral("端口应为 1 到 65535 之间的数字"));
    }
    if (server.database.isEmpty() || server.user.isEmpty()) {
        throw EngineError(QStringLiteral("请填写数据库和用户"));
    }
    return server.connectionString(EditPassword->text());
}

void TfrmConnect::checkServer(const QString& connectionString) const {
    const BusyCursor busy;
    const ServerProbe probe = probeServer(connectionString);
    if (probe.connected) {
        return;
    }
    const QString name = PgConnection(connectionString).registerName();
    if (probe.needsPassword) {
        throw EngineError(
            QStringLiteral("连接%1需要密码，请填写密码（%2）").arg(name, probe.reason));
    }
    throw EngineError(QStringLiteral("无法连接%1（%2）").arg(name, probe.reason));
}

void TfrmConnect::testClick() {
    runCommand(this, [this] {
        const QString server = serverConnectionString();
        checkServer(server);
        Messages::info(this,
                       QStringLiteral("连接成功：%1").arg(PgConnection(server).registerName()));
    });
}

void TfrmConnect::okClick() {
    runCommand(this, [this] {
        const RegisterChoice chosen = choice();
        QString connection;
        if (chosen.onServer) {
            connection = serverConnectionString();
            checkServer(connection);
            if (CheckRemember->isChecked() && !EditPassword->text().isEmpty()) {
                rememberPassword(chosen, EditPassword->text());
            } else if (!CheckRemember->isChecked()) {
                forgetPassword(chosen);
            }
        }
        saveRegisterChoice(chosen);
        emit registerChosen(connection);
        close();
    });
}

void TfrmConnect::copyToClick() {
    runCommand(this, [this] {
        PgConnection server(serverConnectionString());
        SqlCipherConnection file;
        file.setConnectionString(cardFileConnectionString(m_localFile));
        const BusyCursor busy;
        const CopiedRows rows = copyFileToServer(file, server);
        Messages::info(this, QStringLiteral("已把本机文件复制到%1：%2")
                                 .arg(server.registerName(), describeCopiedRows(rows)));
    });
}

void TfrmConnect::copyFromClick() {
    runCommand(this, [this] {
        PgConnection server(serverConnectionString());
        const BusyCursor busy;
        const CopiedRows rows = copyServerToFile(server, m_localFile);
        Messages::info(this, QStringLiteral("已把%1复制到本机文件 %2：%3")
                                 .arg(server.registerName(), QDir::toNativeSeparators(m_localFile),
                                      describeCopiedRows(rows)));
        emit cardsChanged();
    });
}
