#pragma once

class Connection;

// Holds the write lock of a connection from its creation until commit(), so that statements
// run in between see and change the register with no other program writing meanwhile (a
// duplicate check and the insert it allows). A lock that was not committed is given back
// with nothing written. Throws EngineError when the lock cannot be had.
class WriteLock {
public:
    explicit WriteLock(Connection& connection);
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    void commit(); // throws EngineError

private:
    Connection& m_connection;
    bool m_open = true;
};
