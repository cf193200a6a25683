#include "ui/connection/connectionwindow.h"

#include "db/conninfo.h"
#include "db/engineerror.h"
#include "db/pgconnection.h"
#include "db/registercopy.h"
#include "db/sqlcipherconnection.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
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
    : ModalWindow(owner, QStringLiteral("frmConnect"), 420, 500), m_localFile(localFile) {
    setWindowTitle(QStringLiteral("连接服务器"));
    buildServerGroup();
    buildEncryptionGroup();
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

void TfrmConnect::buildEncryptionGroup() {
    GroupBoxTls = placeGroup(this, QStringLiteral("加密连接"), 16, 280, 377, 112);
    GroupBoxTls->setObjectName(QStringLiteral("GroupBoxTls"));
    const auto placeRadio = [this](const QString& name, const QString& caption, int left) {
        auto* radio = new QRadioButton(caption, GroupBoxTls);
        radio->setObjectName(name);
        radio->move(left, 22);
        radio->adjustSize();
        return radio;
    };
    RadioVerify = placeRadio(QStringLiteral("RadioVerify"), QStringLiteral("验证服务器证书"), 16);
    RadioEncrypt = placeRadio(QStringLiteral("RadioEncrypt"), QStringLiteral("只加密"), 160);
    RadioPlain = placeRadio(QStringLiteral("RadioPlain"), QStringLiteral("不加密"), 260);
    EditRootFile = new QLineEdit(GroupBoxTls);
    EditRootFile->setObjectName(QStringLiteral("EditRootFile"));
    EditRootFile->setGeometry(112, 52, 170, 22);
    EditRootFile->setPlaceholderText(QStringLiteral("空：系统的根证书"));
    placeBuddyLabel(GroupBoxTls, QStringLiteral("根证书："), 40, EditRootFile);
    BitBtnRootFile = placeWideButton(GroupBoxTls, QStringLiteral("BitBtnRootFile"),
                                     QStringLiteral("浏览…"), 290, 50);
    connect(BitBtnRootFile, &QPushButton::clicked, this, &TfrmConnect::rootFileClick);
    connect(RadioVerify, &QRadioButton::toggled, this, &TfrmConnect::followChoice);
}

void TfrmConnect::buildButtons() {
    BitBtnTest =
        placeWideButton(this, QStringLiteral("BitBtnTest"), QStringLiteral("测试连接"), 16, 404);
    BitBtnCopyTo = placeWideButton(this, QStringLiteral("BitBtnCopyTo"),
                                   QStringLiteral("复制到服务器"), 120, 404);
    BitBtnCopyFrom = placeWideButton(this, QStringLiteral("BitBtnCopyFrom"),
                                     QStringLiteral("复制到本机文件"), 248, 404);
    BitBtnOk = placeWideButton(this, QStringLiteral("BitBtnOk"), QStringLiteral("确定"), 224, 444);
    BitBtnCancel =
        placeWideButton(this, QStringLiteral("BitBtnCancel"), QStringLiteral("取消"), 318, 444);
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
    m_otherOptions = choice.options;
    const QString mode = m_otherOptions.take(QStringLiteral("sslmode"));
    const QString root = m_otherOptions.take(QStringLiteral("sslrootcert"));
    if (mode == u"disable") {
        RadioPlain->setChecked(true);
    } else if (mode.isEmpty() || mode.startsWith(QStringLiteral("verify"))) {
        RadioVerify->setChecked(true);
        EditRootFile->setText(root == systemRootCertificates() ? QString() : root);
    } else {
        RadioEncrypt->setChecked(true);
    }
    followChoice();
}

void TfrmConnect::followChoice() {
    const bool server = RadioServer->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{
             EditHost, EditPort, EditDatabase, EditUser, EditPassword, CheckRemember, GroupBoxTls,
             BitBtnTest, BitBtnCopyTo, BitBtnCopyFrom}) {
        control->setEnabled(server);
    }
    EditRootFile->setEnabled(RadioVerify->isChecked());
    BitBtnRootFile->setEnabled(RadioVerify->isChecked());
}

void TfrmConnect::rootFileClick() {
    const QString file = Messages::openFileName(this, QStringLiteral("选择根证书"),
                                                QStringLiteral("证书 (*.crt *.pem);;所有文件 (*)"));
    if (!file.isEmpty()) {
        EditRootFile->setText(QDir::toNativeSeparators(file));
    }
}

RegisterChoice TfrmConnect::choice() const {
    RegisterChoice choice;
    choice.onServer = RadioServer->isChecked();
    choice.host = EditHost->text().trimmed();
    choice.port = EditPort->text().trimmed();
    choice.database = EditDatabase->text().trimmed();
    choice.user = EditUser->text().trimmed();
    choice.options = m_otherOptions;
    if (RadioVerify->isChecked()) {
        const QString root = EditRootFile->text().trimmed();
        choice.options.insert(QStringLiteral("sslmode"), QStringLiteral("verify-full"));
        choice.options.insert(QStringLiteral("sslrootcert"),
                              root.isEmpty() ? systemRootCertificates() : root);
    } else {
        choice.options.insert(QStringLiteral("sslmode"), RadioEncrypt->isChecked()
                                                             ? QStringLiteral("require")
                                                             : QStringLiteral("disable"));
    }
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
    const QString root = server.options.value(QStringLiteral("sslrootcert"));
    if (RadioVerify->isChecked() && !QFileInfo(root).isFile()) {
        throw EngineError(
            QStringLiteral("找不到根证书文件 %1").arg(QDir::toNativeSeparators(root)));
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

bool TfrmConnect::plainTextAccepted() {
    const RegisterChoice server = choice();
    const auto values = conninfoValues(server.connectionString());
    if (!RadioPlain->isChecked() || !values || conninfoIsLocal(*values)) {
        return true;
    }
    return Messages::confirm(
        this,
        QStringLiteral("不加密时，名片和登录信息在网络上以明文传输，网络上的其他人可以看到和篡改，"
                       "服务器也无法证明它的身份。不加密只适合连接本机的服务器。"
                       "仍然不加密连接 %1 吗？")
            .arg(server.host),
        QStringLiteral("不加密连接"), false);
}

void TfrmConnect::testClick() {
    runCommand(this, [this] {
        if (!plainTextAccepted()) {
            return;
        }
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
        if (chosen.onServer && !plainTextAccepted()) {
            return;
        }
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
