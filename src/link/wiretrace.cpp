#include "wiretrace.h"

#include <QIODevice>

WireTrace::WireTrace(QIODevice *out) : m_out(out)
{
    m_clock.start();
}

void WireTrace::write(const char *direction, const QByteArray &bytes)
{
    const double milliseconds = double(m_clock.nsecsElapsed()) / 1e6;
    QByteArray line = QByteArray::number(milliseconds, 'f', 1);
    line += ' ';
    line += direction;
    line += ' ';
    line += bytes.toHex(' ');
    line += '\n';
    m_out->write(line);
}
