#include "linetap.h"

namespace Bench {

LineTap::LineTap(const QString &port, QObject *parent) : QIODevice(parent), m_port(port)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    m_trace = std::make_unique<WireTrace>(this);
}

LineTap::~LineTap() = default;

qint64 LineTap::writeData(const char *data, qint64 size)
{
    m_partial.append(data, qsizetype(size));
    for (qsizetype end; (end = m_partial.indexOf('\n')) >= 0;) {
        emit line(m_port, m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
    return size;
}

} // namespace Bench
