// How the window judges what one poll read: by byte 0 and length, against the
// command that awaits its reply.
#include "windowharness.h"

#include <QtTest>

class tst_Replies : public QObject
{
    Q_OBJECT

private slots:
    void judging_data();
    void judging();
};

void tst_Replies::judging_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("pending");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("report");

    const QByteArray block = QByteArray::fromHex("c0a80164ffffff00c0a801021f900005001b2c0a3d4f0100640000c0a80101");
    // As the text box holds it: lines, without their "\r\n".
    const QString blockReport = QStringLiteral("LIP:192.168.1.100\nMASK:255.255.255.0\nSIP:192.168.1.2\n"
                                               "MAC:0.1b.2c.a.3d.4f\nPORT:8080\nSN:5\nMODE:1\nT1:100\nGATE:192.168.1.1");
    // By pending-command code; 0 and 13 await nothing.
    const QStringList ackTexts = {
        QString(), "Gateway success", "LIP success", "MASK success", "SIP success",
        "MAC success", "PORT success", "T1 success", "SN success", "SET ALL success",
        "RESET success", "激励器地址配置成功", "READ Success", QString()};
    const QByteArray bytes = block + QByteArray(9, '\x7f');
    const int readPending = 12;

    for (int length : {1, 5, 6, 30, 31, 40}) {
        for (int pending = 0; pending <= 13; ++pending) {
            QTest::addRow("0x30, %d bytes, status %d", length, pending)
                << QByteArray(bytes.left(length)).replace(0, 1, "0") << pending
                << ackTexts.at(pending) << QString();

            const bool isBlock = length >= 31 && pending == readPending;
            QTest::addRow("0xc0, %d bytes, status %d", length, pending)
                << bytes.left(length) << pending
                << (length <= 5 ? QStringLiteral("Failed ") : isBlock ? QStringLiteral("READ Success") : QString())
                << (isBlock ? blockReport : QString());
        }
    }
    QTest::newRow("an empty poll keeps the command waiting") << QByteArray() << 2 << QString() << QString();
}

void tst_Replies::judging()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, pending);
    QFETCH(QString, message);
    QFETCH(QString, report);

    WindowHarness h;
    status = pending;
    h.window->Return_temp = reply;
    h.window->decision_Fun();
    QCOMPARE(h.message(), message);
    QCOMPARE(h.report(), report);
    QCOMPARE(status, reply.isEmpty() ? pending : 0);  // after a reply nothing is pending
}

QTEST_MAIN(tst_Replies)
#include "tst_replies.moc"
