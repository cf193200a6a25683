#pragma once

#include <QString>

class Connection;

// Removing deleted cards for good: the card's row and its visits leave the file. Only a card
// marked deleted is ever removed, and each operation holds the write lock over its check and
// its deletes. Both throw EngineError.
enum class PurgeOutcome {
    Done,       // the card and its visits are gone
    NotDeleted, // the card is live again (restored meanwhile) or gone already: nothing removed
};
PurgeOutcome purgeCard(Connection* cards, const QString& id);

// Every deleted card and its visits; returns how many cards were removed.
int purgeDeletedCards(Connection* cards);
