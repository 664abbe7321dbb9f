#include "framelog.h"

#include "protocol/parameterblock.h"

namespace FrameLog {

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

QString describeCommand(const Protocol::DecodedFrame &frame)
{
    using Protocol::Command;
    Q_ASSERT(frame.command);
    const QString name = QString::fromLatin1(frame.command->name);
    const auto octets = reinterpret_cast<const quint8 *>(frame.payload.constData());
    const QString set = QStringLiteral("SET ") + name + QLatin1Char(' ');

    switch (frame.command->command) {
    case Command::Gateway:
    case Command::LocalIp:
    case Command::Mask:
    case Command::ServerIp:
        return set + Protocol::dottedDecimal(octets, 4);
    case Command::Mac:
        return set + Protocol::dottedHex(octets, 6);
    case Command::Port:
    case Command::T1:
    case Command::SerialNumber:
        return set + QString::number(Protocol::fromBigEndian16(frame.payload));
    case Command::ExciterAddress:
        return set + hexBytes(frame.payload);
    case Command::SetAll:
        // The READ report's lines, on one line: the same names a READ shows.
        return name + QLatin1Char(' ')
               + Protocol::readReport(Protocol::ParameterBlock::fromBytes(frame.payload))
                     .replace(QLatin1String("\r\n"), QLatin1String(" "));
    case Command::Reset:
    case Command::Read:
        return name;
    }
    return name;
}

} // namespace FrameLog
