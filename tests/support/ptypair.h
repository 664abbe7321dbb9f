// A real pseudo-terminal pair for tests: the program under test opens the
// slave like a serial port, the test reads and writes the master side and so
// sees the exact bytes that crossed the line.
#pragma once

#include <QByteArray>
#include <QString>

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    QString slavePath() const { return m_slavePath; }

    // Bytes the program has written so far, gathered from the master without
    // blocking; meant for QTRY_COMPARE(pty.received(), expected).
    QByteArray received();
    // Writes to the program, as the device would; waits while the line is full.
    // Safe from a thread of its own while the test reads what was received.
    bool send(const QByteArray &bytes);
    // Closes the master: to the program the line hangs up.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QByteArray m_received;
};
