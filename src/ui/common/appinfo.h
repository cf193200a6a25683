#pragma once

#include <QString>

// The program's name, the caption of its windows and boxes, and the publisher's web site.
inline const QString AppTitle = QStringLiteral("Orvane名片管理");
inline const QString PublisherUrl = QStringLiteral("https://www.orvane.cn/");
