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
    // The insert with "ON CONFLICT DO NOTHING RETURNING ID": a card that would break the
    // register's unique index of live cards is not stored, and the result then has no row.
    QString holdCardsForBatch() const override;
    QString insertReturningKey(const QString& insert) const override;
    // In the form the unique index of live cards is built on.
    QString sameName(const QString& column, const QString& value) const override;
};

const ServerDialect& serverDialect();

// The text refused in a value on the server (the box says it; nothing is stored).
QString nulRefusedMessage();
