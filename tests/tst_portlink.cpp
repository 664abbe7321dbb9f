// The serial link against a real pseudo-terminal: OPEN and CLOSE, opens that
// fail, a line that hangs up, and the 50 ms poll that reads the replies.
#include "ptypair.h"
#include "windowharness.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString Opened = u"CLOSE  background-color:green; 11 enabled"_s;
const QString Closed = u"OPEN background-color:red; 0 enabled"_s;

// The OPEN button and how many of the eleven command buttons can be pressed.
QString linkState(const WindowHarness &h)
{
    int enabled = 0;
    for (const QPushButton *button : h.find("parameterGroup")->findChildren<QPushButton *>())
        enabled += button->isEnabled();
    return u"%1 %2 %3 enabled"_s.arg(h.window->Open->text(), h.window->Open->styleSheet()).arg(enabled);
}

} // namespace

class tst_PortLink : public QObject
{
    Q_OBJECT

private slots:
    void openAndClose()
    {
        PtyPair pty;
        WindowHarness h(pty.slavePath());
        h.press("Open");
        QCOMPARE(linkState(h), Opened);
        QCOMPARE(h.message(), u"Port has open"_s);
        QVERIFY(!QSerialPort(pty.slavePath()).open(QIODevice::ReadWrite));  // the window holds the line
        h.press("Open");
        QCOMPARE(linkState(h), Closed);
        QCOMPARE(h.message(), u"Port has close"_s);
        QVERIFY(QSerialPort(pty.slavePath()).open(QIODevice::ReadWrite));
    }

    void failedOpen_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("no such device") << false;
        QTest::newRow("held by another port") << true;
    }

    void failedOpen()
    {
        QFETCH(bool, held);
        PtyPair pty;
        QSerialPort holder(pty.slavePath());
        QVERIFY(!held || holder.open(QIODevice::ReadWrite));
        WindowHarness h(held ? pty.slavePath() : u"/dev/velmora-no-such-port"_s);
        h.press("Open");
        QVERIFY2(h.message().contains(QRegularExpression(u"^Port open failed: \\S"_s)),
                 qPrintable(h.message()));
        QCOMPARE(linkState(h), Closed);
        holder.close();
        PortMap::setDevice(u"COM1"_s, pty.slavePath());
        h.press("Open");  // no press is spent on closing a port that never opened
        QCOMPARE(linkState(h), Opened);
    }

    void lineHungUp()
    {
        PtyPair pty, next;
        WindowHarness h(pty.slavePath());
        h.press("Open");
        pty.hangUp();
        QTRY_VERIFY2(h.message().contains(QRegularExpression(u"^Port lost: \\S"_s)),
                     qPrintable(h.message()));
        QCOMPARE(linkState(h), Closed);
        PortMap::setDevice(u"COM1"_s, next.slavePath());
        h.press("Open");
        QCOMPARE(linkState(h), Opened);
    }

    void pollAfterReopen()
    {
        QByteArray seen;  // all that the polls hand over
        PtyPair pty;
        WindowHarness h(pty.slavePath());
        h.press("Open");
        h.press("Open");
        // Written while the port is closed, so no reply to anything the window asks after it opens.
        QVERIFY(pty.send("OLD"));
        const int line = ::open(qPrintable(pty.slavePath()), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        int waiting = -1;
        QTRY_VERIFY(::ioctl(line, FIONREAD, &waiting) == 0 && waiting == 3);
        ::close(line);
        h.press("Open");
        const QList<QTimer *> timers = h.window->findChildren<QTimer *>(u"readTimer"_s);
        QVERIFY(timers.size() == 1 && timers[0]->isActive() && timers[0]->interval() == 50);
        // Runs after the window's poll slot; a second one would already have emptied the buffer.
        connect(timers[0], &QTimer::timeout, this, [&] { seen += h.window->Return_temp; });
        const QByteArray reply("N\0\xff\r\n", 5);
        QVERIFY(pty.send(reply));
        QTRY_COMPARE(seen, reply);
        QSignalSpy later(timers[0], &QTimer::timeout);
        QTRY_VERIFY(later.count() >= 3);
        QCOMPARE(seen, reply);  // no later poll hands it over again
        QCOMPARE(pty.received(), QByteArray());  // and opening, closing, polling wrote nothing
    }
};

QTEST_MAIN(tst_PortLink)
#include "tst_portlink.moc"
