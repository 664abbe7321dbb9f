// The command buttons. Each records which reply it now awaits, reads its
// fields as they stand at the press, and writes its whole frame in one write.
#include "mainwindow.h"

#include "link/wiretrace.h"
#include "protocol/frame.h"
#include "protocol/parameterblock.h"

#include <QLineEdit>
#include <QSerialPort>
#include <QTextEdit>

using Protocol::Command;

namespace {

void awaitReplyTo(Command command)
{
    status = Protocol::info(command).pending;
}

template<size_t N>
void assign(std::array<quint8, N> &octets, const QByteArray &bytes)
{
    Q_ASSERT(bytes.size() == qsizetype(N));
    std::copy(bytes.cbegin(), bytes.cend(), octets.begin());
}

} // namespace

short MainWindow::shortout(char *str)
{
    return Protocol::parseShort(str);
}

char MainWindow::RCR_Fun(char *array, int Start, int Stop)
{
    return Protocol::checksum(array, Start, Stop);
}

QByteArray MainWindow::fieldBytes(std::initializer_list<QLineEdit *> fields,
                                  quint8 (*convert)(const QString &)) const
{
    QByteArray bytes;
    for (const QLineEdit *edit : fields)
        bytes.append(char(convert(edit->text())));
    return bytes;
}

QByteArray MainWindow::decimalBytes(std::initializer_list<QLineEdit *> fields) const
{
    return fieldBytes(fields, Protocol::decimalByte);
}

QByteArray MainWindow::hexBytes(std::initializer_list<QLineEdit *> fields) const
{
    return fieldBytes(fields, Protocol::hexByte);
}

quint16 MainWindow::fieldNumber(QLineEdit *edit)
{
    QByteArray text = edit->text().toLatin1();
    return quint16(shortout(text.data()));
}

void MainWindow::sendFrame(const QByteArray &frame)
{
    // Only a port that is open is written to; a slot run while none is
    // (nothing but code can reach the exciter address) sends nothing.
    if (!myCom || !myCom->isOpen())
        return;
    myCom->write(frame);
    if (m_trace)
        m_trace->transmitted(frame);
}

void MainWindow::master_Fun()
{
    awaitReplyTo(Command::Gateway);
    sendFrame(Protocol::buildFrame(
        Command::Gateway, decimalBytes({master_Edit_0, master_Edit_1, master_Edit_2, master_Edit_3})));
}

void MainWindow::Locat_ip_Fun()
{
    awaitReplyTo(Command::LocalIp);
    sendFrame(Protocol::buildFrame(
        Command::LocalIp,
        decimalBytes({Locat_ip_Edit_0, Locat_ip_Edit_1, Locat_ip_Edit_2, Locat_ip_Edit_3})));
}

void MainWindow::Mask_Fun()
{
    awaitReplyTo(Command::Mask);
    sendFrame(Protocol::buildFrame(
        Command::Mask, decimalBytes({Mask_Edit_0, Mask_Edit_1, Mask_Edit_2, Mask_Edit_3})));
}

void MainWindow::Sever_ip_Fun()
{
    awaitReplyTo(Command::ServerIp);
    sendFrame(Protocol::buildFrame(
        Command::ServerIp,
        decimalBytes({Sever_ip_Edit_0, Sever_ip_Edit_1, Sever_ip_Edit_2, Sever_ip_Edit_3})));
}

void MainWindow::MAC_addr_Fun()
{
    awaitReplyTo(Command::Mac);
    sendFrame(Protocol::buildFrame(
        Command::Mac, hexBytes({MAC_addr_Edit_0, MAC_addr_Edit_1, MAC_addr_Edit_2, MAC_addr_Edit_3,
                                MAC_addr_Edit_4, MAC_addr_Edit_5})));
}

void MainWindow::Port_Fun()
{
    awaitReplyTo(Command::Port);
    sendFrame(Protocol::buildFrame(Command::Port, Protocol::bigEndian16(fieldNumber(Port_Edit))));
}

void MainWindow::Distance_time_T1_Fun()
{
    awaitReplyTo(Command::T1);
    sendFrame(Protocol::buildFrame(Command::T1, Protocol::bigEndian16(fieldNumber(Distance_time_T1_Edit))));
}

void MainWindow::SN_Fun()
{
    awaitReplyTo(Command::SerialNumber);
    sendFrame(Protocol::buildFrame(Command::SerialNumber, Protocol::bigEndian16(fieldNumber(SN_Edit))));
}

void MainWindow::Drive_Addr_Fun()
{
    awaitReplyTo(Command::ExciterAddress);
    sendFrame(Protocol::buildFrame(Command::ExciterAddress, hexBytes({Drive_Edit_Addr.get()})));
}

void MainWindow::READ_Fun()
{
    awaitReplyTo(Command::Read);
    // Emptied now, so that a READ without a report leaves no stale one behind.
    READ_Edit->setText(QString());
    sendFrame(Protocol::buildFrame(Command::Read, {}));
}

void MainWindow::Reset_Fun()
{
    awaitReplyTo(Command::Reset);
    sendFrame(Protocol::buildFrame(Command::Reset, {}));
}

void MainWindow::Config_all_Fun()
{
    awaitReplyTo(Command::SetAll);
    Protocol::ParameterBlock block;
    block.port = fieldNumber(Port_Edit);
    block.serialNumber = fieldNumber(SN_Edit);
    block.t1 = fieldNumber(Distance_time_T1_Edit);
    assign(block.localIp, decimalBytes({Locat_ip_Edit_0, Locat_ip_Edit_1, Locat_ip_Edit_2, Locat_ip_Edit_3}));
    assign(block.mask, decimalBytes({Mask_Edit_0, Mask_Edit_1, Mask_Edit_2, Mask_Edit_3}));
    assign(block.serverIp, decimalBytes({Sever_ip_Edit_0, Sever_ip_Edit_1, Sever_ip_Edit_2, Sever_ip_Edit_3}));
    assign(block.mac, hexBytes({MAC_addr_Edit_0, MAC_addr_Edit_1, MAC_addr_Edit_2, MAC_addr_Edit_3,
                                MAC_addr_Edit_4, MAC_addr_Edit_5}));
    assign(block.gateway, decimalBytes({master_Edit_0, master_Edit_1, master_Edit_2, master_Edit_3}));
    sendFrame(Protocol::buildFrame(Command::SetAll, block.toBytes()));
}
