#include "db/purge.h"

#include "db/connection.h"
#include "db/resultset.h"
#include "db/sqltext.h"
#include "db/writelock.h"

namespace {
QString deletedCardStatement(const QString& id) {
    return QStringLiteral("select ID from D_B where ID=") + sqlId(id) +
           QStringLiteral(" and theDel='是'");
}

QString deletedCardsStatement() {
    return QStringLiteral("select ID from D_B where theDel='是'");
}
} // namespace

PurgeOutcome purgeCard(Connection* cards, const QString& id) {
    WriteLock lock(cards);
    if (cards->select(deletedCardStatement(id))->rowCount() == 0) {
        return PurgeOutcome::NotDeleted;
    }
    cards->execute(QStringLiteral("Delete from DList where DID=") + sqlId(id));
    cards->execute(QStringLiteral("Delete from D_B where ID=") + sqlId(id) +
                   QStringLiteral(" and theDel='是'"));
    lock.commit();
    return PurgeOutcome::Done;
}

int purgeDeletedCards(Connection* cards) {
    WriteLock lock(cards);
    const int count = cards->select(deletedCardsStatement())->rowCount();
    cards->execute(QStringLiteral("Delete from DList where DID in (") + deletedCardsStatement() +
                   QStringLiteral(")"));
    cards->execute(QStringLiteral("Delete from D_B where theDel='是'"));
    lock.commit();
    return count;
}
