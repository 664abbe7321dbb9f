// The lanes of the bench: a port chooser (the serial ports of this machine
// with their /dev/serial/by-id name, description and USB serial number, the
// saved COMn mappings, or a path typed in) and one LaneView per lane.
// Simulated devices (--simulate N) are lanes of their own, sim1 to simN.
// The first KeyedLanes lanes have keys of their own: Fn is Next on lane n,
// Shift+Fn Skip.
#pragma once

#include "laneview.h"

#include <QWidget>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
struct DeviceOptions;

namespace Bench {

class LanePanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int KeyedLanes = 8;

    explicit LanePanel(QWidget *parent = nullptr);
    ~LanePanel() override;

    // port: COMn, a device path, or a /dev/serial/by-id name. False with the
    // reason where it names no serial port, or one that is a lane already.
    bool addLane(const QString &port, QString *error);
    // A simulated device on a lane of its own, simN: on a pseudo-terminal
    // where there are any, else served in this program. False if it cannot start.
    bool addSimulated(QString *error);
#ifdef VELMORA_HAS_SIMULATOR
    // One that answers as options say, on a pseudo-terminal.
    bool addSimulated(const DeviceOptions &options, QString *error);
#endif
    void removeLane(const QString &port);

    QStringList ports() const;
    // The device path each port opens.
    QString device(const QString &port) const;
    LaneView *lane(const QString &port) const;
    // Lanes are added and removed only between runs.
    void setRunning(bool running);
    // Every lane idle, without a last result: a new plan.
    void clearLanes();
    // For a run that waits for devices to be swapped (--auto): the
    // simulated device of a lane unplugged, or a new one plugged in.
    // Nothing for a lane of a real port.
    void unplugSimulated(const QString &port);
    void plugNewSimulated(const QString &port);
    // Reads the machine's serial ports and the saved mappings again.
    void refreshPorts();

    QComboBox *portChoice = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *refreshButton = nullptr;
    QLabel *laneMessage = nullptr;

signals:
    void lanesChanged();

private:
    struct Entry
    {
        QString port;
        QString device;
        QString canonical;  // symbolic links followed
        LaneView *view = nullptr;
        std::unique_ptr<QObject> simulator;
    };

    void addChosen();
    Entry *entry(const QString &port) const;
    void place(std::unique_ptr<Entry> entry);
    void showKeys();
    void answer(int lane, Batch::Answer answer);
    // simulator serves device, on the next lane simN.
    void placeSimulated(std::unique_ptr<QObject> simulator, const QString &device);

    std::vector<std::unique_ptr<Entry>> m_lanes;
    QVBoxLayout *m_laneLayout = nullptr;
    int m_simulated = 0;
};

} // namespace Bench
