// Profile files of any bytes, read as velmora-cli reads them, and applied
// over a device's block as set-all --profile does. Checked beyond "no crash":
// - a profile that parses, applied over the block and printed back, parses
//   again to the same values and to that block, byte for byte; printing
//   fails only for a block whose serial number no profile may hold;
// - a refusal is one line, "FILE:LINE: ...", of a line the file has.
//
// Input: the device's 31 bytes (zeros for those missing), then the file.
#include "property.h"

#include "client/profile.h"

#include <QRegularExpression>

#include <algorithm>

using namespace Client;

namespace {

const QString FileName = QStringLiteral("p%1.conf");

void checkRefusal(const QString &text, const QString &error)
{
    static const QRegularExpression format(QStringLiteral("^p%1\\.conf:(\\d+): [^\\n\\r]+\\z"));
    const QRegularExpressionMatch match = format.match(error);
    VELMORA_REQUIRE(match.hasMatch());
    const int line = match.captured(1).toInt();
    VELMORA_REQUIRE(line >= 1 && line <= text.count(QLatin1Char('\n')) + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const qsizetype blockSize = std::min<qsizetype>(Protocol::ParameterBlock::Size, qsizetype(size));
    QByteArray deviceBytes(reinterpret_cast<const char *>(data), blockSize);
    deviceBytes.resize(Protocol::ParameterBlock::Size, '\0');
    const auto device = Protocol::ParameterBlock::fromBytes(deviceBytes);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data) + blockSize,
                                           qsizetype(size) - blockSize);

    ValueSet values;
    QString error;
    if (!parseProfile(text, FileName, &values, &error)) {
        checkRefusal(text, error);
        return 0;
    }
    const Protocol::ParameterBlock written = values.appliedTo(device);
    ValueSet again;
    const bool printable = written.serialNumber <= Protocol::blockField(u"sn")->maximum;
    VELMORA_REQUIRE(parseProfile(profileText(written), FileName, &again, &error) == printable);
    if (!printable)
        return 0;
    VELMORA_REQUIRE(again.values().size() == Protocol::blockFields().size());
    VELMORA_REQUIRE(again.appliedTo({}).toBytes() == written.toBytes());
    for (const Value &value : values.values())
        VELMORA_REQUIRE(again.find(value.field)->bytes == value.bytes);
    return 0;
}
