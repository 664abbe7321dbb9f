// Comma-separated values as people and spreadsheets write them: fields
// separated by ',' or ';' (whichever the first line uses first), a field in
// double quotes may hold separators and line breaks ("" stands for one
// quote), lines end in LF, CRLF or CR, and a UTF-8 byte-order mark at the
// start is dropped. A pure function over bytes: any input gives either the
// records or the place where the text stops being CSV.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include <vector>

namespace Batch {

struct CsvField
{
    QString text;
    int line = 0;    // where the field starts, counted from 1
    int column = 0;  // in characters, counted from 1
};

struct CsvRecord
{
    int line = 0;
    int endColumn = 0;  // where the record's last line ends
    std::vector<CsvField> fields;
};

struct CsvTable
{
    QChar separator = QLatin1Char(',');
    std::vector<CsvRecord> records;  // up to the error, if there is one
    QString error;                   // empty when all of the text was read
    int errorLine = 0;
    int errorColumn = 0;
};

CsvTable readCsv(const QByteArray &bytes);

// A field as a record holds it: in quotes when it has a separator, a quote
// or a line break in it.
QString csvField(const QString &text, QChar separator = QLatin1Char(','));

} // namespace Batch
