#include "plan.h"

#include "csv.h"

#include <QHash>
#include <QSet>

#include <algorithm>

using Protocol::BlockField;

namespace Batch {

namespace {

const QString IdColumn = QStringLiteral("id");

// Errors in the order found, at most MaxErrors of them spelled out.
class Problems
{
public:
    Problems(const QString &fileName, QStringList *errors, int maxErrors)
        : m_fileName(fileName), m_errors(errors), m_maxErrors(maxErrors)
    {
    }
    ~Problems()
    {
        if (m_count > m_maxErrors)
            *m_errors << QStringLiteral("%1: %2 more errors").arg(m_fileName, QString::number(m_count - m_maxErrors));
    }

    void add(int line, int column, QString message)
    {
        if (++m_count > m_maxErrors)
            return;
        // One line each, whatever a quoted cell held.
        *m_errors << QStringLiteral("%1:%2:%3: %4")
                            .arg(m_fileName, QString::number(line), QString::number(column), Client::oneLine(message));
    }
    void add(const CsvField &cell, const QString &message) { add(cell.line, cell.column, message); }
    bool any() const { return m_count > 0; }

private:
    QString m_fileName;
    QStringList *m_errors;
    int m_maxErrors;
    int m_count = 0;
};

bool isBlank(const CsvRecord &record)
{
    for (const CsvField &field : record.fields) {
        if (!field.text.trimmed().isEmpty())
            return false;
    }
    return true;
}

bool hasControlCharacter(const QString &text)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// The columns a header names: a field of the block each, nullptr for id.
std::vector<const BlockField *> readHeader(const CsvRecord &header, Problems &problems)
{
    const QString keys = Client::keyList(Client::Writer::SetAll);
    std::vector<const BlockField *> columns;
    QSet<const BlockField *> named;
    bool hasId = false;
    for (const CsvField &cell : header.fields) {
        const QString name = cell.text.trimmed();
        const BlockField *field = Protocol::blockField(name);
        const bool repeated = name == IdColumn ? hasId : named.contains(field);
        if (name.isEmpty())
            problems.add(cell, QStringLiteral("a column without a name; the first line names the columns: id %1").arg(keys));
        else if (name != IdColumn && !field)
            problems.add(cell, QStringLiteral("%1: not a column name; the first line names the columns: id %2").arg(name, keys));
        else if (repeated)
            problems.add(cell, QStringLiteral("%1 is given twice").arg(name));
        hasId = hasId || name == IdColumn;
        if (field)
            named.insert(field);
        columns.push_back(field);
    }
    if (!problems.any() && named.isEmpty())
        problems.add(header.line, 1, QStringLiteral("no value to write: the columns are id %1").arg(keys));
    return columns;
}

quint32 address(const QByteArray &bytes)
{
    quint32 number = 0;
    for (char octet : bytes)
        number = number << 8 | quint8(octet);
    return number;
}

QString addressText(quint32 number)
{
    return QStringLiteral("%1.%2.%3.%4").arg(number >> 24).arg(number >> 16 & 0xff).arg(number >> 8 & 0xff).arg(number & 0xff);
}

// A row of the plan as read, with the cells its values came from.
struct ReadRow
{
    PlanRow row;
    QHash<const BlockField *, const CsvField *> cells;

    QString given(const BlockField *field) const
    {
        return QLatin1String(field->key) + QLatin1Char('=') + cells.value(field)->text.trimmed();
    }
    const QByteArray *bytes(const BlockField *field) const
    {
        const Client::Value *value = row.values.find(field);
        return value ? &value->bytes : nullptr;
    }
};

void checkDuplicates(const std::vector<ReadRow> &rows, Problems &problems)
{
    for (const char16_t *key : {u"lip", u"mac", u"sn"}) {
        const BlockField *field = Protocol::blockField(key);
        QHash<QByteArray, int> lines;
        for (const ReadRow &row : rows) {
            const QByteArray *bytes = row.bytes(field);
            if (!bytes)
                break;  // the plan has no such column
            if (lines.contains(*bytes))
                problems.add(*row.cells.value(field), QStringLiteral("%1: also on line %2 (--allow-duplicates allows it)")
                                                          .arg(row.given(field), QString::number(lines.value(*bytes))));
            else
                lines.insert(*bytes, row.row.line);
        }
    }
}

// A device's address is no subnet's network or broadcast address, and its
// gateway is in its subnet.
void checkSubnet(const ReadRow &row, Problems &problems)
{
    const BlockField *lipField = Protocol::blockField(u"lip");
    const BlockField *maskField = Protocol::blockField(u"mask");
    const BlockField *gatewayField = Protocol::blockField(u"gateway");
    const QByteArray *lipBytes = row.bytes(lipField);
    const QByteArray *maskBytes = row.bytes(maskField);
    if (!lipBytes || !maskBytes)
        return;
    const QString allowed = QStringLiteral(" (--allow-odd-addresses allows it)");
    const quint32 lip = address(*lipBytes);
    const quint32 mask = address(*maskBytes);
    const quint32 hosts = ~mask;
    if ((hosts & (hosts + 1)) != 0) {
        problems.add(*row.cells.value(maskField),
                     QStringLiteral("%1: not a subnet mask, its ones must come first").arg(row.given(maskField)) + allowed);
        return;
    }
    const quint32 network = lip & mask;
    const QString subnet = QStringLiteral("%1/%2").arg(addressText(network)).arg(32 - qPopulationCount(hosts));
    // In a subnet of one or two addresses, every address is a host's.
    if (hosts > 1 && (lip == network || lip == (network | hosts)))
        problems.add(*row.cells.value(lipField), QStringLiteral("%1: the %2 address of %3")
                                                     .arg(row.given(lipField),
                                                          lip == network ? QStringLiteral("network")
                                                                         : QStringLiteral("broadcast"),
                                                          subnet)
                                                     + allowed);
    const QByteArray *gateway = row.bytes(gatewayField);
    if (gateway && (address(*gateway) & mask) != network)
        problems.add(*row.cells.value(gatewayField),
                     QStringLiteral("%1: outside %2, the subnet of lip and mask").arg(row.given(gatewayField), subnet)
                         + allowed);
}

} // namespace

QString Plan::rowName(int number) const
{
    const QString id = row(number).id;
    return id.isEmpty() ? QStringLiteral("row %1").arg(number) : QStringLiteral("row %1 (%2)").arg(number).arg(id);
}

bool readPlan(const QByteArray &bytes, const QString &fileName, const PlanChecks &checks, Plan *plan,
              QStringList *errors, int maxErrors)
{
    return readPlan(readCsv(bytes), fileName, checks, plan, errors, maxErrors);
}

bool readPlan(const CsvTable &table, const QString &fileName, const PlanChecks &checks, Plan *plan,
              QStringList *errors, int maxErrors)
{
    Problems problems(fileName, errors, maxErrors);
    if (!table.error.isEmpty()) {
        problems.add(table.errorLine, table.errorColumn, table.error);
        return false;
    }
    std::vector<const CsvRecord *> records;
    for (const CsvRecord &record : table.records) {
        if (!isBlank(record))
            records.push_back(&record);
    }
    if (records.empty()) {
        *errors << QStringLiteral("%1: empty; its first line names the columns: id %2")
                       .arg(fileName, Client::keyList(Client::Writer::SetAll));
        return false;
    }
    const std::vector<const BlockField *> columns = readHeader(*records.front(), problems);
    if (problems.any())
        return false;
    if (records.size() == 1)
        problems.add(records.front()->line, 1, QStringLiteral("no rows after the header"));

    std::vector<ReadRow> rows;
    for (size_t r = 1; r < records.size(); ++r) {
        const CsvRecord &record = *records[r];
        if (record.fields.size() != columns.size()) {
            const bool extra = record.fields.size() > columns.size();
            problems.add(record.line, extra ? record.fields[columns.size()].column : record.endColumn,
                         QStringLiteral("columns: %1 in the header, %2 here").arg(columns.size()).arg(record.fields.size()));
            continue;
        }
        ReadRow read;
        read.row.number = int(rows.size()) + 1;
        read.row.line = record.line;
        for (size_t c = 0; c < columns.size(); ++c) {
            const CsvField &cell = record.fields[c];
            if (!columns[c]) {
                read.row.id = cell.text.trimmed();
                if (hasControlCharacter(read.row.id))
                    problems.add(cell, QStringLiteral("id: a line break or control character"));
                continue;
            }
            Client::Value value;
            QString error;
            if (Client::parseAssignment(QLatin1String(columns[c]->key) + QLatin1Char('=') + cell.text,
                                        Client::Writer::SetAll, &value, &error))
                read.row.values.insert(value);
            else
                problems.add(cell, error);
            read.cells.insert(columns[c], &cell);
        }
        rows.push_back(std::move(read));
    }
    if (problems.any())
        return false;

    if (!checks.allowDuplicates)
        checkDuplicates(rows, problems);
    if (!checks.allowOddAddresses) {
        for (const ReadRow &row : rows)
            checkSubnet(row, problems);
    }
    if (problems.any())
        return false;

    *plan = {};
    for (const BlockField &field : Protocol::blockFields()) {
        if (std::count(columns.begin(), columns.end(), &field) > 0)
            plan->fields.push_back(&field);
    }
    for (ReadRow &row : rows)
        plan->rows.push_back(std::move(row.row));
    return true;
}

} // namespace Batch
