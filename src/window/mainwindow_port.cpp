// The serial link: OPEN opens the chosen port at 115200 8N1, the next press
// closes it; a 50 ms poll hands whatever arrived to reply judging.
#include "mainwindow.h"

#include "link/inprocessport.h"
#include "link/portmap.h"
#include "link/serialline.h"
#include "link/wiretrace.h"
#include "protocol/reply.h"

#include <QComboBox>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

namespace {
constexpr int PollIntervalMs = 50;
}

void MainWindow::OpenCom()
{
    ++xx;
    if (xx % 2 == 1)
        openPort();
    else
        closePort();
}

void MainWindow::openPort()
{
    const QString portname = ComBox->currentText();
    refreshPortToolTips();

    const QString device = PortMap::devicePath(portname);
    myCom = InProcessPort::create(device);
    connect(myCom.get(), &QSerialPort::errorOccurred, this, &MainWindow::onPortError);
    QString reason;
    if (!SerialLine::open(*myCom, &reason, m_trace)) {
        // Nothing opened, so nothing to close: the next press opens again.
        --xx;
        showMessage(tr("Port open failed: ") + QStringLiteral("%1 (%2): %3").arg(portname, device, reason));
        return;
    }

    Open->setText(tr("CLOSE "));
    showMessage(tr("Port has open"));
    Open->setStyleSheet(QStringLiteral("background-color:green;"));

    // One timer for the whole run, started by the first port that opens.
    if (!readTimer) {
        readTimer = new QTimer(this);
        readTimer->setObjectName(QStringLiteral("readTimer"));
        connect(readTimer, &QTimer::timeout, this, &MainWindow::readMyCom);
        readTimer->start(PollIntervalMs);
    }
    setCommandButtonsEnabled(true);
}

void MainWindow::closePort()
{
    showPortClosed();
    showMessage(tr("Port has close"));
    if (myCom)
        myCom->close();
}

void MainWindow::showPortClosed()
{
    Open->setText(tr("OPEN"));
    Open->setStyleSheet(QStringLiteral("background-color:red;"));
    setCommandButtonsEnabled(false);
}

void MainWindow::onPortError(QSerialPort::SerialPortError error)
{
    // A device gone away (a USB adapter pulled out) is a resource error; a
    // line whose other end hung up reads end-of-file, a read error. Either is
    // reported again on every turn of the event loop until the port is closed.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || !myCom->isOpen())
        return;
    // End-of-file leaves no error of its own behind, only a stale errno.
    const QString reason = error == QSerialPort::ReadError ? tr("the other end hung up")
                                                           : myCom->errorString();
    myCom->close();
    ++xx;  // as though CLOSE had been pressed: the next press opens
    showPortClosed();
    showMessage(tr("Port lost: ") + reason);
}

void MainWindow::setCommandButtonsEnabled(bool enabled)
{
    for (QPushButton *button : {master, Locat_ip, Mask, Sever_ip, MAC_addr, Port, SN, Config_all,
                                Distance_time_T1, Reset, READ})
        button->setEnabled(enabled);
}

void MainWindow::refreshPortToolTips()
{
    const QHash<QString, QString> adapters = PortMap::friendlyNames();
    for (int i = 0; i < ComBox->count(); ++i) {
        const QString name = ComBox->itemText(i);
        const QString device = PortMap::devicePath(name);
        QString tip = device;
        const QString adapter = adapters.value(device);
        if (!adapter.isEmpty())
            tip = tr("%1 (%2)").arg(device, adapter);
        // Remembered from an earlier run: the adapter may have been unplugged since.
        if (PortMap::isSaved(name) && !PortMap::devicePresent(device))
            tip = tr("%1 (saved; device not present)").arg(tip);
        ComBox->setItemData(i, tip, Qt::ToolTipRole);
    }
}

void MainWindow::readMyCom()
{
    // Only what has already arrived: a poll never waits for the line.
    Return_temp = myCom && myCom->isOpen() ? myCom->readAll() : QByteArray();
    if (m_trace && !Return_temp.isEmpty())
        m_trace->received(Return_temp);
    decision_Fun();
}

void MainWindow::decision_Fun()
{
    // An empty poll is no reply: the pending command keeps waiting.
    if (Return_temp.isEmpty())
        return;
    const Protocol::Verdict verdict = Protocol::judgeReply(Return_temp, status);
    if (verdict.report)
        READ_Edit->setText(*verdict.report);
    if (!verdict.message.isEmpty())
        showMessage(verdict.message);
    status = 0;
}
