#pragma once

#include "db/dialect.h"

// The dialect of the card register on a PostgreSQL server.
class ServerDialect final : public Dialect {
public:
    // Between single quotes, a quote doubled (the connection keeps standard_conforming_strings
    // on, so a backslash is an ordinary character). A server text cannot hold a NUL
    // character: such a value is refused with a message for the user, before anything runs.
    QString literal(const QString& value) const override;
    QString parameter(int number) const override; // $1, $2, …
    // Between double quotes: an unquoted alias would come back in lower case.
    QString alias(const QString& name) const override;
    // The card file's "Like '%value%'" as the server writes it: Latin letters match in either
    // case and every other character only itself (ILIKE under the "C" collation), and "%" and
    // "_" in the value stay wildcards with no escape character, as they are on the file.
    QString containsMatch(const QString& column, const QString& value) const override;
    QString deleteFrom(const QString& table) const override;
    QString beginWrite() const override;
    // " FOR UPDATE": a write holds no lock on the rows it has only read, so the rows it checks
    // are locked until it ends.
    QString lockingRead() const override;
    // An advisory lock of the register's importers: two imports take turns group by group
    // (no two wait for each other's cards); a member may take it, unlike a lock of the table.
    QString holdCardsForBatch() const override;
    // The insert with "RETURNING ID".
    QString insertReturningKey(const QString& insert) const override;
    // "ON CONFLICT" naming the unique index of live cards as its arbiter, "DO NOTHING": a card
    // that another program stored meanwhile is not stored, and the result then has no row;
    // any other collision (a key taken) is an error.
    QString liveCardConflict() const override;
    // Through the register's function, which lets a member remove only the visits the member
    // recorded.
    QString removeVisit(qint64 visitId) const override;
    // The login's own row when it has one, else the team's.
    QString defaultsRow() const override;
    QStringList storeDefaults(const QString& type, const QString& sex,
                              const QString& province) const override;
    // In the form the unique index of live cards is built on.
    QString sameName(const QString& column, const QString& value) const override;
};

const ServerDialect& serverDialect();

// The text refused in a value on the server (the box says it; nothing is stored).
QString nulRefusedMessage();
