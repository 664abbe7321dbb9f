#include "batchlog.h"

#include "csv.h"
#include "lockholder.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#include <windows.h>
#endif

using Protocol::BlockField;

namespace Batch {

namespace {

constexpr int ValuesColumn = 6;  // time,row,id,line,result,detail come first
const Result Results[] = {Result::Ok,      Result::Mismatch, Result::Refused,
                          Result::NoAnswer, Result::Skipped, Result::Writing};
// Room kept for a verdict line beyond what its "writing" line takes: its
// detail and the ten values read back.
constexpr qint64 VerdictRoom = 1024;

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

QString plannedText(const PlanRow &row, const BlockField *field)
{
    return Client::valueText(*field, row.values.find(field)->bytes);
}

#ifdef Q_OS_UNIX
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A new file's name is on the disk only once its folder is.
void syncFolderOf(const QString &fileName)
{
    const int folder = ::open(QFile::encodeName(QFileInfo(fileName).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}
#elif defined(Q_OS_WIN)
HANDLE nativeHandle(const QFile &file)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
}
#endif

} // namespace

QString resultName(Result result)
{
    switch (result) {
    case Result::Ok:
        return QStringLiteral("ok");
    case Result::Mismatch:
        return QStringLiteral("mismatch");
    case Result::Refused:
        return QStringLiteral("refused");
    case Result::NoAnswer:
        return QStringLiteral("no-answer");
    case Result::Skipped:
        return QStringLiteral("skipped");
    case Result::Writing:
        return QStringLiteral("writing");
    }
    return {};
}

BatchLog::BatchLog(const Plan &plan) : m_plan(plan) {}

BatchLog::~BatchLog() = default;

QStringList BatchLog::header() const
{
    QStringList columns = {QStringLiteral("time"), QStringLiteral("row"),    QStringLiteral("id"),
                           QStringLiteral("line"), QStringLiteral("result"), QStringLiteral("detail")};
    for (const BlockField *field : m_plan.fields)
        columns << QLatin1String(field->key);
    for (const BlockField &field : Protocol::blockFields())
        columns << QLatin1String("read_") + QLatin1String(field.key);
    return columns;
}

QString BatchLog::line(const Attempt &attempt, const QDateTime &time) const
{
    const PlanRow &row = m_plan.row(attempt.row);
    QStringList fields = {time.toUTC().toString(Qt::ISODateWithMs), QString::number(attempt.row), csvField(row.id),
                          csvField(oneLine(attempt.port)), resultName(attempt.result),
                          csvField(oneLine(attempt.detail))};
    for (const BlockField *field : m_plan.fields)
        fields << plannedText(row, field);
    for (const BlockField &field : Protocol::blockFields())
        fields << (attempt.readBack ? Client::valueText(field, *attempt.readBack) : QString());
    return fields.join(QLatin1Char(','));
}

bool BatchLog::open(const QString &fileName, QStringList *errors, QStringList *warnings)
{
    const bool existed = QFileInfo::exists(fileName);
    m_file.setFileName(fileName);
    if (!m_file.open(QIODevice::Append | QIODevice::Unbuffered)) {
        *errors << QStringLiteral("%1: %2").arg(fileName, m_file.errorString());
        return false;
    }
#ifdef Q_OS_UNIX
    // Two runs on one log would provision the same rows twice.
    if (::flock(m_file.handle(), LOCK_EX | LOCK_NB) != 0) {
        struct stat locked = {};
        const QString holder = ::fstat(m_file.handle(), &locked) == 0
                                   ? LockHolder::describe(quint64(locked.st_dev), quint64(locked.st_ino))
                                   : QString();
        *errors << QStringLiteral("%1: in use by another run (velmora-cli batch or velmora-bench)%2")
                       .arg(fileName, holder.isEmpty() ? QString() : QStringLiteral(": ") + holder);
        return false;
    }
#elif defined(Q_OS_WIN)
    // Windows locks are mandatory, so the lock is on a byte far past the end
    // of any log: reading and appending stay free, a second lock fails.
    OVERLAPPED farPastTheEnd = {};
    farPastTheEnd.Offset = 0xFFFFFFFE;
    farPastTheEnd.OffsetHigh = 0x7FFFFFFF;
    if (!::LockFileEx(nativeHandle(m_file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                      &farPastTheEnd)) {
        *errors << QStringLiteral("%1: in use by another run (velmora-cli batch or velmora-bench)").arg(fileName);
        return false;
    }
#endif
    QFile reader(fileName);
    if (!reader.open(QIODevice::ReadOnly)) {
        *errors << QStringLiteral("%1: %2").arg(fileName, reader.errorString());
        return false;
    }
    const QByteArray bytes = reader.readAll();
    m_size = bytes.size();
#ifdef Q_OS_UNIX
    struct stat held = {};
    if (::fstat(m_file.handle(), &held) != 0) {
        *errors << QStringLiteral("%1: %2").arg(fileName, systemError());
        return false;
    }
    m_device = quint64(held.st_dev);
    m_inode = quint64(held.st_ino);
#endif
    if (!bytes.isEmpty())
        return readRecords(bytes, errors, warnings);

    if (!writeDurably(header().join(QLatin1Char(',')).toUtf8() + '\n')) {
        *errors << QStringLiteral("%1: %2").arg(fileName, m_error);
        return false;
    }
#ifdef Q_OS_UNIX
    if (!existed)
        syncFolderOf(fileName);
#else
    Q_UNUSED(existed);
#endif
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

    const QStringList expected = header();
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
            *errors << QStringLiteral("%1:1: the log's columns do not fit this plan; they would be: %2")
                           .arg(name, expected.join(QLatin1Char(',')));
            return false;
        }
        if (fields.size() != expected.size()) {
            // Every line is written whole, so this one was cut off by a crash
            // while it was being written: it records nothing for certain.
            *warnings << QStringLiteral("%1:%2: an incomplete line, ignored").arg(name, QString::number(number));
            continue;
        }
        bool isNumber = false;
        const int row = fields.at(1).toInt(&isNumber);
        if (!isNumber || row < 1 || row > m_plan.size()) {
            *errors << QStringLiteral("%1:%2: row %3: the plan has rows 1 to %4")
                           .arg(name, QString::number(number), fields.at(1), QString::number(m_plan.size()));
            return false;
        }
        if (!std::any_of(std::begin(Results), std::end(Results), [&](Result r) { return resultName(r) == fields.at(4); })) {
            *errors << QStringLiteral("%1:%2: %3 is not a result").arg(name, QString::number(number), fields.at(4));
            return false;
        }
        // A verdict settles the "writing" line of its row and port.
        const QString port = fields.at(3);
        writing.erase(std::remove_if(writing.begin(), writing.end(),
                                     [&](const InDoubt &entry) { return entry.row == row && entry.port == port; }),
                      writing.end());
        const bool isWriting = fields.at(4) == resultName(Result::Writing);
        if (!isWriting && fields.at(4) != resultName(Result::Ok))
            continue;
        const QString changed = mismatch(fields);
        if (!changed.isEmpty()) {
            *errors << QStringLiteral("%1:%2: %3 was %4 with %5; a plan that changed needs a new log")
                           .arg(name, QString::number(number), m_plan.rowName(row),
                                isWriting ? QStringLiteral("being written") : QStringLiteral("provisioned"), changed);
            return false;
        }
        if (isWriting)
            writing.push_back({row, port, number});
        else
            m_okRows.insert(row);
    }
    m_inDoubt = std::move(writing);
    return true;
}

// How a log line of an ok row differs from the plan's row: "sn=4, the plan now has sn=5".
QString BatchLog::mismatch(const QStringList &fields) const
{
    const PlanRow &row = m_plan.row(fields.at(1).toInt());
    if (fields.at(2) != row.id)
        return QStringLiteral("id %1, the plan now has id %2").arg(fields.at(2), row.id);
    for (size_t i = 0; i < m_plan.fields.size(); ++i) {
        const BlockField *field = m_plan.fields[i];
        const QString logged = fields.at(ValuesColumn + int(i));
        if (logged != plannedText(row, field))
            return QStringLiteral("%1=%2, the plan now has %1=%3").arg(QLatin1String(field->key), logged, plannedText(row, field));
    }
    return {};
}

bool BatchLog::append(const Attempt &attempt)
{
    QByteArray bytes = line(attempt, QDateTime::currentDateTimeUtc()).toUtf8() + '\n';
    if (m_cutOff)
        bytes.prepend('\n');  // the cut-off line stays a line of its own
    if (!stillTheSameFile())
        return false;
    if (attempt.result == Result::Writing && !reserve(2 * bytes.size() + VerdictRoom))
        return false;
    m_cutOff = false;
    return writeDurably(bytes);
}

bool BatchLog::stillTheSameFile()
{
#ifdef Q_OS_WIN
    // Open here, the file can be neither deleted nor renamed (it is not
    // shared for deleting); only its length can change behind our back.
    LARGE_INTEGER length = {};
    if (!::GetFileSizeEx(nativeHandle(m_file), &length)) {
        m_error = qt_error_string();
        return false;
    }
    if (length.QuadPart != m_size) {
        m_error = length.QuadPart < m_size
                      ? QStringLiteral("it was cut short while in use, from %1 to %2 bytes").arg(m_size).arg(length.QuadPart)
                      : QStringLiteral("another program wrote to it while in use, from %1 to %2 bytes")
                            .arg(m_size)
                            .arg(length.QuadPart);
        return false;
    }
#endif
#ifdef Q_OS_UNIX
    struct stat held = {};
    struct stat named = {};
    if (::fstat(m_file.handle(), &held) != 0) {
        m_error = systemError();
        return false;
    }
    if (::stat(QFile::encodeName(m_file.fileName()).constData(), &named) != 0) {
        m_error = errno == ENOENT ? QStringLiteral("it was deleted while in use, and what it recorded with it")
                                  : systemError();
        return false;
    }
    if (quint64(named.st_dev) != m_device || quint64(named.st_ino) != m_inode) {
        m_error = QStringLiteral("another file took its name while in use");
        return false;
    }
    if (qint64(held.st_size) != m_size) {
        m_error = held.st_size < m_size ? QStringLiteral("it was cut short while in use, from %1 to %2 bytes")
                                              .arg(m_size).arg(qint64(held.st_size))
                                        : QStringLiteral("another program wrote to it while in use, from %1 to %2 bytes")
                                              .arg(m_size).arg(qint64(held.st_size));
        return false;
    }
#endif
    return true;
}

// Takes the disk space for the next lines now, without making the file
// longer; where the file system cannot, the write itself will tell.
bool BatchLog::reserve(qint64 bytes)
{
#ifdef Q_OS_LINUX
    if (::fallocate(m_file.handle(), FALLOC_FL_KEEP_SIZE, m_size, bytes) != 0 && errno != EOPNOTSUPP
        && errno != ENOSYS) {
        m_error = systemError();
        return false;
    }
#else
    Q_UNUSED(bytes);
#endif
    return true;
}

bool BatchLog::writeDurably(const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    // Straight to the descriptor, so that a full disk says so (a short
    // write is tried again for the rest, which then fails with the reason).
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_file.handle(), data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_error = written < 0 ? systemError() : QStringLiteral("nothing could be written");
            break;
        }
        data += written;
        left -= written;
    }
    struct stat held = {};
    m_size = ::fstat(m_file.handle(), &held) == 0 ? qint64(held.st_size) : m_size + (bytes.size() - left);
    if (left > 0) {
        m_cutOff = left < bytes.size();
        return false;
    }
    if (::fsync(m_file.handle()) != 0) {
        m_error = systemError();
        return false;
    }
#else
    if (m_file.write(bytes) != bytes.size()) {
        m_error = m_file.errorString();
        return false;
    }
    m_size += bytes.size();
#ifdef Q_OS_WIN
    if (!::FlushFileBuffers(nativeHandle(m_file))) {
        m_error = qt_error_string();
        return false;
    }
#else
    m_file.flush();
#endif
#endif
    return true;
}

} // namespace Batch
