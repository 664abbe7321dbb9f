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

#include <memory>
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

// The same, one record at a time, for files too big to hold twice: a plan of
// 100,000 rows is checked as it is read. bytes must outlive the reader.
class CsvReader
{
public:
    explicit CsvReader(const QByteArray &bytes);
    ~CsvReader();
    CsvReader(const CsvReader &) = delete;
    CsvReader &operator=(const CsvReader &) = delete;

    QChar separator() const;
    // The next record into *record; false at the end or at an error.
    bool next(CsvRecord *record);
    // Where the text stops being CSV; empty error at the end of the text.
    const QString &error() const { return m_error; }
    int errorLine() const { return m_errorLine; }
    int errorColumn() const { return m_errorColumn; }

private:
    struct State;
    bool fail(int line, int column, const QString &error);

    std::unique_ptr<State> m_state;
    QString m_error;
    int m_errorLine = 0;
    int m_errorColumn = 0;
};

// A field as a record holds it: in quotes when it has a separator, a quote
// or a line break in it.
QString csvField(const QString &text, QChar separator = QLatin1Char(','));

} // namespace Batch
