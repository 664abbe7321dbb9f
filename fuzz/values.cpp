// "key=value" texts of any UTF-8, as velmora-cli's arguments and a plan's
// cells bring them, for both writers. Checked beyond "no crash":
// - a value that is accepted has its field's width, and printed it reads
//   back to the same bytes;
// - what the single commands accept, SET ALL accepts the same;
// - values accepted together name each key once, in the order given;
// - a refusal is one line that names the key, as shown().
//
// Input: the assignments, separated by NUL.
#include "property.h"

#include "client/values.h"

#include <optional>

using namespace Client;

namespace {

void checkRefusal(const QString &assignment, const QString &error)
{
    VELMORA_REQUIRE(!error.isEmpty() && !error.contains(QLatin1Char('\n')) && !error.contains(QLatin1Char('\r')));
    // As a message shows it: control characters escaped, cut after 60 characters.
    const QString key = assignment.section(QLatin1Char('='), 0, 0).trimmed();
    VELMORA_REQUIRE(error.contains(shown(key)));
}

void checkValue(const Value &value, Writer writer)
{
    VELMORA_REQUIRE(value.field && value.bytes.size() == value.field->width);
    VELMORA_REQUIRE(writer == Writer::SetAll || value.field->command);
    const QString printed = QLatin1String(value.field->key) + QLatin1Char('=') + valueText(*value.field, value.bytes);
    Value again;
    QString error;
    VELMORA_REQUIRE(parseAssignment(printed, writer, &again, &error));
    VELMORA_REQUIRE(again.field == value.field && again.bytes == value.bytes);
}

// Parses with writer; what it accepts, the result of the single commands' parse, or none.
std::optional<Value> parseOne(const QString &assignment, Writer writer)
{
    Value value;
    QString error;
    if (!parseAssignment(assignment, writer, &value, &error)) {
        checkRefusal(assignment, error);
        return std::nullopt;
    }
    checkValue(value, writer);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList assignments =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)).split(QChar(0));
    for (const QString &assignment : assignments) {
        const std::optional<Value> single = parseOne(assignment, Writer::SingleCommands);
        const std::optional<Value> setAll = parseOne(assignment, Writer::SetAll);
        if (single)
            VELMORA_REQUIRE(setAll && setAll->field == single->field && setAll->bytes == single->bytes);
    }

    for (const Writer writer : {Writer::SingleCommands, Writer::SetAll}) {
        ValueSet values;
        QString error;
        if (!parseAssignments(assignments, writer, &values, &error)) {
            VELMORA_REQUIRE(!error.isEmpty() && !error.contains(QLatin1Char('\n')) && !error.contains(QLatin1Char('\r')));
            continue;
        }
        VELMORA_REQUIRE(values.values().size() == size_t(assignments.size()));
        for (qsizetype i = 0; i < assignments.size(); ++i) {
            const std::optional<Value> alone = parseOne(assignments[i], writer);
            const Value &value = values.values()[size_t(i)];
            VELMORA_REQUIRE(alone && alone->field == value.field && alone->bytes == value.bytes);
            for (qsizetype j = 0; j < i; ++j)
                VELMORA_REQUIRE(values.values()[size_t(j)].field != value.field);
        }
    }
    return 0;
}
