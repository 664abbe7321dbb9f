#include "plan.h"

#include "csv.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>

#include <algorithm>

using Protocol::BlockField;

namespace Batch {

namespace {

// A plan's problems, for whoever mends the plan: in their language, after the
// file:line:column that says where, which never changes.
struct PlanText
{
    Q_DECLARE_TR_FUNCTIONS(Batch::Plan)
};

const QString IdColumn = QStringLiteral("id");

// What an error is about, for the line that counts the errors not spelled out.
enum class Kind { Shape, Value, Duplicate, Address };

// Errors in the order found, which is the order of the file: every row is
// checked for every rule as it is read. At most maxErrors are spelled out.
class Problems
{
public:
    Problems(const QString &fileName, QStringList *errors, int maxErrors)
        : m_fileName(fileName), m_errors(errors), m_maxErrors(maxErrors)
    {
    }
    ~Problems()
    {
        if (m_count <= m_maxErrors)
            return;
        static const char *const Names[] = {QT_TRANSLATE_NOOP("Batch::Plan", "%1 in the file's shape"),
                                            QT_TRANSLATE_NOOP("Batch::Plan", "%1 bad values"),
                                            QT_TRANSLATE_NOOP("Batch::Plan", "%1 duplicates"),
                                            QT_TRANSLATE_NOOP("Batch::Plan", "%1 odd addresses")};
        QStringList kinds;
        for (int kind = 0; kind < 4; ++kind) {
            if (m_unshown[kind] > 0)
                kinds << PlanText::tr(Names[kind]).arg(m_unshown[kind]);
        }
        *m_errors << PlanText::tr("%1: %2 more errors: %3")
                         .arg(m_fileName, QString::number(m_count - m_maxErrors), kinds.join(PlanText::tr(", ")));
    }

    void add(int line, int column, const QString &message, Kind kind = Kind::Shape)
    {
        if (++m_count > m_maxErrors) {
            ++m_unshown[int(kind)];
            return;
        }
        // One line each, whatever a quoted cell held.
        *m_errors << QStringLiteral("%1:%2:%3: %4")
                            .arg(m_fileName, QString::number(line), QString::number(column), Client::oneLine(message));
    }
    void add(const CsvField &cell, const QString &message, Kind kind = Kind::Shape)
    {
        add(cell.line, cell.column, message, kind);
    }
    bool any() const { return m_count > 0; }

private:
    QString m_fileName;
    QStringList *m_errors;
    int m_maxErrors;
    int m_count = 0;
    int m_unshown[4] = {};
};

bool isBlank(const CsvRecord &record)
{
    for (const CsvField &field : record.fields) {
        if (!field.text.trimmed().isEmpty())
            return false;
    }
    return true;
}

bool hasControlCharacter(QStringView text)
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
    if (header.fields.size() == 1 && header.fields.front().text.contains(QLatin1Char('\t'))) {
        problems.add(header.fields.front(), PlanText::tr("columns are separated by commas or semicolons, not tabs; "
                                                "the first line names the columns: id %1").arg(keys));
        return columns;
    }
    QSet<const BlockField *> named;
    bool hasId = false;
    for (const CsvField &cell : header.fields) {
        const QString name = cell.text.trimmed();
        const BlockField *field = Protocol::blockField(name);
        const bool repeated = name == IdColumn ? hasId : named.contains(field);
        if (name.isEmpty())
            problems.add(cell, PlanText::tr("a column without a name; the first line names the columns: id %1").arg(keys));
        else if (name != IdColumn && !field)
            problems.add(cell, PlanText::tr("%1: not a column name; the first line names the columns: id %2")
                                   .arg(Client::shown(name), keys));
        else if (repeated)
            problems.add(cell, PlanText::tr("%1 is given twice").arg(Client::shown(name)));
        hasId = hasId || name == IdColumn;
        if (field)
            named.insert(field);
        columns.push_back(field);
    }
    if (!problems.any() && named.isEmpty())
        problems.add(header.line, 1, PlanText::tr("no value to write: the columns are id %1").arg(keys));
    return columns;
}

// Big-endian bytes as a number: an address, a MAC, an SN.
quint64 address(const QByteArray &bytes)
{
    quint64 number = 0;
    for (char octet : bytes)
        number = number << 8 | quint8(octet);
    return number;
}

QString addressText(quint32 number)
{
    return QStringLiteral("%1.%2.%3.%4").arg(number >> 24).arg(number >> 16 & 0xff).arg(number >> 8 & 0xff).arg(number & 0xff);
}

size_t indexOf(const BlockField *field)
{
    return size_t(field - Protocol::blockFields().data());
}

// A row being read, with the cells its values came from, while its record is at hand.
struct ReadRow
{
    PlanRow &row;
    const std::vector<const CsvField *> &cells;  // by field index in the block, nullptr where none

    const CsvField &cell(const BlockField *field) const { return *cells[indexOf(field)]; }
    QString given(const BlockField *field) const
    {
        return Client::shown(QString(QLatin1String(field->key) + QLatin1Char('=') + cell(field).text.trimmed()));
    }
    const QByteArray *bytes(const BlockField *field) const
    {
        const Client::Value *value = row.values.find(field);
        return value ? &value->bytes : nullptr;
    }
};

// Rows that share a lip, mac or sn: each value's first line, by key.
class DuplicateCheck
{
public:
    DuplicateCheck(const std::vector<const BlockField *> &columns, size_t rows)
    {
        for (int i = 0; i < 3; ++i) {
            if (std::count(columns.begin(), columns.end(), m_fields[i]) > 0)
                m_lines[i].reserve(qsizetype(rows));
        }
    }

    void check(const ReadRow &row, Problems &problems)
    {
        for (int i = 0; i < 3; ++i) {
            const QByteArray *bytes = row.bytes(m_fields[i]);
            if (!bytes)
                continue;  // no such column, or a bad value
            const quint64 key = address(*bytes);
            const auto first = m_lines[i].constFind(key);
            if (first == m_lines[i].cend())
                m_lines[i].insert(key, row.row.line);
            else
                problems.add(row.cell(m_fields[i]), PlanText::tr("%1: also on line %2 (--allow-duplicates allows it)")
                                                        .arg(row.given(m_fields[i]), QString::number(first.value())),
                             Kind::Duplicate);
        }
    }

private:
    const BlockField *m_fields[3] = {Protocol::blockField(u"lip"), Protocol::blockField(u"mac"),
                                     Protocol::blockField(u"sn")};
    QHash<quint64, int> m_lines[3];
};

// A device's address is no subnet's network or broadcast address, and its
// gateway is in its subnet.
void checkSubnet(const ReadRow &row, Problems &problems)
{
    static const BlockField *lipField = Protocol::blockField(u"lip");
    static const BlockField *maskField = Protocol::blockField(u"mask");
    static const BlockField *gatewayField = Protocol::blockField(u"gateway");
    const QByteArray *lipBytes = row.bytes(lipField);
    const QByteArray *maskBytes = row.bytes(maskField);
    if (!lipBytes || !maskBytes)
        return;
    const QString allowed = PlanText::tr(" (--allow-odd-addresses allows it)");
    const quint32 lip = quint32(address(*lipBytes));
    const quint32 mask = quint32(address(*maskBytes));
    const quint32 hosts = ~mask;
    if ((hosts & (hosts + 1)) != 0) {
        problems.add(row.cell(maskField),
                     PlanText::tr("%1: not a subnet mask, its ones must come first").arg(row.given(maskField)) + allowed,
                     Kind::Address);
        return;
    }
    const quint32 network = lip & mask;
    // In a subnet of one or two addresses, every address is a host's.
    const bool odd = hosts > 1 && (lip == network || lip == (network | hosts));
    const QByteArray *gateway = row.bytes(gatewayField);
    const bool outside = gateway && (quint32(address(*gateway)) & mask) != network;
    if (!odd && !outside)
        return;
    const QString subnet = QStringLiteral("%1/%2").arg(addressText(network)).arg(32 - qPopulationCount(hosts));
    if (odd)
        problems.add(row.cell(lipField),
                     (lip == network ? PlanText::tr("%1: the network address of %2") : PlanText::tr("%1: the broadcast address of %2"))
                             .arg(row.given(lipField), subnet)
                         + allowed,
                     Kind::Address);
    if (outside)
        problems.add(row.cell(gatewayField),
                     PlanText::tr("%1: outside %2, the subnet of lip and mask").arg(row.given(gatewayField), subnet)
                         + allowed,
                     Kind::Address);
}

} // namespace

QString Plan::rowName(int number) const
{
    const QString id = row(number).id;
    return id.isEmpty() ? PlanText::tr("row %1").arg(number) : PlanText::tr("row %1 (%2)").arg(number).arg(id);
}

QString Plan::deviceName(int number) const
{
    const QString id = row(number).id;
    const QString device = PlanText::tr("device %1 of %2").arg(number).arg(size());
    return id.isEmpty() ? device : PlanText::tr("%1 (id %2)").arg(device, id);
}

bool readPlan(const QByteArray &bytes, const QString &fileName, const PlanChecks &checks, Plan *plan,
              QStringList *errors, int maxErrors)
{
    CsvReader reader(bytes);
    Problems problems(fileName, errors, maxErrors);
    const auto csvError = [&] {
        if (!reader.error().isEmpty())
            problems.add(reader.errorLine(), reader.errorColumn(), reader.error());
    };
    CsvRecord record;
    bool headerFound = false;
    while (!headerFound && reader.next(&record))
        headerFound = !isBlank(record);
    if (!headerFound) {
        csvError();
        if (reader.error().isEmpty())
            *errors << PlanText::tr("%1: empty; its first line names the columns: id %2")
                           .arg(fileName, Client::keyList(Client::Writer::SetAll));
        return false;
    }
    const int headerLine = record.line;
    const std::vector<const BlockField *> columns = readHeader(record, problems);
    if (problems.any())
        return false;

    std::vector<PlanRow> rows;
    rows.reserve(size_t(bytes.count('\n')) + 1);
    // A value the row above has too (a fixed mask, a gateway) shares its bytes.
    std::vector<QByteArray> above(Protocol::blockFields().size());
    const size_t valueColumns = size_t(std::count_if(columns.begin(), columns.end(), [](auto *field) { return field; }));
    DuplicateCheck duplicates(columns, checks.allowDuplicates ? 0 : rows.capacity());
    std::vector<const CsvField *> cells(Protocol::blockFields().size(), nullptr);
    while (reader.next(&record)) {
        if (isBlank(record))
            continue;
        if (record.fields.size() != columns.size()) {
            const bool extra = record.fields.size() > columns.size();
            problems.add(record.line, extra ? record.fields[columns.size()].column : record.endColumn,
                         PlanText::tr("columns: %1 in the header, %2 here").arg(columns.size()).arg(record.fields.size()));
            continue;
        }
        PlanRow row;
        row.number = int(rows.size()) + 1;
        row.line = record.line;
        row.values.reserve(valueColumns);
        std::fill(cells.begin(), cells.end(), nullptr);
        for (size_t c = 0; c < columns.size(); ++c) {
            const CsvField &cell = record.fields[c];
            const QStringView text = QStringView(cell.text).trimmed();
            if (!columns[c]) {
                if (text.size() > MaxIdCharacters)
                    problems.add(cell, PlanText::tr("id %1: longer than %2 characters")
                                           .arg(Client::shown(text)).arg(MaxIdCharacters), Kind::Value);
                else if (hasControlCharacter(text))
                    problems.add(cell, PlanText::tr("id %1: a line break or control character").arg(Client::shown(text)),
                                 Kind::Value);
                else
                    row.id = text.toString();
                continue;
            }
            Client::Value value;
            QString error;
            if (Client::parseFieldValue(*columns[c], text, Client::Writer::SetAll, &value, &error)) {
                QByteArray &shared = above[indexOf(columns[c])];
                if (value.bytes == shared)
                    value.bytes = shared;
                else
                    shared = value.bytes;
                row.values.insert(value);
            } else
                problems.add(cell, error, Kind::Value);
            cells[indexOf(columns[c])] = &cell;
        }
        const ReadRow read{row, cells};
        if (!checks.allowDuplicates)
            duplicates.check(read, problems);
        if (!checks.allowOddAddresses)
            checkSubnet(read, problems);
        rows.push_back(std::move(row));
    }
    csvError();
    if (rows.empty() && !problems.any())
        problems.add(headerLine, 1, PlanText::tr("no rows after the header"));
    if (problems.any())
        return false;

    *plan = {};
    for (const BlockField &field : Protocol::blockFields()) {
        if (std::count(columns.begin(), columns.end(), &field) > 0)
            plan->fields.push_back(&field);
    }
    rows.shrink_to_fit();
    plan->rows = std::move(rows);
    return true;
}

} // namespace Batch
