// A single-shot timer to the microsecond, for pacing bytes at line speed: a
// byte at 115200 baud lasts 86.8 us, and QTimer counts whole milliseconds.
// Where the system offers no such timer it falls back to QTimer, rounding up.
#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

class MicroTimer : public QObject
{
    Q_OBJECT

public:
    explicit MicroTimer(QObject *parent = nullptr);
    ~MicroTimer() override;

    // Fires once, microseconds from now (at once for 0 or less); restarts a
    // timer that runs.
    void start(qint64 microseconds);
    void stop();

signals:
    void timeout();

private:
    bool takeExpiry();
    void expired();

    int m_timerFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_fallback;
};
