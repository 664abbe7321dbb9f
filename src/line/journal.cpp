#include "journal.h"

#include "blockjson.h"
#include "statefolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFileInfo>

#include <algorithm>

namespace Line {

namespace {

// A line's record as a person is told of it, in their language.
struct RecordText
{
    Q_DECLARE_TR_FUNCTIONS(Line::Record)
};

} // namespace

QString Journal::fileName(const QString &recordIdentity, const QString &line, const QString &station)
{
    // Names are checked, so they make a file name as they are; the record's
    // address does not, and two records may have lines of the same name.
    const QString record = QString::fromLatin1(
        QCryptographicHash::hash(recordIdentity.toUtf8(), QCryptographicHash::Sha256).toHex().left(12));
    return stateFolder() + QStringLiteral("/journal-%1-%2-%3.jsonl").arg(line, station, record);
}

bool Journal::open(const QString &fileName, QString *error)
{
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath())) {
        *error = RecordText::tr("%1: cannot make its folder").arg(fileName);
        return false;
    }
    QString why;
    switch (m_file.open(fileName, &why)) {
    case Batch::DurableFile::Opened::Yes:
        break;
    case Batch::DurableFile::Opened::InUse:
        *error = RecordText::tr("%1: in use by another run of this station").arg(fileName);
        return false;
    case Batch::DurableFile::Opened::Failed:
        *error = QStringLiteral("%1: %2").arg(fileName, why);
        return false;
    }
    const QByteArray bytes = m_file.readAll(&why);
    if (!why.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(fileName, why);
        return false;
    }
    m_endsInLine = bytes.isEmpty() || bytes.endsWith('\n');
    for (const QByteArray &line : bytes.split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const QString token = object.value(QLatin1String("token")).toString();
        if (token.isEmpty())
            continue;  // a line cut off by a crash: its lane had not gone on
        if (object.value(QLatin1String("settled")).toBool()) {
            m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                           [&](const Entry &entry) { return entry.token == token; }),
                            m_pending.end());
            continue;
        }
        Entry entry;
        entry.token = token;
        entry.attempt.row = object.value(QLatin1String("row")).toInt();
        entry.attempt.port = object.value(QLatin1String("lane")).toString();
        entry.attempt.result = Batch::resultNamed(object.value(QLatin1String("result")).toString()).value_or(Batch::Result::NoAnswer);
        entry.attempt.detail = object.value(QLatin1String("detail")).toString();
        entry.attempt.ms = object.value(QLatin1String("ms")).toInteger();
        entry.attempt.readBack = blockFromJson(QJsonDocument(object.value(QLatin1String("read_back")).toObject()).toJson());
        entry.time = QDateTime::fromString(object.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
        entry.station = object.value(QLatin1String("station")).toString();
        m_pending.push_back(entry);
    }
    return true;
}

bool Journal::write(const QByteArray &line, QString *error)
{
    qsizetype written = 0;
    QString why;
    // A line cut off by a crash before stays a line of its own.
    const QByteArray bytes = (m_endsInLine ? QByteArray() : QByteArray("\n")) + line + '\n';
    const bool appended = m_file.append(bytes, &written, &why);
    if (written > 0)
        m_endsInLine = appended;
    if (appended)
        return true;
    *error = QStringLiteral("%1: %2").arg(m_file.fileName(), why);
    return false;
}

bool Journal::add(const Entry &entry, QString *error)
{
    QJsonObject object{{QStringLiteral("token"), entry.token},
                       {QStringLiteral("row"), entry.attempt.row},
                       {QStringLiteral("lane"), entry.attempt.port},
                       {QStringLiteral("result"), Batch::resultName(entry.attempt.result)},
                       {QStringLiteral("detail"), entry.attempt.detail},
                       {QStringLiteral("ms"), entry.attempt.ms},
                       {QStringLiteral("time"), entry.time.toUTC().toString(Qt::ISODateWithMs)}};
    if (!entry.station.isEmpty())
        object.insert(QStringLiteral("station"), entry.station);
    if (entry.attempt.readBack)
        object.insert(QStringLiteral("read_back"), QJsonDocument::fromJson(blockJson(*entry.attempt.readBack)).object());
    if (!write(QJsonDocument(object).toJson(QJsonDocument::Compact), error))
        return false;
    m_pending.push_back(entry);
    return true;
}

int Journal::verdicts() const
{
    return int(std::count_if(m_pending.begin(), m_pending.end(), [](const Entry &entry) { return entry.isVerdict(); }));
}

bool Journal::settle(const QString &token, QString *error)
{
    const auto ofToken = [&](const Entry &entry) { return entry.token == token; };
    if (std::none_of(m_pending.begin(), m_pending.end(), ofToken))
        return true;
    if (!write(QJsonDocument(QJsonObject{{QStringLiteral("token"), token}, {QStringLiteral("settled"), true}})
                   .toJson(QJsonDocument::Compact),
               error))
        return false;
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(), ofToken), m_pending.end());
    // Nothing left to set down: the next run finds an empty journal.
    if (m_pending.empty() && !m_file.truncate(error))
        return false;
    return true;
}

} // namespace Line
