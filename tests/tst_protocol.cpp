// The wire format without a window: 16-bit parsing and the READ report (whose
// worked example tst_windowprotocol shows as the window does).
#include "protocol/frame.h"
#include "protocol/parameterblock.h"

#include <QtTest>

using namespace Protocol;

class tst_Protocol : public QObject
{
    Q_OBJECT

private slots:
    void parseShort_data()
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

    void parseShort()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QCOMPARE(quint16(Protocol::parseShort(text.constData())), quint16(expected));
    }

    void report_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("text");

        const QByteArray zero(ParameterBlock::Size, '\0');
        const QString zeroText = QStringLiteral("LIP:0.0.0.0\r\nMASK:0.0.0.0\r\nSIP:0.0.0.0\r\nMAC:0.0.0.0.0.0\r\n"
                                                "PORT:0\r\nSN:0\r\nMODE:0\r\nT1:0\r\nGATE:0.0.0.0");
        QTest::newRow("all zero") << zero << zeroText;
        QTest::newRow("offsets 25 and 26 are not shown") << QByteArray(zero).replace(25, 2, "\x12\x34") << zeroText;
        QTest::newRow("0x80 and above are never negative")
            << QByteArray(ParameterBlock::Size, '\xff')
            << QStringLiteral("LIP:255.255.255.255\r\nMASK:255.255.255.255\r\nSIP:255.255.255.255\r\n"
                              "MAC:ff.ff.ff.ff.ff.ff\r\nPORT:65535\r\nSN:65535\r\nMODE:255\r\n"
                              "T1:65535\r\nGATE:255.255.255.255");
    }

    void report()
    {
        QFETCH(QByteArray, block);
        QFETCH(QString, text);
        QCOMPARE(readReport(ParameterBlock::fromBytes(block)), text);
    }
};

QTEST_APPLESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
