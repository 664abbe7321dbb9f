#include "portscan.h"

#include "link/phrases.h"

namespace Client {

PortScan::PortScan(QObject *parent) : QObject(parent) {}

PortScan::~PortScan() = default;

void PortScan::start(const std::vector<Candidate> &candidates, int timeoutMs, WireTrace *trace)
{
    m_outcomes.clear();
    m_sessions.clear();
    m_waiting = candidates.size();
    for (size_t i = 0; i < candidates.size(); ++i) {
        m_outcomes.push_back({candidates[i], std::nullopt, QString()});
        auto session = std::make_unique<DeviceSession>();
        session->line().setTimeout(timeoutMs);
        session->line().setRetries(0);  // a device that is there answers the first READ
        session->line().setTrace(trace);
        if (!session->line().open(candidates[i].device)) {
            m_outcomes[i].problem = Phrases::kept(Phrases::Phrase::CannotOpen).arg(session->line().errorString());
            --m_waiting;
        } else {
            session->read([this, i](const OperationResult &result) { done(i, result); });
        }
        m_sessions.push_back(std::move(session));
    }
    if (m_waiting == 0)
        QMetaObject::invokeMethod(this, &PortScan::finished, Qt::QueuedConnection);
}

void PortScan::done(size_t index, const OperationResult &result)
{
    Outcome &outcome = m_outcomes[index];
    switch (result.status) {
    case OperationResult::Done:
        outcome.block = result.device;
        break;
    case OperationResult::NoAnswer:
        outcome.problem = Phrases::kept(Phrases::Phrase::NoAnswer);
        break;
    default:
        outcome.problem = result.error;
        break;
    }
    // Closed at once: the port is free for what the technician runs next.
    QMetaObject::invokeMethod(this, [this, index] { m_sessions[index].reset(); }, Qt::QueuedConnection);
    if (--m_waiting == 0)
        emit finished();
}

} // namespace Client
