#pragma once

#include "db/dialect.h"

// The card file's dialect (SQLite under SQLCipher). Its statement texts are those the
// program has always run on the file.
class FileDialect final : public Dialect {
public:
    // Between single quotes, a quote doubled; a NUL character, which cannot stand inside an
    // SQLite literal, is spliced in as '||char(0)||' so the value still arrives whole.
    QString literal(const QString& value) const override;
    QString parameter(int number) const override; // ?1, ?2, …
    // Bare: the file takes any caption of the card list as it stands.
    QString alias(const QString& name) const override;
    // "column Like '%value%'": the file's Like ignores the letter case of Latin letters, as
    // its duplicate check does (the columns compare NOCASE).
    // A plain "=": the name columns compare Latin letters in either case themselves.
    QString sameName(const QString& column, const QString& value) const override;
    QString containsMatch(const QString& column, const QString& value) const override;
    QString deleteFrom(const QString& table) const override;
    QString beginWrite() const override;
    // Empty: the write lock holds the whole file.
    QString lockingRead() const override;
    // Unchanged: the file gives the key of the last insert of the connection.
    QString holdCardsForBatch() const override;
    QString insertReturningKey(const QString& insert) const override;
    // Empty: the duplicate check runs under the lock of the whole file.
    QString liveCardConflict() const override;
    QString removeVisit(qint64 visitId) const override;
    // The whole table: the file holds the one row of defaults.
    QString defaultsRow() const override;
    QStringList storeDefaults(const QString& type, const QString& sex,
                              const QString& province) const override;
};

const Dialect& fileDialect();
