#include "csv.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace Batch {

namespace {

// What is not CSV in a file, for whoever mends it: in their language.
struct CsvText
{
    Q_DECLARE_TR_FUNCTIONS(Batch::Csv)
};

constexpr char Quote = '"';

bool isLineEnd(char byte)
{
    return byte == '\n' || byte == '\r';
}

// The first ',' or ';' of the first line outside quotes; ',' if there is none.
char separatorOf(QByteArrayView bytes)
{
    bool quoted = false;
    for (char byte : bytes) {
        if (byte == Quote)
            quoted = !quoted;
        else if (!quoted && (byte == ',' || byte == ';'))
            return byte;
        else if (!quoted && isLineEnd(byte))
            break;
    }
    return ',';
}

// Walks the bytes and knows the line and column of the next one.
class Cursor
{
public:
    explicit Cursor(QByteArrayView bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_position >= m_bytes.size(); }
    char peek() const { return atEnd() ? '\0' : m_bytes[m_position]; }
    int line() const { return m_line; }
    int column() const { return m_column; }

    char take()
    {
        const char byte = m_bytes[m_position++];
        if (byte == '\n' || (byte == '\r' && peek() != '\n')) {
            ++m_line;
            m_column = 1;
        } else if ((byte & 0xc0) != 0x80) {  // not the continuation of a UTF-8 sequence
            ++m_column;
        }
        return byte;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_position = 0;
    int m_line = 1;
    int m_column = 1;
};

} // namespace

struct CsvReader::State
{
    explicit State(QByteArrayView input) : bytes(input), cursor(input) {}

    QByteArrayView bytes;
    Cursor cursor;
    char separator = ',';
    QStringDecoder utf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
    QByteArray text;  // the field being read, kept to reuse its memory
};

namespace {

QByteArrayView withoutByteOrderMark(const QByteArray &input)
{
    QByteArrayView bytes = input;
    return bytes.startsWith("\xef\xbb\xbf") ? bytes.sliced(3) : bytes;
}

} // namespace

CsvReader::CsvReader(const QByteArray &bytes) : m_state(std::make_unique<State>(withoutByteOrderMark(bytes)))
{
    m_state->separator = separatorOf(m_state->bytes);
}

CsvReader::~CsvReader() = default;

QChar CsvReader::separator() const
{
    return QLatin1Char(m_state->separator);
}

bool CsvReader::fail(int line, int column, const QString &error)
{
    m_error = error;
    m_errorLine = line;
    m_errorColumn = column;
    return false;
}

bool CsvReader::next(CsvRecord *record)
{
    Cursor &cursor = m_state->cursor;
    const char separator = m_state->separator;
    QByteArray &text = m_state->text;
    if (!m_error.isEmpty() || cursor.atEnd())
        return false;
    record->line = cursor.line();
    record->fields.clear();
    for (;;) {
        CsvField field;
        field.line = cursor.line();
        field.column = cursor.column();
        text.truncate(0);  // keeps its memory for the next field
        if (cursor.peek() == Quote) {
            cursor.take();
            for (;;) {
                if (cursor.atEnd())
                    return fail(field.line, field.column, CsvText::tr("the quote opened here is never closed"));
                const char byte = cursor.take();
                if (byte == Quote && cursor.peek() != Quote)
                    break;
                if (byte == Quote)
                    cursor.take();  // "" is one quote
                text += byte;
            }
            if (!cursor.atEnd() && cursor.peek() != separator && !isLineEnd(cursor.peek()))
                return fail(cursor.line(), cursor.column(),
                            CsvText::tr("expected '%1' or the end of the line after a closing quote")
                                .arg(QLatin1Char(separator)));
        } else {
            while (!cursor.atEnd() && cursor.peek() != separator && !isLineEnd(cursor.peek()))
                text += cursor.take();
        }
        m_state->utf8.resetState();
        field.text = m_state->utf8.decode(text);
        if (m_state->utf8.hasError())
            return fail(field.line, field.column, CsvText::tr("not UTF-8 text"));
        record->fields.push_back(std::move(field));

        if (cursor.atEnd() || cursor.peek() != separator)
            break;
        cursor.take();
    }
    record->endColumn = cursor.column();
    if (!cursor.atEnd() && cursor.take() == '\r' && cursor.peek() == '\n')
        cursor.take();
    return true;
}

CsvTable readCsv(const QByteArray &input)
{
    CsvTable table;
    CsvReader reader(input);
    table.separator = reader.separator();
    CsvRecord record;
    while (reader.next(&record))
        table.records.push_back(std::move(record));
    table.error = reader.error();
    table.errorLine = reader.errorLine();
    table.errorColumn = reader.errorColumn();
    return table;
}

QString csvField(const QString &text, QChar separator)
{
    const QChar quote = QLatin1Char(Quote);
    if (!text.contains(separator) && !text.contains(quote) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    return quote + QString(text).replace(quote, QStringLiteral("\"\"")) + quote;
}

} // namespace Batch
