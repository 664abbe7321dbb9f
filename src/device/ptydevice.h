// The simulated device on a pseudo-terminal: the program opens the slave side
// like a serial port, the device reads and answers on the master side. It runs
// on the event loop of the thread it lives in; there are no threads of its own.
#pragma once

#include "devicemodel.h"
#include "microtimer.h"
#include "slaveusers.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>

class QSocketNotifier;

// Fault knobs, for trying the window against a device that misbehaves.
struct DeviceOptions
{
    int delayMs = 0;       // answer this late
    int splitAt = 0;       // send a reply's first splitAt bytes, the rest SplitGapMs later
    bool silent = false;   // apply frames but never answer
    bool fail = false;     // refuse every frame
    bool verbose = false;  // emit logLine for every frame and reply
    bool logBytes = false;  // the same, each line led by the frame's bytes in hex
    // Pace the line like a UART of this many baud: a reply starts once the
    // frame it answers has had the time to cross the line, and comes in
    // chunks of at most 1 ms of line time. 0: as fast as the pty goes.
    int baud = 0;
    // Acknowledge writes of this value but keep it (DeviceModel::setIgnoredField).
    const Protocol::BlockField *ignoredField = nullptr;
};

class PtyDevice : public QObject
{
    Q_OBJECT

public:
    // A frame that stops arriving for this long is given up.
    static constexpr int SilenceMs = 100;
    // Longer than the window's 50 ms poll, so the two parts of a split reply
    // are read by two polls.
    static constexpr int SplitGapMs = 80;

    explicit PtyDevice(const DeviceOptions &options = {}, QObject *parent = nullptr);
    ~PtyDevice() override;

    // Creates the pseudo-terminal and starts serving on it.
    bool open();
    bool isOpen() const { return m_master >= 0; }
    // The path the program opens as its serial port, e.g. /dev/pts/5.
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_errorString; }

    const DeviceModel &model() const { return m_model; }
    // Unplugs the device from the line, which then hears and answers
    // nothing, or plugs it in again.
    void setPlugged(bool plugged);
    // Another device in its place, fresh with the start values.
    void replaceDevice();
    // Replies, or parts of split replies, still waiting to be written.
    int pendingReplies() const { return int(m_schedule.size()); }

signals:
    // Each frame and its fate when verbose is set, e.g. "SET LIP 192.168.0.101 -> ack";
    // a line that breaks is reported here always.
    void logLine(const QString &line);

private:
    struct ScheduledWrite
    {
        qint64 dueUs;
        QByteArray bytes;
    };

    void close();
    void fail(const char *what);
    void readLine();
    void silenceElapsed();
    void handle(const std::vector<DeviceExchange> &exchanges);
    qint64 nowUs() const;
    qint64 lineTimeUs(qsizetype bytes) const;
    void scheduleReply(const DeviceExchange &exchange);
    qint64 schedulePaced(const QByteArray &bytes, qint64 startUs);
    void writeDueReplies();
    void flushOutput();

    const DeviceOptions m_options;
    DeviceModel m_model;
    bool m_plugged = true;
    int m_master = -1;
    // Held open so that the master never sees a hang-up while the program
    // closes and reopens its port.
    int m_slave = -1;
    QString m_slavePath;
    std::unique_ptr<SlaveUsers> m_users;  // to leave exclusive mode with the last of them
    QString m_errorString;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_silenceTimer;
    MicroTimer m_replyTimer;
    QElapsedTimer m_clock;
    std::deque<ScheduledWrite> m_schedule;  // in the order the bytes go out
    qint64 m_lineFreeUs = 0;                // when the last byte scheduled has crossed the line
    QByteArray m_output;                    // due, but not yet taken by the line
};
