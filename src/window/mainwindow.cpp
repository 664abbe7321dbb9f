// The window: the serial port panel, the parameter panel and the status group,
// one above the other. Every widget has a fixed size and its member name as
// objectName.
#include "mainwindow.h"

#include "inputrules.h"
#include "link/portmap.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTextEdit>
#include <QVBoxLayout>

int status = 0;
int xx = 0;

namespace {

constexpr QSize LabelSize(80, 25);
constexpr QSize PortControlSize(100, 20);
constexpr QSize ButtonSize(100, 23);
constexpr QSize OctetSize(28, 23);
constexpr QSize HexPairSize(20, 21);
constexpr QSize NumberSize(130, 23);
constexpr QSize ReportSize(160, 220);

template<typename Widget>
Widget *named(Widget *widget, const char *name, QSize size)
{
    widget->setObjectName(QLatin1String(name));
    widget->setFixedSize(size);
    return widget;
}

QHBoxLayout *row(std::initializer_list<QLineEdit *> fields)
{
    auto *layout = new QHBoxLayout;
    for (QLineEdit *edit : fields)
        layout->addWidget(edit);
    return layout;
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    auto *widget = new QWidget;
    auto *grid = new QGridLayout(widget);
    grid->addWidget(createFirstExclusiveGroup(), 0, 0);
    grid->addWidget(createPushButtonGroup(), 1, 0);
    grid->addWidget(createSecondExclusiveGroup(), 2, 0);
    setCentralWidget(widget);
    setWindowTitle(tr("Velmora V1.2"));
}

MainWindow::~MainWindow() = default;

QGroupBox *MainWindow::createFirstExclusiveGroup()
{
    auto *groupBox = new QGroupBox;
    groupBox->setObjectName(QStringLiteral("portGroup"));

    Com = named(new QLabel(tr("PORT")), "Com", LabelSize);
    fp = named(new QLabel(tr("RATE")), "fp", LabelSize);
    Status = named(new QLabel(tr("STATE")), "Status", LabelSize);

    ComBox = named(new QComboBox, "ComBox", PortControlSize);
    fpBox = named(new QComboBox, "fpBox", PortControlSize);
    fpBox->addItem(QStringLiteral("115200"));
    for (int i = PortMap::FirstPort; i <= PortMap::LastPort; ++i)
        ComBox->addItem(QStringLiteral("COM%1").arg(i));
    refreshPortToolTips();

    Open = named(new QPushButton(tr("OPEN")), "Open", PortControlSize);
    Open->setStyleSheet(QStringLiteral("background-color:red;"));
    connect(Open, &QPushButton::clicked, this, &MainWindow::OpenCom);

    auto *vboxLift = new QVBoxLayout;
    vboxLift->addWidget(Com);
    vboxLift->addWidget(fp);
    vboxLift->addWidget(Status);
    auto *vboxRight = new QVBoxLayout;
    vboxRight->addWidget(ComBox);
    vboxRight->addWidget(fpBox);
    vboxRight->addWidget(Open);
    auto *hbox = new QHBoxLayout;
    hbox->addLayout(vboxLift);
    hbox->addLayout(vboxRight);
    groupBox->setLayout(hbox);
    return groupBox;
}

QPushButton *MainWindow::commandButton(const char *name, const QString &text,
                                       void (MainWindow::*slot)())
{
    auto *button = named(new QPushButton(text), name, ButtonSize);
    button->setEnabled(false);
    connect(button, &QPushButton::clicked, this, slot);
    return button;
}

QLineEdit *MainWindow::field(const char *name, const char *text, QSize size, QValidator *rule)
{
    auto *edit = named(new QLineEdit(QLatin1String(text)), name, size);
    if (rule)
        edit->setValidator(rule);
    return edit;
}

QGroupBox *MainWindow::createPushButtonGroup()
{
    auto *groupBox = new QGroupBox;
    groupBox->setObjectName(QStringLiteral("parameterGroup"));

    master = commandButton("master", tr("Gateway"), &MainWindow::master_Fun);
    Locat_ip = commandButton("Locat_ip", tr("LIP"), &MainWindow::Locat_ip_Fun);
    Mask = commandButton("Mask", tr("MASK"), &MainWindow::Mask_Fun);
    Sever_ip = commandButton("Sever_ip", tr("SIP"), &MainWindow::Sever_ip_Fun);
    MAC_addr = commandButton("MAC_addr", tr("MAC"), &MainWindow::MAC_addr_Fun);
    Port = commandButton("Port", tr("PORT"), &MainWindow::Port_Fun);
    Distance_time_T1 = commandButton("Distance_time_T1", tr("T1"), &MainWindow::Distance_time_T1_Fun);
    SN = commandButton("SN", tr("SN(0-249)"), &MainWindow::SN_Fun);
    READ = commandButton("READ", tr("READ"), &MainWindow::READ_Fun);
    Config_all = commandButton("Config_all", tr("SET ALL"), &MainWindow::Config_all_Fun);
    Reset = commandButton("Reset", tr("RESET"), &MainWindow::Reset_Fun);

    using namespace InputRules;
    master_Edit_0 = field("master_Edit_0", "192", OctetSize, octet(this));
    master_Edit_1 = field("master_Edit_1", "168", OctetSize, octet(this));
    master_Edit_2 = field("master_Edit_2", "0", OctetSize, octet(this));
    master_Edit_3 = field("master_Edit_3", "1", OctetSize, octet(this));
    Locat_ip_Edit_0 = field("Locat_ip_Edit_0", "192", OctetSize, octet(this));
    Locat_ip_Edit_1 = field("Locat_ip_Edit_1", "168", OctetSize, octet(this));
    Locat_ip_Edit_2 = field("Locat_ip_Edit_2", "0", OctetSize, octet(this));
    Locat_ip_Edit_3 = field("Locat_ip_Edit_3", "101", OctetSize, octet(this));
    Mask_Edit_0 = field("Mask_Edit_0", "255", OctetSize, octet(this));
    Mask_Edit_1 = field("Mask_Edit_1", "255", OctetSize, octet(this));
    Mask_Edit_2 = field("Mask_Edit_2", "255", OctetSize, octet(this));
    Mask_Edit_3 = field("Mask_Edit_3", "0", OctetSize, octet(this));
    Sever_ip_Edit_0 = field("Sever_ip_Edit_0", "192", OctetSize, octet(this));
    Sever_ip_Edit_1 = field("Sever_ip_Edit_1", "168", OctetSize, octet(this));
    Sever_ip_Edit_2 = field("Sever_ip_Edit_2", "0", OctetSize, octet(this));
    Sever_ip_Edit_3 = field("Sever_ip_Edit_3", "201", OctetSize, octet(this));
    MAC_addr_Edit_0 = field("MAC_addr_Edit_0", "00", HexPairSize, hexPair(this));
    MAC_addr_Edit_1 = field("MAC_addr_Edit_1", "1E", HexPairSize, hexPair(this));
    MAC_addr_Edit_2 = field("MAC_addr_Edit_2", "CE", HexPairSize, hexPair(this));
    MAC_addr_Edit_3 = field("MAC_addr_Edit_3", "00", HexPairSize, hexPair(this));
    MAC_addr_Edit_4 = field("MAC_addr_Edit_4", "79", HexPairSize, hexPair(this));
    MAC_addr_Edit_5 = field("MAC_addr_Edit_5", "01", HexPairSize, hexPair(this));
    Port_Edit = field("Port_Edit", "8900", NumberSize, number16(this));
    Distance_time_T1_Edit = field("Distance_time_T1_Edit", "2", NumberSize, number16(this));
    Drive_Edit_Addr.reset(field("Drive_Edit_Addr", "00", NumberSize, hexPair(this)));
    SN_Edit = field("SN_Edit", "00", NumberSize, serialNumber(this));
    READ_Edit = named(new QTextEdit, "READ_Edit", ReportSize);

    // Each parameter's button on the left, level with the fields it sends.
    auto *vboxLift = new QVBoxLayout;
    for (QPushButton *button : {Locat_ip, Mask, Sever_ip, Port, SN, MAC_addr, Distance_time_T1,
                                master, Config_all})
        vboxLift->addWidget(button);

    auto *vboxRight = new QVBoxLayout;
    vboxRight->addLayout(row({Locat_ip_Edit_0, Locat_ip_Edit_1, Locat_ip_Edit_2, Locat_ip_Edit_3}));
    vboxRight->addLayout(row({Mask_Edit_0, Mask_Edit_1, Mask_Edit_2, Mask_Edit_3}));
    vboxRight->addLayout(row({Sever_ip_Edit_0, Sever_ip_Edit_1, Sever_ip_Edit_2, Sever_ip_Edit_3}));
    vboxRight->addWidget(Port_Edit);
    vboxRight->addWidget(SN_Edit);
    vboxRight->addLayout(row({MAC_addr_Edit_0, MAC_addr_Edit_1, MAC_addr_Edit_2, MAC_addr_Edit_3,
                              MAC_addr_Edit_4, MAC_addr_Edit_5}));
    vboxRight->addWidget(Distance_time_T1_Edit);
    vboxRight->addLayout(row({master_Edit_0, master_Edit_1, master_Edit_2, master_Edit_3}));
    vboxRight->addWidget(Reset);

    auto *newLay = new QVBoxLayout;
    newLay->addWidget(READ_Edit);
    newLay->addWidget(READ);

    auto *hbox = new QHBoxLayout;
    hbox->addLayout(vboxLift);
    hbox->addLayout(vboxRight);
    hbox->addLayout(newLay);
    // Installing the layout makes the widgets children in layout order, which
    // is the keyboard focus order.
    groupBox->setLayout(hbox);
    return groupBox;
}

QGroupBox *MainWindow::createSecondExclusiveGroup()
{
    auto *groupBox = new QGroupBox;
    groupBox->setObjectName(QStringLiteral("statusGroup"));
    auto *hbox = new QHBoxLayout;
    Status_temp = new QStatusBar;
    Status_temp->setObjectName(QStringLiteral("Status_temp"));
    hbox->addWidget(Status_temp);
    groupBox->setLayout(hbox);
    return groupBox;
}

void MainWindow::showMessage(const QString &text)
{
    constexpr int MessageTimeoutMs = 20000;
    Status_temp->showMessage(text, MessageTimeoutMs);
}
