#include "db/lookups.h"

namespace {
QString tableOf(Lookup list) {
    switch (list) {
    case Lookup::Category:
        return QStringLiteral("D_Type");
    case Lookup::Sex:
        return QStringLiteral("D_Sex");
    case Lookup::Province:
        return QStringLiteral("D_P");
    }
    Q_UNREACHABLE();
}
} // namespace

QString lookupListStatement(Lookup list) {
    return QStringLiteral("select theName from ") + tableOf(list);
}
