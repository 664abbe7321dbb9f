// How the window judges what a poll read: by byte 0 and length, against the
// command that awaits its reply.
#include "link/portmap.h"
#include "ptypair.h"
#include "window/mainwindow.h"

#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QtTest>

namespace {

// Success texts by pending-command code; 0 and 13 await nothing.
const QStringList AckTexts = {
    QString(),
    QStringLiteral("Gateway success"),
    QStringLiteral("LIP success"),
    QStringLiteral("MASK success"),
    QStringLiteral("SIP success"),
    QStringLiteral("MAC success"),
    QStringLiteral("PORT success"),
    QStringLiteral("T1 success"),
    QStringLiteral("SN success"),
    QStringLiteral("SET ALL success"),
    QStringLiteral("RESET success"),
    QStringLiteral("激励器地址配置成功"),
    QStringLiteral("READ Success"),
    QString(),
};
constexpr int ReadPending = 12;

const char Block[] = "c0a80164ffffff00c0a80102""1f90""0005""001b2c0a3d4f""01""0064""0000""c0a80101";
const char BlockReport[] =
    "LIP:192.168.1.100\r\nMASK:255.255.255.0\r\nSIP:192.168.1.2\r\nMAC:0.1b.2c.a.3d.4f\r\n"
    "PORT:8080\r\nSN:5\r\nMODE:1\r\nT1:100\r\nGATE:192.168.1.1";

// The report as the text box holds it: it keeps lines, not their "\r\n".
QString shownReport()
{
    return QString::fromUtf8(BlockReport).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A reply of the given length: byte 0 as given, the rest from the READ block.
QByteArray reply(char first, int length)
{
    QByteArray bytes = QByteArray::fromHex(Block);
    bytes.append(QByteArray(10, '\x7f'));
    bytes[0] = first;
    return bytes.left(length);
}

} // namespace

class tst_Replies : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void judging_data();
    void judging();
    void emptyPollChangesNothing();
    void readReportReplacesText();

    void replyGoesToTheNewerCommand();
    void readBlockSplitOverTwoPolls();
    void readBlockInOnePoll();

private:
    QString shownMessage() const { return m_window->findChild<QStatusBar *>()->currentMessage(); }
    QString report() const { return m_window->findChild<QTextEdit *>(QStringLiteral("READ_Edit"))->toPlainText(); }
    void openPty();
    void press(const char *button);

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<PtyPair> m_pty;
};

void tst_Replies::init()
{
    status = 0;
    xx = 0;
    m_window = std::make_unique<MainWindow>();
}

void tst_Replies::cleanup()
{
    m_window.reset();
    m_pty.reset();
    PortMap::reset();
}

void tst_Replies::openPty()
{
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isValid());
    PortMap::setDevice(QStringLiteral("COM1"), m_pty->slavePath());
    press("Open");
    QCOMPARE(m_window->Open->text(), QStringLiteral("CLOSE "));
}

void tst_Replies::press(const char *button)
{
    m_window->findChild<QPushButton *>(QLatin1String(button))->click();
}

void tst_Replies::judging_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("pending");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("withReport");

    const QString failed = QStringLiteral("Failed ");
    for (int length : {1, 5, 6, 30, 31, 40}) {
        for (int pending = 0; pending <= 13; ++pending) {
            // Acknowledgement: byte 0 is 0x30, whatever follows.
            QTest::addRow("ack, %d bytes, status %d", length, pending)
                << reply('0', length) << pending << AckTexts.at(pending) << false;

            // Anything else: a failure reply up to 5 bytes, a READ block from 31 on.
            QString message;
            bool withReport = false;
            if (length <= 5) {
                message = failed;
            } else if (length >= 31 && pending == ReadPending) {
                message = QStringLiteral("READ Success");
                withReport = true;
            }
            QTest::addRow("0xc0, %d bytes, status %d", length, pending)
                << reply('\xc0', length) << pending << message << withReport;
        }
    }
}

void tst_Replies::judging()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, pending);
    QFETCH(QString, message);
    QFETCH(bool, withReport);

    status = pending;
    m_window->Return_temp = bytes;
    m_window->decision_Fun();

    QCOMPARE(shownMessage(), message);
    QCOMPARE(report(), withReport ? shownReport() : QString());
    QCOMPARE(status, 0);
}

void tst_Replies::emptyPollChangesNothing()
{
    status = 2;
    m_window->Return_temp.clear();
    m_window->decision_Fun();
    QCOMPARE(status, 2);
    QCOMPARE(shownMessage(), QString());
}

void tst_Replies::readReportReplacesText()
{
    m_window->findChild<QTextEdit *>(QStringLiteral("READ_Edit"))->setText(QStringLiteral("typed"));
    status = ReadPending;
    m_window->Return_temp = QByteArray::fromHex(Block);
    m_window->decision_Fun();
    QCOMPARE(report(), shownReport());
}

void tst_Replies::replyGoesToTheNewerCommand()
{
    openPty();
    press("Locat_ip");
    press("Mask");
    QTRY_COMPARE(m_pty->received().size(), 18);
    QVERIFY(m_pty->send("0"));
    QTRY_COMPARE(shownMessage(), QStringLiteral("MASK success"));
    QCOMPARE(status, 0);
}

void tst_Replies::readBlockSplitOverTwoPolls()
{
    openPty();
    press("READ");
    const QByteArray block = QByteArray::fromHex(Block);

    // The first part ends the wait for READ; the rest is judged on its own.
    QVERIFY(m_pty->send(block.left(20)));
    QTRY_COMPARE(status, 0);
    QVERIFY(m_pty->send(block.mid(20)));
    QTRY_COMPARE(m_window->Return_temp, block.mid(20));
    QTRY_VERIFY(m_window->Return_temp.isEmpty());

    QCOMPARE(report(), QString());
    QCOMPARE(shownMessage(), QStringLiteral("Port has open"));
}

void tst_Replies::readBlockInOnePoll()
{
    openPty();
    m_window->findChild<QTextEdit *>(QStringLiteral("READ_Edit"))->setText(QStringLiteral("old"));
    press("READ");
    QCOMPARE(report(), QString());  // emptied at the press, before any reply

    QVERIFY(m_pty->send(QByteArray::fromHex(Block)));
    QTRY_COMPARE(shownMessage(), QStringLiteral("READ Success"));
    QCOMPARE(report(), shownReport());
}

QTEST_MAIN(tst_Replies)
#include "tst_replies.moc"
