#pragma once

#include "ui/common/modalwindow.h"

class Connection;
class GbkLineEdit;
class QLabel;
class QPushButton;

// 设置密码: sets, changes or removes the user's own password of the local card file. Without
// one the file is keyed with the program's built-in key; with one, start-up asks for it.
// The current password is asked for before it is changed or removed.
class TfrmPassword : public ModalWindow {
    Q_OBJECT
public:
    TfrmPassword(QWidget* owner, Connection& cards);

    QLabel* Label1;       // what the password protects against
    GbkLineEdit* Edit1;   // 当前密码 (only while a password is set)
    GbkLineEdit* Edit2;   // 新密码
    GbkLineEdit* Edit3;   // 再输入一次
    QPushButton* BitBtn1; // 确定: set or change
    QPushButton* BitBtn2; // 去掉密码 (only while a password is set)
    QPushButton* BitBtn3; // 退出

public slots:
    void BitBtn1Click();
    void BitBtn2Click();

private:
    // False (after a box saying so) when the current password was not given right.
    bool currentPasswordGiven();
    // Re-keys the file; closes the window with the message when done.
    void applyPassword(const QString& password, const QString& doneMessage);

    Connection& m_cards;
};
