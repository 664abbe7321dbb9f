#include "csv.h"

#include <QStringDecoder>

namespace Batch {

namespace {

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

CsvTable readCsv(const QByteArray &input)
{
    CsvTable table;
    QByteArrayView bytes = input;
    if (bytes.startsWith("\xef\xbb\xbf"))
        bytes = bytes.sliced(3);
    const char separator = separatorOf(bytes);
    table.separator = QLatin1Char(separator);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);

    const auto fail = [&table](int line, int column, const QString &error) {
        table.error = error;
        table.errorLine = line;
        table.errorColumn = column;
        return table;
    };

    Cursor cursor(bytes);
    while (!cursor.atEnd()) {
        CsvRecord record;
        record.line = cursor.line();
        for (;;) {
            CsvField field;
            field.line = cursor.line();
            field.column = cursor.column();
            QByteArray text;
            if (cursor.peek() == Quote) {
                cursor.take();
                for (;;) {
                    if (cursor.atEnd())
                        return fail(field.line, field.column, QStringLiteral("the quote opened here is never closed"));
                    const char byte = cursor.take();
                    if (byte == Quote && cursor.peek() != Quote)
                        break;
                    if (byte == Quote)
                        cursor.take();  // "" is one quote
                    text += byte;
                }
                if (!cursor.atEnd() && cursor.peek() != separator && !isLineEnd(cursor.peek()))
                    return fail(cursor.line(), cursor.column(),
                                QStringLiteral("expected '%1' or the end of the line after a closing quote")
                                    .arg(QLatin1Char(separator)));
            } else {
                while (!cursor.atEnd() && cursor.peek() != separator && !isLineEnd(cursor.peek()))
                    text += cursor.take();
            }
            utf8.resetState();
            field.text = utf8.decode(text);
            if (utf8.hasError())
                return fail(field.line, field.column, QStringLiteral("not UTF-8 text"));
            record.fields.push_back(std::move(field));

            if (cursor.atEnd() || cursor.peek() != separator)
                break;
            cursor.take();
        }
        record.endColumn = cursor.column();
        if (!cursor.atEnd() && cursor.take() == '\r' && cursor.peek() == '\n')
            cursor.take();
        table.records.push_back(std::move(record));
    }
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
