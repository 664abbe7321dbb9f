// The simulated device: its model, fed with bytes the way they come off the
// line, and velmora-sim, the process that serves it on a pseudo-terminal.
#include "device/devicemodel.h"
#include "protocol/frame.h"

#include <QProcess>
#include <QSerialPort>
#include <QtTest>

#include <csignal>

using Bytes = QByteArrayList;

static QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

static const QByteArray ack = hex("30");
static const QByteArray none;
static const QByteArray lipFrame = hex("aa 05 00 c0 a8 00 65 0d 55");  // local IP 192.168.0.101
static const QByteArray portFrame = hex("aa 03 03 22 c4 e5 55");        // port 8900
static const QByteArray readFrame = hex("aa 01 0c 0c 55");

// All the device holds: its 31-byte parameter block, then the exciter address.
static QByteArray state(const DeviceModel &m) { return m.parameters().toBytes() + char(m.exciterAddress()); }

// The start state with bytes [at, at + bytes.size()) replaced.
static QByteArray startWith(int at, const QByteArray &bytes)
{
    return state(DeviceModel()).replace(at, bytes.size(), bytes);
}

static QByteArray failure(int code) { return QByteArray(1, char(DeviceModel::FailureByte)) + char(code); }

static QByteArray setAll(const QByteArray &p) { return Protocol::buildFrame(Protocol::Command::SetAll, p); }

static Bytes repliesOf(const std::vector<DeviceExchange> &exchanges)
{
    Bytes replies;
    for (const DeviceExchange &exchange : exchanges)
        replies << exchange.reply;
    replies.removeAll(QByteArray());
    return replies;
}

class DeviceModelTest : public QObject
{
    Q_OBJECT

private slots:
    // A frame with a READ behind it: the READ shows that the frame was taken
    // whole, no more and no less, and what it changed.
    void frame_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("at");  // where the changed bytes lie in the state
        QTest::addColumn<QByteArray>("bytes");

        const QByteArray all = hex("01020304 05060708 090a0b0c 0d0e 00f9 a1a2a3a4a5a6 07 1718 2526 1b1c1d1e");
        QTest::newRow("local ip") << lipFrame << ack << 0 << hex("c0a80065");
        QTest::newRow("mask") << hex("aa 05 01 ff ff ff 00 fe 55") << ack << 4 << hex("ffffff00");
        QTest::newRow("mask aa 55 aa 55") << hex("aa 05 01 aa 55 aa 55 01 55") << ack << 4 << hex("aa55aa55");
        QTest::newRow("server ip") << hex("aa 05 02 c0 a8 00 c9 a3 55") << ack << 8 << hex("c0a800c9");
        QTest::newRow("port") << portFrame << ack << 12 << hex("22c4");
        QTest::newRow("sn 249") << hex("aa 03 04 00 f9 fd 55") << ack << 14 << hex("00f9");
        QTest::newRow("mac") << hex("aa 07 05 00 1e ce 00 79 01 ad 55") << ack << 16 << hex("001ece007901");
        QTest::newRow("t1") << hex("aa 03 07 11 70 66 55") << ack << 23 << hex("1170");
        QTest::newRow("gateway") << hex("aa 05 0b c0 a8 00 01 62 55") << ack << 27 << hex("c0a80001");
        QTest::newRow("exciter address") << hex("aa 02 0c ff f3 55") << ack << 31 << hex("ff");
        QTest::newRow("reset keeps everything") << hex("aa 01 09 09 55") << ack << 0 << none;
        // Mode and reserved bytes are stored too: READ gives the payload back.
        QTest::newRow("set all, then read") << setAll(all) << ack << 0 << all;

        QTest::newRow("bad checksum") << hex("aa 05 00 c0 a8 00 65 0e 55") << failure(0x00) << 0 << none;
        QTest::newRow("bad trailer") << hex("aa 05 00 c0 a8 00 65 0d 54") << failure(0x00) << 0 << none;
        QTest::newRow("bad length") << hex("aa 03 00 22 c4 e6 55") << failure(0x00) << 0 << none;
        QTest::newRow("unknown code") << hex("aa 01 06 06 55") << failure(0x06) << 0 << none;
        QTest::newRow("no code") << hex("aa 00 00 55") << failure(DeviceModel::NoCode) << 0 << none;
        QTest::newRow("sn 250") << hex("aa 03 04 00 fa fe 55") << failure(0x04) << 0 << none;
        QTest::newRow("set all, sn 250")
            << setAll(startWith(14, hex("00fa")).left(31)) << failure(0x0a) << 0 << none;
    }
    void frame()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        QFETCH(int, at);
        QFETCH(QByteArray, bytes);
        DeviceModel model;
        const QByteArray expected = startWith(at, bytes);
        QCOMPARE(repliesOf(model.receive(frame + readFrame)), (Bytes{reply, expected.left(31)}));
        QCOMPARE(state(model), expected);
    }

    // Bytes off the line in writes of at most `step`, silence, then a READ.
    void stream_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("step");
        QTest::addColumn<Bytes>("replies");

        const QByteArray lip = startWith(0, hex("c0a80065")).left(31);
        const QByteArray lipAndPort = QByteArray(lip).replace(12, 2, hex("22c4"));
        QTest::newRow("garbage before a frame") << hex("00 55 30 ff 0c") + lipFrame << 64 << Bytes{ack, lip};
        QTest::newRow("split byte by byte") << lipFrame << 1 << Bytes{ack, lip};
        QTest::newRow("two frames in one write") << lipFrame + portFrame << 64 << Bytes{ack, ack, lipAndPort};
        // The header claims a long frame; the one behind it waits for the silence.
        QTest::newRow("stray header before a frame") << hex("aa 20") + lipFrame << 64 << Bytes{ack, lip};
    }
    void stream()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, step);
        QFETCH(Bytes, replies);
        DeviceModel model;
        Bytes got;
        for (int i = 0; i < bytes.size(); i += step)
            got << repliesOf(model.receive(bytes.mid(i, step)));
        got << repliesOf(model.dropPartialFrame());
        QCOMPARE(got << repliesOf(model.receive(readFrame)), replies);
    }

    // velmora-sim names its pseudo-terminal, answers there, and stops cleanly
    // on SIGTERM; an option it does not know stops it at once.
    void simulatorProcess()
    {
        QProcess sim;
        sim.start(QStringLiteral(VELMORA_SIM_PATH), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10000);
        const QByteArray prefix = "Simulated device on ";
        const QByteArray first = sim.readLine().trimmed();
        QVERIFY2(first.startsWith(prefix), first.constData());

        QSerialPort line(QString::fromLocal8Bit(first.mid(prefix.size())));
        QVERIFY2(line.open(QIODevice::ReadWrite), qPrintable(line.errorString()));
        // A stray header, then READ: the READ is answered once the line has gone quiet.
        line.write("\xaa\xaa\x01\x0c\x0c\x55", 6);
        // The device's start values: 10.20.30.40, 255.255.0.0, 10.20.0.1, ...
        const QByteArray block = "0a141e28 ffff0000 0a140001 139c 0011 02564d000001 01 001e 0000 0a1400fe";
        QByteArray received;
        QTRY_COMPARE(received += line.readAll(), QByteArray::fromHex(block));
        line.close();

        QCOMPARE(::kill(pid_t(sim.processId()), SIGTERM), 0);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);

        sim.start(QStringLiteral(VELMORA_SIM_PATH), {QStringLiteral("--bogus")});  // refused, not ignored
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QVERIFY(sim.exitCode() != 0);
    }
};

QTEST_GUILESS_MAIN(DeviceModelTest)
#include "tst_devicemodel.moc"
