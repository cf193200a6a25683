#include "excel/ziparchive.h"

#include <QFile>
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
