// Parameter values as a person types them: "port=8900", "mac=00:1e:ce:00:79:01".
// Checked before anything is sent, set over a block read from the device, and
// compared with what the device holds afterwards.
#pragma once

#include "protocol/parameterblock.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace Client {

struct Value
{
    const Protocol::BlockField *field = nullptr;
    QByteArray bytes;  // as they lie in the block, which is also the single command's payload
};

// Who is to write the values: only SET ALL carries mode and the reserved bytes.
enum class Writer { SingleCommands, SetAll };

// Values, each key at most once, in the order they were given.
class ValueSet
{
public:
    // Every value of a block.
    static ValueSet allOf(const Protocol::ParameterBlock &block);

    const std::vector<Value> &values() const { return m_values; }
    bool isEmpty() const { return m_values.empty(); }
    void reserve(size_t count) { m_values.reserve(count); }
    bool contains(const Protocol::BlockField *field) const { return find(field); }
    // The value of field, or nullptr.
    const Value *find(const Protocol::BlockField *field) const;
    // Replaces the value of the same key, if there is one.
    void insert(const Value &value);
    // Each value of other, over the value of the same key here.
    void merge(const ValueSet &other);

    Protocol::ParameterBlock appliedTo(const Protocol::ParameterBlock &block) const;
    // One line per value the device does not hold: "port: wrote 8900, device has 8901".
    QStringList differences(const Protocol::ParameterBlock &device) const;
    QStringList keys() const;

private:
    std::vector<Value> m_values;
};

// "192.168.0.1", "00:1e:ce:00:79:01", "8900", "00:00": the value as text.
QString valueText(const Protocol::BlockField &field, const QByteArray &bytes);
QString valueText(const Protocol::BlockField &field, const Protocol::ParameterBlock &block);

// The keys a writer takes, space-separated, for messages and help.
QString keyList(Writer writer);

// text with its line breaks written as \n and \r, for a message of one line.
QString oneLine(QString text);

// How much of a value a message quotes, and how long a value may be at all.
constexpr int MaxShownCharacters = 60;
constexpr int MaxValueCharacters = 256;

// text for a message of one line: control and format characters escaped (\0,
// \n, \t, \u001b), cut after MaxShownCharacters characters with "…". A
// character is what a reader sees as one: a surrogate pair, or a letter and
// its combining marks, is never cut in two.
QString shown(QStringView text);

// The value of field as text (blanks around it dropped already); the error
// names the key and the value.
bool parseFieldValue(const Protocol::BlockField &field, QStringView text, Writer writer, Value *value,
                     QString *error);

// One "key=value" (blanks around either are dropped). On failure returns false
// and a one-line error in *error that names the key and the value.
bool parseAssignment(const QString &assignment, Writer writer, Value *value, QString *error);
// Each argument is a "key=value"; a key given twice is refused too.
bool parseAssignments(const QStringList &assignments, Writer writer, ValueSet *values, QString *error);

} // namespace Client
