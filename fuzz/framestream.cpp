// The simulated device fed arbitrary bytes off the line, in arbitrary pieces
// with silences between some of them. Checked beyond "no crash":
// - every byte is taken off the line exactly once, in order;
// - a complete frame gets exactly one reply, anything else none;
// - a second device handed the same frames one by one answers each the same
//   and ends in the same state, however the bytes were cut;
// - a refused frame changes nothing, an accepted one is a frame the window
//   could have built, and READ answers with the state the device holds.
//
// Input: the bytes off the line from the front; from the back, whether the
// device refuses everything, then per piece its size and whether silence follows.
#include "property.h"

#include "device/devicemodel.h"
#include "protocol/frame.h"
#include "protocol/reply.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

QByteArray state(const DeviceModel &model)
{
    return model.parameters().toBytes() + char(model.exciterAddress());
}

bool isCompleteFrame(const QByteArray &bytes)
{
    const Protocol::FrameScan scan = Protocol::scanFrame(bytes);
    return scan.kind == Protocol::FrameScan::Frame && scan.size == bytes.size();
}

bool isFailureReply(const QByteArray &reply)
{
    return reply.size() == 2 && quint8(reply.at(0)) == DeviceModel::FailureByte;
}

void checkAnswer(const QByteArray &frame, const QByteArray &reply, DeviceModel &oneByOne)
{
    const QByteArray before = state(oneByOne);
    const std::vector<DeviceExchange> alone = oneByOne.receive(frame);
    VELMORA_REQUIRE(alone.size() == 1 && alone[0].frame == frame && alone[0].reply == reply);
    VELMORA_REQUIRE(!oneByOne.hasPartialFrame());

    if (isFailureReply(reply)) {
        VELMORA_REQUIRE(state(oneByOne) == before);
        return;
    }
    const Protocol::DecodedFrame decoded = Protocol::decodeFrame(frame);
    VELMORA_REQUIRE(decoded.command != nullptr);
    VELMORA_REQUIRE(Protocol::buildFrame(decoded.command->command, decoded.payload) == frame);
    if (decoded.command->command == Protocol::Command::Read) {
        VELMORA_REQUIRE(reply == before.left(Protocol::ParameterBlock::Size));
        VELMORA_REQUIRE(state(oneByOne) == before);
    } else {
        VELMORA_REQUIRE(reply == QByteArray(1, char(Protocol::AckByte)));
    }
}

void check(const std::vector<DeviceExchange> &exchanges, DeviceModel &oneByOne, QByteArray &taken)
{
    for (const DeviceExchange &exchange : exchanges) {
        VELMORA_REQUIRE(!exchange.frame.isEmpty());
        taken += exchange.frame;
        VELMORA_REQUIRE(exchange.reply.isEmpty() != isCompleteFrame(exchange.frame));
        if (!exchange.reply.isEmpty())
            checkAnswer(exchange.frame, exchange.reply, oneByOne);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    DeviceModel device, oneByOne;
    const bool refuseAll = input.ConsumeBool();
    device.setRefuseAll(refuseAll);
    oneByOne.setRefuseAll(refuseAll);

    QByteArray given, taken;
    while (input.remaining_bytes() > 0) {
        const size_t pieceSize = input.ConsumeIntegralInRange<size_t>(0, 48);
        const bool silence = input.ConsumeIntegralInRange<int>(0, 7) == 0;
        const std::vector<char> piece = input.ConsumeBytes<char>(pieceSize);
        const QByteArray bytes(piece.data(), qsizetype(piece.size()));
        given += bytes;
        check(device.receive(bytes), oneByOne, taken);
        if (silence)
            check(device.dropPartialFrame(), oneByOne, taken);
    }
    check(device.dropPartialFrame(), oneByOne, taken);

    VELMORA_REQUIRE(!device.hasPartialFrame());
    VELMORA_REQUIRE(taken == given);
    VELMORA_REQUIRE(state(device) == state(oneByOne));
    if (refuseAll)
        VELMORA_REQUIRE(state(device) == state(DeviceModel()));
    return 0;
}
