// velmora-sim as a real process: it names its pseudo-terminal, answers there,
// and stops cleanly on SIGTERM.

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

class SimProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void servesUntilTerminated()
    {
        QProcess sim;
        sim.start(QStringLiteral(VELMORA_SIM_PATH), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10000);
        const QByteArray prefix = "Simulated device on ";
        const QByteArray first = sim.readLine().trimmed();
        QVERIFY2(first.startsWith(prefix), first.constData());

        const QByteArray path = first.mid(prefix.size());
        const int line = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY2(line >= 0, path.constData());
        QByteArray received;
        const auto receive = [&] {
            char chunk[64];
            for (ssize_t n; (n = ::read(line, chunk, sizeof chunk)) > 0;)
                received.append(chunk, int(n));
            return received;
        };
        // A stray header, then READ: the READ is answered once the line has gone quiet.
        QCOMPARE(::write(line, "\xaa\xaa\x01\x0c\x0c\x55", 6), ssize_t(6));
        // The device's start values: 10.20.30.40, 255.255.0.0, 10.20.0.1, ...
        const QByteArray block = "0a141e28 ffff0000 0a140001 139c 0011 02564d000001 01 001e 0000 0a1400fe";
        QTRY_COMPARE(receive(), QByteArray::fromHex(block));
        ::close(line);

        QCOMPARE(::kill(pid_t(sim.processId()), SIGTERM), 0);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
    }

    void badOption()
    {
        QProcess sim;
        sim.start(QStringLiteral(VELMORA_SIM_PATH), {QStringLiteral("--bogus")});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QVERIFY(sim.exitCode() != 0);
    }
};

QTEST_GUILESS_MAIN(SimProcessTest)
#include "tst_simprocess.moc"
