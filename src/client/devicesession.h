// What velmora-cli does with a device, each operation a few exchanges on one
// line, run without blocking and finished with one result. One session per
// line; several sessions run side by side on one event loop.
#pragma once

#include "linetransport.h"
#include "protocol/frame.h"
#include "protocol/parameterblock.h"
#include "values.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

namespace Client {

struct OperationResult
{
    enum Status {
        Done,        // and verified, where asked to
        Refused,     // the device answered with a failure reply
        NoAnswer,    // no reply after the retries
        LineFailed,  // the line could not be used, or went away
        Mismatch,    // verify: the device holds other values than were written
    };
    Status status = Done;
    QString error;             // one line on what went wrong
    QStringList acknowledged;  // the success text of every command acknowledged, in order
    std::optional<Protocol::ParameterBlock> written;  // what SET ALL wrote
    std::optional<Protocol::ParameterBlock> device;   // the block of the last READ
    QStringList differences;   // "port: wrote 8900, device has 8901"
    int lateBytes = 0;         // bytes that came after their deadline, dropped
    // What else happened that the result alone does not say, one line each.
    QStringList notes;
};

class DeviceSession : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const OperationResult &)>;

    explicit DeviceSession(QObject *parent = nullptr);

    LineTransport &line() { return m_line; }

    // One operation at a time; done is called once, never before the call returns.
    void read(Callback done);
    // One command per value, in order; stops at the first that fails.
    void set(const ValueSet &values, bool verify, Callback done);
    // Reads the device, writes what it read with values over it in one SET ALL.
    // That READ is strict (LineTransport): nothing read out of place is ever
    // written back. With verify, a SET ALL whose acknowledgement did not come
    // cleanly is judged by the read-back: a device that holds what was
    // written took it.
    void setAll(const ValueSet &values, bool verify, Callback done);
    void reset(Callback done);
    bool isBusy() const { return bool(m_done); }

private:
    using Next = std::function<void()>;
    using Failed = std::function<void(OperationResult::Status, const QString &error)>;

    void begin(Callback done);
    void send(Protocol::Command command, const QByteArray &payload, Next next,
              LineTransport::Check check = LineTransport::Check::Plain, Failed failed = {});
    void verifyUnacknowledged(const Protocol::ParameterBlock &written, OperationResult::Status status,
                              const QString &error);
    void setFrom(const ValueSet &values, size_t index, bool verify);
    void verifyThenFinish(const ValueSet &written);
    void finish(OperationResult::Status status, const QString &error = {});

    LineTransport m_line;
    OperationResult m_result;
    Callback m_done;
};

} // namespace Client
