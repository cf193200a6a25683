#include "db/writelock.h"

#include "db/connection.h"
#include "db/dialect.h"
#include "db/engineerror.h"

WriteLock::WriteLock(Connection& connection) : m_connection(connection) {
    m_connection.execute(m_connection.dialect().beginWrite());
}

WriteLock::~WriteLock() {
    if (!m_open) {
        return;
    }
    try {
        m_connection.execute(QStringLiteral("ROLLBACK"));
    } catch (const EngineError&) {
        // The engine already ended the transaction (a failed write does): nothing to give back.
    }
}

void WriteLock::commit() {
    m_connection.execute(QStringLiteral("COMMIT"));
    m_open = false;
}
