#pragma once

#include <QString>
#include <QStringList>

// What differs between the engines in the text of a statement. The statements of the
// register are built once, in src/db, and ask their engine's dialect for these pieces.
class Dialect {
public:
    virtual ~Dialect() = default;

    // A text value as a literal, quotes included, that no value can end early or turn into
    // more statement. Throws EngineError with a message for the user when the engine cannot
    // store the value.
    virtual QString literal(const QString& value) const = 0;
    // Where the value of parameter number (from 1) of a prepared statement goes.
    virtual QString parameter(int number) const = 0;
    // A column alias as written after "as", so that the result column has exactly this name.
    virtual QString alias(const QString& name) const = 0;
    // The register's duplicate rule as one comparison, in the form the engine's index of
    // names serves: column equals the value written (a literal or a parameter), Latin letters
    // in either case.
    virtual QString sameName(const QString& column, const QString& value) const = 0;
    // The name filter: column contains value, compared as the engine compares names.
    virtual QString containsMatch(const QString& column, const QString& value) const = 0;
    // The start of a statement that removes rows of a table; a condition may follow.
    virtual QString deleteFrom(const QString& table) const = 0;
    // Starts a transaction holding the write lock at once (or waiting its turn).
    virtual QString beginWrite() const = 0;
    // Run after beginWrite() by a long run of inserts that holds the write lock for a group of
    // cards: keeps other writers of the cards out until the commit where beginWrite() alone
    // does not; empty when it does.
    virtual QString holdCardsForBatch() const = 0;
    // The end of a select run under the write lock that keeps the rows it reads from being
    // changed by anyone else until the write ends (empty where the write lock already does).
    virtual QString lockingRead() const = 0;
    // An insert statement as the engine runs it to give the new row's key (Connection::insert).
    virtual QString insertReturningKey(const QString& insert) const = 0;
    // What follows the values of a new card's insert so that the engine stores nothing, and
    // gives no key, when a live card with the same category, name and sex exists; empty where
    // the check before the insert, under the write lock, is enough.
    virtual QString liveCardConflict() const = 0;
    // The statement that removes a visit for good.
    virtual QString removeVisit(qint64 visitId) const = 0;
    // The condition (with its "where") choosing the defaults row the user starts from, and the
    // statements that store the user's defaults: the one row of D_Mr, or the user's own row
    // where each login keeps its own. The values come as literals.
    virtual QString defaultsRow() const = 0;
    virtual QStringList storeDefaults(const QString& type, const QString& sex,
                                      const QString& province) const = 0;
};
