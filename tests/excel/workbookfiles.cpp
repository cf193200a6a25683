#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include "workbookfiles.h"

#include <QFile>
#include <zip.h>

bool writeZip(const QString& path, const QList<std::pair<QString, QByteArray>>& members) {
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), 0);
    if (!zip) {
        return false;
    }
    bool written = true;
    for (const auto& [name, bytes] : members) {
        written =
            written &&
            zipOpenNewFileInZip64(zip, name.toUtf8().constData(), nullptr, nullptr, 0, nullptr, 0,
                                  nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) == ZIP_OK &&
            zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())) == ZIP_OK &&
            zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && written;
}

bool writeZip(const QString& path, const QList<StreamedMember>& members) {
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), 0);
    if (!zip) {
        return false;
    }
    bool written = true;
    for (const StreamedMember& member : members) {
        written = written &&
                  zipOpenNewFileInZip64(zip, member.name.toUtf8().constData(), nullptr, nullptr, 0,
                                        nullptr, 0, nullptr, member.stored ? 0 : Z_DEFLATED,
                                        member.stored ? 0 : Z_BEST_SPEED, 1) == ZIP_OK;
        for (QByteArray piece = member.nextPiece(); written && !piece.isEmpty();
             piece = member.nextPiece()) {
            written = zipWriteInFileInZip(zip, piece.constData(), unsigned(piece.size())) == ZIP_OK;
        }
        written = written && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && written;
}

bool writeCompoundFile(const QString& path, const char* streamName, const QByteArray& bytes) {
    gsf_init();
    GsfOutput* sink = gsf_output_stdio_new(QFile::encodeName(path).constData(), nullptr);
    if (!sink) {
        return false;
    }
    GsfOutfile* compound = gsf_outfile_msole_new(sink);
    GsfOutput* stream = gsf_outfile_new_child(compound, streamName, FALSE);
    const bool written = gsf_output_write(stream, size_t(bytes.size()),
                                          reinterpret_cast<const guint8*>(bytes.constData()));
    gsf_output_close(stream);
    g_object_unref(stream);
    gsf_output_close(GSF_OUTPUT(compound));
    g_object_unref(compound);
    g_object_unref(sink); // closed with the compound file
    return written;
}
