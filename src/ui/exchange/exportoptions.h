#pragma once

#include "ui/common/modalwindow.h"
#include <QList>

class Query;
class QCheckBox;
class QGroupBox;
class QPushButton;

// The card-list export options: the fields to export, ticked in 25 boxes. The fields of the
// user's last export are ticked again (kept in export.conf among the user's settings); the
// first time, the usual ones.
class TfrmE : public ModalWindow {
    Q_OBJECT
public:
    explicit TfrmE(QWidget* owner);

    Query* cardList = nullptr; // the list to export, in its filter and order; set by the caller

    QGroupBox* GroupBox1;
    QList<QCheckBox*> CheckBoxes;  // CheckBox1 to CheckBox25, in number order
    QPushButton* selectAllButton;  // 全选
    QPushButton* selectNoneButton; // 全不选
    QPushButton* exportButton;     // 导出
    QPushButton* exitButton;       // 退出

public slots:
    void exportList(); // exports the card list with the ticked fields

private:
    void tickAll(bool ticked);
};
