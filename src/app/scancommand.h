#pragma once

#include <QStringList>

// orvane --scan FILE…: reads each card photo and prints one JSON object per photo on standard
// output, its keys the card editor's captions (姓名, 单位名称, 移动电话 …). A photo without
// text prints {} and says so on standard error. Returns 0, or 1 when a file could not be read
// as a photo (said on standard error; the other files are still read).
int runScanCommand(const QStringList& files);

// The JSON object of one card's fields, keyed by caption in the order of the card's fields.
QByteArray cardFieldsJson(const QHash<QString, QString>& fields);
