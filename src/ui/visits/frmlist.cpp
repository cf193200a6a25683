#include "frmlist.h"

#include <QGroupBox>
#include <QLabel>

TfrmList::TfrmList(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmList"));
    GroupBox1 = new QGroupBox(QStringLiteral("拜访记录"), this);
    GroupBox2 = new QGroupBox(QStringLiteral("拜访信息"), this);
    Lab_ID = new QLabel(this);
    Lab_ID->setVisible(false);
}
