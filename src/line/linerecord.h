// The record of a line shared by several stations, as the batch engine
// sees a record: rows claimed one transaction at a time under a lease the
// station renews while it lives, the "writing" state committed before a
// device is written and the verdict after it is read back.
//
// When the record cannot be reached, nothing more is written: lanes wait
// for a row or for their "writing" state, the verdicts of devices already
// being written go to the station's journal on the local disk, and the
// record is tried again, less often the longer it stays away, until it is
// back; then the journal is set down first, and the lanes go on.
#pragma once

#include "connection.h"
#include "journal.h"
#include "lineplan.h"
#include "recordlink.h"

#include "batch/record.h"

#include <QHash>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

namespace Line {

class LineRecord : public Batch::Record
{
    Q_OBJECT

public:
    struct Settings
    {
        QString line;
        QString station;
        // A station whose lease has run out has gone: its claimed rows are
        // another's to take.
        int leaseMs = 10000;
        int renewMs = 3000;
        // With no row free while other stations hold some, ask again this often.
        int claimRetryMs = 1000;
        int firstRetryMs = 250;  // the record unreachable: tried again after this,
        // doubled each time up to this: soon after the record is back, the
        // first verdict is set down (a refused connection costs nothing)
        int lastRetryMs = 500;
        // While it stays unreachable, unreachable() again this often.
        int stillWaitingMs = 30000;
    };

    LineRecord(const RecordAddress &address, const Settings &settings, QObject *parent = nullptr);
    ~LineRecord() override;

    // Opens the journal and sets its verdicts down, takes the station's
    // name, and reads the line; done once, with Refusal::None when the
    // record is ready.
    void open(std::function<void(Refusal, const QString &error)> done);
    const LineInfo &line() const { return m_line; }
    const Settings &settings() const { return m_settings; }
    // Verdicts kept in the journal that the record does not have yet.
    int journaled() const { return int(m_journal.pending().size()); }
    QString journalPath() const { return m_journal.path(); }
    // What was said of each verdict set down from the journal ("row 12: ok").
    const QStringList &replayed() const { return m_replayed; }

    // Record
    const Batch::Plan &plan() const override { return m_line.plan; }
    QString name() const override;
    const QSet<int> &okRows() const override { return m_okRows; }
    const std::vector<Batch::InDoubt> &inDoubt() const override { return m_inDoubt; }
    void claim(const QString &port, Claimed claimed) override;
    bool hasFreeRows() const override { return m_mayHaveRows; }
    void release(int row) override;
    void setWriting(const Batch::Attempt &attempt, Done done) override;
    void setVerdict(const Batch::Attempt &attempt, Done done) override;
    void stopWaiting() override;
    QString errorString() const override { return m_error; }
    bool isShared() const override { return true; }
    void runEnded(std::function<void()> then) override;
    QString summaryNote() const override { return m_summaryNote; }

private:
    struct Op
    {
        enum Kind { Claim, Release, Begin, Verdict } kind = Claim;
        QString port;
        int row = 0;
        QString token;
        Batch::Attempt attempt;
        QDateTime time;
        Claimed claimed;
        Done done;
    };

    void send(Op op);
    void answered(Op op, const RecordLink::Answer &answer);
    void lost(Op op);
    void journal(const Op &op);
    void becomeUnreachable();
    void tryAgain();
    void becomeReachable();
    void replayJournal();
    void renew();

    const RecordAddress m_address;
    const Settings m_settings;
    const QString m_instance;
    std::unique_ptr<RecordLink> m_link;
    Journal m_journal;
    LineInfo m_line;
    QSet<int> m_okRows;
    std::vector<Batch::InDoubt> m_inDoubt;
    QHash<int, QString> m_tokens;  // by row: the claim this station holds
    QString m_error;
    QStringList m_replayed;
    QString m_summaryNote;

    bool m_opened = false;
    bool m_reachable = true;
    bool m_stopping = false;
    bool m_mayHaveRows = true;
    int m_retryMs = 0;
    std::deque<Op> m_held;          // until the record is reachable again
    std::vector<Op> m_waitingForRows;  // claims asked again after claimRetryMs
    QTimer m_claimTimer;
    QTimer m_renewTimer;
    QTimer m_retryTimer;
    QTimer m_stillWaitingTimer;
    QDateTime m_unreachableSince;
};

} // namespace Line
