// The serial link against a real pseudo-terminal: OPEN and CLOSE, opens that
// fail, a line that hangs up, the 50 ms poll that reads the replies, and a
// device that floods the line.
#include "flood.h"
#include "heapusage.h"
#include "protocol/parameterblock.h"
#include "ptypair.h"
#include "windowharness.h"

#include <QLockFile>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTimer>
#include <QtTest>

#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString Opened = u"CLOSE  background-color:green; 11 enabled"_s;
const QString Closed = u"OPEN background-color:red; 0 enabled"_s;
const QByteArray ReadFrame = QByteArray::fromHex("aa010c0c55");

// The OPEN button and how many of the eleven command buttons can be pressed.
QString linkState(const WindowHarness &h)
{
    int enabled = 0;
    for (const QPushButton *button : h.find("parameterGroup")->findChildren<QPushButton *>())
        enabled += button->isEnabled();
    return u"%1 %2 %3 enabled"_s.arg(h.window->Open->text(), h.window->Open->styleSheet()).arg(enabled);
}

// Processor time of this thread, so that a busy machine's other work does not count.
qint64 threadTimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

class tst_PortLink : public QObject
{
    Q_OBJECT

private slots:
    // The window holds the line while open and lets it go when closed. A port
    // that fails to open, or is lost, says why and shows the closed state; the
    // next press opens the device COM1 leads to by then.
    void openCloseAndFail_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");  // how it begins
        QTest::newRow("no such device") << "missing" << "Port open failed: ";
        QTest::newRow("held by another port") << "held" << "Port open failed: ";
        QTest::newRow("taken by another port between two presses") << "taken" << "Port open failed: ";
        QTest::newRow("line hung up") << "hang-up" << "Port lost: ";
        // The frame is written once the event loop turns, to a line gone by then.
        QTest::newRow("line hung up while a SET ALL frame is on its way") << "hang-up in SET ALL" << "Port lost: ";
    }

    void openCloseAndFail()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        PtyPair pty, next;
        WindowHarness h(fault == u"missing"_s ? u"/dev/velmora-no-such-port"_s : pty.slavePath());
        QSerialPort other(pty.slavePath());
        if (fault == u"taken"_s || fault.startsWith(u"hang-up"_s)) {
            h.press("Open");
            QCOMPARE(linkState(h), Opened);
            QCOMPARE(h.message(), u"Port has open"_s);
            QVERIFY(!other.open(QIODevice::ReadWrite));
        }
        if (fault == u"taken"_s) {
            h.press("Open");
            QCOMPARE(linkState(h), Closed);
            QCOMPARE(h.message(), u"Port has close"_s);
        }
        if (fault == u"held"_s || fault == u"taken"_s)
            QVERIFY(other.open(QIODevice::ReadWrite));
        if (fault.startsWith(u"hang-up"_s)) {
            if (fault.endsWith(u"SET ALL"_s))
                h.press("Config_all");
            pty.hangUp();
        } else {
            h.press("Open");
        }
        QTRY_VERIFY2(h.message().contains(QRegularExpression(u"^"_s + message + u"\\S"_s)), qPrintable(h.message()));
        QCOMPARE(linkState(h), Closed);

        // Written before the port opens, so no reply to anything asked after it: dropped at the open.
        QVERIFY(next.send("OLD"));
        const int line = ::open(qPrintable(next.slavePath()), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        int waiting = -1;
        QTRY_VERIFY(::ioctl(line, FIONREAD, &waiting) == 0 && waiting == 3);
        ::close(line);
        PortMap::setDevice(u"COM1"_s, next.slavePath());
        h.press("Open");  // no press is spent on closing a port that never opened
        QCOMPARE(linkState(h), Opened);
        h.press("READ");
        QTRY_COMPARE(next.received(), ReadFrame);

        // However often the port opened, one poll every 50 ms hands each reply over once.
        const QList<QTimer *> timers = h.window->findChildren<QTimer *>(u"readTimer"_s);
        QVERIFY(timers.size() == 1 && timers[0]->isActive() && timers[0]->interval() == 50);
        QByteArray seen;
        // Runs after the window's poll slot; a second one would already have emptied the buffer.
        connect(timers[0], &QTimer::timeout, this, [&] { seen += h.window->Return_temp; });
        const QByteArray reply("N\0\xff\r\n", 5);
        QVERIFY(next.send(reply));
        QTRY_COMPARE(seen, reply);
        QSignalSpy later(timers[0], &QTimer::timeout);
        QTRY_VERIFY(later.count() >= 3);
        QCOMPARE(seen, reply);
        QCOMPARE(next.received(), ReadFrame);  // and opening, closing, polling wrote nothing
    }

    // A program killed while it took the serial library's lock file, or
    // while it removed a stale one (holding "LCK...rmlock"), left an empty
    // file, which would refuse the port for 30 s: it opens at once, unless a
    // live program holds that file.
    void emptyLockFile_data()
    {
        QTest::addColumn<bool>("removing");
        QTest::addColumn<bool>("held");
        QTest::addColumn<QString>("message");
        const QString inUse = u"Port open failed: COM1 (DEVICE): in use by another program"_s;
        QTest::newRow("taking, killed") << false << false << u"Port has open"_s;
        QTest::newRow("taking, alive") << false << true << inUse;
        QTest::newRow("removing a stale one, killed") << true << false << u"Port has open"_s;
        QTest::newRow("removing a stale one, alive") << true << true << inUse;
    }

    void emptyLockFile()
    {
        QFETCH(bool, removing);
        QFETCH(bool, held);
        QFETCH(QString, message);
        PtyPair pty;
        const QString lockFile = u"/run/lock/LCK.."_s + pty.slavePath().mid(5).replace(u'/', u'_');
        const QString emptyFile = removing ? lockFile + u".rmlock"_s : lockFile;
        const auto cleanUp = qScopeGuard([&] {
            QFile::remove(lockFile + u".rmlock"_s);
            QFile::remove(lockFile);
        });
        if (removing) {
            // The lock file of a program that has gone: its own, with the pid
            // of a child that has ended.
            QLockFile taken(lockFile);
            QVERIFY(taken.tryLock());
            QFile file(lockFile);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QByteArray contents = file.readAll();
            file.close();
            taken.unlock();
            const pid_t child = ::fork();
            if (child == 0)
                ::_exit(0);
            ::waitpid(child, nullptr, 0);
            contents.replace(0, contents.indexOf('\n'), QByteArray::number(child));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
            file.close();
        }
        const int empty = ::open(QFile::encodeName(emptyFile).constData(), O_RDWR | O_CREAT | O_EXCL, 0644);
        if (empty < 0)
            QSKIP("no lock file can be made in /run/lock");
        const auto closeEmpty = qScopeGuard([&] { ::close(empty); });
        if (held)
            QCOMPARE(::flock(empty, LOCK_EX | LOCK_NB), 0);
        WindowHarness h(pty.slavePath());
        h.press("Open");
        QCOMPARE(h.message(), message.replace(u"DEVICE"_s, pty.slavePath()));
        qint64 pid = 0;
        QString host, application;
        const bool named = QLockFile(lockFile).getLockInfo(&pid, &host, &application);
        QCOMPARE(named && pid == QCoreApplication::applicationPid(), !held);  // the window's own lock, where it opened
    }

    // A device that sends noise without pause at 2 MiB/s, some 180 times what
    // a line at 115200 baud carries: every poll stays short, memory stays
    // bounded, and once the noise stops READ works.
    void flood()
    {
#ifdef __SANITIZE_ADDRESS__
        constexpr double LongestPollMs = 40;  // every access checked costs some three times over
#else
        constexpr double LongestPollMs = 10;
#endif
        constexpr int FloodMs = 3000;
        constexpr qint64 BytesPerSecond = 2 << 20;
        PtyPair pty;
        WindowHarness h(pty.slavePath());
        h.press("Open");
        // The window's timer now runs its poll through the test, which times
        // it, counts the polls in a row that read nothing and the memory held.
        double longestMs = 0;
        int quietPolls = 0;
        qint64 heapPeak = 0;
        QTimer *poll = h.window->findChild<QTimer *>(u"readTimer"_s);
        poll->disconnect(h.window.get());
        connect(poll, &QTimer::timeout, this, [&] {
            const qint64 startNs = threadTimeNs();
            QVERIFY(QMetaObject::invokeMethod(h.window.get(), "readMyCom"));
            longestMs = std::max(longestMs, double(threadTimeNs() - startNs) / 1e6);
            quietPolls = h.window->Return_temp.isEmpty() ? quietPolls + 1 : 0;
            heapPeak = std::max(heapPeak, heapInUse());
        });

        const qint64 heapBefore = heapInUse();
        Flood flood(pty, BytesPerSecond);
        QTest::qWait(FloodMs);
        const double mibPerSecond = flood.stop();

        QTRY_VERIFY(quietPolls >= 2);  // all of it read, and judged
        const qint64 heapGrowth = heapPeak - heapBefore;
        h.press("READ");
        QTRY_COMPARE(pty.received(), ReadFrame);
        Protocol::ParameterBlock block;
        block.localIp = {10, 1, 2, 3};
        QVERIFY(pty.send(block.toBytes()));
        QTRY_COMPARE(h.message(), u"READ Success"_s);
        QVERIFY(h.report().startsWith(u"LIP:10.1.2.3\n"_s));

        qInfo("%.1f MiB/s for %d ms; longest poll %.2f ms of processor time; heap at most %lld bytes above the start",
              mibPerSecond, FloodMs, longestMs, heapGrowth);
        QVERIFY2(mibPerSecond >= 1, qPrintable(QString::number(mibPerSecond)));
        QVERIFY2(longestMs < LongestPollMs, qPrintable(QString::number(longestMs)));
        QVERIFY2(heapGrowth < 4 << 20, qPrintable(QString::number(heapGrowth)));
    }
};

QTEST_MAIN(tst_PortLink)
#include "tst_portlink.moc"
