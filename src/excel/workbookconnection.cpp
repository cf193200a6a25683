#include "excel/workbookconnection.h"

#include "db/connectionstring.h"
#include "db/engineerror.h"
#include "excel/workbookreader.h"

#include <QRegularExpression>

QString workbookConnectionString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") + QStringLiteral("Data Source=") +
           ConnectionString::quoted(path) + QStringLiteral(";") +
           QStringLiteral("Extended Properties=Excel 8.0;") +
           QStringLiteral("Persist Security Info=False");
}

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
