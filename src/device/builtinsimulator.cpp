#include "builtinsimulator.h"

#include "simulatedport.h"

#include "link/inprocessport.h"
#include "link/portmap.h"

#ifdef VELMORA_HAS_SIMULATOR
#include "ptydevice.h"
#endif

namespace BuiltInSimulator {

namespace {

const QString Com1 = QStringLiteral("COM1");

// Serves the device under its name for as long as it lives.
class InProcessSimulator : public QObject
{
public:
    explicit InProcessSimulator(const QString &name)
        : m_name(name)
    {
        InProcessPort::provide(m_name, [device = m_device] {
            return std::make_unique<SimulatedSerialPort>(device);
        });
    }
    ~InProcessSimulator() override { InProcessPort::provide(m_name, {}); }

private:
    QString m_name;
    std::shared_ptr<DeviceModel> m_device = std::make_shared<DeviceModel>();
};

} // namespace

QString inProcessName()
{
    return QStringLiteral("simulated device");
}

bool inProcess()
{
#ifdef VELMORA_HAS_SIMULATOR
    return qgetenv("VELMORA_SIMULATOR") == "in-process";
#else
    return true;
#endif
}

std::unique_ptr<QObject> serve(const QString &name)
{
    return std::make_unique<InProcessSimulator>(name);
}

std::unique_ptr<QObject> start(QString *error)
{
#ifdef VELMORA_HAS_SIMULATOR
    if (!inProcess()) {
        auto device = std::make_unique<PtyDevice>();
        if (!device->open()) {
            *error = device->errorString();
            return nullptr;
        }
        PortMap::setDevice(Com1, device->slavePath());
        return device;
    }
#else
    Q_UNUSED(error);
#endif
    auto simulator = serve(inProcessName());
    PortMap::setDevice(Com1, inProcessName());
    return simulator;
}

} // namespace BuiltInSimulator
