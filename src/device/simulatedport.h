// The simulated device served in this program, behind a port that reads and
// writes like a serial line (InProcessPort): for --simulate where there are
// no pseudo-terminals. The device outlives the ports that reach it, as a
// device outlives the cable plugged into it: what one port set, the next
// one reads.
#pragma once

#include "devicemodel.h"

#include "link/inprocessport.h"

#include <QTimer>

#include <memory>
#include <vector>

class SimulatedSerialPort : public InProcessPort
{
    Q_OBJECT

public:
    // A frame that stops arriving for this long is given up, as on a pty.
    static constexpr int SilenceMs = 100;

    explicit SimulatedSerialPort(std::shared_ptr<DeviceModel> device);
    ~SimulatedSerialPort() override;

    // Replies on their way go with the line; so does the start of a frame.
    void close() override;

protected:
    void deviceReceives(const QByteArray &bytes) override;

private:
    void handle(const std::vector<DeviceExchange> &exchanges);
    void sendReplies();

    std::shared_ptr<DeviceModel> m_device;
    QTimer m_silenceTimer;
    QTimer m_replyTimer;  // replies come on a later turn of the event loop, never within write()
    QByteArray m_replies;
};
