#pragma once

#include "db/cardfields.h"
#include "db/cardlist.h"
#include "db/lookups.h"
#include "db/resultset.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class Connection;

// What became of a write. The window chooses what to tell the user; the store never asks.
enum class WriteOutcome {
    Done,      // written and committed
    Duplicate, // a live card with the same category, name and sex exists: nothing written
    Gone,      // the card is no longer live (deleted or restored by someone else): nothing written
    Changed,   // someone else saved the card since it was read (team register): nothing written
};

// A card as read from the register: its key, its fields by column and the revision it had
// when it was read (always 0 on the local file, which keeps no revisions).
struct StoredCard {
    qint64 id = 0;
    QString entryDate;
    CardValues values;
    qint64 revision = 0;
};

// The defaults a new card starts from (the one row of D_Mr).
struct CardDefaults {
    QString type;
    QString sex;
    QString province;
};

// The register's whole operations over one engine. Each write takes the engine's write lock
// for itself, checks what the register's rules require (no live duplicate) and commits, or
// writes nothing; it reports a typed outcome. Engine failures throw EngineError with a text
// fit for the error box.
//
// cardsChanged() is emitted after every committed write of this store (and, on a shared
// register, when another program's commit is seen), so the windows showing cards re-read.
class CardStore : public QObject {
    Q_OBJECT
public:
    explicit CardStore(std::unique_ptr<Connection> engine, QObject* parent = nullptr);
    ~CardStore() override;

    // The engine behind the store (for start-up, the workers and the tests).
    Connection& engine() const { return *m_engine; }

    // The card list under a filter, newest first, with the columns and captions of the list.
    std::shared_ptr<ResultSet> cardList(const FilterInput& filter);
    // How many visits the cards under the filter have.
    qint64 visitCount(const FilterInput& filter);
    // The deleted cards, with the columns of the card list, newest first.
    std::shared_ptr<ResultSet> deletedCards();

    // One card, live or not; nothing when there is no card with that key.
    std::optional<StoredCard> card(qint64 id);

    struct Inserted {
        WriteOutcome outcome = WriteOutcome::Done;
        qint64 id = 0; // the new key when Done
    };
    // Adds card as a live card entered on entryDate, unless a live duplicate exists.
    Inserted insertCard(const CardValues& card, const QString& entryDate);
    // Writes values over the card read as opened, if it is still live, no other live card
    // has the same category, name and sex, and (team register) nobody saved it since.
    WriteOutcome updateCard(const StoredCard& opened, const CardValues& values);
    // Marks the card deleted; it stays in the register, with its visits, for restoring.
    void softDelete(qint64 id);
    // Makes a deleted card live again, unless a live duplicate exists now.
    WriteOutcome restore(qint64 id);

    // The visits of a card, newest first: ID, 拜访日期, 拜访方式, 拜访内容.
    std::shared_ptr<ResultSet> visits(qint64 cardId);
    qint64 addVisit(qint64 cardId, const QString& date, const QString& kind, const QString& memo);
    void removeVisit(qint64 visitId);

    // Every name of a lookup list, in the register's order.
    QStringList lookup(Lookup list);

    // The stored defaults (empty texts when there are none).
    CardDefaults defaults();
    // Stores the defaults: D_Mr then holds exactly this one row.
    void storeDefaults(const CardDefaults& defaults);

signals:
    void cardsChanged();

private:
    std::unique_ptr<Connection> m_engine;
};

// The message of a duplicate: "客户 张三 男 已经存在！".
QString duplicateCardMessage(const CardValues& card);
