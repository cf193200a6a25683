#pragma once

#include <QtGlobal>
#include <algorithm>
#include <vector>

// What changed in the register, by key: what the card store committed, or what another
// program committed as its notices tell. A list that shows cards reads the cards named again
// (a card added, changed, deleted, restored or removed reads as it is now, or not at all) and
// moves its visit count by the visits added and removed of the cards it shows.
struct StoreChanges {
    struct VisitChange {
        qint64 card = 0;
        int delta = 0; // +1 a visit added, -1 one removed
    };

    std::vector<qint64> cards;
    std::vector<VisitChange> visits;
    bool lookups = false;
    bool defaults = false;
    // What changed is not known (too much at once, or told without keys): read everything.
    bool everything = false;

    bool empty() const {
        return cards.empty() && visits.empty() && !lookups && !defaults && !everything;
    }

    void add(const StoreChanges& more) {
        cards.insert(cards.end(), more.cards.begin(), more.cards.end());
        visits.insert(visits.end(), more.visits.begin(), more.visits.end());
        lookups = lookups || more.lookups;
        defaults = defaults || more.defaults;
        everything = everything || more.everything;
    }

    // The cards named, each once.
    std::vector<qint64> distinctCards() const {
        std::vector<qint64> keys = cards;
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        return keys;
    }

    static StoreChanges ofCard(qint64 id) {
        StoreChanges changes;
        changes.cards.push_back(id);
        return changes;
    }
    static StoreChanges ofVisit(qint64 card, int delta) {
        StoreChanges changes;
        changes.visits.push_back({card, delta});
        return changes;
    }
};
