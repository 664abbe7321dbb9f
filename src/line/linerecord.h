// The record of a line shared by several stations, as the batch engine
// sees a record: rows claimed one transaction at a time under a lease the
// station renews while it lives, the "writing" state committed before a
// device is written and the verdict after it is read back.
//
// Each "writing" state the record commits goes to the station's journal on
// the local disk before the device is written. When the record cannot be
// reached, nothing more is written: lanes wait for a row or for their
// "writing" state, the verdicts of devices already being written go to the
// journal, and the record is tried again, less often the longer it stays
// away, until it is back. Then, before anything else, what this run was
// told the record holds is checked against it (a failover to a standby
// that was behind loses commits): set down again, or, where another
// station has written the row meanwhile, the row is in doubt on both
// devices, recorded so and said at once (warning()).
#pragma once

#include "connection.h"
#include "journal.h"
#include "lineplan.h"
#include "recordlink.h"
#include "writecheck.h"

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

    // Opens the journal and checks what it holds against the record, takes the station's
    // name, and reads the line; done once, with Refusal::None when the
    // record is ready.
    void open(std::function<void(Refusal, const QString &error)> done);
    const LineInfo &line() const { return m_line; }
    const Settings &settings() const { return m_settings; }
    // Verdicts kept in the journal that the record does not have yet.
    int journaled() const { return m_journal.verdicts(); }
    QString journalPath() const { return m_journal.path(); }
    // What was said of each verdict set down from the journal ("row 12: ok"),
    // and of each row found on two devices.
    const QStringList &replayed() const { return m_replayed; }
    // What a person must act on, found in the journal: rows on two devices.
    const QStringList &warnings() const { return m_warnings; }

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
    void checkWritten();
    std::vector<WriteCheck> toCheck() const;
    // The checks' outcomes taken in; what a person must be told of them.
    QStringList takeChecked(const std::vector<WriteCheck> &checks, const std::vector<WriteChecked> &outcomes,
                            QStringList *replayed);
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
    // By claim: each "writing" state of this run the record committed, and
    // its verdict once set down, checked again after each outage.
    QHash<QString, WriteCheck> m_written;
    QSet<QString> m_doubtsTold;  // claims whose row was said to be on two devices
    QString m_error;
    QStringList m_replayed;
    QStringList m_warnings;
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
