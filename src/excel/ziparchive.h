#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <memory>

class ZipMember;

// Reads the members of a zip archive (an .xlsx workbook is one), through minizip.
class ZipArchive {
public:
    explicit ZipArchive(const QString& path);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    QStringList entries() const;
    // The member's bytes; false when it is missing or damaged, or larger than maxBytes.
    bool read(const QString& name, QByteArray* bytes, qint64 maxBytes = 256 * 1024 * 1024) const;
    // The member as a stream of at most maxBytes; null when it is missing. One member at a
    // time: the stream must be gone before the next is opened.
    std::unique_ptr<ZipMember> open(const QString& name, qint64 maxBytes) const;

private:
    void* m_zip = nullptr;
};

// A member being unpacked, a piece at a time. Reading fails (-1) once it passes its bound
// or turns out damaged; which of the two tells why.
class ZipMember final : public QIODevice {
public:
    ZipMember(void* zip, qint64 maxBytes);
    ~ZipMember() override;

    bool isSequential() const override { return true; }
    bool tooLarge() const { return m_tooLarge; }
    bool damaged() const { return m_damaged; }
    // Unpacks what is left, so that the member's checksum is tested; false when the member
    // is damaged or too large.
    bool finish();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void close(bool atEnd);

    void* m_zip;
    qint64 m_maxBytes;
    qint64 m_unpacked = 0;
    bool m_open = true;
    bool m_tooLarge = false;
    bool m_damaged = false;
};
