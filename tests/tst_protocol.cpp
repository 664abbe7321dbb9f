// The wire format without a window: checksum, number parsing, frame reading
// and the READ report.
#include "protocol/frame.h"
#include "protocol/parameterblock.h"

#include <QtTest>

using namespace Protocol;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const char WorkedExampleBlock[] =
    "c0a80164 ffffff00 c0a80102 1f90 0005 001b2c0a3d4f 01 0064 0000 c0a80101";

} // namespace

class tst_Protocol : public QObject
{
    Q_OBJECT

private slots:
    void checksum_data();
    void checksum();
    void parseShort_data();
    void parseShort();
    void fieldBytes_data();
    void fieldBytes();
    void scanFrame_data();
    void scanFrame();
    void decodeFrame_data();
    void decodeFrame();
    void parameterBlockRoundTrip();
    void report_data();
    void report();
    void reportLineBreaks();
};

void tst_Protocol::checksum_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("stop");
    QTest::addColumn<int>("expected");

    QTest::newRow("one byte is itself") << hex("aa0c55") << 1 << 1 << 0x0c;
    QTest::newRow("empty range") << hex("aa0c55") << 2 << 1 << 0;
    QTest::newRow("LIP frame") << hex("aa0500c0a8006500") << 2 << 6 << 0x0d;
    QTest::newRow("bytes above 0x7f") << hex("ff80") << 0 << 1 << 0x7f;
}

void tst_Protocol::checksum()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, start);
    QFETCH(int, stop);
    QFETCH(int, expected);
    QCOMPARE(quint8(Protocol::checksum(bytes.constData(), start, stop)), quint8(expected));
}

void tst_Protocol::parseShort_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("8900") << QByteArray("8900") << 8900;
    QTest::newRow("65535") << QByteArray("65535") << 65535;
    QTest::newRow("65536 wraps") << QByteArray("65536") << 0;
    QTest::newRow("70000 wraps") << QByteArray("70000") << 4464;
    QTest::newRow("letter counts its code") << QByteArray("12a") << 169;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("leading zeros") << QByteArray("007") << 7;
    QTest::newRow("byte above 0x7f is signed") << QByteArray("\xff") << int(quint16(-49));
}

void tst_Protocol::parseShort()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    QCOMPARE(quint16(Protocol::parseShort(text.constData())), quint16(expected));
}

void tst_Protocol::fieldBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimal");
    QTest::addColumn<int>("hexadecimal");

    QTest::newRow("empty") << QString() << 0 << 0;
    QTest::newRow("not a number") << QStringLiteral("x") << 0 << 0;
    QTest::newRow("one hex digit") << QStringLiteral("A") << 0 << 0x0a;
    QTest::newRow("255") << QStringLiteral("255") << 255 << 0x55;
    QTest::newRow("cut to 8 bits") << QStringLiteral("256") << 0 << 0x56;
    QTest::newRow("lower-case hex") << QStringLiteral("ce") << 0 << 0xce;
}

void tst_Protocol::fieldBytes()
{
    QFETCH(QString, text);
    QFETCH(int, decimal);
    QFETCH(int, hexadecimal);
    QCOMPARE(int(decimalByte(text)), decimal);
    QCOMPARE(int(hexByte(text)), hexadecimal);
}

void tst_Protocol::scanFrame_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("size");

    QTest::newRow("nothing") << QByteArray() << int(FrameScan::NeedMore) << 0;
    QTest::newRow("garbage") << hex("30aa") << int(FrameScan::Garbage) << 1;
    QTest::newRow("header only") << hex("aa") << int(FrameScan::NeedMore) << 0;
    QTest::newRow("half a frame") << hex("aa0500c0") << int(FrameScan::NeedMore) << 9;
    QTest::newRow("READ") << hex("aa010c0c55") << int(FrameScan::Frame) << 5;
    QTest::newRow("frame and more") << hex("aa010c0c55aa") << int(FrameScan::Frame) << 5;
}

void tst_Protocol::scanFrame()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, kind);
    QFETCH(int, size);
    const FrameScan scan = Protocol::scanFrame(buffer);
    QCOMPARE(int(scan.kind), kind);
    QCOMPARE(scan.size, size);
}

void tst_Protocol::decodeFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("pending");  // 0: refused
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("LIP") << hex("aa0500c0a800650d55") << 2 << hex("c0a80065");
    QTest::newRow("READ") << hex("aa010c0c55") << 12 << QByteArray();
    QTest::newRow("exciter address shares READ's code") << hex("aa020cfff355") << 11 << hex("ff");
    QTest::newRow("0x55 inside the payload") << hex("aa0501ffff55005455") << 3 << hex("ffff5500");
    QTest::newRow("bad checksum") << hex("aa0500c0a800650e55") << 0 << hex("c0a80065");
    QTest::newRow("bad trailer") << hex("aa0500c0a800650d54") << 0 << hex("c0a80065");
    QTest::newRow("length wrong for the code") << hex("aa0300c0a86855") << 0 << hex("c0a8");
    QTest::newRow("unknown code") << hex("aa01060655") << 0 << QByteArray();
}

void tst_Protocol::decodeFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, pending);
    QFETCH(QByteArray, payload);

    const DecodedFrame decoded = Protocol::decodeFrame(frame);
    QCOMPARE(decoded.command ? decoded.command->pending : 0, pending);
    QCOMPARE(decoded.error.isEmpty(), pending != 0);
    QCOMPARE(decoded.payload, payload);
}

void tst_Protocol::parameterBlockRoundTrip()
{
    const QByteArray bytes = hex(WorkedExampleBlock);
    const ParameterBlock block = ParameterBlock::fromBytes(bytes);
    QCOMPARE(block.port, quint16(8080));
    QCOMPARE(block.t1, quint16(100));
    QCOMPARE(block.gateway[3], quint8(1));
    QCOMPARE(block.toBytes(), bytes);
}

void tst_Protocol::report_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("worked example")
        << hex(WorkedExampleBlock)
        << QStringList{"LIP:192.168.1.100", "MASK:255.255.255.0", "SIP:192.168.1.2",
                       "MAC:0.1b.2c.a.3d.4f", "PORT:8080", "SN:5", "MODE:1", "T1:100",
                       "GATE:192.168.1.1"};
    QTest::newRow("all zero")
        << QByteArray(ParameterBlock::Size, '\0')
        << QStringList{"LIP:0.0.0.0", "MASK:0.0.0.0", "SIP:0.0.0.0", "MAC:0.0.0.0.0.0", "PORT:0",
                       "SN:0", "MODE:0", "T1:0", "GATE:0.0.0.0"};
    QTest::newRow("bytes of 0x80 and above are never negative")
        << QByteArray(ParameterBlock::Size, '\xff')
        << QStringList{"LIP:255.255.255.255", "MASK:255.255.255.255", "SIP:255.255.255.255",
                       "MAC:ff.ff.ff.ff.ff.ff", "PORT:65535", "SN:65535", "MODE:255", "T1:65535",
                       "GATE:255.255.255.255"};

    QByteArray reserved = hex(WorkedExampleBlock);
    reserved[25] = '\x12';
    reserved[26] = '\x34';
    QTest::newRow("offsets 25 and 26 are not shown")
        << reserved
        << QStringList{"LIP:192.168.1.100", "MASK:255.255.255.0", "SIP:192.168.1.2",
                       "MAC:0.1b.2c.a.3d.4f", "PORT:8080", "SN:5", "MODE:1", "T1:100",
                       "GATE:192.168.1.1"};
}

void tst_Protocol::report()
{
    QFETCH(QByteArray, block);
    QFETCH(QStringList, lines);
    QCOMPARE(readReport(ParameterBlock::fromBytes(block)).split(QStringLiteral("\r\n")), lines);
}

void tst_Protocol::reportLineBreaks()
{
    const QString text = readReport(ParameterBlock::fromBytes(hex(WorkedExampleBlock)));
    QCOMPARE(text.count(QStringLiteral("\r\n")), 8);
    QCOMPARE(text.count(QLatin1Char('\n')), 8);
    QVERIFY(text.endsWith(QStringLiteral("GATE:192.168.1.1")));
}

QTEST_APPLESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
