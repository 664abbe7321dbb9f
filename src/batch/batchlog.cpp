#include "batchlog.h"

#include "csv.h"
#include "logformat.h"

#include "link/portlock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>

using Protocol::BlockField;

namespace Batch {

namespace {

// Why a log cannot be taken, for a person, in their language; what the log holds never changes.
struct LogText
{
    Q_DECLARE_TR_FUNCTIONS(Batch::Log)
};

// Room kept for a verdict line beyond what its "writing" line takes: its
// detail and the ten values read back.
constexpr qint64 VerdictRoom = 1024;

QString plannedText(const PlanRow &row, const BlockField *field)
{
    return Client::valueText(*field, row.values.find(field)->bytes);
}

} // namespace

BatchLog::BatchLog(const Plan &plan, QObject *parent) : Record(parent), m_plan(plan) {}

BatchLog::~BatchLog() = default;

bool BatchLog::open(const QString &fileName, QStringList *errors, QStringList *warnings)
{
    const bool existed = QFileInfo::exists(fileName);
    QString error;
    switch (m_file.open(fileName, &error)) {
    case DurableFile::Opened::Yes:
        break;
    case DurableFile::Opened::InUse: {
        // Two runs on one log would provision the same rows twice.
        const QString holder = PortLock::flockHolder(fileName);
        *errors << LogText::tr("%1: in use by another run (velmora-cli batch or velmora-bench)%2")
                       .arg(fileName, holder.isEmpty() ? QString() : QStringLiteral(": ") + holder);
        return false;
    }
    case DurableFile::Opened::Failed:
        *errors << QStringLiteral("%1: %2").arg(fileName, error);
        return false;
    }
    const QByteArray bytes = m_file.readAll(&error);
    if (!error.isEmpty()) {
        *errors << QStringLiteral("%1: %2").arg(fileName, error);
        return false;
    }
    if (!bytes.isEmpty()) {
        if (!readRecords(bytes, errors, warnings))
            return false;
    } else {
        qsizetype written = 0;
        if (!m_file.append(logHeader(m_plan).join(QLatin1Char(',')).toUtf8() + '\n', &written, &m_error)) {
            *errors << QStringLiteral("%1: %2").arg(fileName, m_error);
            return false;
        }
        if (!existed)
            m_file.syncFolder();
    }
    QSet<int> held;
    for (const InDoubt &entry : m_inDoubt)
        held.insert(entry.row);
    for (int row = 1; row <= m_plan.size(); ++row) {
        if (!m_okRows.contains(row) && !held.contains(row))
            m_free.push_back(row);
    }
    return true;
}

bool BatchLog::readRecords(const QByteArray &bytes, QStringList *errors, QStringList *warnings)
{
    const QString name = m_file.fileName();
    QList<QByteArray> lines = bytes.split('\n');
    // Every line is written whole with its line end; one without it was cut
    // off by a crash, and the next line must not be glued to it.
    m_cutOff = !lines.last().isEmpty();
    if (!m_cutOff)
        lines.removeLast();

    const QStringList expected = logHeader(m_plan);
    std::vector<InDoubt> writing;  // in the order of the file
    for (int number = 1; number <= lines.size(); ++number) {
        const QByteArray text = lines.at(number - 1).endsWith('\r') ? lines.at(number - 1).chopped(1)
                                                                    : lines.at(number - 1);
        if (text.isEmpty() && number > 1)
            continue;
        const CsvTable table = readCsv(text);
        QStringList fields;
        if (table.error.isEmpty() && table.records.size() == 1) {
            for (const CsvField &field : table.records.front().fields)
                fields << field.text;
        }
        if (number == 1) {
            if (fields == expected && table.separator == QLatin1Char(','))
                continue;
            *errors << LogText::tr("%1:1: the log's columns do not fit this plan; they would be: %2")
                           .arg(name, expected.join(QLatin1Char(',')));
            return false;
        }
        if (fields.size() != expected.size()) {
            // Every line is written whole, so this one was cut off by a crash
            // while it was being written: it records nothing for certain.
            *warnings << LogText::tr("%1:%2: an incomplete line, ignored").arg(name, QString::number(number));
            continue;
        }
        bool isNumber = false;
        const int row = fields.at(LogColumn::Row).toInt(&isNumber);
        if (!isNumber || row < 1 || row > m_plan.size()) {
            *errors << LogText::tr("%1:%2: row %3: the plan has rows 1 to %4")
                           .arg(name, QString::number(number), fields.at(LogColumn::Row), QString::number(m_plan.size()));
            return false;
        }
        const std::optional<Result> result = resultNamed(fields.at(LogColumn::Result));
        if (!result) {
            *errors << LogText::tr("%1:%2: %3 is not a result").arg(name, QString::number(number), fields.at(LogColumn::Result));
            return false;
        }
        // A verdict settles the "writing" line of its row and port.
        const QString port = fields.at(LogColumn::Port);
        writing.erase(std::remove_if(writing.begin(), writing.end(),
                                     [&](const InDoubt &entry) { return entry.row == row && entry.port == port; }),
                      writing.end());
        if (*result != Result::Writing && *result != Result::Ok)
            continue;
        const QString changed = mismatch(fields);
        if (!changed.isEmpty()) {
            *errors << LogText::tr("%1:%2: %3 was %4 with %5; a plan that changed needs a new log")
                           .arg(name, QString::number(number), m_plan.rowName(row),
                                *result == Result::Writing ? LogText::tr("being written") : LogText::tr("provisioned"),
                                changed);
            return false;
        }
        if (*result == Result::Writing)
            writing.push_back({row, port});
        else
            m_okRows.insert(row);
    }
    // A row written again elsewhere and ok there is in doubt no longer; a
    // row in doubt on two ports is read on the first.
    QSet<int> seen;
    for (const InDoubt &entry : writing) {
        if (!m_okRows.contains(entry.row) && !seen.contains(entry.row)) {
            m_inDoubt.push_back(entry);
            seen.insert(entry.row);
        }
    }
    return true;
}

// How a log line of an ok row differs from the plan's row: "sn=4, the plan now has sn=5".
QString BatchLog::mismatch(const QStringList &fields) const
{
    const PlanRow &row = m_plan.row(fields.at(LogColumn::Row).toInt());
    if (fields.at(LogColumn::Id) != row.id)
        return LogText::tr("id %1, the plan now has id %2").arg(fields.at(LogColumn::Id), row.id);
    for (size_t i = 0; i < m_plan.fields.size(); ++i) {
        const BlockField *field = m_plan.fields[i];
        const QString logged = fields.at(LogColumn::Values + int(i));
        if (logged != plannedText(row, field))
            return LogText::tr("%1=%2, the plan now has %1=%3").arg(QLatin1String(field->key), logged, plannedText(row, field));
    }
    return {};
}

bool BatchLog::append(const Attempt &attempt)
{
    QByteArray bytes = logLine(m_plan, attempt, QDateTime::currentDateTimeUtc()).toUtf8() + '\n';
    if (m_cutOff)
        bytes.prepend('\n');  // the cut-off line stays a line of its own
    if (!m_file.isUnchanged(&m_error))
        return false;
    if (attempt.result == Result::Writing && !m_file.reserve(2 * bytes.size() + VerdictRoom, &m_error))
        return false;
    qsizetype written = 0;
    const bool appended = m_file.append(bytes, &written, &m_error);
    if (written > 0)
        m_cutOff = written < bytes.size();
    return appended;
}

void BatchLog::claim(const QString &, Claimed claimed)
{
    int row = 0;
    if (!m_free.empty()) {
        row = m_free.front();
        m_free.pop_front();
    }
    QMetaObject::invokeMethod(this, [claimed = std::move(claimed), row] { claimed(row); }, Qt::QueuedConnection);
}

void BatchLog::release(int row)
{
    m_free.insert(std::lower_bound(m_free.begin(), m_free.end(), row), row);
}

void BatchLog::setWriting(const Attempt &attempt, Done done)
{
    store(attempt, std::move(done));
}

void BatchLog::setVerdict(const Attempt &attempt, Done done)
{
    store(attempt, std::move(done));
}

void BatchLog::store(const Attempt &attempt, Done done)
{
    const Stored stored = append(attempt) ? Stored::Yes : Stored::Failed;
    QMetaObject::invokeMethod(this, [done = std::move(done), stored] { done(stored); }, Qt::QueuedConnection);
}

} // namespace Batch
