// The simulated device served in-process (SimulatedSerialPort), opened and
// read as a serial port, against the model it serves and, where there are
// pseudo-terminals, the same device on one (PtyDevice): the same frames give
// the same replies.
#include "device/builtinsimulator.h"
#include "device/simulatedport.h"
#include "link/inprocessport.h"
#include "link/portmap.h"
#include "link/serialline.h"
#include "protocol/frame.h"

#ifdef VELMORA_HAS_SIMULATOR
#include "device/ptydevice.h"
#endif
#ifdef Q_OS_LINUX
#include "exclusivemode.h"
#endif

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Chunks = QByteArrayList;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }


const QByteArray lipFrame = hex("aa 05 00 c0 a8 00 65 0d 55");  // local IP 192.168.0.101
const QByteArray readFrame = hex("aa 01 0c 0c 55");
const QByteArray Quiet;  // a chunk that stands for the line going quiet

// What the model answers to the chunks, each handed over as it is.
QByteArray modelReplies(const Chunks &chunks)
{
    DeviceModel model;
    QByteArray replies;
    for (const QByteArray &chunk : chunks) {
        for (const DeviceExchange &exchange : chunk.isEmpty() ? model.dropPartialFrame() : model.receive(chunk))
            replies += exchange.reply;
    }
    return replies;
}

// A port opened the way every program opens its line, and the device behind it.
struct Line
{
    explicit Line(const QByteArray &simulator)
    {
        if (simulator == "in-process") {
            auto device = std::make_shared<DeviceModel>();
            model = device.get();
            port = std::make_unique<SimulatedSerialPort>(device);
        }
#ifdef VELMORA_HAS_SIMULATOR
        else {
            pty = std::make_unique<PtyDevice>();
            model = &pty->model();
            port = std::make_unique<QSerialPort>(pty->open() ? pty->slavePath() : QString());
        }
#endif
        errors = std::make_unique<QSignalSpy>(port.get(), &QSerialPort::errorOccurred);
        opened = SerialLine::open(*port, &openError);
    }

#ifdef VELMORA_HAS_SIMULATOR
    std::unique_ptr<PtyDevice> pty;
#endif
    const DeviceModel *model = nullptr;
    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<QSignalSpy> errors;
    bool opened = false;
    QString openError;
};

} // namespace

class SimulatedPortTest : public QObject
{
    Q_OBJECT

private slots:
    void repliesAsTheModel_data()
    {
        QTest::addColumn<QByteArray>("simulator");
        QTest::addColumn<Chunks>("chunks");

        Protocol::ParameterBlock block = DeviceModel::startParameters();
        block.localIp = {10, 1, 2, 3};
        const struct { const char *name; Chunks chunks; } rows[] = {
            {"read", {readFrame}},
            {"set, then read, in one write", {lipFrame + readFrame}},
            {"a frame in pieces", {lipFrame.left(3), lipFrame.mid(3), readFrame}},
            {"garbage before a frame", {hex("01 02 55") + readFrame}},
            {"bad checksum refused", {hex("aa 05 00 c0 a8 00 65 00 55"), readFrame}},
            {"serial number above 249 refused", {Protocol::buildFrame(Protocol::Command::SerialNumber, hex("00 fa"))}},
            {"set all, then read", {Protocol::buildFrame(Protocol::Command::SetAll, block.toBytes()), readFrame}},
            {"stray header dropped after quiet", {hex("aa"), Quiet, readFrame}},
        };
        QByteArrayList simulators{"in-process"};
#ifdef VELMORA_HAS_SIMULATOR
        simulators << "pty";
#endif
        for (const QByteArray &simulator : simulators) {
            for (const auto &row : rows)
                QTest::addRow("%s: %s", simulator.constData(), row.name) << simulator << row.chunks;
        }
    }

    // Then what is left unread is dropped, and the line stays open without
    // an error: no purge of a driver buffer that is not there.
    void repliesAsTheModel()
    {
        QFETCH(QByteArray, simulator);
        QFETCH(Chunks, chunks);
        Line line(simulator);
        QVERIFY2(line.opened, qPrintable(line.openError));
        for (const QByteArray &chunk : chunks) {
            if (chunk.isEmpty()) {
                QTRY_VERIFY(!line.model->hasPartialFrame());
                continue;
            }
            QCOMPARE(line.port->write(chunk), chunk.size());
            QVERIFY(line.port->flush());
            // Never within write(): the reply comes on a later turn of the event loop.
            QCOMPARE(line.port->bytesAvailable(), 0);
        }
        QByteArray received;
        QTRY_COMPARE(received += line.port->readAll(), modelReplies(chunks));

        line.port->write(readFrame);
        QTRY_VERIFY(line.port->bytesAvailable() > 0);
        SerialLine::dropInput(*line.port);
        QCOMPARE(line.port->bytesAvailable(), 0);
        QVERIFY(line.port->isOpen());
        for (const QList<QVariant> &error : std::as_const(*line.errors))  // opening reports NoError
            QCOMPARE(error.at(0).value<QSerialPort::SerialPortError>(), QSerialPort::NoError);
    }

    // --simulate's COM1, as velmora opens it again after CLOSE: the second
    // port reads what the first one set. Gone with the simulator.
    void deviceOutlivesItsPorts()
    {
        qputenv("VELMORA_SIMULATOR", "in-process");
        QString error;
        std::unique_ptr<QObject> simulator = BuiltInSimulator::start(&error);
        qunsetenv("VELMORA_SIMULATOR");
        QVERIFY2(simulator, qPrintable(error));
        const QString device = PortMap::devicePath(QStringLiteral("COM1"));
        QCOMPARE(device, BuiltInSimulator::inProcessName());

        const QByteArray expected = modelReplies({lipFrame + readFrame});
        QByteArray received;
        for (const QByteArray &frame : {lipFrame, readFrame}) {
            std::unique_ptr<QSerialPort> port = InProcessPort::create(device);
            QVERIFY2(SerialLine::open(*port, &error), qPrintable(error));
            port->write(frame);
            QTRY_VERIFY(port->bytesAvailable() > 0);
            received += port->readAll();
        }
        QCOMPARE(received, expected);

        simulator.reset();
        QVERIFY(!qobject_cast<InProcessPort *>(InProcessPort::create(device).get()));
        PortMap::reset();
    }

#if defined(VELMORA_HAS_SIMULATOR) && defined(Q_OS_LINUX)
    // The serial library opens a port in exclusive mode and clears it on
    // closing. A program killed while it held the pty device's port never
    // clears it; the line drops it with its last user, as a serial device's
    // does, so that the next program is not refused. A look by another, who
    // comes and goes, leaves it to the one who stays.
    void exclusiveModeEndsWithTheLastUser()
    {
        PtyDevice device;
        QVERIFY2(device.open(), qPrintable(device.errorString()));
        const QString path = device.slavePath();
        const int user = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(user >= 0);
        QCOMPARE(::ioctl(user, TIOCEXCL), 0);
        QVERIFY(exclusiveMode(path));
        // The device answers after the look's close was seen.
        QCOMPARE(::write(user, readFrame.constData(), size_t(readFrame.size())), ssize_t(readFrame.size()));
        ssize_t replied = 0;
        char reply[64];
        QTRY_VERIFY((replied = qMax(replied, ::read(user, reply, sizeof reply))) > 0);
        QVERIFY(exclusiveMode(path));
        ::close(user);  // as a kill closes it
        QTRY_VERIFY(!exclusiveMode(path));
    }
#endif
};

QTEST_GUILESS_MAIN(SimulatedPortTest)
#include "tst_simulatedport.moc"
