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

// A COMMIT whose answer was lost with the connection: the server may have committed or not.
class UncertainCommit : public EngineError {
public:
    using EngineError::EngineError;
};

// A value the engine cannot store (a NUL character on the server), found before anything was
// sent: the statement did not run, and a transaction under way goes on.
class RefusedValue : public EngineError {
public:
    using EngineError::EngineError;
};
