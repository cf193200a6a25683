#pragma once

#include <QString>

// The reason libpq or the server gives for a failure (one line, in English), said in Chinese
// for the common cases: refused, closed unexpectedly, authentication, permission, timeout, an
// unknown host, a database or user that does not exist, a server starting or full. Any other
// reason is returned as it is, to be shown in brackets.
QString serverReasonInChinese(const QString& reason);
