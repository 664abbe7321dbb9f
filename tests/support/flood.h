// A device that sends noise without pause: random bytes at a steady rate into
// a pseudo-terminal, from a thread of its own, while the test's event loop
// runs the program that reads them.
#pragma once

#include "ptypair.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

class Flood
{
public:
    explicit Flood(PtyPair &pty, qint64 bytesPerSecond)
    {
        m_clock.start();
        m_thread = std::thread([this, &pty, bytesPerSecond] {
            constexpr qsizetype Chunk = 4096;
            QByteArray noise(64 * 1024, Qt::Uninitialized);
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
            const auto start = std::chrono::steady_clock::now();
            for (qsizetype at = 0; m_flooding && pty.send(QByteArray::fromRawData(noise.constData() + at, Chunk));
                 at = (at + Chunk) % noise.size()) {
                m_sent += Chunk;
                std::this_thread::sleep_until(start + std::chrono::microseconds(m_sent * 1000000 / bytesPerSecond));
            }
            m_finished = true;
        });
    }
    ~Flood() { stop(); }
    Flood(const Flood &) = delete;
    Flood &operator=(const Flood &) = delete;

    // Stops the noise and returns the MiB per second it came at. Its last
    // write may wait for the program to read, so the event loop runs meanwhile.
    double stop()
    {
        if (m_thread.joinable()) {
            m_flooding = false;
            if (!QTest::qWaitFor([this] { return m_finished.load(); }, 10000))
                qFatal("The line has stopped being read: the flood's last write never ends");
            m_thread.join();
            m_seconds = double(m_clock.elapsed()) / 1000;
        }
        return double(m_sent) / (1 << 20) / m_seconds;
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_flooding = true;
    std::atomic<bool> m_finished = false;
    qint64 m_sent = 0;  // by the thread until it finishes
    QElapsedTimer m_clock;
    double m_seconds = 0;
};
