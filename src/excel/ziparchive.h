#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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

private:
    void* m_zip = nullptr;
};
