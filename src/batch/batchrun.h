// A batch: the rows of a plan provisioned on one or more ports at once, one
// device per port at a time, rows handed out in plan order as ports become
// free, each attempt set down in the record before its port takes the next
// row. Everything runs on the event loop.
#pragma once

#include "lane.h"
#include "record.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Batch {

// How a port waits for its next device.
enum class Waiting {
    Prompt,  // asks the person at the bench
    Auto,    // until the device there has gone and another one answers
    None,    // not at all: a fixture changes devices, or a benchmark runs
};

enum class Answer { Go, Skip, Stop };

// What a lane does, as BatchRun::laneChanged tells it.
enum class LaneState {
    Idle,               // nothing to do, or stopped
    AwaitingDevice,     // for the device of its row
    AwaitingDeparture,  // --auto: for the device just done to be unplugged
    Provisioning,       // its row's device is read, written and read back
    Checking,           // its device is read: the last run stopped while writing it
    Closed,             // its port could not be opened: no more devices on it
    PortLost,           // its port went away: waiting for it to come back
};

class BatchRun : public QObject
{
    Q_OBJECT

public:
    // --no-prompt: a lane stops after this many rows in a row got no answer at all.
    static constexpr int UnansweredRowsToStop = 2;

    // Puts a question to the person at the bench and calls answered once
    // with the answer, never before it returns.
    using Ask = std::function<void(const QString &question, std::function<void(Answer)> answered)>;

    // Rows the record holds as ok are not provisioned again.
    BatchRun(Record &record, Waiting waiting, const LineSettings &settings, QObject *parent = nullptr);
    ~BatchRun() override;

    // One lane per port, before start(); trace, where given, is the lane's
    // own instead of the run's.
    void addLane(const QString &port, const QString &device, WireTrace *trace = nullptr);
    void setAsk(Ask ask) { m_ask = std::move(ask); }
    // Instead of Ask, for a program that shows each lane on its own: the
    // port and row (counted from 1) a device is wanted for.
    using LaneAsk = std::function<void(const QString &port, int row, std::function<void(Answer)> answered)>;
    void setLaneAsk(LaneAsk ask) { m_laneAsk = std::move(ask); }

    // Opens every port, except for --auto, where ports are opened as
    // devices come. False with the reason if one cannot be opened.
    bool openPorts(QString *error);
    // Hands out the first rows; the record is open by now. A port the
    // record has a "writing" state without a verdict for first reads its
    // device, and its row is given to no other port unless that device does
    // not hold it.
    void start();
    // The ports of the record's "writing" states that have no lane here: their
    // devices cannot be read, so their rows could end up on two devices.
    QStringList portsInDoubtWithoutLane() const;
    // Starts no other device; the ones being written are finished and
    // recorded, then finished() follows.
    void stop();
    // While held, no device is begun: the ones being written are finished,
    // a lane that would begin one waits. For a question that may stop the run.
    void hold(bool held);

    // "50 rows: 48 ok, 1 mismatch, 1 no answer, 0 skipped"; of a shared
    // record, "20 rows here: ...; line big: 598 of 600 rows ok".
    QString summary() const;
    // Every row that was not skipped is ok, this run or before; of a shared
    // record, every row of this run.
    bool allOk() const;
    // The record could not be written; the run stopped then.
    bool logFailed() const { return m_logFailed; }

    Waiting waiting() const { return m_waiting; }

signals:
    // The run as events; ProgressLines tells them as text. row is 0 where
    // the lane has none.
    void started();  // the rows are handed out from now on
    void laneChanged(const QString &port, Batch::LaneState state, int row);
    void rowStarted(int row, const QString &port);
    // Each attempt as it is recorded, a skipped row too; done counts the
    // rows recorded so far, the record's earlier ok rows included.
    void attemptFinished(const Batch::Attempt &attempt, int done);
    void portLost(const QString &port, const QString &error);
    void portBack(const QString &port);
    // --auto: the device just written is still there.
    void sameDeviceAnswers(const QString &port);
    // stop() was called; these ports finish the device they are writing.
    void stopping(const QStringList &ports);
    // Something went wrong that is no device's result.
    void problem(const QString &line);
    // Emitted once, from the event loop.
    void finished();

private:
    struct Port
    {
        std::unique_ptr<Lane> lane;
        enum State {
            Idle,
            Claiming,        // asks the record for a row
            AwaitingDevice,  // for the person, the device or the port
            Beginning,       // sets down the "writing" state
            Provisioning,
            Checking,        // reads the device the last run stopped writing
            Recording,       // sets down a verdict
            Closed,
        } state = Idle;
        int row = 0;
        std::deque<int> rowsInDoubt;  // rows the last run was writing here
        bool held = false;            // would have begun its row, but the run is held
    };

    void announce(const Port &port, LaneState state);
    Port *portNamed(const QString &name) const;
    void checkNext(Port &port);
    void checked(Port &port, const Attempt &attempt);
    void wakeIdlePorts();
    void logFailed(const QString &message);
    void next(Port &port);
    void claimed(Port &port, int row);
    void ask(Port &port);
    void begin(Port &port);
    void written(Port &port, Record::Stored stored);
    void provisioned(Port &port, const Attempt &attempt);
    void awaitPort(Port &port, const QString &error);
    void closeLane(Port &port, const QString &why);
    void giveBack(Port &port);
    // Sets the verdict down, then calls then(), also when it could not be.
    void record(Port &port, const Attempt &attempt, std::function<void()> then);
    void finishIfDone();
    int count(Result result) const;

    Record &m_record;
    const Plan &m_plan;
    const Waiting m_waiting;
    const LineSettings m_settings;
    Ask m_ask;
    LaneAsk m_laneAsk;
    std::vector<std::unique_ptr<Port>> m_ports;
    std::vector<std::optional<Result>> m_results;  // of this run, by row
    int m_recorded = 0;
    QStringList m_checkedRows;  // "row 3 on /dev/ttyUSB0: ok"

    bool m_stopping = false;
    bool m_held = false;
    bool m_finished = false;
    bool m_logFailed = false;
};

} // namespace Batch
