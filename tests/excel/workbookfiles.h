#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

// Workbook files put together by hand for the reader tests, for contents no spreadsheet
// program writes. Each returns false when the file cannot be written.

// A zip package (an .xlsx) of the named members.
bool writeZip(const QString& path, const QList<std::pair<QString, QByteArray>>& members);

// A zip package of members too large to hold: each is written from the pieces its function
// gives, until it gives an empty one; stored members are not compressed.
struct StreamedMember {
    QString name;
    std::function<QByteArray()> nextPiece;
    bool stored = false;
};
bool writeZip(const QString& path, const QList<StreamedMember>& members);

// A compound file (OLE2, the container of an .xls) holding one stream.
bool writeCompoundFile(const QString& path, const char* streamName, const QByteArray& bytes);
