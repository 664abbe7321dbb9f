// SIGINT (Ctrl-C), SIGTERM and SIGHUP (the terminal went away) as an
// ordinary event of the event loop, where acting on them is safe: a program
// finishes what it is doing, then quits. And SIGPIPE is ignored: a reader of
// its output that has gone (| tee, stopped by the same Ctrl-C) must not stop
// it halfway either. On Windows the console's events stand for them: Ctrl-C
// is SIGINT, Ctrl-Break SIGBREAK, and closing the console, logging off or
// shutting down SIGTERM.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject *parent = nullptr);
    // Gives the signals back their default action.
    ~StopSignals() override;

    // Catches the signals from now on; one instance per program. False
    // where that is not possible (no POSIX signals), and then they end the
    // program at once as before.
    bool install();

    // Emits received() now for every signal caught that the event loop has
    // not delivered yet.
    void poll() { takeSignals(); }

    // The exit status of a program a signal stopped, as a shell reports it.
    static int exitStatus(int signal) { return 128 + signal; }

signals:
    void received(int signal);

private:
    void takeSignals();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
