#include "workbookconnection.h"

#include "engineerror.h"

std::shared_ptr<ResultSet> WorkbookConnection::select(const QString&) {
    throw EngineError(QStringLiteral("无法读取工作簿"));
}

void WorkbookConnection::execute(const QString&) {
    throw EngineError(QStringLiteral("工作簿连接只能读取，不能执行命令"));
}
