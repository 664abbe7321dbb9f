// Which port the device is on: one READ to every candidate port at once, on
// one event loop, so a scan of sixteen ports takes one time-out, not sixteen.
#pragma once

#include "devicesession.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace Client {

class PortScan : public QObject
{
    Q_OBJECT

public:
    struct Candidate
    {
        QString name;    // as the technician knows it: "COM3 (/dev/serial/by-id/...)"
        QString device;  // what is opened
    };
    struct Outcome
    {
        Candidate candidate;
        std::optional<Protocol::ParameterBlock> block;  // the device's answer to READ
        QString problem;                                // why not, where there is none
    };

    explicit PortScan(QObject *parent = nullptr);
    ~PortScan() override;

    // Sends READ on every candidate; finished() follows once each has its outcome.
    void start(const std::vector<Candidate> &candidates, int timeoutMs, WireTrace *trace = nullptr);
    const std::vector<Outcome> &outcomes() const { return m_outcomes; }

signals:
    void finished();

private:
    void done(size_t index, const OperationResult &result);

    std::vector<std::unique_ptr<DeviceSession>> m_sessions;
    std::vector<Outcome> m_outcomes;
    size_t m_waiting = 0;
};

} // namespace Client
