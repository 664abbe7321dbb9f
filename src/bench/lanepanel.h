// The lanes of the bench: a port chooser (the serial ports of this machine
// with their /dev/serial/by-id name, description and USB serial number, the
// saved COMn mappings, or a path typed in) and one LaneView per lane.
// Simulated devices (--simulate N) are lanes of their own, sim1 to simN.
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
    explicit LanePanel(QWidget *parent = nullptr);
    ~LanePanel() override;

    // port: COMn, a device path, or a /dev/serial/by-id name. False with the
    // reason where it names no device or one that is a lane already.
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
    // simulator serves device, on the next lane simN.
    void placeSimulated(std::unique_ptr<QObject> simulator, const QString &device);

    std::vector<std::unique_ptr<Entry>> m_lanes;
    QVBoxLayout *m_laneLayout = nullptr;
    int m_simulated = 0;
};

} // namespace Bench
