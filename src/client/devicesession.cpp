#include "devicesession.h"

#include "link/phrases.h"

#include <utility>

using Protocol::Command;

namespace Client {

DeviceSession::DeviceSession(QObject *parent) : QObject(parent) {}

void DeviceSession::begin(Callback done)
{
    Q_ASSERT(!isBusy());
    m_result = {};
    m_done = std::move(done);
}

void DeviceSession::read(Callback done)
{
    begin(std::move(done));
    send(Command::Read, {}, [this] { finish(OperationResult::Done); });
}

void DeviceSession::set(const ValueSet &values, bool verify, Callback done)
{
    begin(std::move(done));
    setFrom(values, 0, verify);
}

void DeviceSession::setFrom(const ValueSet &values, size_t index, bool verify)
{
    if (index == values.values().size()) {
        if (verify)
            verifyThenFinish(values);
        else
            finish(OperationResult::Done);
        return;
    }
    const Value &value = values.values().at(index);
    Q_ASSERT(value.field->command);
    send(*value.field->command, value.bytes, [this, values, index, verify] {
        setFrom(values, index + 1, verify);
    });
}

void DeviceSession::setAll(const ValueSet &values, bool verify, Callback done)
{
    begin(std::move(done));
    send(
        Command::Read, {},
        [this, values, verify] {
            const Protocol::ParameterBlock block = values.appliedTo(*m_result.device);
            m_result.written = block;
            Failed unacknowledged;
            if (verify) {
                unacknowledged = [this, block](OperationResult::Status status, const QString &error) {
                    verifyUnacknowledged(block, status, error);
                };
            }
            send(
                Command::SetAll, block.toBytes(),
                [this, block, verify] {
                    if (verify)
                        verifyThenFinish(ValueSet::allOf(block));
                    else
                        finish(OperationResult::Done);
                },
                LineTransport::Check::Plain, unacknowledged);
        },
        LineTransport::Check::Strict);
}

// The refusal may have been a late answer to an earlier frame, and the
// acknowledgement may come late itself: what the device holds tells.
void DeviceSession::verifyUnacknowledged(const Protocol::ParameterBlock &written, OperationResult::Status status,
                                         const QString &error)
{
    if (status == OperationResult::LineFailed) {
        finish(status, error);
        return;
    }
    m_result.device.reset();
    send(
        Command::Read, {},
        [this, written, status, error] {
            if (*m_result.device == written) {
                m_result.notes << error + QLatin1String(", but the device holds what was written");
                finish(OperationResult::Done);
            } else {
                finish(status, error);
            }
        },
        LineTransport::Check::Plain, [this, status, error](OperationResult::Status, const QString &) {
            finish(status, error);
        });
}

void DeviceSession::reset(Callback done)
{
    begin(std::move(done));
    send(Command::Reset, {}, [this] { finish(OperationResult::Done); });
}

void DeviceSession::verifyThenFinish(const ValueSet &written)
{
    send(Command::Read, {}, [this, written] {
        m_result.differences = written.differences(*m_result.device);
        if (m_result.differences.isEmpty())
            finish(OperationResult::Done);
        else
            finish(OperationResult::Mismatch, Phrases::kept(Phrases::Phrase::ValuesDiffer)
                                                  .arg(m_result.differences.size())
                                                  .arg(written.values().size()));
    });
}

void DeviceSession::send(Command command, const QByteArray &payload, Next next, LineTransport::Check check,
                         Failed failed)
{
    const Protocol::CommandInfo &info = Protocol::info(command);
    const auto awaiting = command == Command::Read ? ReplyAssembler::Awaiting::Block
                                                   : ReplyAssembler::Awaiting::Acknowledgement;
    if (!failed)
        failed = [this](OperationResult::Status status, const QString &error) { finish(status, error); };
    m_line.exchange(Protocol::buildFrame(command, payload), awaiting,
                    [this, &info, command, next, failed](const LineTransport::Result &reply) {
        const QString name = QLatin1String(info.name);
        m_result.lateBytes += reply.lateBytes;
        switch (reply.verdict.kind) {
        case ReplyAssembler::Verdict::Acknowledged:
            m_result.acknowledged << QString::fromUtf8(info.successText);
            next();
            return;
        case ReplyAssembler::Verdict::Block:
            m_result.device = Protocol::ParameterBlock::fromBytes(reply.verdict.bytes);
            next();
            return;
        case ReplyAssembler::Verdict::Refused:
            failed(OperationResult::Refused, Phrases::kept(Phrases::Phrase::Refused)
                                                 .arg(name, QString::fromLatin1(reply.verdict.bytes.toHex(' '))));
            return;
        case ReplyAssembler::Verdict::Garbled:
            failed(OperationResult::NoAnswer,
                   Phrases::kept(Phrases::Phrase::NoCleanAnswer)
                       .arg(name)
                       .arg(reply.frames)
                       .arg(command != Command::Read ? Phrases::kept(Phrases::Phrase::LateRefusal)
                            : ReplyAssembler::isPlausible(reply.verdict.bytes)
                                ? Phrases::kept(Phrases::Phrase::LateBlock)
                                : Phrases::kept(Phrases::Phrase::ImplausibleBlock)));
            return;
        case ReplyAssembler::Verdict::NoAnswer:
        case ReplyAssembler::Verdict::Pending:
            break;
        }
        if (!reply.lineError.isEmpty())
            failed(OperationResult::LineFailed, Phrases::kept(Phrases::Phrase::LineFailedDuring).arg(name, reply.lineError));
        else
            failed(OperationResult::NoAnswer, Phrases::kept(Phrases::Phrase::NoAnswerAfter)
                                                  .arg(name).arg(reply.frames));
    }, check);
}

void DeviceSession::finish(OperationResult::Status status, const QString &error)
{
    m_result.status = status;
    m_result.error = error;
    const Callback done = std::exchange(m_done, nullptr);
    done(m_result);
}

} // namespace Client
