#include "db/serverreason.h"

#include <QRegularExpression>

namespace {
struct Reason {
    const char* pattern; // matched without regard to case
    const char* chinese; // %1, %2, … the pattern's captures
};

// The most specific first.
constexpr Reason Reasons[] = {
    {R"x(Connection refused)x", "服务器拒绝连接：服务器没有运行，或者主机、端口不对"},
    {R"x(^No such file or directory)x", "本机上没有运行中的服务器"},
    {R"x(timeout expired|timed out|due to statement timeout)x", "连接超时：服务器没有及时响应"},
    {R"x(terminating connection due to administrator command)x", "服务器的管理员结束了连接"},
    {R"x(closed the connection unexpectedly|connection has been closed unexpectedly|)x"
     R"x(EOF detected|Connection reset by peer|Broken pipe|no connection to the server|)x"
     R"x(could not (receive|send) data (from|to) server|server sent data.*without prior)x",
     "连接意外中断"},
    {R"x(password authentication failed for user "(.*)")x", "用户 %1 的密码不正确"},
    {R"x(no password supplied)x", "服务器要求密码，但没有提供密码"},
    {R"x(authentication failed)x", "身份验证失败"},
    {R"x(permission denied for table (\S+))x", "权限不足：不能使用表 %1"},
    {R"x(permission denied for sequence (\S+))x", "权限不足：不能使用序列 %1"},
    {R"x(permission denied for (schema|database|function) (\S+))x", "权限不足：不能使用 %2"},
    {R"x(permission denied|must be owner of)x", "权限不足"},
    {R"x(could not translate host name "(.*)" to address)x", "找不到主机 %1"},
    {R"x(Network is unreachable|No route to host)x", "网络不通，无法到达服务器"},
    {R"x(database "(.*)" does not exist)x", "数据库 %1 不存在"},
    {R"x(role "(.*)" does not exist)x", "用户 %1 不存在"},
    {R"x(no pg_hba\.conf entry for host "(.*)", user "(.*)", database "([^"]*)")x",
     "服务器不允许从 %1 以用户 %2 连接数据库 %3（pg_hba.conf 中没有相应的行）"},
    {R"x(the database system is (starting up|shutting down|in recovery mode))x",
     "服务器正在启动或关闭，请稍后再试"},
    {R"x(too many clients|remaining connection slots are reserved)x",
     "服务器的连接数已满，请稍后再试"},
    {R"x(server does not support SSL, but SSL was required)x",
     "服务器不支持加密连接（SSL），而连接要求加密"},
    {R"x(certificate verify failed)x", "无法验证服务器的证书"},
    {R"x(server certificate for "([^"]*)".* does not match host name "(.*)")x",
     "服务器的证书是发给 %1 的，与所连接的主机名 %2 不符（可能连到了别的服务器）"},
    {R"x(root certificate file "(.*)" does not exist)x", "找不到根证书文件 %1"},
    {R"x(channel binding)x",
     "服务器没有用带通道绑定的 SCRAM 方式验证密码（它可能要求以明文发送密码），"
     "为保护密码，程序没有连接"},
};

// libpq's start of a connection failure ("connection to server at "h" (1.2.3.4), port 5432
// failed: ") and the server's severity ("FATAL:  "), which say nothing the Chinese does not.
QString withoutPrefixes(const QString& reason) {
    static const QRegularExpression prefixes(
        QStringLiteral(R"(^(connection to server .* failed:\s*)?((FATAL|ERROR):\s+)?)"));
    return QString(reason).remove(prefixes);
}
} // namespace

QString serverReasonInChinese(const QString& reason) {
    const QString text = withoutPrefixes(reason);
    for (const Reason& known : Reasons) {
        const QRegularExpression pattern(QString::fromUtf8(known.pattern),
                                         QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = pattern.match(text);
        if (match.hasMatch()) {
            QString chinese = QString::fromUtf8(known.chinese);
            for (int i = 1; i <= match.lastCapturedIndex(); ++i) {
                chinese.replace(QStringLiteral("%%1").arg(i), match.captured(i));
            }
            return chinese;
        }
    }
    return reason;
}
