// Field texts of any UTF-16, through the conversions that turn them into
// payload bytes and through the input rules that decide what a field holds.
// Checked beyond "no crash":
// - the 16-bit parse reads its text as digits in base 10 modulo 65536, so a
//   text split in two parses to first * 10^length(second) + second, and it
//   stops at the first NUL;
// - whatever an input rule lets a field hold is sent as the number it reads,
//   within the rule's range; an empty field is sent as 0.
//
// Input: the text, two bytes a character, in the machine's byte order.
#include "property.h"

#include "protocol/frame.h"
#include "window/inputrules.h"

#include <QObject>
#include <QValidator>

#include <cstring>
#include <optional>

namespace {

quint16 parse(const QByteArray &latin1)
{
    return quint16(Protocol::parseShort(latin1.constData()));
}

quint16 powerOfTen(qsizetype exponent)
{
    quint16 power = 1;
    for (qsizetype i = 0; i < exponent; ++i)
        power = quint16(power * 10u);
    return power;
}

// The number a text of digits reads in the given base; none for any other text.
std::optional<uint> digitsValue(const QString &text, int base)
{
    uint value = 0;
    for (const QChar c : text) {
        int digit = -1;
        if (c.isDigit())  // of any script, so that a rule letting one through is caught
            digit = c.digitValue();
        else if (base == 16 && c.toLower() >= u'a' && c.toLower() <= u'f')
            digit = c.toLower().unicode() - 'a' + 10;
        if (digit < 0 || digit >= base || value > 0xFFFFFF)
            return std::nullopt;
        value = value * uint(base) + uint(digit);
    }
    return value;
}

void checkParse(const QString &text)
{
    const QByteArray latin1 = text.toLatin1();  // as the window hands a field to the parser
    const qsizetype end = latin1.indexOf('\0');
    const QByteArray bytes = end < 0 ? latin1 : latin1.left(end);
    VELMORA_REQUIRE(parse(latin1) == parse(bytes));
    const qsizetype half = bytes.size() / 2;
    const QByteArray first = bytes.left(half), second = bytes.mid(half);
    VELMORA_REQUIRE(parse(bytes) == quint16(uint(parse(first)) * powerOfTen(second.size()) + parse(second)));
}

struct Rule
{
    QValidator *validator;
    int base;
    uint max;
    bool sixteenBits;  // sent through the 16-bit parse, not as one byte
};

void checkRule(const Rule &rule, QString text)
{
    int position = 0;
    const QValidator::State state = rule.validator->validate(text, position);
    if (state == QValidator::Invalid)
        return;
    const std::optional<uint> value = digitsValue(text, rule.base);
    if (state == QValidator::Acceptable)
        VELMORA_REQUIRE(value && *value <= rule.max);
    else  // what a field may hold unfinished: nothing, or a first digit
        VELMORA_REQUIRE(text.isEmpty() || value);
    if (!value)
        return;
    if (rule.sixteenBits)
        VELMORA_REQUIRE(parse(text.toLatin1()) == *value);
    else if (rule.base == 10)
        VELMORA_REQUIRE(Protocol::decimalByte(text) == *value);
    else
        VELMORA_REQUIRE(Protocol::hexByte(text) == *value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QObject owner;
    static const Rule rules[] = {
        {InputRules::octet(&owner), 10, 255, false},
        {InputRules::hexPair(&owner), 16, 255, false},
        {InputRules::serialNumber(&owner), 10, 249, true},
        {InputRules::number16(&owner), 10, 65535, true},
    };

    QString text(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, size / 2 * 2);

    checkParse(text);
    (void)Protocol::decimalByte(text);
    (void)Protocol::hexByte(text);
    for (const Rule &rule : rules)
        checkRule(rule, text);
    return 0;
}
