// Plan files of any bytes through the CSV reader and the plan's checks, as
// velmora-cli batch reads them. Checked beyond "no crash":
// - every row of a plan that is accepted holds a value for each of the plan's
//   keys and nothing else, each one a value the command line would accept;
// - the plan written back as plain CSV reads back to the same rows;
// - a refusal is at most MaxErrors lines and one to count the rest, each
//   naming the file and, but for an empty file, a line the file has and a
//   column.
//
// Input: byte 0 chooses the checks to relax (bit 0: duplicates, bit 1: odd
// addresses; '0' relaxes none), the rest is the file.
#include "property.h"

#include "batch/csv.h"
#include "batch/plan.h"

#include <QRegularExpression>

using namespace Batch;

namespace {

const QString FileName = QStringLiteral("plan%1.csv");

int lineCount(const QByteArray &bytes)
{
    int lines = 1;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        lines += bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'));
    return lines;
}

void checkRefusal(const QByteArray &bytes, const QStringList &errors)
{
    static const QRegularExpression placed(QStringLiteral("^plan%1\\.csv:(\\d+):(\\d+): [^\\n\\r]+\\z"));
    static const QRegularExpression whole(QStringLiteral("^plan%1\\.csv: (empty; [^\\n\\r]+|\\d+ more errors: [^\\n\\r]+)\\z"));
    VELMORA_REQUIRE(!errors.isEmpty() && errors.size() <= MaxErrors + 1);
    for (const QString &error : errors) {
        const QRegularExpressionMatch match = placed.match(error);
        if (!match.hasMatch()) {
            VELMORA_REQUIRE(whole.match(error).hasMatch());
            continue;
        }
        const int line = match.captured(1).toInt();
        VELMORA_REQUIRE(line >= 1 && line <= lineCount(bytes) && match.captured(2).toInt() >= 1);
    }
}

void checkRow(const Plan &plan, const PlanRow &row)
{
    VELMORA_REQUIRE(row.values.values().size() == plan.fields.size());
    for (const Protocol::BlockField *field : plan.fields) {
        const Client::Value *value = row.values.find(field);
        VELMORA_REQUIRE(value);
        Client::Value again;
        QString error;
        const QString text = Client::valueText(*field, value->bytes);
        VELMORA_REQUIRE(Client::parseAssignment(QLatin1String(field->key) + QLatin1Char('=') + text,
                                                Client::Writer::SetAll, &again, &error));
        VELMORA_REQUIRE(again.bytes == value->bytes);
    }
}

QByteArray plainCsv(const Plan &plan)
{
    QStringList header = {QStringLiteral("id")};
    for (const Protocol::BlockField *field : plan.fields)
        header << QLatin1String(field->key);
    QString text = header.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const PlanRow &row : plan.rows) {
        QStringList cells = {csvField(row.id)};
        for (const Protocol::BlockField *field : plan.fields)
            cells << Client::valueText(*field, row.values.find(field)->bytes);
        text += cells.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text.toUtf8();
}

bool sameRows(const Plan &a, const Plan &b)
{
    if (a.fields != b.fields || a.size() != b.size())
        return false;
    for (int number = 1; number <= a.size(); ++number) {
        if (a.row(number).id != b.row(number).id)
            return false;
        for (const Protocol::BlockField *field : a.fields) {
            if (a.row(number).values.find(field)->bytes != b.row(number).values.find(field)->bytes)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    PlanChecks checks;
    checks.allowDuplicates = data[0] & 1;
    checks.allowOddAddresses = data[0] & 2;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));

    Plan plan;
    QStringList errors;
    if (!readPlan(bytes, FileName, checks, &plan, &errors)) {
        checkRefusal(bytes, errors);
        return 0;
    }
    VELMORA_REQUIRE(errors.isEmpty() && !plan.fields.empty() && plan.size() > 0);
    for (const PlanRow &row : plan.rows) {
        VELMORA_REQUIRE(row.number >= 1 && row.number <= plan.size() && &plan.row(row.number) == &row);
        checkRow(plan, row);
    }

    Plan again;
    VELMORA_REQUIRE(readPlan(plainCsv(plan), FileName, checks, &again, &errors));
    VELMORA_REQUIRE(sameRows(plan, again));
    return 0;
}
