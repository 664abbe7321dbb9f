// How the window judges what one poll read: by byte 0 and length, against the
// command that awaits its reply.
#include "ptypair.h"
#include "windowharness.h"

#include <QtTest>

namespace {

const QByteArray Block = QByteArray::fromHex(
    "c0a80164ffffff00c0a801021f900005001b2c0a3d4f0100640000c0a80101");
// As the text box holds it: lines, without their "\r\n".
const QString BlockReport = QStringLiteral(
    "LIP:192.168.1.100\nMASK:255.255.255.0\nSIP:192.168.1.2\nMAC:0.1b.2c.a.3d.4f\n"
    "PORT:8080\nSN:5\nMODE:1\nT1:100\nGATE:192.168.1.1");
constexpr int ReadPending = 12;

} // namespace

class tst_Replies : public QObject
{
    Q_OBJECT

private slots:
    void judging_data();
    void judging();
    void emptyPollKeepsWaiting();
    void readBlockSplitOverTwoPolls();
};

void tst_Replies::judging_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("pending");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("report");

    // By pending-command code; 0 and 13 await nothing.
    const QStringList ackTexts = {
        QString(), "Gateway success", "LIP success", "MASK success", "SIP success",
        "MAC success", "PORT success", "T1 success", "SN success", "SET ALL success",
        "RESET success", "激励器地址配置成功", "READ Success", QString()};
    const QByteArray bytes = Block + QByteArray(9, '\x7f');

    for (int length : {1, 5, 6, 30, 31, 40}) {
        for (int pending = 0; pending <= 13; ++pending) {
            QTest::addRow("0x30, %d bytes, status %d", length, pending)
                << QByteArray(bytes.left(length)).replace(0, 1, "0") << pending
                << ackTexts.at(pending) << QString();

            const bool block = length >= 31 && pending == ReadPending;
            QTest::addRow("0xc0, %d bytes, status %d", length, pending)
                << bytes.left(length) << pending
                << (length <= 5 ? QStringLiteral("Failed ") : block ? QStringLiteral("READ Success") : QString())
                << (block ? BlockReport : QString());
        }
    }
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
    QCOMPARE(status, 0);
}

void tst_Replies::emptyPollKeepsWaiting()
{
    WindowHarness h;
    status = 2;
    h.window->decision_Fun();
    QCOMPARE(status, 2);
    QCOMPARE(h.message(), QString());
}

void tst_Replies::readBlockSplitOverTwoPolls()
{
    PtyPair pty;
    WindowHarness h(pty.slavePath());
    h.press("Open");
    h.find<QTextEdit>("READ_Edit")->setText(QStringLiteral("an earlier report"));
    h.press("READ");
    QCOMPARE(h.report(), QString());

    // The first part ends the wait for READ; the rest is judged on its own.
    QVERIFY(pty.send(Block.left(20)));
    QTRY_COMPARE(status, 0);
    QVERIFY(pty.send(Block.mid(20)));
    QTRY_COMPARE(h.window->Return_temp, Block.mid(20));
    QTRY_VERIFY(h.window->Return_temp.isEmpty());
    QCOMPARE(h.report(), QString());
    QCOMPARE(h.message(), QStringLiteral("Port has open"));
}

QTEST_MAIN(tst_Replies)
#include "tst_replies.moc"
