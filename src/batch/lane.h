// One serial port of a batch and the device on it, one device at a time:
// provisions a row (read, SET ALL with the row's values over what was read,
// read back and compare), and for --auto watches the port to see a device
// go and the next one come.
#pragma once

#include "record.h"
#include "client/devicesession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class WireTrace;

namespace Batch {

struct LineSettings
{
    int timeoutMs = Client::LineTransport::DefaultTimeoutMs;
    int retries = Client::LineTransport::DefaultRetries;
    WireTrace *trace = nullptr;
    int portWaitMs = 30000;  // --no-prompt: how long a lost port may take to come back
};

class Lane : public QObject
{
    Q_OBJECT

public:
    // --auto asks the port a few times a second whether a device answers
    // READ, and takes the device as gone after PollsToLeave unanswered polls
    // in a row: one lost answer is no unplugged device.
    static constexpr int PollIntervalMs = 250;
    static constexpr int PollTimeoutMs = 150;
    static constexpr int PollsToLeave = 2;
    // A lost port is looked for this often until it is back.
    static constexpr int PortPollMs = 200;

    // port as the user named it, device the path it opens.
    Lane(const QString &port, const QString &device, const LineSettings &settings, QObject *parent = nullptr);
    ~Lane() override;

    const QString &port() const { return m_port; }
    // Opens the port unless it is open; false with the reason in *error, in
    // its reader's language, and in *asWritten as a log keeps it.
    bool open(QString *error, QString *asWritten = nullptr);

    using Done = std::function<void()>;
    // One operation at a time; done is called once, never before the call returns.
    void provision(const PlanRow &row, std::function<void(const Attempt &)> done);
    // Reads the device to see whether it holds row: the port was writing it
    // when the last run stopped. Ok if it does, a mismatch if it does not.
    void check(const PlanRow &row, std::function<void(const Attempt &)> done);
    // Until the port has stopped answering: the device was unplugged.
    void awaitDeparture(Done done);
    // Until a device answers, one that does not hold what the last device
    // was left with (that one came back after a hiccup).
    void awaitArrival(Done done);
    // Until the port opens again after it was lost, for at most limitMs;
    // done(false) if it did not.
    void awaitPort(int limitMs, std::function<void(bool back)> done);
    // Stops waiting; its done is not called.
    void stopWaiting();

    // The port went away during the last attempt (hang-up, adapter pulled out).
    bool lost() const { return m_lost; }
    // How many attempts in a row got no answer at all.
    int unansweredRows() const { return m_unansweredRows; }

signals:
    // Waiting for a new device, the one just done answers again.
    void sameDeviceAnswers();
    // --auto: the port cannot be opened, told once for each new reason.
    void openProblem(const QString &error);

private:
    enum class Awaiting { Nothing, Departure, Arrival };

    Attempt startAttempt(const PlanRow &row);
    void await(Awaiting awaiting, int firstPollMs, Done done);
    void poll();
    void polled(bool answered, const std::optional<Protocol::ParameterBlock> &block);
    void lookForPort();
    Attempt attemptEnded(Attempt attempt, const Client::OperationResult &result);

    QString m_port;
    QString m_device;
    LineSettings m_settings;
    std::unique_ptr<WireTrace> m_trace;  // the batch's, naming this port
    Client::DeviceSession m_session;
    QElapsedTimer m_clock;
    QTimer m_pollTimer;
    Awaiting m_awaiting = Awaiting::Nothing;
    Done m_waitDone;
    int m_silentPolls = 0;
    bool m_toldSame = false;
    std::optional<Protocol::ParameterBlock> m_lastHeld;  // what the last device was left with
    bool m_lost = false;
    int m_unansweredRows = 0;
    QString m_openProblem;  // the last one told
    QTimer m_portTimer;
    QElapsedTimer m_portClock;
    int m_portLimitMs = 0;
    std::function<void(bool)> m_portDone;
};

} // namespace Batch
