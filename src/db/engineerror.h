#pragma once

#include <QString>
#include <exception>

// An error raised by the database engine layer (or the workbook reader) into the command
// that issued the statement. The command shows message() in the standard error box.
class EngineError : public std::exception {
public:
    explicit EngineError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
