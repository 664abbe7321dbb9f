// A batch's log, or a line's export, read back by a test: one record of
// column name to value a line, and what a device holds, written as the
// log's read_ columns write it.
#pragma once

#include "files.h"

#include "batch/csv.h"
#include "client/profile.h"
#include "device/ptydevice.h"

#include <QList>
#include <QMap>

using LogRecord = QMap<QString, QString>;

// Empty unless every line is whole. The "writing" line before each device
// is left out unless asked for.
inline QList<LogRecord> readLogText(const QByteArray &bytes, bool withWriting = false)
{
    const Batch::CsvTable table = Batch::readCsv(bytes);
    if (!bytes.endsWith('\n') || !table.error.isEmpty())
        return {};
    QList<LogRecord> records;
    for (size_t r = 1; r < table.records.size(); ++r) {
        const auto &header = table.records.front().fields;
        const auto &fields = table.records[r].fields;
        if (fields.size() != header.size())
            return {};
        LogRecord record;
        for (size_t i = 0; i < fields.size(); ++i)
            record.insert(header[i].text, fields[i].text);
        if (withWriting || record.value(QStringLiteral("result")) != QLatin1String("writing"))
            records << record;
    }
    return records;
}

inline QList<LogRecord> readLog(bool withWriting = false, const QString &fileName = QStringLiteral("log.csv"))
{
    return readLogText(readFile(fileName), withWriting);
}

// What a device holds, "lip = 10.0.0.1\nmask = ...", as a profile shows it.
inline QString held(const PtyDevice &device)
{
    return Client::profileText(device.model().parameters());
}

// The same, as a log line's read_ columns say it.
inline QString readBack(const LogRecord &record)
{
    QString text;
    for (const Protocol::BlockField &field : Protocol::blockFields()) {
        const QString key = QLatin1String(field.key);
        text += key + QLatin1String(" = ") + record.value(QLatin1String("read_") + key) + QLatin1Char('\n');
    }
    return text;
}
