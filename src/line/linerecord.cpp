#include "linerecord.h"

#include "blockjson.h"
#include "localprocess.h"
#include "sql.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>

namespace Line {

namespace {

// A line's record as a person is told of it, in their language.
struct RecordText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Record)
};

using Answer = RecordLink::Answer;

// Reading a whole line takes longer than a row's call.
constexpr int OpenDeadlineMs = 60000;

// In the link's thread: the station's lease renewed, true, or false when
// another run has taken its name.
Answer renewLease(QSqlDatabase &db, const QString &station, const QString &instance, int leaseMs)
{
    QSqlQuery query(db);
    QString error;
    if (!run(query, QStringLiteral("SELECT velmora.station_renew(?, ?, ?)"), {station, instance, leaseMs}, &error)
        || !query.next())
        return failedAnswer(db, query);
    return doneAnswer({query.value(0)});
}

} // namespace

LineRecord::LineRecord(const RecordAddress &address, const Settings &settings, QObject *parent)
    : Record(parent), m_address(address), m_settings(settings),
      m_instance(QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_link(std::make_unique<RecordLink>(address, QStringLiteral("velmora station %1").arg(settings.station)))
{
    m_claimTimer.setSingleShot(true);
    m_claimTimer.setInterval(settings.claimRetryMs);
    connect(&m_claimTimer, &QTimer::timeout, this, [this] {
        std::vector<Op> claims;
        claims.swap(m_waitingForRows);
        for (Op &op : claims)
            send(std::move(op));
    });
    m_renewTimer.setInterval(settings.renewMs);
    connect(&m_renewTimer, &QTimer::timeout, this, &LineRecord::renew);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &LineRecord::tryAgain);
    m_stillWaitingTimer.setInterval(settings.stillWaitingMs);
    connect(&m_stillWaitingTimer, &QTimer::timeout, this, [this] { emit unreachable(m_unreachableSince); });
    connect(m_link.get(), &RecordLink::stalled, this, &LineRecord::becomeUnreachable);
}

LineRecord::~LineRecord() = default;

QString LineRecord::name() const
{
    return RecordText::tr("line %1 at %2").arg(m_settings.line, m_address.shown());
}

void LineRecord::open(std::function<void(Refusal, const QString &)> finished)
{
    QString journalError;
    if (!m_journal.open(Journal::fileName(m_address.identity(), m_settings.line, m_settings.station), &journalError)) {
        QMetaObject::invokeMethod(this, [finished, journalError] { finished(Refusal::Unusable, journalError); },
                                  Qt::QueuedConnection);
        return;
    }
    struct Opened
    {
        Refusal refusal = Refusal::None;
        QString error;
        LineInfo line;
        QSet<int> ok;
        std::vector<Batch::InDoubt> inDoubt;
        QHash<int, QString> tokens;
        bool checked = false;  // the journal against the record
    };
    auto opened = std::make_shared<Opened>();
    auto checks = std::make_shared<std::vector<WriteCheck>>(toCheck());
    auto outcomes = std::make_shared<std::vector<WriteChecked>>();
    const Settings settings = m_settings;
    const QString instance = m_instance;
    m_link->post(
        [opened, checks, outcomes, address = m_address, settings, instance](QSqlDatabase &db) -> Answer {
            Answer usable = readUsableLine(db, address, settings.line, &opened->line, &opened->refusal, &opened->error);
            if (!usable.ok || opened->refusal != Refusal::None)
                return usable;
            QString error;
            // The journal first: what the last run could not set down, or was
            // told the record had.
            Answer checked = checkWrites(db, opened->line.id, settings.station, *checks, outcomes.get());
            if (!checked.ok)
                return checked;
            opened->checked = true;
            // The station's name: a run of it that was killed on this computer
            // leaves it at once, and so does this very process's earlier try,
            // whose start was committed but whose answer the record lost.
            QSqlQuery query(db);
            if (!run(query, QStringLiteral("SELECT host, pid, lease_until > now() FROM velmora.stations WHERE name = ?"),
                     {settings.station}, &error))
                return failedAnswer(db, query);
            const QString host = QSysInfo::machineHostName();
            const qint64 pid = QCoreApplication::applicationPid();
            const bool takeOver = query.next() && query.value(2).toBool() && query.value(0).toString() == host
                                  && (query.value(1).toLongLong() == pid || !processRunning(query.value(1).toLongLong()));
            if (!run(query, QStringLiteral("SELECT velmora.station_start(?, ?, ?, ?, ?, ?)"),
                     {settings.station, instance, host, int(pid), settings.leaseMs, takeOver},
                     &error)
                || !query.next())
                return failedAnswer(db, query);
            if (!query.value(0).toString().isEmpty()) {
                opened->refusal = Refusal::Unusable;
                opened->error = RecordText::tr("station %1 is running on %2: give this one another --station")
                                    .arg(settings.station, query.value(0).toString());
                return doneAnswer();
            }
            query.setForwardOnly(true);
            if (!run(query, QStringLiteral("SELECT row FROM velmora.rows WHERE line_id = ? AND state = 'ok'"),
                     {opened->line.id}, &error))
                return failedAnswer(db, query);
            while (query.next())
                opened->ok.insert(query.value(0).toInt());
            if (!run(query,
                     QStringLiteral("SELECT row, lane, token FROM velmora.rows WHERE line_id = ? AND state = 'writing' "
                                    "AND station = ? ORDER BY changed_at"),
                     {opened->line.id, settings.station}, &error))
                return failedAnswer(db, query);
            while (query.next()) {
                opened->inDoubt.push_back({query.value(0).toInt(), query.value(1).toString()});
                opened->tokens.insert(query.value(0).toInt(), query.value(2).toString());
            }
            return doneAnswer();
        },
        [this, opened, checks, outcomes, finished](const Answer &answer) {
            if (!answer.ok) {
                finished(answer.connectionLost ? Refusal::Unreachable : Refusal::Unusable,
                         answer.connectionLost ? unreachableMessage(m_address, answer.error) : answer.error);
                return;
            }
            if (opened->checked) {
                m_line = opened->line;  // its rows' names
                m_replayed.clear();
                m_warnings = takeChecked(*checks, *outcomes, &m_replayed);
            }
            if (opened->refusal == Refusal::None) {
                m_line = std::move(opened->line);
                m_okRows = std::move(opened->ok);
                m_inDoubt = std::move(opened->inDoubt);
                m_tokens = std::move(opened->tokens);
                m_renewTimer.start();
                m_opened = true;
            }
            finished(opened->refusal, opened->error);
        },
        OpenDeadlineMs);
}

void LineRecord::claim(const QString &port, Claimed claimed)
{
    Op op;
    op.kind = Op::Claim;
    op.port = port;
    op.claimed = std::move(claimed);
    send(std::move(op));
}

void LineRecord::release(int row)
{
    m_mayHaveRows = true;
    Op op;
    op.kind = Op::Release;
    op.row = row;
    op.token = m_tokens.take(row);
    if (op.token.isEmpty())
        return;
    // A device read and found without the row: its "writing" state is
    // nothing to set down again.
    QString error;
    if (!m_journal.settle(op.token, &error))
        m_error = error;
    m_written.remove(op.token);
    send(std::move(op));
}

void LineRecord::setWriting(const Batch::Attempt &attempt, Done done)
{
    Op op;
    op.kind = Op::Begin;
    op.row = attempt.row;
    op.token = m_tokens.value(attempt.row);
    op.attempt = attempt;
    op.done = std::move(done);
    send(std::move(op));
}

void LineRecord::setVerdict(const Batch::Attempt &attempt, Done done)
{
    Op op;
    op.kind = Op::Verdict;
    op.row = attempt.row;
    op.token = attempt.result == Batch::Result::Ok ? m_tokens.take(attempt.row) : m_tokens.value(attempt.row);
    op.attempt = attempt;
    op.time = QDateTime::currentDateTimeUtc();
    op.done = std::move(done);
    send(std::move(op));
}

void LineRecord::stopWaiting()
{
    m_stopping = true;
    m_claimTimer.stop();
    std::vector<Op> claims;
    claims.swap(m_waitingForRows);
    std::deque<Op> held;
    held.swap(m_held);
    for (Op &op : claims)
        lost(std::move(op));
    for (Op &op : held) {
        if (op.kind == Op::Release)
            m_held.push_back(std::move(op));  // sent should the record come back
        else
            lost(std::move(op));
    }
}

// Nothing happens for the op: a claim gets no row, a "writing" state is not
// set down, so nothing is written.
void LineRecord::lost(Op op)
{
    switch (op.kind) {
    case Op::Claim:
        QMetaObject::invokeMethod(this, [claimed = std::move(op.claimed)] { claimed(0); }, Qt::QueuedConnection);
        return;
    case Op::Begin:
        QMetaObject::invokeMethod(this, [done = std::move(op.done)] { done(Stored::RowLost); }, Qt::QueuedConnection);
        return;
    case Op::Verdict:
        journal(op);
        return;
    case Op::Release:
        return;
    }
}

void LineRecord::journal(const Op &op)
{
    QString error;
    const bool kept = m_journal.add({op.token, op.attempt, op.time, m_settings.station}, &error);
    if (!kept)
        m_error = error;
    QMetaObject::invokeMethod(this, [done = op.done, kept] { done(kept ? Stored::Yes : Stored::Failed); },
                              Qt::QueuedConnection);
}

void LineRecord::send(Op op)
{
    if (!m_reachable) {
        if (op.kind == Op::Verdict)
            journal(op);
        else if (m_stopping && op.kind != Op::Release)
            lost(std::move(op));
        else
            m_held.push_back(std::move(op));
        return;
    }
    RecordLink::Job job;
    const int lineId = m_line.id;
    const QString station = m_settings.station;
    const QString instance = m_instance;
    switch (op.kind) {
    case Op::Claim:
        job = [lineId, station, instance, port = op.port](QSqlDatabase &db) {
            QSqlQuery query(db);
            QString error;
            if (!run(query, QStringLiteral("SELECT claimed, claim_token, waiting FROM velmora.claim(?, ?, ?, ?)"),
                     {lineId, station, instance, port}, &error)
                || !query.next())
                return failedAnswer(db, query);
            return doneAnswer({query.value(0), query.value(1), query.value(2)});
        };
        break;
    case Op::Release:
        job = [token = op.token](QSqlDatabase &db) {
            QSqlQuery query(db);
            QString error;
            if (!run(query, QStringLiteral("SELECT velmora.release(?)"), {token}, &error))
                return failedAnswer(db, query);
            return doneAnswer();
        };
        break;
    case Op::Begin:
        job = [token = op.token](QSqlDatabase &db) {
            QSqlQuery query(db);
            QString error;
            if (!run(query, QStringLiteral("SELECT velmora.begin_write(?)"), {token}, &error) || !query.next())
                return failedAnswer(db, query);
            return doneAnswer({query.value(0)});
        };
        break;
    case Op::Verdict:
        job = [token = op.token, attempt = op.attempt, time = op.time](QSqlDatabase &db) {
            return sendVerdict(db, token, attempt, time);
        };
        break;
    }
    auto shared = std::make_shared<Op>(std::move(op));
    m_link->post(std::move(job), [this, shared](const Answer &answer) { answered(std::move(*shared), answer); });
}

void LineRecord::answered(Op op, const Answer &answer)
{
    if (!answer.ok && answer.connectionLost) {
        becomeUnreachable();
        send(std::move(op));  // held, journaled, or lost when stopping
        return;
    }
    if (!answer.ok) {
        if (answer.sqlState == QLatin1String("VL001")) {
            emit broken(RecordText::tr("%1: station %2 was started again elsewhere").arg(name(), m_settings.station));
            m_stopping = true;
            lost(std::move(op));
            return;
        }
        m_error = answer.error;
        switch (op.kind) {
        case Op::Claim:
            emit broken(QStringLiteral("%1: %2").arg(name(), answer.error));
            lost(std::move(op));
            return;
        case Op::Release:
            return;
        case Op::Begin:
        case Op::Verdict:
            op.done(Stored::Failed);
            return;
        }
    }
    switch (op.kind) {
    case Op::Claim: {
        const int row = answer.values.value(0).toInt();
        const qint64 waiting = answer.values.value(2).toLongLong();
        m_mayHaveRows = row > 0 || waiting > 0;
        if (row > 0) {
            m_tokens.insert(row, answer.values.value(1).toString());
            op.claimed(row);
        } else if (waiting > 0 && !m_stopping) {
            // Held by other stations: they may give them back, or go.
            m_waitingForRows.push_back(std::move(op));
            if (!m_claimTimer.isActive())
                m_claimTimer.start();
        } else {
            op.claimed(0);
        }
        return;
    }
    case Op::Release:
        return;
    case Op::Begin: {
        if (!answer.values.value(0).toBool()) {
            op.done(Stored::RowLost);
            return;
        }
        // On the disk before the device is written: a record that loses it
        // in a failover is told again.
        Journal::Entry writing{op.token, op.attempt, QDateTime::currentDateTimeUtc(), m_settings.station};
        writing.attempt.result = Batch::Result::Writing;
        writing.attempt.detail.clear();
        writing.attempt.readBack.reset();
        QString error;
        if (!m_journal.add(writing, &error)) {
            m_error = error;
            op.done(Stored::Failed);
            return;
        }
        m_written[op.token].writing = writing;
        op.done(Stored::Yes);
        return;
    }
    case Op::Verdict: {
        const bool yes = answer.values.value(0).toString() == QLatin1String("yes");
        QString error;
        if (!m_journal.settle(op.token, &error))
            m_error = error;
        const auto written = m_written.find(op.token);
        if (written != m_written.end() && yes) {
            written->verdict = Journal::Entry{op.token, op.attempt, op.time, m_settings.station};
            written->verdictSetDown = true;
        } else if (written != m_written.end()) {
            m_written.erase(written);
        }
        op.done(yes ? Stored::Yes : Stored::RowLost);
        return;
    }
    }
}

void LineRecord::runEnded(std::function<void()> then)
{
    m_renewTimer.stop();
    if (!m_reachable) {
        then();
        return;
    }
    const int lineId = m_line.id;
    const QString station = m_settings.station;
    const QString instance = m_instance;
    m_link->post(
        [lineId, station, instance](QSqlDatabase &db) {
            // Gone at once, not when the lease runs out: its rows are settled.
            Answer ended = renewLease(db, station, instance, 0);
            if (!ended.ok)
                return ended;
            QSqlQuery query(db);
            QString error;
            if (!run(query, QStringLiteral("SELECT count(*) FILTER (WHERE state = 'ok'), count(*) FROM velmora.rows "
                                           "WHERE line_id = ?"),
                     {lineId}, &error)
                || !query.next())
                return failedAnswer(db, query);
            return doneAnswer({query.value(0), query.value(1)});
        },
        [this, then](const Answer &answer) {
            if (answer.ok)
                m_summaryNote = RecordText::tr("line %1: %2 of %3 rows ok")
                                    .arg(m_settings.line, answer.values.value(0).toString(), answer.values.value(1).toString());
            then();
        });
}

void LineRecord::becomeUnreachable()
{
    if (!m_reachable || !m_opened)
        return;  // open() says so itself
    m_reachable = false;
    m_renewTimer.stop();
    m_retryMs = m_settings.firstRetryMs;
    m_retryTimer.start(m_retryMs);
    m_unreachableSince = QDateTime::currentDateTime();
    m_stillWaitingTimer.start();
    emit unreachable(m_unreachableSince);
}

void LineRecord::tryAgain()
{
    const QString station = m_settings.station;
    const QString instance = m_instance;
    const int leaseMs = m_settings.leaseMs;
    m_link->post(
        [station, instance, leaseMs](QSqlDatabase &db) { return renewLease(db, station, instance, leaseMs); },
        [this](const Answer &answer) {
            if (!answer.ok) {
                m_retryMs = std::min(2 * m_retryMs, m_settings.lastRetryMs);
                m_retryTimer.start(m_retryMs);
                return;
            }
            if (!answer.values.value(0).toBool()) {
                emit broken(RecordText::tr("%1: station %2 was started again elsewhere while the record could not be reached")
                                .arg(name(), m_settings.station));
                stopWaiting();
                return;
            }
            becomeReachable();
        });
}

void LineRecord::becomeReachable()
{
    m_reachable = true;
    m_stillWaitingTimer.stop();
    m_renewTimer.start();
    const int journaled = m_journal.verdicts();
    checkWritten();
    std::deque<Op> held;
    held.swap(m_held);
    for (Op &op : held)
        send(std::move(op));
    emit reachable(journaled);
}

// The link takes jobs in turn: this is done before what waited.
void LineRecord::checkWritten()
{
    auto checks = std::make_shared<std::vector<WriteCheck>>(toCheck());
    if (checks->empty())
        return;
    auto outcomes = std::make_shared<std::vector<WriteChecked>>();
    const int lineId = m_line.id;
    const QString station = m_settings.station;
    m_link->post(
        [checks, outcomes, lineId, station](QSqlDatabase &db) {
            return checkWrites(db, lineId, station, *checks, outcomes.get());
        },
        [this, checks, outcomes](const Answer &answer) {
            if (!answer.ok) {
                if (answer.connectionLost)
                    becomeUnreachable();  // checked again the next time
                return;
            }
            QStringList replayed;
            for (const QString &warning : takeChecked(*checks, *outcomes, &replayed))
                emit this->warning(warning);
        });
}

std::vector<WriteCheck> LineRecord::toCheck() const
{
    QHash<QString, WriteCheck> checks = m_written;
    for (const Journal::Entry &entry : m_journal.pending()) {
        WriteCheck &check = checks[entry.token];
        if (entry.isVerdict()) {
            check.verdict = entry;
            check.verdictSetDown = false;
        } else if (!check.writing) {
            check.writing = entry;
        }
    }
    return {checks.cbegin(), checks.cend()};
}

QStringList LineRecord::takeChecked(const std::vector<WriteCheck> &checks, const std::vector<WriteChecked> &outcomes,
                                    QStringList *replayed)
{
    QStringList warnings;
    QString error;
    for (size_t i = 0; i < checks.size(); ++i) {
        const WriteCheck &check = checks[i];
        const WriteChecked &outcome = outcomes[i];
        const QString token = check.token();
        const Journal::Entry &entry = check.entry();
        const int row = entry.attempt.row;
        const QString rowName = row >= 1 && row <= m_line.plan.size() ? m_line.plan.rowName(row)
                                                                      : RecordText::tr("row %1").arg(row);
        const bool done = outcome.outcome == WriteChecked::Doubt || outcome.outcome == WriteChecked::Gone
                          || (check.verdict && !check.verdictSetDown);
        if (check.verdict && !check.verdictSetDown && outcome.outcome != WriteChecked::Doubt) {
            const QString result = Batch::resultName(check.verdict->attempt.result);
            *replayed << (outcome.verdict == QLatin1String("lost")
                              ? RecordText::tr("%1 on %2: settled by someone else meanwhile; %3 not taken")
                                    .arg(rowName, entry.attempt.port, result)
                              : RecordText::tr("%1 on %2: %3").arg(rowName, entry.attempt.port, result));
        }
        if (done && !m_journal.settle(token, &error))
            m_error = error;
        if (outcome.outcome == WriteChecked::Doubt && !m_doubtsTold.contains(token)) {
            m_doubtsTold.insert(token);
            warnings << RecordText::tr("%1 is on two devices: the record lost its writing on %2 at %3, and gave it to "
                                       "station %4, %5 at %6. Check both devices, clear one of them, then: "
                                       "velmora-cli line resolve %7 --as ok|free")
                            .arg(rowName, entry.attempt.port, entry.time.toLocalTime().toString(Qt::ISODate),
                                 outcome.otherStation, outcome.otherLane,
                                 outcome.otherAt.toLocalTime().toString(Qt::ISODate))
                            .arg(row);
        }
        if (outcome.outcome == WriteChecked::Doubt || outcome.outcome == WriteChecked::Gone
            || outcome.verdict == QLatin1String("lost")) {
            m_written.remove(token);
        } else if (check.writing) {
            WriteCheck &kept = m_written[token];
            kept.writing = check.writing;
            if (check.verdict) {
                kept.verdict = check.verdict;
                kept.verdictSetDown = true;
            }
        }
    }
    return warnings;
}

void LineRecord::renew()
{
    const QString station = m_settings.station;
    const QString instance = m_instance;
    const int leaseMs = m_settings.leaseMs;
    m_link->post(
        [station, instance, leaseMs](QSqlDatabase &db) { return renewLease(db, station, instance, leaseMs); },
        [this](const Answer &answer) {
            if (!answer.ok) {
                if (answer.connectionLost)
                    becomeUnreachable();
                return;
            }
            if (!answer.values.value(0).toBool()) {
                emit broken(RecordText::tr("%1: station %2 was started again elsewhere").arg(name(), m_settings.station));
                stopWaiting();
            }
        });
}

} // namespace Line
