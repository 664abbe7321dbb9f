#include "lanepanel.h"

#include "enterclicks.h"
#include "link/phrases.h"
#include "link/portmap.h"
#include "link/portsettings.h"
#include "link/serialdevice.h"

#include "device/builtinsimulator.h"
#ifdef VELMORA_HAS_SIMULATOR
#include "device/ptydevice.h"
#endif

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSerialPortInfo>
#include <QShortcut>
#include <QVBoxLayout>

namespace Bench {

namespace {

QString canonicalOf(const QString &device)
{
    const QString real = QFileInfo(device).canonicalFilePath();
    return real.isEmpty() ? device : real;
}

// /dev/serial/by-id names by the device they lead to.
QMap<QString, QString> byIdNames()
{
    QMap<QString, QString> names;
    const QDir folder(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : folder.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        names.insert(link.canonicalFilePath(), link.absoluteFilePath());
    return names;
}

} // namespace

LanePanel::LanePanel(QWidget *parent) : QWidget(parent)
{
    portChoice = new QComboBox(this);
    portChoice->setObjectName(QStringLiteral("portChoice"));
    portChoice->setEditable(true);
    portChoice->setInsertPolicy(QComboBox::NoInsert);
    portChoice->setAccessibleName(tr("Port to add"));
    portChoice->setToolTip(tr("A serial port of this machine, a saved COMn, or a device path typed in"));
    portChoice->lineEdit()->setPlaceholderText(tr("/dev/ttyUSB0, COM3, ..."));
    portChoice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    portChoice->setMinimumContentsLength(16);
    addButton = new QPushButton(tr("&Add lane"), this);
    addButton->setObjectName(QStringLiteral("addButton"));
    refreshButton = new QPushButton(tr("Refres&h"), this);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    refreshButton->setToolTip(tr("Looks for serial ports again"));
    laneMessage = new QLabel(this);
    laneMessage->setObjectName(QStringLiteral("laneMessage"));
    laneMessage->setWordWrap(true);
    laneMessage->hide();

    auto *lanes = new QWidget;
    m_laneLayout = new QVBoxLayout(lanes);
    m_laneLayout->setContentsMargins(0, 0, 0, 0);
    m_laneLayout->addStretch(1);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("laneScroll"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(lanes);

    auto *adding = new QHBoxLayout;
    adding->addWidget(portChoice, 1);
    adding->addWidget(addButton);
    adding->addWidget(refreshButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(adding);
    layout->addWidget(laneMessage);
    layout->addWidget(scroll, 1);

    connect(addButton, &QPushButton::clicked, this, &LanePanel::addChosen);
    connect(portChoice->lineEdit(), &QLineEdit::returnPressed, this, &LanePanel::addChosen);
    connect(refreshButton, &QPushButton::clicked, this, &LanePanel::refreshPorts);
    clickOnEnter(addButton);
    clickOnEnter(refreshButton);
    for (int lane = 0; lane < KeyedLanes; ++lane) {
        const auto key = Qt::Key(Qt::Key_F1 + lane);
        auto *next = new QShortcut(QKeySequence(key), this);
        next->setObjectName(QStringLiteral("nextKey%1").arg(lane + 1));
        next->setAutoRepeat(false);  // a key held down is one device, not many
        connect(next, &QShortcut::activated, this, [this, lane] { answer(lane, Batch::Answer::Go); });
        auto *skip = new QShortcut(QKeySequence(Qt::SHIFT | key), this);
        skip->setObjectName(QStringLiteral("skipKey%1").arg(lane + 1));
        skip->setAutoRepeat(false);
        connect(skip, &QShortcut::activated, this, [this, lane] { answer(lane, Batch::Answer::Skip); });
    }
    refreshPorts();
}

void LanePanel::answer(int lane, Batch::Answer answer)
{
    if (lane < int(m_lanes.size()))
        m_lanes[size_t(lane)]->view->answer(answer);
}

// Lane n's keys, Fn and Shift+Fn, on its buttons: numbered anew when a lane goes.
void LanePanel::showKeys()
{
    for (size_t lane = 0; lane < m_lanes.size(); ++lane) {
        const bool keyed = lane < size_t(KeyedLanes);
        const auto key = Qt::Key(Qt::Key_F1 + int(lane));
        m_lanes[lane]->view->setKeys(keyed ? QKeySequence(key) : QKeySequence(),
                                     keyed ? QKeySequence(Qt::SHIFT | key) : QKeySequence());
    }
}

LanePanel::~LanePanel() = default;

void LanePanel::refreshPorts()
{
    const QString typed = portChoice->currentText();
    portChoice->clear();
    const QMap<QString, QString> byId = byIdNames();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString location = info.systemLocation();
        const QString stable = byId.value(canonicalOf(location));
        QStringList about;
        if (!info.description().isEmpty())
            about << info.description();
        if (!info.serialNumber().isEmpty())
            about << tr("serial %1").arg(info.serialNumber());
        const QString shown = about.isEmpty() ? location : QStringLiteral("%1 (%2)").arg(location, about.join(QLatin1String(", ")));
        // The by-id name stays the same for the same adapter: the lane takes it.
        portChoice->addItem(shown, stable.isEmpty() ? location : stable);
        portChoice->setItemData(portChoice->count() - 1, stable.isEmpty() ? location : stable, Qt::ToolTipRole);
    }
    const PortSettings::Mappings saved = PortSettings::load();
    for (auto it = saved.begin(); it != saved.end(); ++it) {
        const bool present = PortMap::devicePresent(it.value());
        portChoice->addItem(QStringLiteral("%1 = %2%3").arg(it.key(), it.value(), present ? QString() : tr(" (saved; device not present)")),
                            it.key());
        portChoice->setItemData(portChoice->count() - 1, tr("saved mapping"), Qt::ToolTipRole);
    }
    portChoice->setEditText(typed);
}

void LanePanel::addChosen()
{
    const int index = portChoice->findText(portChoice->currentText());
    const QString port = index >= 0 ? portChoice->itemData(index).toString() : portChoice->currentText().trimmed();
    QString error;
    if (port.isEmpty())
        error = tr("Choose a port or type a device path");
    else if (addLane(port, &error))
        portChoice->setEditText(QString());
    laneMessage->setText(error);
    laneMessage->setVisible(!error.isEmpty());
}

bool LanePanel::addLane(const QString &port, QString *error)
{
    auto added = std::make_unique<Entry>();
    added->port = port;
    added->device = PortMap::resolve(port);
    added->canonical = canonicalOf(added->device);
    QString why;
    if (!SerialDevice::isSerialPort(added->device, &why)) {
        *error = QStringLiteral("%1: %2").arg(PortMap::displayName(port), Phrases::said(why));
        return false;
    }
    for (const auto &lane : m_lanes) {
        if (lane->port == port || lane->canonical == added->canonical) {
            *error = tr("%1: that device is lane %2 already").arg(port, lane->port);
            return false;
        }
    }
    place(std::move(added));
    return true;
}

bool LanePanel::addSimulated(QString *error)
{
#ifdef VELMORA_HAS_SIMULATOR
    if (!BuiltInSimulator::inProcess())
        return addSimulated(DeviceOptions(), error);
#else
    Q_UNUSED(error);
#endif
    const QString device = QStringLiteral("simulated device %1").arg(m_simulated + 1);
    placeSimulated(BuiltInSimulator::serve(device), device);
    return true;
}

#ifdef VELMORA_HAS_SIMULATOR
bool LanePanel::addSimulated(const DeviceOptions &options, QString *error)
{
    auto device = std::make_unique<PtyDevice>(options);
    if (!device->open()) {
        *error = tr("cannot start the simulated device: %1").arg(device->errorString());
        return false;
    }
    const QString path = device->slavePath();
    placeSimulated(std::move(device), path);
    return true;
}
#endif

void LanePanel::placeSimulated(std::unique_ptr<QObject> simulator, const QString &device)
{
    auto added = std::make_unique<Entry>();
    added->port = QStringLiteral("sim%1").arg(++m_simulated);
    added->device = device;
    added->canonical = device;
    added->simulator = std::move(simulator);
    place(std::move(added));
}

void LanePanel::place(std::unique_ptr<Entry> added)
{
    added->view = new LaneView(added->port, added->device, this);
    added->view->setObjectName(QStringLiteral("lane%1").arg(m_lanes.size() + 1));
    connect(added->view, &LaneView::removeRequested, this, &LanePanel::removeLane);
    m_laneLayout->insertWidget(m_laneLayout->count() - 1, added->view);
    m_lanes.push_back(std::move(added));
    showKeys();
    emit lanesChanged();
}

void LanePanel::removeLane(const QString &port)
{
    for (auto it = m_lanes.begin(); it != m_lanes.end(); ++it) {
        if ((*it)->port == port) {
            (*it)->view->deleteLater();
            m_lanes.erase(it);
            showKeys();
            emit lanesChanged();
            return;
        }
    }
}

LanePanel::Entry *LanePanel::entry(const QString &port) const
{
    for (const auto &lane : m_lanes) {
        if (lane->port == port)
            return lane.get();
    }
    return nullptr;
}

QStringList LanePanel::ports() const
{
    QStringList ports;
    for (const auto &lane : m_lanes)
        ports << lane->port;
    return ports;
}

QString LanePanel::device(const QString &port) const
{
    Entry *found = entry(port);
    return found ? found->device : QString();
}

LaneView *LanePanel::lane(const QString &port) const
{
    Entry *found = entry(port);
    return found ? found->view : nullptr;
}

void LanePanel::clearLanes()
{
    for (const auto &lane : m_lanes) {
        lane->view->setState(tr("idle"));
        lane->view->setResult(QString());
    }
}

void LanePanel::unplugSimulated(const QString &port)
{
#ifdef VELMORA_HAS_SIMULATOR
    Entry *found = entry(port);
    if (auto *device = found ? qobject_cast<PtyDevice *>(found->simulator.get()) : nullptr)
        device->setPlugged(false);
#else
    Q_UNUSED(port);
#endif
}

void LanePanel::plugNewSimulated(const QString &port)
{
#ifdef VELMORA_HAS_SIMULATOR
    Entry *found = entry(port);
    if (auto *device = found ? qobject_cast<PtyDevice *>(found->simulator.get()) : nullptr) {
        device->replaceDevice();
        device->setPlugged(true);
    }
#else
    Q_UNUSED(port);
#endif
}

void LanePanel::setRunning(bool running)
{
    portChoice->setEnabled(!running);
    addButton->setEnabled(!running);
    for (const auto &lane : m_lanes)
        lane->view->setRemovable(!running);
}

} // namespace Bench
