#include "linewatcher.h"

#include "blockjson.h"
#include "sql.h"

#include <QSqlQuery>

namespace Line {

namespace {

using Answer = RecordLink::Answer;

// Reading a whole line takes longer than a few rows.
constexpr int WholeLineDeadlineMs = 60000;

// Each row's state and, for a settled one, its latest verdict. %1 narrows
// both to the rows asked for, or is empty for every row.
const char *const RowsSql =
    "SELECT r.row, r.state, r.result, r.station, r.lane, r.changed_at, a.detail, a.ms, a.read_back::text, a.time "
    "FROM velmora.rows r "
    "LEFT JOIN (SELECT DISTINCT ON (row) row, detail, ms, read_back, time FROM velmora.attempts "
    "           WHERE line_id = ? AND result <> 'writing' %1 ORDER BY row, id DESC) a "
    "       ON a.row = r.row AND r.state IN ('ok', 'failed') "
    "WHERE r.line_id = ? %2 ORDER BY r.row";

RowState::State stateNamed(const QString &name)
{
    static const QStringList names = {QStringLiteral("free"), QStringLiteral("claimed"), QStringLiteral("writing"),
                                      QStringLiteral("ok"), QStringLiteral("failed")};
    return RowState::State(std::max<qsizetype>(0, names.indexOf(name)));
}

// In the link's thread.
Answer readRows(QSqlDatabase &db, int lineId, const QList<int> &wanted, QList<RowState> *rows)
{
    QStringList numbers;
    for (int row : wanted)
        numbers << QString::number(row);
    const QString filter = QStringLiteral("AND %1row = ANY(CAST(? AS integer[]))");
    const bool all = wanted.isEmpty();
    const QString sql = QString::fromLatin1(RowsSql)
                            .arg(all ? QString() : filter.arg(QString()), all ? QString() : filter.arg(QStringLiteral("r.")));
    const QString array = arrayLiteral(numbers);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    QString error;
    if (!run(query, sql, all ? QVariantList{lineId, lineId} : QVariantList{lineId, array, lineId, array}, &error))
        return failedAnswer(db, query);
    while (query.next()) {
        RowState row;
        row.row = query.value(0).toInt();
        row.state = stateNamed(query.value(1).toString());
        row.station = query.value(3).toString();
        row.lane = query.value(4).toString();
        row.time = query.value(5).toDateTime();
        if (row.state == RowState::Ok || row.state == RowState::Failed) {
            row.result = Batch::resultNamed(query.value(2).toString());
            if (row.state == RowState::Ok)
                row.result = Batch::Result::Ok;
            row.detail = query.value(6).toString();
            row.ms = query.value(7).toLongLong();
            row.readBack = blockFromJson(query.value(8).toByteArray());
            if (!query.value(9).isNull())
                row.time = query.value(9).toDateTime();
        }
        rows->push_back(std::move(row));
    }
    return doneAnswer();
}

} // namespace

LineWatcher::LineWatcher(const RecordAddress &address, const QString &line, QObject *parent)
    : QObject(parent), m_address(address), m_name(line),
      m_link(std::make_unique<RecordLink>(address, QStringLiteral("velmora-bench watching line %1").arg(line)))
{
    m_gatherTimer.setSingleShot(true);
    m_gatherTimer.setInterval(GatherMs);
    connect(&m_gatherTimer, &QTimer::timeout, this, [this] {
        if (m_busy)
            return;  // read when the link is free again
        const QList<int> wanted = m_behind ? QList<int>() : m_wanted.values();
        m_wanted.clear();
        read(wanted);
    });
    m_checkTimer.setInterval(CheckMs);
    connect(&m_checkTimer, &QTimer::timeout, this, &LineWatcher::check);
    connect(m_link.get(), &RecordLink::notificationsWaiting, this, [this] {
        for (const RecordLink::Notification &notification : m_link->takeNotifications())
            notified(notification.channel, notification.payload);
    });
}

LineWatcher::~LineWatcher() = default;

void LineWatcher::open()
{
    struct Opened
    {
        LineInfo line;
        Refusal refusal = Refusal::None;
        QString error;
    };
    auto found = std::make_shared<Opened>();
    m_link->post(
        [found, address = m_address, name = m_name](QSqlDatabase &db) {
            return readUsableLine(db, address, name, &found->line, &found->refusal, &found->error);
        },
        [this, found](const Answer &answer) {
            if (!answer.ok || found->refusal != Refusal::None) {
                emit refused(answer.ok ? found->refusal : Refusal::Unreachable,
                             answer.ok ? found->error : unreachableMessage(m_address, answer.error));
                return;
            }
            m_line = std::move(found->line);
            m_rows.assign(size_t(m_line.plan.size()), {});
            for (size_t i = 0; i < m_rows.size(); ++i)
                m_rows[i].row = int(i) + 1;
            // Listening before the rows are read: no change falls in between.
            m_channel = QStringLiteral("velmora_line_%1").arg(m_line.id);
            m_link->listen(m_channel);
            auto rows = std::make_shared<QList<RowState>>();
            m_busy = true;
            m_link->post([lineId = m_line.id, rows](QSqlDatabase &db) { return readRows(db, lineId, {}, rows.get()); },
                         [this, rows](const Answer &read) {
                             m_busy = false;
                             if (!read.ok) {
                                 emit refused(read.connectionLost ? Refusal::Unreachable : Refusal::Unusable,
                                              read.connectionLost ? unreachableMessage(m_address, read.error) : read.error);
                                 return;
                             }
                             readAnswered(read, rows);
                             m_checkTimer.start();
                             emit opened();
                         },
                         WholeLineDeadlineMs);
        },
        WholeLineDeadlineMs);
}

void LineWatcher::notified(const QString &channel, const QString &payload)
{
    bool number = false;
    const int row = payload.toInt(&number);
    if (channel != m_channel || !number || row < 1 || row > int(m_rows.size()))
        return;
    m_wanted.insert(row);
    readSoon();
}

void LineWatcher::readSoon()
{
    if (!m_busy && !m_gatherTimer.isActive())
        m_gatherTimer.start();
}

void LineWatcher::read(const QList<int> &wanted)
{
    m_busy = true;
    m_checkTimer.start();  // quiet from now
    if (wanted.isEmpty())
        m_behind = false;  // unless this read fails too
    ++m_reads;
    auto rows = std::make_shared<QList<RowState>>();
    m_link->post([lineId = m_line.id, wanted, rows](QSqlDatabase &db) { return readRows(db, lineId, wanted, rows.get()); },
                 [this, rows](const Answer &answer) { readAnswered(answer, rows); },
                 wanted.isEmpty() ? WholeLineDeadlineMs : RecordLink::DefaultDeadlineMs);
}

void LineWatcher::check()
{
    if (m_busy)
        return;
    if (m_behind) {
        m_wanted.clear();
        read({});
        return;
    }
    m_busy = true;
    m_link->post(
        [](QSqlDatabase &db) {
            QSqlQuery query(db);
            return query.exec(QStringLiteral("SELECT 1")) ? doneAnswer() : failedAnswer(db, query);
        },
        [this](const Answer &answer) { answered(answer); });
}

void LineWatcher::answered(const Answer &answer)
{
    m_busy = false;
    if (!answer.ok) {
        // What was notified meanwhile, if anything was, is lost with the connection.
        m_behind = true;
        if (answer.connectionLost && std::exchange(m_reachable, false))
            emit unreachable(QDateTime::currentDateTime());
    } else if (!std::exchange(m_reachable, true)) {
        emit reachable();
    }
    if (!m_wanted.isEmpty())
        readSoon();
}

void LineWatcher::readAnswered(const Answer &answer, const Rows &rows)
{
    answered(answer);
    if (!answer.ok)
        return;
    for (const RowState &row : std::as_const(*rows)) {
        if (row.row >= 1 && row.row <= int(m_rows.size()))
            m_rows[size_t(row.row - 1)] = row;
    }
    if (!rows->isEmpty())
        emit rowsChanged(*rows);
}

QList<Batch::LogRecord> LineWatcher::outcomes() const
{
    QList<Batch::LogRecord> records;
    records.reserve(qsizetype(m_rows.size()));
    for (const RowState &row : m_rows) {
        Batch::LogRecord record = Batch::planRecord(m_line.plan, row.row);
        if (row.state == RowState::Ok || row.state == RowState::Failed || row.state == RowState::Writing) {
            record.result = row.state == RowState::Writing ? Batch::Result::Writing : row.result;
            record.port = row.lane;
            record.station = row.station;
            record.detail = row.detail;
            record.time = row.time.toUTC();
            if (row.readBack)
                record.readBack = Batch::readBackValues(*row.readBack);
        }
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace Line
