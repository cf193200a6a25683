#pragma once

#include "db/serverlogin.h"
#include "ui/common/modalwindow.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// 连接服务器: where the cards live, the local card file or a register on a PostgreSQL server,
// kept for the next starts (the password only in the password file, and only with 记住密码).
// 加密连接 says how the connection to a server over the network is protected: TLS with the
// server's certificate checked against a root certificate (a file chosen, or the system's),
// TLS alone, or none (meant for this computer; towards another one only after a warning).
// It also copies the cards between the local file and the server named in it.
class TfrmConnect : public ModalWindow {
    Q_OBJECT
public:
    // localFile: the card file of this computer, the source and target of the two copies.
    TfrmConnect(QWidget* owner, const QString& localFile);

    // The choice shown in the window, from its controls.
    RegisterChoice choice() const;

public slots:
    void testClick();     // 测试连接
    void okClick();       // 确定: keep the choice
    void copyToClick();   // 复制到服务器
    void copyFromClick(); // 复制到本机文件
    void rootFileClick(); // 浏览…: the root certificate file

signals:
    // The choice was kept; connectionString reaches the register for this run (with the
    // password typed, if any). Empty for the local card file.
    void registerChosen(const QString& connectionString);

private:
    void buildServerGroup();
    void buildEncryptionGroup();
    void buildButtons();
    void showChoice(const RegisterChoice& choice);
    void followChoice(); // the server's boxes are open only while 服务器 is chosen
    // The server's connection string with the password typed; throws EngineError with a
    // message for the user when the boxes do not name a server.
    QString serverConnectionString() const;
    // Logs in to the server once; throws EngineError with libpq's reason when it fails.
    void checkServer(const QString& connectionString) const;
    // 不加密 towards another computer: true when the user still wants it after the warning.
    bool plainTextAccepted();

    QString m_localFile;
    QMap<QString, QString> m_otherOptions; // the libpq keywords the window shows no box for
    QGroupBox* GroupBox1;
    QRadioButton* RadioLocal;
    QRadioButton* RadioServer;
    QLineEdit* EditHost;
    QLineEdit* EditPort;
    QLineEdit* EditDatabase;
    QLineEdit* EditUser;
    QLineEdit* EditPassword;
    QCheckBox* CheckRemember;
    QGroupBox* GroupBoxTls;
    QRadioButton* RadioVerify;
    QRadioButton* RadioEncrypt;
    QRadioButton* RadioPlain;
    QLineEdit* EditRootFile;
    QPushButton* BitBtnRootFile;
    QPushButton* BitBtnTest;
    QPushButton* BitBtnCopyTo;
    QPushButton* BitBtnCopyFrom;
    QPushButton* BitBtnOk;
    QPushButton* BitBtnCancel;
};
