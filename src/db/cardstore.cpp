#include "db/cardstore.h"

#include "db/cardlistfill.h"
#include "db/cards.h"
#include "db/connection.h"
#include "db/defaults.h"
#include "db/dialect.h"
#include "db/engineerror.h"
#include "db/visits.h"
#include "db/writelock.h"

#include <atomic>

CardStore::CardStore(std::unique_ptr<Connection> engine)
    : m_engine(std::move(engine)), m_listener(std::make_shared<ChangeListener>()) {}

CardStore::~CardStore() = default;

void CardStore::setChangeListener(ChangeListener listener) {
    *m_listener = std::move(listener);
}

std::unique_ptr<CardStore> CardStore::openAnother() const {
    auto another = std::make_unique<CardStore>(m_engine->openAnother());
    another->m_listener = m_listener;
    return another;
}

void CardStore::told(const StoreChanges& changes) const {
    if (*m_listener && !changes.empty()) {
        (*m_listener)(changes);
    }
}

void CardStore::cancel() {
    m_engine->cancel();
}

std::map<qint64, qint64> CardStore::visitCounts(const std::vector<qint64>& keys) {
    const auto rows = m_engine->select(visitCountsStatement(keys));
    std::map<qint64, qint64> counts;
    for (int row = 0; row < rows->rowCount(); ++row) {
        counts[rows->text(row, 0).toLongLong()] = rows->text(row, 1).toLongLong();
    }
    return counts;
}

bool CardStore::remote() const {
    return m_engine->remote();
}

bool CardStore::changedElsewhere() {
    return m_engine->changedElsewhere();
}

std::shared_ptr<ResultSet> CardStore::listedCards(const FilterInput& filter,
                                                  const std::vector<qint64>& keys) {
    const Dialect& d = m_engine->dialect();
    return m_engine->select(listedCardsStatement(d, filterClause(d, filter), keys));
}

namespace {
std::atomic<int> wholeListReads{0};
} // namespace

int CardStore::listReads() {
    return wholeListReads;
}

std::shared_ptr<ResultSet> CardStore::cardList(const FilterInput& filter) {
    ++wholeListReads;
    const Dialect& d = m_engine->dialect();
    return m_engine->select(cardListStatement(d, filterClause(d, filter)));
}

namespace {
qint64 firstScreenKeysForTests = 0;

qint64 countOf(Connection& engine, const QString& statement) {
    return engine.select(statement)->text(0, 0).toLongLong();
}
} // namespace

void CardStore::setFirstScreenKeysForTests(qint64 keys) {
    firstScreenKeysForTests = keys;
}

CardStore::FirstScreen CardStore::newestCards(const FilterInput& filter, int rows) {
    ++wholeListReads;
    const Dialect& d = m_engine->dialect();
    const qint64 keys = firstScreenKeysForTests > 0 ? firstScreenKeysForTests : FirstScreenKeys;
    const qint64 floor = countOf(*m_engine, newestKeyStatement()) - keys; // keys above it
    FirstScreen first;
    first.cards = m_engine->select(
        cardPageStatement(d, filterClause(d, filter), 0, rows, std::max<qint64>(floor, 0)));
    if (first.cards->rowCount() == rows) {
        first.restBelow = lastKey(*first.cards);
    } else if (floor > 0) {
        first.restBelow = floor + 1;
    }
    return first;
}

std::unique_ptr<CardListFill> CardStore::restOfList(const FilterInput& filter, qint64 belowKey) {
    return std::make_unique<CardListFill>(m_engine->openAnother(),
                                          filterClause(m_engine->dialect(), filter), belowKey);
}

qint64 CardStore::cardCount(const FilterInput& filter) {
    return countOf(*m_engine, cardCountStatement(filterClause(m_engine->dialect(), filter)));
}

qint64 CardStore::visitCount(const FilterInput& filter) {
    return countOf(*m_engine, visitCountStatement(filterClause(m_engine->dialect(), filter)));
}

std::shared_ptr<ResultSet> CardStore::deletedCards() {
    return m_engine->select(deletedCardListStatement(m_engine->dialect()));
}

std::optional<StoredCard> CardStore::card(qint64 id) {
    return readCard(cardStatement(id), id);
}

std::optional<StoredCard> CardStore::readCard(const QString& statement, qint64 id) {
    const auto rows = m_engine->select(statement);
    if (rows->rowCount() != 1) {
        return std::nullopt;
    }
    StoredCard card;
    card.id = id;
    card.entryDate = rows->text(0, rows->columnIndex(EntryDateColumn));
    card.live = rows->text(0, rows->columnIndex(QStringLiteral("theDel"))) == u"否";
    const int revision = rows->columnIndex(QStringLiteral("Revision"));
    if (revision >= 0) {
        card.revision = rows->text(0, revision).toLongLong();
    }
    for (const CardField& field : cardFields()) {
        card.values.insert(field.column, rows->text(0, rows->columnIndex(field.column)));
    }
    return card;
}

bool CardStore::liveDuplicateExists(const CardValues& card, qint64 exceptId) {
    return m_engine->select(duplicateCheckStatement(m_engine->dialect(), card, exceptId))
               ->rowCount() > 0;
}

namespace {
// A card's values by column as UTF-8 text in the order of cardFields().
class CardUtf8 {
public:
    explicit CardUtf8(const CardValues& card) {
        requireCardColumns(card);
        for (const CardField& field : cardFields()) {
            m_bytes.push_back(card.value(field.column).toUtf8());
        }
        for (const QByteArray& value : m_bytes) {
            m_text.emplace_back(value.constData(), size_t(value.size()));
        }
    }
    CardText text() const { return m_text; }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<std::string_view> m_text;
};
} // namespace

// Each check runs under the same write lock as the write it allows: another program cannot
// store the same card in between.
CardStore::Inserted CardStore::insertCard(const CardValues& card, const QString& entryDate) {
    const CardUtf8 text(card);
    const QByteArray date = entryDate.toUtf8();
    WriteLock lock(*m_engine);
    const Inserted inserted = insertUnderLock(text.text(), std::string_view(date));
    if (inserted.outcome == WriteOutcome::Done) {
        lock.commit();
        told(StoreChanges::ofCard(inserted.id));
    }
    return inserted;
}

CardStore::Inserted CardStore::insertUnderLock(CardText card, std::string_view entryDate) {
    static const size_t type = size_t(cardFieldIndex(QStringLiteral("theType")));
    static const size_t name = size_t(cardFieldIndex(QStringLiteral("BName")));
    static const size_t sex = size_t(cardFieldIndex(QStringLiteral("BSex")));
    if (m_duplicateCheck < 0) {
        const Dialect& d = m_engine->dialect();
        m_duplicateCheck = m_engine->prepare(preparedDuplicateCheckStatement(d));
        m_cardInsert = m_engine->prepare(preparedCardInsertStatement(d));
    }
    const std::string_view sameCard[] = {card[type], card[name], card[sex]};
    if (m_engine->preparedHasRow(m_duplicateCheck, sameCard)) {
        return {WriteOutcome::Duplicate, 0};
    }
    m_insertValues.assign(1, entryDate);
    m_insertValues.insert(m_insertValues.end(), card.begin(), card.end());
    // An engine that enforces the rule itself (the server's index of live cards) stores
    // nothing and gives no key when another program stored the same card meanwhile.
    const qint64 id = m_engine->preparedInsert(m_cardInsert, m_insertValues);
    if (id == 0) {
        return {WriteOutcome::Duplicate, 0};
    }
    return {WriteOutcome::Done, id};
}

CardStore::ImportBatch::ImportBatch(CardStore& store) : m_store(store) {}

CardStore::ImportBatch::~ImportBatch() {
    try {
        commit();
    } catch (const EngineError&) {
        // The group cannot be made permanent; the lock goes back with it, and the error that
        // ended the run is the one the user sees.
    }
}

CardStore::Inserted CardStore::ImportBatch::insertCard(const CardValues& card,
                                                       const QString& entryDate) {
    const CardUtf8 text(card);
    const QByteArray date = entryDate.toUtf8();
    return insertCard(text.text(), std::string_view(date));
}

CardStore::Inserted CardStore::ImportBatch::insertCard(CardText card, std::string_view entryDate) {
    if (!m_lock) {
        Connection& engine = *m_store.m_engine;
        m_lock = std::make_unique<WriteLock>(engine);
        // Where taking the write lock does not keep other writers out by itself (the
        // server), the group holds the cards' table for itself until it commits.
        const QString hold = engine.dialect().holdCardsForBatch();
        if (!hold.isEmpty()) {
            engine.execute(hold);
        }
        m_groupAge.start();
        m_groupRows = 0;
    }
    try {
        const Inserted inserted = m_store.insertUnderLock(card, entryDate);
        if (inserted.outcome == WriteOutcome::Done) {
            m_groupCards.push_back(inserted.id);
        }
        if (++m_groupRows >= GroupRows || m_groupAge.elapsed() >= GroupMs) {
            commit();
        }
        return inserted;
    } catch (const RefusedValue&) {
        throw; // nothing of this card was sent: the group goes on
    } catch (const EngineError&) {
        // What the group wrote before the failing card stays where the engine keeps it
        // (committed by the file, given back by the server with the failed transaction):
        // committedCards() counts it only when its commit went through.
        try {
            commit();
        } catch (const EngineError&) {
        }
        throw;
    }
}

void CardStore::ImportBatch::commit() {
    if (!m_lock) {
        return;
    }
    std::unique_ptr<WriteLock> lock = std::move(m_lock);
    StoreChanges added;
    added.cards.swap(m_groupCards);
    try {
        lock->commit(); // on failure the lock rolls back as it goes
    } catch (const UncertainCommit&) {
        // The connection broke with the COMMIT: the group's cards, looked for over a new
        // connection, say whether it went through.
        lock.reset();
        std::optional<bool> stored;
        try {
            stored = m_store.listedCards(FilterInput(), added.cards)->rowCount() ==
                     int(added.cards.size());
        } catch (const EngineError&) {
        }
        if (!stored) {
            throw; // the server is away: it stays unknown, as the message says
        }
        if (!*stored) {
            throw EngineError(QStringLiteral("与名片服务器的连接断开了，最后一组名片没有保存。"));
        }
        m_committed += int(added.cards.size());
        m_store.told(added);
        throw EngineError(QStringLiteral("与名片服务器的连接断开了。"));
    }
    m_committed += int(added.cards.size());
    m_store.told(added);
}

// The card is read again under the lock and kept as it is until the commit, so that what is
// compared with the card opened is what the write replaces. A card deleted meanwhile is Gone
// rather than Changed: the user can no longer open it again.
WriteOutcome CardStore::updateCard(const StoredCard& opened, const CardValues& values) {
    const Dialect& d = m_engine->dialect();
    const QString update = cardUpdateStatement(d, opened.id, values);
    WriteLock lock(*m_engine);
    const std::optional<StoredCard> stored = readCard(lockedCardStatement(d, opened.id), opened.id);
    if (!stored || !stored->live) {
        return WriteOutcome::Gone;
    }
    if (*stored != opened) {
        return WriteOutcome::Changed;
    }
    if (liveDuplicateExists(values, opened.id)) {
        return WriteOutcome::Duplicate;
    }
    m_engine->execute(update);
    lock.commit();
    told(StoreChanges::ofCard(opened.id));
    return WriteOutcome::Done;
}

void CardStore::softDelete(qint64 id) {
    WriteLock lock(*m_engine);
    m_engine->execute(softDeleteStatement(id));
    lock.commit();
    told(StoreChanges::ofCard(id));
}

WriteOutcome CardStore::restore(qint64 id) {
    WriteLock lock(*m_engine);
    const std::optional<StoredCard> deleted = card(id);
    if (!deleted || deleted->live) {
        return WriteOutcome::Gone;
    }
    if (liveDuplicateExists(deleted->values)) {
        return WriteOutcome::Duplicate;
    }
    m_engine->execute(restoreCardStatement(id));
    lock.commit();
    told(StoreChanges::ofCard(id));
    return WriteOutcome::Done;
}

WriteOutcome CardStore::purgeCard(qint64 id) {
    WriteLock lock(*m_engine);
    if (m_engine->select(deletedCardStatement(id))->rowCount() == 0) {
        return WriteOutcome::Gone;
    }
    for (const QString& statement : purgeCardStatements(m_engine->dialect(), id)) {
        m_engine->execute(statement);
    }
    lock.commit();
    told(StoreChanges::ofCard(id));
    return WriteOutcome::Done;
}

int CardStore::purgeDeletedCards() {
    WriteLock lock(*m_engine);
    const auto keys = m_engine->select(deletedKeysStatement());
    for (const QString& statement : purgeDeletedStatements(m_engine->dialect())) {
        m_engine->execute(statement);
    }
    lock.commit();
    StoreChanges purged;
    for (int row = 0; row < keys->rowCount(); ++row) {
        purged.cards.push_back(keys->text(row, 0).toLongLong());
    }
    told(purged);
    return keys->rowCount();
}

std::shared_ptr<ResultSet> CardStore::visits(qint64 cardId) {
    return m_engine->select(visitListStatement(m_engine->dialect(), cardId));
}

qint64 CardStore::addVisit(qint64 cardId, const QString& date, const QString& kind,
                           const QString& memo) {
    const Dialect& d = m_engine->dialect();
    const QString insert = visitInsertStatement(d, cardId, date, kind, memo);
    WriteLock lock(*m_engine);
    const qint64 id = m_engine->insert(d.insertReturningKey(insert));
    lock.commit();
    told(StoreChanges::ofVisit(cardId, +1));
    return id;
}

void CardStore::removeVisit(qint64 visitId) {
    WriteLock lock(*m_engine);
    const auto card = m_engine->select(visitCardStatement(visitId));
    m_engine->execute(visitDeleteStatement(m_engine->dialect(), visitId));
    lock.commit();
    if (card->rowCount() == 1) {
        told(StoreChanges::ofVisit(card->text(0, 0).toLongLong(), -1));
    }
}

QStringList CardStore::lookup(Lookup list) {
    const auto rows = m_engine->select(lookupListStatement(list));
    QStringList names;
    names.reserve(rows->rowCount());
    for (int row = 0; row < rows->rowCount(); ++row) {
        names << rows->text(row, 0);
    }
    return names;
}

std::optional<CardDefaults> CardStore::defaults() {
    const auto rows = m_engine->select(defaultsStatement(m_engine->dialect()));
    if (rows->rowCount() != 1) {
        return std::nullopt;
    }
    return CardDefaults{rows->text(0, 0), rows->text(0, 1), rows->text(0, 2)};
}

void CardStore::storeDefaults(const CardDefaults& defaults) {
    const QStringList statements = defaultsStoreStatements(m_engine->dialect(), defaults.type,
                                                           defaults.sex, defaults.province);
    WriteLock lock(*m_engine);
    for (const QString& statement : statements) {
        m_engine->execute(statement);
    }
    lock.commit();
    StoreChanges stored;
    stored.defaults = true;
    told(stored);
}

QString duplicateCardMessage(const CardValues& card) {
    return card.value("theType") + u' ' + card.value("BName") + u' ' + card.value("BSex") +
           QStringLiteral(" 已经存在！");
}
