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

std::unique_ptr<WireTrace> WireTrace::forPort(const QString &port) const
{
    auto trace = std::make_unique<WireTrace>(m_out);
    trace->m_clock = m_clock;
    trace->m_label = port.toLocal8Bit() + ' ';
    return trace;
}

void WireTrace::write(const char *direction, const QByteArray &text)
{
    const double milliseconds = double(m_clock.nsecsElapsed()) / 1e6;
    QByteArray line = QByteArray::number(milliseconds, 'f', 1);
    line += ' ';
    line += m_label;
    line += direction;
    line += ' ';
    line += text;
    line += '\n';
    m_out->write(line);
}
