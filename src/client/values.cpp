#include "values.h"

#include "link/phrases.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>

using Protocol::BlockField;

namespace Client {

namespace {

// What is wrong with a value, for whoever typed it or wrote it in a plan: in
// their language.
struct ValueText
{
    Q_DECLARE_TR_FUNCTIONS(Client::Values)
};

// ASCII digits only: no sign, no blanks, no digits of other scripts.
bool isDecimal(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A decimal number of at most maximum; leading zeros are fine.
bool parseNumber(QStringView text, uint maximum, uint *number)
{
    bool ok = false;
    *number = isDecimal(text) ? text.toUInt(&ok) : 0;
    return ok && *number <= maximum;
}

bool parseAddress(QStringView text, QByteArray *bytes)
{
    int parts = 0;
    for (const QStringView part : text.tokenize(QLatin1Char('.'))) {
        uint octet = 0;
        if (++parts > 4 || part.size() > 3 || !parseNumber(part, 255, &octet))
            return false;
        bytes->append(char(octet));
    }
    return parts == 4;
}

// count pairs of hex digits, joined by ':' or by '-' throughout.
bool parseHexPairs(QStringView text, int count, QByteArray *bytes)
{
    if (text.size() != count * 3 - 1)
        return false;
    const QChar separator = count > 1 ? text.at(2) : QChar();
    if (count > 1 && separator != QLatin1Char(':') && separator != QLatin1Char('-'))
        return false;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && text.at(i * 3 - 1) != separator)
            return false;
        const int high = hexDigit(text.at(i * 3));
        const int low = hexDigit(text.at(i * 3 + 1));
        if (high < 0 || low < 0)
            return false;
        bytes->append(char(high << 4 | low));
    }
    return true;
}

bool parseNumberBytes(QStringView text, const BlockField &field, QByteArray *bytes)
{
    uint number = 0;
    if (!parseNumber(text, uint(field.maximum), &number))
        return false;
    for (int i = field.width - 1; i >= 0; --i)
        bytes->append(char(number >> (8 * i)));  // high byte first
    return true;
}

QString expectation(const BlockField &field)
{
    switch (field.type) {
    case BlockField::Address:
        return ValueText::tr("expected four numbers 0 to 255 joined by dots");
    case BlockField::Mac:
    case BlockField::HexPairs:
        return field.width == 6 ? ValueText::tr("expected six hex pairs joined by ':' or '-'")
                                : ValueText::tr("expected two hex pairs joined by ':' or '-'");
    case BlockField::Number:
        return ValueText::tr("expected a whole number from 0 to %1").arg(field.maximum);
    }
    return {};
}

bool parseValue(const BlockField &field, QStringView text, QByteArray *bytes)
{
    switch (field.type) {
    case BlockField::Address:
        return parseAddress(text, bytes);
    case BlockField::Mac:
    case BlockField::HexPairs:
        return parseHexPairs(text, field.width, bytes);
    case BlockField::Number:
        return parseNumberBytes(text, field, bytes);
    }
    return false;
}

bool writes(Writer writer, const BlockField &field)
{
    return writer == Writer::SetAll || field.command.has_value();
}

} // namespace

ValueSet ValueSet::allOf(const Protocol::ParameterBlock &block)
{
    const QByteArray bytes = block.toBytes();
    ValueSet set;
    for (const BlockField &field : Protocol::blockFields())
        set.m_values.push_back({&field, bytes.mid(field.offset, field.width)});
    return set;
}

const Value *ValueSet::find(const BlockField *field) const
{
    for (const Value &value : m_values) {
        if (value.field == field)
            return &value;
    }
    return nullptr;
}

void ValueSet::insert(const Value &value)
{
    for (Value &existing : m_values) {
        if (existing.field == value.field) {
            existing = value;
            return;
        }
    }
    m_values.push_back(value);
}

void ValueSet::merge(const ValueSet &other)
{
    for (const Value &value : other.m_values)
        insert(value);
}

Protocol::ParameterBlock ValueSet::appliedTo(const Protocol::ParameterBlock &block) const
{
    QByteArray bytes = block.toBytes();
    for (const Value &value : m_values)
        bytes.replace(value.field->offset, value.field->width, value.bytes);
    return Protocol::ParameterBlock::fromBytes(bytes);
}

QStringList ValueSet::differences(const Protocol::ParameterBlock &device) const
{
    QStringList lines;
    for (const Value &value : m_values) {
        const QString held = valueText(*value.field, device);
        const QString wrote = valueText(*value.field, value.bytes);
        if (held != wrote)
            lines << Phrases::kept(Phrases::Phrase::WroteDeviceHas)
                         .arg(QLatin1String(value.field->key), wrote, held);
    }
    return lines;
}

QStringList ValueSet::keys() const
{
    QStringList names;
    for (const Value &value : m_values)
        names << QLatin1String(value.field->key);
    return names;
}

QString valueText(const BlockField &field, const QByteArray &bytes)
{
    Q_ASSERT(bytes.size() == field.width);
    const auto *octets = reinterpret_cast<const quint8 *>(bytes.constData());
    switch (field.type) {
    case BlockField::Address:
        return Protocol::dottedDecimal(octets, field.width);
    case BlockField::Mac:
    case BlockField::HexPairs:
        return QString::fromLatin1(bytes.toHex(':'));
    case BlockField::Number: {
        uint number = 0;
        for (quint8 octet : bytes)
            number = number << 8 | octet;
        return QString::number(number);
    }
    }
    return {};
}

QString valueText(const BlockField &field, const Protocol::ParameterBlock &block)
{
    return valueText(field, block.toBytes().mid(field.offset, field.width));
}

QString keyList(Writer writer)
{
    QStringList keys;
    for (const BlockField &field : Protocol::blockFields()) {
        if (writes(writer, field))
            keys << QLatin1String(field.key);
    }
    return keys.join(QLatin1Char(' '));
}

QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1String("\\n")).replace(QLatin1Char('\r'), QLatin1String("\\r"));
}

namespace {

// One code point as a message quotes it: what would break the line or hide
// in it (controls, format characters, a surrogate without its other half)
// is written as an escape.
void appendShown(QString *out, char32_t c)
{
    switch (c) {
    case U'\0':
        *out += QLatin1String("\\0");
        return;
    case U'\n':
        *out += QLatin1String("\\n");
        return;
    case U'\r':
        *out += QLatin1String("\\r");
        return;
    case U'\t':
        *out += QLatin1String("\\t");
        return;
    default:
        break;
    }
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Other_Control || category == QChar::Other_Format || category == QChar::Other_Surrogate)
        *out += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    else
        *out += QStringView(QChar::fromUcs4(c));
}

} // namespace

QString shown(QStringView text)
{
    // Counted in what a reader sees as characters: a surrogate pair, or a
    // letter with its combining marks, is one, and is never cut in two. The
    // boundaries are looked for in a prefix only, as a value may be long; a
    // cluster longer than the prefix's spare room is cut at a code point.
    constexpr qsizetype Prefix = MaxShownCharacters * 8;
    QStringView head = text.left(Prefix);
    if (head.size() < text.size() && head.back().isHighSurrogate())
        head = text.left(Prefix + 1);
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, head);
    QString result;
    qsizetype start = 0;
    for (int characters = 0; characters < MaxShownCharacters && start < head.size(); ++characters) {
        const qsizetype end = clusters.toNextBoundary();
        for (qsizetype i = start; i < end; ++i) {
            const QChar unit = head.at(i);
            if (unit.isHighSurrogate() && i + 1 < end && head.at(i + 1).isLowSurrogate())
                appendShown(&result, QChar::surrogateToUcs4(unit, head.at(++i)));
            else
                appendShown(&result, unit.unicode());
        }
        start = end;
    }
    if (start < text.size())
        result += QChar(0x2026);  // …
    return result;
}

bool parseFieldValue(const BlockField &field, QStringView text, Writer writer, Value *value, QString *error)
{
    // Made only for an error: a plan of 100,000 rows parses half a million values.
    const auto given = [&] {
        QString assignment = QLatin1String(field.key) + QLatin1Char('=');
        assignment += text;
        return shown(assignment);
    };
    if (!writes(writer, field)) {
        *error = ValueText::tr("%1: only set-all writes %2").arg(given(), QLatin1String(field.key));
        return false;
    }
    if (text.size() > MaxValueCharacters) {
        *error = ValueText::tr("%1: longer than %2 characters").arg(given()).arg(MaxValueCharacters);
        return false;
    }
    value->field = &field;
    value->bytes.clear();
    if (text.isEmpty()) {
        *error = ValueText::tr("%1: empty; %2").arg(given(), expectation(field));
        return false;
    }
    if (!parseValue(field, text, &value->bytes)) {
        *error = QStringLiteral("%1: %2").arg(given(), expectation(field));
        return false;
    }
    return true;
}

bool parseAssignment(const QString &assignment, Writer writer, Value *value, QString *error)
{
    const qsizetype equals = assignment.indexOf(QLatin1Char('='));
    if (equals < 0) {
        *error = ValueText::tr("%1: expected KEY=VALUE").arg(shown(assignment.trimmed()));
        return false;
    }
    const QString key = assignment.left(equals).trimmed();
    const QStringView text = QStringView(assignment).mid(equals + 1).trimmed();
    const BlockField *field = Protocol::blockField(key);
    if (!field) {
        *error = ValueText::tr("%1: unknown key %2; the keys are %3")
                     .arg(shown(QString(key + QLatin1Char('=') + text.toString())), shown(key), keyList(writer));
        return false;
    }
    return parseFieldValue(*field, text, writer, value, error);
}

bool parseAssignments(const QStringList &assignments, Writer writer, ValueSet *values, QString *error)
{
    for (const QString &assignment : assignments) {
        Value value;
        if (!parseAssignment(assignment, writer, &value, error))
            return false;
        if (values->contains(value.field)) {
            *error = ValueText::tr("%1: %2 is given twice").arg(shown(assignment.trimmed()),
                                                                 QLatin1String(value.field->key));
            return false;
        }
        values->insert(value);
    }
    return true;
}

} // namespace Client
