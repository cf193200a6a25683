#pragma once

#include "db/cardfields.h"
#include "db/cardlist.h"
#include "db/lookups.h"
#include "db/resultset.h"
#include "db/storechanges.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class CardListFill;
class Connection;
class WriteLock;

// What became of a write. The window chooses what to tell the user; the store never asks.
enum class WriteOutcome {
    Done,      // written and committed
    Duplicate, // a live card with the same category, name and sex exists: nothing written
    Gone,      // the card is not (or no longer) in the state the write needs: nothing written
    Changed,   // the card was saved by someone else since it was read: nothing written
};

// A card as read from the register: its key, its entry date, its fields by column, and its
// revision where the engine counts the saves of a card (the server; 0 on the card file).
struct StoredCard {
    qint64 id = 0;
    QString entryDate;
    bool live = false;
    qint64 revision = 0;
    CardValues values;

    bool operator==(const StoredCard&) const = default;
};

// The defaults a new card starts from (the one row of D_Mr).
struct CardDefaults {
    QString type;
    QString sex;
    QString province;
};

// The card register's whole operations over one engine. Each write takes the engine's write
// lock for itself, checks what the register's rules require (no two live cards with the same
// category, name and sex) and commits, or writes nothing; it reports a typed outcome. Engine
// failures throw EngineError with a text fit for the error box, and leave nothing half written.
//
// After each commit the store tells its change listener what the commit changed, by key, on
// the thread that wrote. A store is used by one thread at a time.
class CardStore {
public:
    explicit CardStore(std::unique_ptr<Connection> engine);
    ~CardStore();
    CardStore(const CardStore&) = delete;
    CardStore& operator=(const CardStore&) = delete;

    // The engine behind the store (for tests and benchmarks that look into it).
    Connection& engine() const { return *m_engine; }

    using ChangeListener = std::function<void(const StoreChanges&)>;
    // Told of every change committed through this store and the stores opened from it.
    void setChangeListener(ChangeListener listener);
    // A store on a connection of its own to the same register (for work on another thread),
    // telling its changes to the same listener.
    std::unique_ptr<CardStore> openAnother() const;
    // Stops the statement running on this store's connection (called from another thread):
    // the statement fails, and a write under way writes nothing.
    void cancel();
    // Whether the register is on a server, whose answers may be slow.
    bool remote() const;
    // Whether another program changed the register since the last call, where the engine
    // tells so only when asked (the card file).
    bool changedElsewhere();

    // Of the cards with the given keys, those the list under filter shows, in the columns of
    // cardList().
    std::shared_ptr<ResultSet> listedCards(const FilterInput& filter,
                                           const std::vector<qint64>& keys);
    // How many visits each of the cards with the given keys has (those with none left out).
    std::map<qint64, qint64> visitCounts(const std::vector<qint64>& keys);

    // The live cards under a filter, newest first: ID, 录入日期 and every field under its
    // caption.
    std::shared_ptr<ResultSet> cardList(const FilterInput& filter);
    // The first screen of that list: at most rows of its newest cards, newest first, looked
    // for among the newest FirstScreenKeys keys only, so that a filter letting few cards
    // through costs no scan of a large register here. restBelow: the key below which the
    // rest of the list stands, or 0 when these cards are the whole list.
    struct FirstScreen {
        std::shared_ptr<ResultSet> cards;
        qint64 restBelow = 0;
    };
    FirstScreen newestCards(const FilterInput& filter, int rows);
    static constexpr qint64 FirstScreenKeys = 20000;
    static void setFirstScreenKeysForTests(qint64 keys); // 0: FirstScreenKeys again
    // The rest of that list, below the card with key belowKey, with the counts of its cards
    // and visits, read in the background over a connection of its own (not yet started).
    std::unique_ptr<CardListFill> restOfList(const FilterInput& filter, qint64 belowKey);
    // How many live cards the filter lets through, and how many visits they have, as the
    // engine counts them.
    qint64 cardCount(const FilterInput& filter);
    qint64 visitCount(const FilterInput& filter);
    // The deleted cards, with the columns of the card list, newest first.
    std::shared_ptr<ResultSet> deletedCards();

    // How many times this program read a card list as a whole or its first screen (for the
    // tests and benchmarks that check the list follows changes without reading it again).
    static int listReads();

    // One card, live or not; nothing when there is no card with that key.
    std::optional<StoredCard> card(qint64 id);

    struct Inserted {
        WriteOutcome outcome = WriteOutcome::Done;
        qint64 id = 0; // the new key when Done
    };
    // Adds card as a live card entered on entryDate, unless a live duplicate exists.
    Inserted insertCard(const CardValues& card, const QString& entryDate);

    // A long run of inserts (an import), committed in groups: a group takes the write lock
    // before its first card and commits once it holds GroupRows cards or is GroupMs old. The
    // engine then writes its log once a group rather than once a card, another program waits
    // at most about GroupMs for its turn, and a program killed midway keeps every group
    // committed before it: a prefix of the run. Each duplicate check runs under the lock of
    // the group that writes the card it allows, so two programs never store a card twice.
    // The end of the batch (or commit()) commits what is done; after an engine error the
    // batch is done with, and what its group had written is kept where the engine keeps it.
    class ImportBatch {
    public:
        explicit ImportBatch(CardStore& store);
        ~ImportBatch(); // commits the group under way; a failure then is not thrown
        ImportBatch(const ImportBatch&) = delete;
        ImportBatch& operator=(const ImportBatch&) = delete;

        // As insertCard, inside the group under way. Throws EngineError; RefusedValue when
        // the engine cannot store a value of the card, and the batch then goes on.
        Inserted insertCard(const CardValues& card, const QString& entryDate);
        // The same with the card and its entry date as UTF-8 text.
        Inserted insertCard(CardText card, std::string_view entryDate);
        // Commits the group under way now. Throws EngineError.
        void commit();
        // How many cards the groups committed so far hold: the cards stored for good.
        int committedCards() const { return m_committed; }

        static constexpr int GroupRows = 100;
        static constexpr int GroupMs = 50;

    private:
        CardStore& m_store;
        std::unique_ptr<WriteLock> m_lock;
        QElapsedTimer m_groupAge;
        int m_groupRows = 0;
        std::vector<qint64> m_groupCards; // added by the group under way
        int m_committed = 0;
    };
    // Writes values over the card opened (as card() read it) if it is still live (Gone
    // otherwise), still stored as it was opened (Changed otherwise: nobody's save is
    // overwritten unseen), and no other live card has the same category, name and sex
    // (Duplicate otherwise), checked in this order. Its entry date and live flag stay.
    WriteOutcome updateCard(const StoredCard& opened, const CardValues& values);
    // Marks the card deleted; it stays in the register, with its visits, for restoring.
    void softDelete(qint64 id);
    // Makes a deleted card live again, unless a live duplicate exists now (Duplicate) or the
    // card is not deleted (Gone).
    WriteOutcome restore(qint64 id);
    // Removes a deleted card and its visits from the register for good; Gone when the card is
    // live again (restored meanwhile) or gone already, and then nothing is removed.
    WriteOutcome purgeCard(qint64 id);
    // Removes every deleted card and its visits for good; returns how many cards went.
    int purgeDeletedCards();

    // The visits of a card, newest first: ID, 拜访日期, 拜访方式, 拜访内容.
    std::shared_ptr<ResultSet> visits(qint64 cardId);
    // Records a visit; returns its key.
    qint64 addVisit(qint64 cardId, const QString& date, const QString& kind, const QString& memo);
    // Removes a visit for good.
    void removeVisit(qint64 visitId);

    // Every name of a lookup list, in the register's order.
    QStringList lookup(Lookup list);

    // The stored defaults; nothing unless D_Mr holds exactly one row.
    std::optional<CardDefaults> defaults();
    // Stores the defaults: D_Mr then holds exactly this one row.
    void storeDefaults(const CardDefaults& defaults);

private:
    void told(const StoreChanges& changes) const;
    std::optional<StoredCard> readCard(const QString& statement, qint64 id);
    bool liveDuplicateExists(const CardValues& card, qint64 exceptId = 0);
    Inserted insertUnderLock(CardText card, std::string_view entryDate);

    std::unique_ptr<Connection> m_engine;
    std::shared_ptr<ChangeListener> m_listener; // shared with the stores opened from this one
    // The duplicate check and the insert of a new card, prepared on first use (-1 before).
    int m_duplicateCheck = -1;
    int m_cardInsert = -1;
    std::vector<std::string_view> m_insertValues; // the insert's values, kept for the next
};

// The message of a duplicate: "客户 张三 男 已经存在！".
QString duplicateCardMessage(const CardValues& card);
