#include "frmindata.h"

TfrmInData::TfrmInData(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmInData"));
    setWindowTitle(QStringLiteral("导入名片"));
}
