#include "frmd_d.h"

TfrmD_D::TfrmD_D(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmD_D"));
}
