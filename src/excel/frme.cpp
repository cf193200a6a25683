#include "frme.h"

TfrmE::TfrmE(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmE"));
    setWindowTitle(QStringLiteral("EXCEL导出选项"));
}
