#include "db/writelock.h"

#include "db/connection.h"
#include "db/engineerror.h"

QString beginWriteStatement() {
    return QStringLiteral("BEGIN IMMEDIATE");
}

QString commitStatement() {
    return QStringLiteral("COMMIT");
}

QString rollbackStatement() {
    return QStringLiteral("ROLLBACK");
}

WriteLock::WriteLock(Connection* connection) : m_connection(connection) {
    m_connection->execute(beginWriteStatement());
}

WriteLock::~WriteLock() {
    if (!m_open) {
        return;
    }
    try {
        m_connection->execute(rollbackStatement());
    } catch (const EngineError&) {
        // The engine already ended the transaction (a failed write does): nothing to give back.
    }
}

void WriteLock::commit() {
    m_connection->execute(commitStatement());
    m_open = false;
}
