#include "excel/ziparchive.h"

#include <QFile>
#include <algorithm>
#include <unzip.h>

ZipArchive::ZipArchive(const QString& path) {
    m_zip = unzOpen64(QFile::encodeName(path).constData());
}

ZipArchive::~ZipArchive() {
    if (m_zip) {
        unzClose(m_zip);
    }
}

QStringList ZipArchive::entries() const {
    QStringList names;
    if (!m_zip || unzGoToFirstFile(m_zip) != UNZ_OK) {
        return names;
    }
    do {
        char name[1024];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(m_zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) ==
            UNZ_OK) {
            names << QString::fromUtf8(name);
        }
    } while (unzGoToNextFile(m_zip) == UNZ_OK);
    return names;
}

bool ZipArchive::read(const QString& name, QByteArray* bytes, qint64 maxBytes) const {
    bytes->clear();
    if (!m_zip || unzLocateFile(m_zip, name.toUtf8().constData(), 0) != UNZ_OK) {
        return false;
    }
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        qint64(info.uncompressed_size) > maxBytes || unzOpenCurrentFile(m_zip) != UNZ_OK) {
        return false;
    }
    char buffer[65536];
    int got = 0;
    while ((got = unzReadCurrentFile(m_zip, buffer, sizeof buffer)) > 0) {
        if (bytes->size() + got > maxBytes) {
            got = -1;
            break;
        }
        bytes->append(buffer, got);
    }
    // unzCloseCurrentFile reports a CRC mismatch of a damaged member.
    const bool ok = unzCloseCurrentFile(m_zip) == UNZ_OK && got == 0;
    if (!ok) {
        bytes->clear();
    }
    return ok;
}

std::unique_ptr<ZipMember> ZipArchive::open(const QString& name, qint64 maxBytes) const {
    if (!m_zip || unzLocateFile(m_zip, name.toUtf8().constData(), 0) != UNZ_OK) {
        return nullptr;
    }
    return std::make_unique<ZipMember>(m_zip, maxBytes);
}

ZipMember::ZipMember(void* zip, qint64 maxBytes) : m_zip(zip), m_maxBytes(maxBytes) {
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
        unzOpenCurrentFile(m_zip) != UNZ_OK) {
        m_open = false;
        m_damaged = true;
    } else if (qint64(info.uncompressed_size) > maxBytes) {
        close(false);
        m_tooLarge = true;
    }
    QIODevice::open(QIODevice::ReadOnly);
}

ZipMember::~ZipMember() {
    close(false);
}

void ZipMember::close(bool atEnd) {
    if (m_open) {
        m_open = false;
        // minizip reports a checksum that does not match only when the member was read whole.
        if (unzCloseCurrentFile(m_zip) != UNZ_OK && atEnd) {
            m_damaged = true;
        }
    }
}

qint64 ZipMember::readData(char* data, qint64 maxSize) {
    if (!m_open) {
        return -1;
    }
    if (maxSize == 0) {
        return 0; // QIODevice asks for nothing at times; minizip would answer as at the end
    }
    const int got = unzReadCurrentFile(m_zip, data, unsigned(std::min<qint64>(maxSize, 1 << 20)));
    if (got < 0) {
        m_damaged = true;
        close(false);
        return -1;
    }
    m_unpacked += got;
    if (m_unpacked > m_maxBytes) {
        m_tooLarge = true;
        close(false);
        return -1;
    }
    if (got == 0) {
        close(true);
        return m_damaged ? -1 : 0;
    }
    return got;
}

bool ZipMember::finish() {
    char buffer[65536];
    while (m_open && readData(buffer, sizeof buffer) > 0) {
    }
    return !m_tooLarge && !m_damaged;
}
