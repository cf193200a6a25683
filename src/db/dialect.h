#pragma once

#include <QString>

// What differs between the engines in the text of a statement. The statements of the
// register are built once, in src/db, and ask their engine's dialect for these pieces.
class Dialect {
public:
    virtual ~Dialect() = default;

    // A text value as a literal, quotes included, that no value can end early or turn into
    // more statement. Throws EngineError with a message for the user when the engine cannot
    // store the value (the server cannot hold a NUL character).
    virtual QString literal(const QString& value) const = 0;
    // A column alias as written after "as", so that the result column has exactly this name.
    virtual QString alias(const QString& name) const = 0;
    // The name filter: column contains value, compared as the engine compares names (the
    // file ignores the letter case of Latin letters).
    virtual QString containsMatch(const QString& column, const QString& value) const = 0;
    // Removes every row of a table.
    virtual QString deleteAll(const QString& table) const = 0;
    // Starts a transaction holding the write lock at once (or waiting its turn).
    virtual QString beginWrite() const = 0;
    // An insert statement that gives the new key as the one value of its result, or the
    // insert unchanged when the engine gives the key by other means (Connection::insert).
    virtual QString insertReturningKey(const QString& insert) const = 0;
};
