// A batch log read back, one record per line, for what is made of a run
// afterwards (the report, the labels): every line's row, values asked,
// values read back, result, detail, time and port, by the names of the
// log's own columns. Reading takes no lock and needs no plan, so a log in
// use by a run can be read too.
#pragma once

#include "batchlog.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace Batch {

struct LogValue
{
    QString key;   // "lip", "mac", ...
    QString text;  // as the log has it; empty where no value came
};

// The text of key among values; empty where it is not there.
QString valueOf(const QList<LogValue> &values, const QString &key);

struct LogRecord
{
    int line = 0;  // of the log, counted from 1; 0 for a row the log has no line for
    QDateTime time;  // UTC
    int row = 0;     // of the plan, counted from 1
    QString id;
    QString port;
    std::optional<Result> result;  // none: the row was never attempted
    QString detail;
    QList<LogValue> asked;     // the plan's keys, in the log's order
    QList<LogValue> readBack;  // every value the device held afterwards; empty texts where none came
    QString station;  // of a line shared by several: the one that made the attempt

    // The value read back for key; empty where none came.
    QString held(const QString &key) const { return valueOf(readBack, key); }
    bool hasReadBack() const;
};

// How many rows came to each result; a row with none, or with a "writing"
// line and no verdict, is left.
struct ResultCounts
{
    int ok = 0, mismatch = 0, refused = 0, noAnswer = 0, skipped = 0, left = 0;
    void add(const std::optional<Result> &result);
    int done() const { return ok + mismatch + refused + noAnswer + skipped; }
    int rows() const { return done() + left; }
};

// The lines of a log after its header, cut-off lines left out. False with
// "FILE:LINE: ..." in *error where the text is no log.
bool readLogRecords(const QByteArray &bytes, const QString &fileName, QList<LogRecord> *records, QString *error);
bool readLogFile(const QString &fileName, QList<LogRecord> *records, QString *error);

// A row of the plan as a record of no attempt: its id and values asked.
LogRecord planRecord(const Plan &plan, int row);
// Every value of a block, as the log's read_ columns hold them.
QList<LogValue> readBackValues(const Protocol::ParameterBlock &block);

// One record per row of the plan, in plan order: what became of it in the
// end (its ok line where it has one, else its latest line, which is a
// "writing" line where the last run stopped while writing it), or, for a row the log has no line for,
// the row's values with no result.
QList<LogRecord> rowOutcomes(const Plan &plan, const QList<LogRecord> &records);

} // namespace Batch
