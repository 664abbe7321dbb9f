// velmora-cli as a technician runs it, against the simulated device over a
// real pseudo-terminal: output, exit codes, and the frames that went out.
#include "client/devicesession.h"
#include "client/formats.h"
#include "client/portscan.h"
#include "clirun.h"
#include "flood.h"
#include "heapusage.h"
#include "files.h"
#include "link/lowlatency.h"
#include "link/serialline.h"
#include "link/wiretrace.h"
#include "protocol/frame.h"
#include "ptypair.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>
#include <fcntl.h>
#include <unistd.h>

using Protocol::BlockField;
using namespace Qt::StringLiterals;

namespace {

const QString StartReport = QStringLiteral(
    "LIP:10.20.30.40\nMASK:255.255.0.0\nSIP:10.20.0.1\nMAC:2.56.4d.0.0.1\nPORT:5020\nSN:17\nMODE:1\nT1:30\nGATE:10.20.0.254\n");

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void setEachKey_data();
    void setEachKey();
    void setAllKeepsWhatIsNotGiven();
    void profileClonesDevice();
    void verifyFindsMismatch_data();
    void verifyFindsMismatch();
    void faults_data();
    void faults();
    void strayBytesAreNotTheReply();
    void lateAnswersAreNeverTheNextReply();
    void floodBeforeTheReply_data();
    void floodBeforeTheReply();
    void badInput_data();
    void badInput();
    void messages_data();
    void messages();
    void languages_data();
    void languages();
    void portsAndScan();
    void scanTakesOneTimeout();
    void lowLatencyRefusedSilently();
    void simulate_data();
    void simulate();
};

void tst_Cli::read_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("out");
    QTest::newRow("report") << "" << StartReport;
    QTest::newRow("json") << "--json"
                          << "{\"gateway\":\"10.20.0.254\",\"lip\":\"10.20.30.40\",\"mac\":\"02:56:4d:00:00:01\","
                             "\"mask\":\"255.255.0.0\",\"mode\":1,\"port\":5020,\"sip\":\"10.20.0.1\",\"sn\":17,\"t1\":30}\n";
    QTest::newRow("profile") << "--profile"
                             << "lip = 10.20.30.40\nmask = 255.255.0.0\nsip = 10.20.0.1\nport = 5020\nsn = 17\n"
                                "mac = 02:56:4d:00:00:01\nmode = 1\nt1 = 30\nreserved = 00:00\ngateway = 10.20.0.254\n";
}

void tst_Cli::read()
{
    QFETCH(QString, format);
    QFETCH(QString, out);
    Device device;
    const Run run = device.run(format.isEmpty() ? QStringList{"read"} : QStringList{"read", format});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(device.frames, 1);
}

void tst_Cli::setEachKey_data()
{
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("acknowledged");
    QTest::addColumn<QByteArray>("bytes");  // where the key's field lies in the block
    QTest::newRow("lip") << "lip=192.168.0.101" << "LIP success" << QByteArray::fromHex("c0a80065");
    QTest::newRow("mask") << "mask=255.255.255.0" << "MASK success" << QByteArray::fromHex("ffffff00");
    QTest::newRow("sip") << "sip=192.168.0.201" << "SIP success" << QByteArray::fromHex("c0a800c9");
    QTest::newRow("gateway") << "gateway=192.168.0.1" << "Gateway success" << QByteArray::fromHex("c0a80001");
    QTest::newRow("port") << "port=8900" << "PORT success" << QByteArray::fromHex("22c4");
    QTest::newRow("t1") << "t1=65535" << "T1 success" << QByteArray::fromHex("ffff");
    QTest::newRow("sn") << "sn=249" << "SN success" << QByteArray::fromHex("00f9");
    QTest::newRow("mac") << "mac=00-1E-CE-00-79-01" << "MAC success" << QByteArray::fromHex("001ece007901");
}

void tst_Cli::setEachKey()
{
    QFETCH(QString, assignment);
    QFETCH(QString, acknowledged);
    QFETCH(QByteArray, bytes);
    Device device;
    const QByteArray before = device.bytes();
    const Run run = device.run({"set", assignment, "--verify"});
    const QString key = assignment.section(QLatin1Char('='), 0, 0);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, QStringLiteral("%1\nverified: %2\n").arg(acknowledged, key));
    QCOMPARE(run.exitCode, 0);
    const BlockField *field = Protocol::blockField(key);
    QCOMPARE(device.bytes().toHex(), QByteArray(before).replace(field->offset, field->width, bytes).toHex());
}

void tst_Cli::setAllKeepsWhatIsNotGiven()
{
    Device device;
    QCOMPARE(device.run({"set-all", "mode=7", "reserved=12:34"}).exitCode, 0);
    const Run run = device.run({"--verify", "set-all", "port=1"});
    QCOMPARE(run.out, QStringLiteral("SET ALL success\nverified: lip mask sip port sn mac mode t1 reserved gateway\n"));
    QCOMPARE(run.exitCode, 0);
    QByteArray expected = DeviceModel::startParameters().toBytes();
    expected.replace(12, 2, QByteArray::fromHex("0001")).replace(22, 1, "\x07").replace(25, 2, "\x12\x34");
    QCOMPARE(device.bytes().toHex(), expected.toHex());
    QCOMPARE(device.frames, 5);  // READ, SET ALL; READ, SET ALL, READ
}

void tst_Cli::profileClonesDevice()
{
    Device original;
    QCOMPARE(original.run({"set-all", "lip=1.2.3.4", "mask=5.6.7.8", "sip=9.10.11.12", "port=3341", "sn=200",
                           "mac=aa:bb:cc:dd:ee:ff", "mode=77", "t1=4000", "reserved=a5:5a", "gateway=13.14.15.16"})
                 .exitCode,
             0);
    const Run profile = original.run({"read", "--profile"});
    QCOMPARE(profile.exitCode, 0);
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(profile.out.toUtf8());
    file.close();

    Device clone;
    QCOMPARE(clone.run({"set-all", "--profile", file.fileName()}).exitCode, 0);
    QCOMPARE(clone.bytes().toHex(), original.bytes().toHex());
}

void tst_Cli::verifyFindsMismatch_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("out");
    QTest::newRow("set") << QStringList{"set", "sn=3", "port=1", "--verify"}
                         << "SN success\nPORT success\nport: wrote 1, device has 5020\n";
    QTest::newRow("set-all") << QStringList{"set-all", "port=1", "--verify"}
                             << "SET ALL success\nport: wrote 1, device has 5020\n";
}

void tst_Cli::verifyFindsMismatch()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    DeviceOptions options;
    options.ignoredField = Protocol::blockField(u"port");
    Device device(options);
    const Run run = device.run(arguments);
    QCOMPARE(run.out, out);
    QVERIFY2(run.err.startsWith(QLatin1String("velmora-cli: verify: 1 of ")), qPrintable(run.err));
    QCOMPARE(run.exitCode, 4);
}

void tst_Cli::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("err");

    QTest::newRow("reply split by a pause") << "split" << QStringList{"read"} << 0 << 1 << "";
    QTest::newRow("reply paced like a UART") << "paced" << QStringList{"read"} << 0 << 1 << "";
    QTest::newRow("late reply within the time-out")
        << "late" << QStringList{"--timeout", "1000", "read"} << 0 << 1 << "";
    QTest::newRow("silent device: 1 + retries frames")
        << "silent" << QStringList{"--timeout", "100", "--retries", "2", "set", "port=1"} << 3 << 3
        << "velmora-cli: @LINE: no answer to PORT after 3 frame(s); check the cable, the device's power and that this is "
           "its port (velmora-cli scan finds it)\n";
    QTest::newRow("refusal, no retry") << "fail" << QStringList{"set", "port=1", "sn=2"} << 1 << 1
                                       << "velmora-cli: PORT refused: 31 03\n";
    QTest::newRow("refused READ") << "fail" << QStringList{"--timeout", "200", "read"} << 1 << 1
                                  << "velmora-cli: READ refused: 31 0c\n";
}

void tst_Cli::faults()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(int, frames);
    QFETCH(QString, err);
    DeviceOptions options;
    options.splitAt = fault == QLatin1String("split") ? 20 : 0;
    options.delayMs = fault == QLatin1String("late") ? 300 : 0;
    options.baud = fault == QLatin1String("paced") ? 115200 : 0;
    options.silent = fault == QLatin1String("silent");
    options.fail = fault == QLatin1String("fail");
    Device device(options);

    const Run run = device.run(arguments);
    QCOMPARE(run.err, err.replace(u"@LINE"_s, device.path()));
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(device.frames, frames);
    if (exitCode == 0)
        QCOMPARE(run.out, StartReport);
}

void tst_Cli::strayBytesAreNotTheReply()
{
    PtyPair pty;
    QBuffer traced;
    traced.open(QIODevice::WriteOnly);
    WireTrace trace(&traced);
    Client::DeviceSession session;
    session.line().setTrace(&trace);
    QVERIFY(session.line().open(pty.slavePath()));

    // Bytes while nothing is awaited, then more right behind an acknowledgement.
    QVERIFY(pty.send("\x31\x31"));
    QTRY_VERIFY(traced.data().contains("RX 31 31"));
    Client::ValueSet values;
    QString error;
    QVERIFY(Client::parseAssignments({"port=8900", "sn=3"}, Client::Writer::SingleCommands, &values, &error));
    std::optional<Client::OperationResult> result;
    session.set(values, false, [&](const Client::OperationResult &r) { result = r; });

    const QByteArray portFrame = QByteArray::fromHex("aa030322c4e555");
    QTRY_COMPARE(pty.received(), portFrame);
    QVERIFY(pty.send("\x30\x31\x31"));
    QTRY_COMPARE(pty.received(), portFrame + QByteArray::fromHex("aa0304000307" "55"));
    QVERIFY(pty.send("\x30"));
    QTRY_VERIFY(result);
    QCOMPARE(result->error, QString());
    QCOMPARE(result->acknowledged, QStringList({"PORT success", "SN success"}));
}

void tst_Cli::lateAnswersAreNeverTheNextReply()
{
    // Every answer comes 40 ms after its frame's time-out: set-all, then a
    // read at once, as a script would. Neither may take an answer to an
    // earlier frame for its own, which would write or print a block read
    // out of place.
    DeviceOptions options;
    options.delayMs = 240;
    Device device(options);
    Protocol::ParameterBlock wanted = DeviceModel::startParameters();
    wanted.port = 1;
    const Run setAll = device.run({"--timeout", "200", "set-all", "port=1", "--verify"});
    QVERIFY2(setAll.err.contains(QLatin1String("came after their deadline")) || setAll.exitCode == 0, qPrintable(setAll.err));
    QVERIFY(device.device.model().parameters() == wanted || device.device.model().parameters() == DeviceModel::startParameters());

    const Run read = device.run({"--timeout", "200", "read", "--json"});
    if (read.exitCode == 0)
        QCOMPARE(read.out, QString::fromUtf8(Client::jsonText(device.device.model().parameters())));
}

void tst_Cli::floodBeforeTheReply_data()
{
    QTest::addColumn<bool>("read");  // else PORT, which a refusal answers
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("READ gets its block") << true << DeviceModel::startParameters().toBytes();
    // Noise taken for part of it would show among its bytes.
    QTest::newRow("a refusal is the device's alone") << false << QByteArray("\x31\x03");
}

// A device that sends noise without pause at 2 MiB/s, then stops and answers
// the next frame: none of the noise is taken for the reply, and memory stays
// bounded while it lasts.
void tst_Cli::floodBeforeTheReply()
{
    QFETCH(bool, read);
    QFETCH(QByteArray, reply);
    using Client::ReplyAssembler;
    PtyPair pty;
    Client::LineTransport line;
    QVERIFY(line.open(pty.slavePath()));

    const qint64 heapBefore = heapInUse();
    qint64 heapPeak = heapBefore;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] { heapPeak = std::max(heapPeak, heapInUse()); });
    watch.start(5);
    Flood flood(pty, 2 << 20);
    QTest::qWait(2000);
    const double mibPerSecond = flood.stop();
    watch.stop();

    const QByteArray frame = QByteArray::fromHex(read ? "aa010c0c55" : "aa030322c4e555");
    std::optional<Client::LineTransport::Result> result;
    line.exchange(frame, read ? ReplyAssembler::Awaiting::Block : ReplyAssembler::Awaiting::Acknowledgement,
                  [&](const Client::LineTransport::Result &r) { result = r; });
    QTRY_COMPARE(pty.received(), frame);
    QVERIFY(pty.send(reply));
    QTRY_VERIFY(result);
    QCOMPARE(result->verdict.kind, read ? ReplyAssembler::Verdict::Block : ReplyAssembler::Verdict::Refused);
    QCOMPARE(result->verdict.bytes.toHex(), reply.toHex());

    const qint64 heapGrowth = heapPeak - heapBefore;
    qInfo("%.1f MiB/s for 2 s; heap at most %lld bytes above the start", mibPerSecond, heapGrowth);
    QVERIFY2(mibPerSecond >= 1, qPrintable(QString::number(mibPerSecond)));
    QVERIFY2(heapGrowth < 1 << 20, qPrintable(QString::number(heapGrowth)));
}

void tst_Cli::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");  // PROFILE stands for a file holding profile
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("err");

    const auto row = [](const char *name, const QStringList &arguments, const char *err, const char *profile = "") {
        QTest::newRow(name) << arguments << QString::fromUtf8(profile) << QString::fromUtf8(err);
    };
    row("port out of range", {"set", "port=70000"}, "port=70000: expected a whole number from 0 to 65535");
    row("octet out of range", {"set", "lip=1.2.3.256"}, "lip=1.2.3.256: expected four numbers 0 to 255 joined by dots");
    row("five mac pairs", {"set-all", "mac=00:1e:ce:00:79"},
        "mac=00:1e:ce:00:79: expected six hex pairs joined by ':' or '-'");
    row("sn 250", {"set", "sn=250"}, "sn=250: expected a whole number from 0 to 249");
    row("unknown key", {"set", "port=1", "speed=9600"},
        "speed=9600: unknown key speed; the keys are lip mask sip port sn mac t1 gateway");
    row("key given twice", {"set-all", "port=1", "port=2"}, "port=2: port is given twice");
    row("mode by set", {"set", "mode=1"}, "mode=1: only set-all writes mode");
    row("no value", {"set", "port"}, "port: expected KEY=VALUE");
    row("profile line without =", {"set-all", "--profile", "PROFILE"}, "PROFILE:2: port 8900: expected KEY=VALUE",
        "# bench\nport 8900\n");
    row("profile value", {"set-all", "--profile", "PROFILE", "port=1"},
        "PROFILE:1: sn=300: expected a whole number from 0 to 249", "sn = 300\n");
    row("profile missing", {"set-all", "--profile", "/no/such.conf"}, "/no/such.conf: No such file or directory");
    row("unknown command", {"write", "port=1"}, "unknown command write; the commands are read set set-all reset plan batch ports scan line");
    row("verify with read", {"read", "--verify"}, "--verify goes with set and set-all, not with read");
    row("bad time-out", {"--timeout", "0", "read"}, "--timeout 0: expected milliseconds from 1 to 3600000");
}

void tst_Cli::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, profile);
    QFETCH(QString, err);
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(profile.toUtf8());
    file.close();
    arguments.replaceInStrings(QStringLiteral("PROFILE"), file.fileName());

    PtyPair pty;
    const Run run = cli(QStringList{"--port", pty.slavePath()} + arguments);
    QCOMPARE(run.err, QStringLiteral("velmora-cli: %1\n").arg(err.replace(QLatin1String("PROFILE"), file.fileName())));
    QCOMPARE(run.out, QString());
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(pty.received(), QByteArray());
}

// What a technician meets first, one line on stderr each. In the arguments
// @SILENT is a device that never answers, @BUSY a line this test holds open
// and @FILE a regular file.
void tst_Cli::messages_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    const QString forms = u"give COM1 to COM20, a device path (/dev/ttyUSB0) or COMn=DEVICE"_s;
    const auto row = [](const char *name, const QStringList &arguments, int exitCode, const QString &err) {
        QTest::newRow(name) << arguments << exitCode << err;
    };
    row("no answer: the port as opened and what to check", {"--port", "COM7=@SILENT", "--timeout", "50", "read"}, 3,
        u"COM7 (@SILENT): no answer to READ after 3 frame(s); check the cable, the device's power and that this is "
        "its port (velmora-cli scan finds it)"_s);
    row("lower-case com", {"--port", "com1", "read"}, 2, u"--port com1: not a port of the list; "_s + forms + u" (COM1?)"_s);
    row("COM0", {"--port", "COM0", "read"}, 2, u"--port COM0: not a port of the list; "_s + forms);
    row("COM21", {"--port", "COM21", "read"}, 2, u"--port COM21: not a port of the list; "_s + forms);
    row("a name without /dev/", {"--port", "USB0", "read"}, 2, u"--port USB0: not a port name; "_s + forms);
    row("COMn= without a device", {"--port", "COM1=", "read"}, 2, u"--port COM1=: expected COMn=DEVICE"_s);
    row("a mapping of no listed port", {"--port", "COM22=/dev/ttyUSB0", "read"}, 2,
        u"--port COM22=/dev/ttyUSB0: COM22 is not a port of the list, COM1 to COM20"_s);
    row("missing device", {"--port", "/dev/no-such-line", "read"}, 3,
        u"cannot open /dev/no-such-line: No such file or directory; velmora-cli ports lists the serial ports present"_s);
    row("in use", {"--port", "@BUSY", "read"}, 3, u"cannot open @BUSY: in use by tst_cli (pid @PID)"_s);
    row("in use, batch", {"batch", "PLAN", "--log", "LOG", "--no-prompt", "--port", "@BUSY"}, 3,
        u"cannot open @BUSY: in use by tst_cli (pid @PID)"_s);
    row("/dev/null", {"--port", "/dev/null", "read"}, 3, u"cannot open /dev/null: not a serial port"_s);
    row("a regular file", {"--port", "@FILE", "read"}, 3, u"cannot open @FILE: not a serial port"_s);
    row("permission denied", {"--port", "@DENIED", "read"}, 3,
        u"cannot open @DENIED: Permission denied; serial ports belong to the group dialout: "
        "sudo adduser \"$USER\" dialout, then log in again"_s);
    row("--simulate with --port", {"--simulate", "--port", "/dev/ttyUSB0", "read"}, 2,
        u"--simulate connects COM1 to a simulated device: it does not go with --port"_s);
}

void tst_Cli::messages()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    DeviceOptions silentOptions;
    silentOptions.silent = true;
    Device silent(silentOptions);
    PtyPair busy;
    QSerialPort holder(busy.slavePath());
    QString error;
    QVERIFY(SerialLine::open(holder, &error));
    PtyPair denied;
    if (arguments.contains(u"@DENIED"_s)) {
        if (::geteuid() == 0)
            QSKIP("running as root, whom a port's permissions do not stop");
        QVERIFY(QFile::setPermissions(denied.slavePath(), {}));
    }
    QTemporaryDir folder;
    const QString file = folder.filePath(u"plan.csv"_s);
    QVERIFY(writeFile(file, "lip\n10.0.0.1\n"));
    const QMap<QString, QString> places = {{u"@SILENT"_s, silent.path()}, {u"@BUSY"_s, busy.slavePath()},
                                           {u"@DENIED"_s, denied.slavePath()}, {u"@FILE"_s, file},
                                           {u"PLAN"_s, file}, {u"LOG"_s, folder.filePath(u"log.csv"_s)},
                                           {u"@PID"_s, QString::number(QCoreApplication::applicationPid())}};
    for (auto it = places.cbegin(); it != places.cend(); ++it) {
        arguments.replaceInStrings(it.key(), it.value());
        err.replace(it.key(), it.value());
    }
    const Run run = cli(arguments);
    QCOMPARE(run.err, u"velmora-cli: "_s + err + u"\n"_s);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(busy.received(), QByteArray());
}

// A technician's language changes what stderr says and nothing else: not
// the exit status, not the file:line:column before a plan's problem, not a
// byte of stdout. @REASON stands for the system's own words.
void tst_Cli::languages_data()
{
    QTest::addColumn<QStringList>("arguments");  // PLAN, LOG stand for files
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    const auto row = [](const char *name, const QStringList &arguments, int exitCode, const QString &english,
                        const QString &chinese) { QTest::newRow(name) << arguments << exitCode << english << chinese; };
    row("a port that is not there", {"--port", "/dev/no-such-line", "read"}, 3,
        u"cannot open /dev/no-such-line: @REASON; velmora-cli ports lists the serial ports present"_s,
        u"无法打开 /dev/no-such-line：@REASON；velmora-cli ports 可列出现有的串口"_s);
    row("a port not of the list", {"--port", "com1", "read"}, 2,
        u"--port com1: not a port of the list; give COM1 to COM20, a device path (/dev/ttyUSB0) or COMn=DEVICE (COM1?)"_s,
        u"--port com1：不在端口列表中；请指定 COM1 到 COM20、设备路径（/dev/ttyUSB0）或 COMn=DEVICE（是否为 COM1？）"_s);
    row("a plan's problem", {"batch", "PLAN", "--log", "LOG", "--no-prompt"}, 2,
        u"PLAN:2:10: mac=zz: expected six hex pairs joined by ':' or '-'"_s,
        u"PLAN:2:10: mac=zz: 应为以“:”或“-”分隔的六组十六进制数"_s);
    row("a port held by another program", {"--port", "HELD", "read"}, 3, u"cannot open HELD: in use by tst_cli @REASON"_s,
        u"无法打开 HELD：正被 tst_cli @REASON 占用"_s);
    row("a device's refusal", {"--port", "REFUSING", "set", "port=8900"}, 1, u"PORT refused: 31 03"_s,
        u"PORT 被拒绝：31 03"_s);
    row("a plan's CSV", {"plan", "--count", "2", "lip=10.0.0.1"}, 0, {}, {});
    row("a held port's problem in JSON", {"ports", "--json", "--port", "HELD"}, 0, {}, {});
    row("a device's JSON", {"--simulate", "read", "--json"}, 0, {}, {});
}

void tst_Cli::languages()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    QTemporaryDir folder;
    const QString plan = folder.filePath(u"plan.csv"_s);
    QVERIFY(writeFile(plan, "lip,mac\n10.0.0.1,zz\n"));
    PtyPair held;
    QSerialPort holder(held.slavePath());
    QString error;
    QVERIFY2(SerialLine::open(holder, &error), qPrintable(error));
    DeviceOptions refusing;
    refusing.fail = true;
    Device device(refusing);
    arguments.replaceInStrings(u"PLAN"_s, plan).replaceInStrings(u"LOG"_s, folder.filePath(u"log.csv"_s));
    arguments.replaceInStrings(u"HELD"_s, held.slavePath()).replaceInStrings(u"REFUSING"_s, device.path());
    std::optional<Run> englishRun;
    for (const auto &[locale, err] : {std::pair(u"C"_s, english), std::pair(u"zh_CN.UTF-8"_s, chinese)}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"LC_ALL"_s, locale);
        const Run run = cli(arguments, environment);
        QStringList parts = QString(err).replace(u"PLAN"_s, plan).replace(u"HELD"_s, held.slavePath()).split(u"@REASON"_s);
        for (QString &part : parts)
            part = QRegularExpression::escape(part);
        const QRegularExpression expected(err.isEmpty() ? u"^$"_s : u"^velmora-cli: "_s + parts.join(u".+"_s) + u"\n$"_s);
        QVERIFY2(expected.match(run.err).hasMatch(), qPrintable(locale + u": "_s + run.err));
        QCOMPARE(run.exitCode, exitCode);
        if (englishRun)
            QCOMPARE(run.out.toUtf8(), englishRun->out.toUtf8());
        else
            englishRun = run;
    }
    QCOMPARE(englishRun->out.isEmpty(), exitCode != 0);
}

// Ports named through links, as /dev/serial/by-id/ names them: a device that
// answers, one that is silent, one that refuses, and one held by this test.
void tst_Cli::portsAndScan()
{
    DeviceOptions silentOptions, refusingOptions;
    silentOptions.silent = true;
    refusingOptions.fail = true;
    Device answering, silent(silentOptions), refusing(refusingOptions);
    PtyPair busy;
    QTemporaryDir byId;
    QStringList arguments;
    const QStringList targets = {answering.path(), silent.path(), refusing.path(), busy.slavePath()};
    QStringList links;
    for (int i = 0; i < targets.size(); ++i) {
        links << byId.filePath(u"usb-Velmora_Adapter_%1-if00-port0"_s.arg(i));
        QVERIFY(QFile::link(targets[i], links.last()));
        arguments << u"--port"_s << u"COM%1=%2"_s.arg(i + 2).arg(links.last());
    }
    QSerialPort holder(busy.slavePath());
    QString error;
    QVERIFY(SerialLine::open(holder, &error));
    const QString inUse = u"in use by tst_cli (pid %1)"_s.arg(QCoreApplication::applicationPid());

    const Run ports = cli(QStringList{"ports", "--json"} + arguments);
    QCOMPARE(ports.exitCode, 0);
    QMap<QString, QJsonObject> byDevice;
    for (const QJsonValue &value : QJsonDocument::fromJson(ports.out.toUtf8()).array())
        byDevice.insert(value[u"device"_s].toString(), value.toObject());
    for (int i = 0; i < targets.size(); ++i) {
        const QJsonObject port = byDevice.value(targets[i]);
        QCOMPARE(QStringList(port.keys()), QStringList({"by_id", "com", "description", "device", "manufacturer",
                                                        "problem", "serial_number", "usb_id"}));
        QCOMPARE(port[u"by_id"_s].toString(), links[i]);
        QCOMPARE(port[u"com"_s].toArray(), QJsonArray({u"COM%1"_s.arg(i + 2)}));
        QCOMPARE(port[u"problem"_s].toString(), i == 3 ? inUse : QString());
    }

    const Run scan = cli(QStringList{"scan", "--json", "--timeout", "300"} + arguments);
    QCOMPARE(scan.err, QString());
    QCOMPARE(scan.exitCode, 0);
    const QJsonArray found = QJsonDocument::fromJson(scan.out.toUtf8()).array();
    QCOMPARE(found.size(), 4);
    const QStringList problems = {QString(), u"no answer"_s, u"READ refused: 31 0c"_s, u"cannot open: "_s + inUse};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject outcome = found[i].toObject();
        QCOMPARE(outcome[u"port"_s].toString(), u"COM%1 (%2)"_s.arg(i + 2).arg(links[i]));
        QCOMPARE(outcome[u"answered"_s].toBool(), i == 0);
        QCOMPARE(outcome[u"problem"_s].toString(), problems[i]);
    }
    QCOMPARE(found[0][u"lip"_s].toString(), u"10.20.30.40"_s);
    QCOMPARE(found[0][u"mac"_s].toString(), u"02:56:4d:00:00:01"_s);
    QCOMPARE(found[0][u"sn"_s].toInt(), 17);
    QCOMPARE(busy.received(), QByteArray());
    QCOMPARE(answering.frames + silent.frames + refusing.frames, 3);  // one READ each

    const Run text = cli(QStringList{"scan", "--timeout", "300"} + arguments.mid(0, 2));
    QCOMPARE(text.out, u"COM2 (%1): LIP 10.20.30.40, MAC 02:56:4d:00:00:01, SN 17\n"_s.arg(links[0]));
}

// Every port is asked at once: eight silent ones take one time-out, not eight.
void tst_Cli::scanTakesOneTimeout()
{
    constexpr int TimeoutMs = 400;
    DeviceOptions options;
    options.silent = true;
    std::vector<std::unique_ptr<Device>> silent;
    std::vector<Client::PortScan::Candidate> candidates;
    for (int i = 0; i < 8; ++i) {
        silent.push_back(std::make_unique<Device>(options));
        candidates.push_back({silent.back()->path(), silent.back()->path()});
    }
    Client::PortScan scan;
    QSignalSpy finished(&scan, &Client::PortScan::finished);
    QElapsedTimer clock;
    clock.start();
    scan.start(candidates, TimeoutMs);
    QVERIFY(finished.wait(10 * TimeoutMs));
    const qint64 elapsed = clock.elapsed();
    qInfo("8 silent ports scanned in %lld ms, one time-out %d ms", elapsed, TimeoutMs);
    QVERIFY2(elapsed < TimeoutMs * 3 / 2, qPrintable(QString::number(elapsed)));
    for (const auto &outcome : scan.outcomes())
        QCOMPARE(outcome.problem, u"no answer"_s);
}

// A pseudo-terminal takes no low-latency flag: the call is made, refused,
// and the port opens all the same; --trace says so once.
void tst_Cli::lowLatencyRefusedSilently()
{
    PtyPair pty;
    const int descriptor = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY);
    QVERIFY(descriptor >= 0);
    const LowLatency::Outcome outcome = LowLatency::enable(descriptor);
    ::close(descriptor);
    QVERIFY(!outcome.taken);
    QCOMPARE(outcome.reason, QString::fromLocal8Bit(std::strerror(ENOTTY)));

    QBuffer traced;
    traced.open(QIODevice::WriteOnly);
    WireTrace trace(&traced);
    QSerialPort port(pty.slavePath());
    QString error;
    QVERIFY2(SerialLine::open(port, &error, &trace), qPrintable(error));
    QCOMPARE(error, QString());
    QCOMPARE(traced.data().count('\n'), 1);
    QVERIFY2(traced.data().endsWith(" -- " + pty.slavePath().toUtf8() + " low latency: not taken (Inappropriate ioctl for device)\n"),
             traced.data().constData());
}

// --simulate's device on a pty, as on Linux, and served in-process, as on
// Windows: the same answers either way.
void tst_Cli::simulate_data()
{
    QTest::addColumn<QByteArray>("simulator");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("out");
    for (const QByteArray simulator : {"pty", "in-process"}) {
        QTest::addRow("%s read", simulator.constData()) << simulator << QStringList{"read"} << StartReport;
        QTest::addRow("%s set-all --verify", simulator.constData())
            << simulator << QStringList{"set-all", "--verify", "lip=10.1.2.3", "t1=45", "gateway=10.1.2.254"}
            << u"SET ALL success\nverified: lip mask sip port sn mac mode t1 reserved gateway\n"_s;
    }
    // Found by scan as a device on a port would be.
    QTest::newRow("in-process scan") << QByteArray("in-process") << QStringList{"scan"}
                                     << u"COM1 (simulated device): LIP 10.20.30.40, MAC 02:56:4d:00:00:01, SN 17\n"_s;
}

void tst_Cli::simulate()
{
    QFETCH(QByteArray, simulator);
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    qputenv("VELMORA_SIMULATOR", simulator);
    const Run run = cli(QStringList{"--simulate"} + arguments);
    qunsetenv("VELMORA_SIMULATOR");
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, out);
    QCOMPARE(run.exitCode, 0);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
