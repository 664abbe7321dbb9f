// The wire format without a window: 16-bit parsing and the READ report.
#include "protocol/frame.h"
#include "protocol/parameterblock.h"

#include <QtTest>

using namespace Protocol;

class tst_Protocol : public QObject
{
    Q_OBJECT

private slots:
    void parseShort_data();
    void parseShort();
    void report_data();
    void report();
};

void tst_Protocol::parseShort_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("8900") << QByteArray("8900") << 8900;
    QTest::newRow("65535") << QByteArray("65535") << 65535;
    QTest::newRow("65536 wraps to 0") << QByteArray("65536") << 0;
    QTest::newRow("70000 wraps") << QByteArray("70000") << 4464;
    QTest::newRow("a letter counts its code") << QByteArray("12a") << 169;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("a byte above 0x7f is signed") << QByteArray("\xff") << int(quint16(-49));
}

void tst_Protocol::parseShort()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    QCOMPARE(quint16(Protocol::parseShort(text.constData())), quint16(expected));
}

void tst_Protocol::report_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("text");

    const QByteArray example = QByteArray::fromHex(
        "c0a80164ffffff00c0a801021f900005001b2c0a3d4f0100640000c0a80101");
    const QString exampleText = QStringLiteral(
        "LIP:192.168.1.100\r\nMASK:255.255.255.0\r\nSIP:192.168.1.2\r\nMAC:0.1b.2c.a.3d.4f\r\n"
        "PORT:8080\r\nSN:5\r\nMODE:1\r\nT1:100\r\nGATE:192.168.1.1");
    QTest::newRow("worked example") << example << exampleText;
    QTest::newRow("offsets 25 and 26 are not shown")
        << QByteArray(example).replace(25, 2, "\x12\x34") << exampleText;
    QTest::newRow("all zero") << QByteArray(ParameterBlock::Size, '\0')
                              << QStringLiteral("LIP:0.0.0.0\r\nMASK:0.0.0.0\r\nSIP:0.0.0.0\r\n"
                                                "MAC:0.0.0.0.0.0\r\nPORT:0\r\nSN:0\r\nMODE:0\r\n"
                                                "T1:0\r\nGATE:0.0.0.0");
    QTest::newRow("0x80 and above are never negative")
        << QByteArray(ParameterBlock::Size, '\xff')
        << QStringLiteral("LIP:255.255.255.255\r\nMASK:255.255.255.255\r\nSIP:255.255.255.255\r\n"
                          "MAC:ff.ff.ff.ff.ff.ff\r\nPORT:65535\r\nSN:65535\r\nMODE:255\r\n"
                          "T1:65535\r\nGATE:255.255.255.255");
}

void tst_Protocol::report()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, text);
    QCOMPARE(readReport(ParameterBlock::fromBytes(block)), text);
}

QTEST_APPLESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
