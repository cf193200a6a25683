#include "visitexport.h"

#include "engineerror.h"

void exportVisitLog(QWidget*, const QString&, Query*) {
    throw EngineError(QStringLiteral("无法创建Xls文件，请确认是否安装EXCEL"));
}
