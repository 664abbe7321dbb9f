#include "wiretrace.h"

#include <QFile>

#include <cstdio>

WireTrace::WireTrace(QIODevice *out) : m_out(out)
{
    m_clock.start();
}

WireTrace::~WireTrace() = default;

std::unique_ptr<WireTrace> WireTrace::toStandardError()
{
    auto file = std::make_unique<QFile>();
    file->open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    auto trace = std::make_unique<WireTrace>(file.get());
    trace->m_ownedOut = std::move(file);
    return trace;
}

void WireTrace::write(const char *direction, const QByteArray &bytes, const char *note)
{
    const double milliseconds = double(m_clock.nsecsElapsed()) / 1e6;
    QByteArray line = QByteArray::number(milliseconds, 'f', 1);
    line += ' ';
    line += direction;
    line += ' ';
    line += bytes.toHex(' ');
    line += note;
    line += '\n';
    m_out->write(line);
}
