#pragma once

#include <QString>

class Connection;

// The statements that take and give back the database's write lock.
QString beginWriteStatement(); // takes the lock at once, or waits its turn
QString commitStatement();     // makes what was written permanent and gives the lock back
QString rollbackStatement();   // drops what was written and gives the lock back

// Holds the write lock of a connection from its creation until commit(), so that statements
// run in between see and change the file with no other program writing meanwhile (a
// duplicate check and the insert it allows). A lock that was not committed is given back
// with nothing written. Throws EngineError when the lock cannot be had.
class WriteLock {
public:
    explicit WriteLock(Connection* connection);
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    void commit(); // throws EngineError

private:
    Connection* m_connection;
    bool m_open = true;
};
