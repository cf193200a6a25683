#pragma once

#include <QString>
#include <exception>

// Why a photo could not be read (not an image, too large, the models missing), in words for
// the user.
class ScanError : public std::exception {
public:
    explicit ScanError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
