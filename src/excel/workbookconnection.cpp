#include "workbookconnection.h"

#include "connectionstring.h"
#include "engineerror.h"
#include "workbookreader.h"

#include <QRegularExpression>

std::shared_ptr<ResultSet> WorkbookConnection::select(const QString& sql) {
    static const QRegularExpression sheetQuery(
        QStringLiteral("^\\s*select\\s*\\*\\s*from\\s*\\[Sheet1\\$\\]\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    if (!sheetQuery.match(sql).hasMatch()) {
        throw EngineError(
            QStringLiteral("工作簿只能用语句“Select * from [Sheet1$]”读取，不能执行：%1").arg(sql));
    }
    const QString path = ConnectionString::parse(connectionString()).value("Data Source");
    if (path.isEmpty()) {
        throw EngineError(QStringLiteral("连接字符串中没有指定工作簿文件"));
    }
    auto sheet = readWorkbookSheet(path, QStringLiteral("Sheet1"));
    m_open = true;
    return sheet;
}

void WorkbookConnection::execute(const QString&) {
    throw EngineError(QStringLiteral("工作簿连接只能读取，不能执行命令"));
}
