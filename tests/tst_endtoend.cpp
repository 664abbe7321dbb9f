// The window against the simulated device, over a real pseudo-terminal that
// COM1 leads to: what a user sees after pressing the buttons.

#include "device/ptydevice.h"
#include "windowharness.h"

#include <QtTest>

// The simulated device and a window whose COM1 leads to it, its port opened.
struct Bench
{
    explicit Bench(const DeviceOptions &options = {}) : device(options) { h.press("Open"); }
    PtyDevice device;  // outlives the window, which closes its port first
    WindowHarness h{device.open() ? device.slavePath() : QString()};
};

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void setAllThenRead()
    {
        Bench bench;
        const WindowHarness &h = bench.h;
        QVERIFY2(h.isOpen(), qPrintable(h.message()));
        // One field of each parameter SET ALL carries but the mode, each unlike the device's value.
        const std::pair<const char *, const char *> edits[] = {
            {"Locat_ip_Edit_0", "172"}, {"Mask_Edit_2", "240"}, {"Sever_ip_Edit_3", "7"},
            {"MAC_addr_Edit_5", "0F"}, {"Port_Edit", "502"}, {"SN_Edit", "249"},
            {"Distance_time_T1_Edit", "1000"}, {"master_Edit_1", "16"}};
        for (const auto &[name, text] : edits)
            h.setField(QLatin1String(name), QLatin1String(text));
        h.press("Config_all");
        QTRY_COMPARE(h.message(), QStringLiteral("SET ALL success"));
        h.press("READ");
        QTRY_COMPARE(h.message(), QStringLiteral("READ Success"));
        // SET ALL always sends mode 0.
        QCOMPARE(h.report(), QStringLiteral("LIP:172.168.0.101\nMASK:255.255.240.0\nSIP:192.168.0.7\n"
                                            "MAC:0.1e.ce.0.79.f\nPORT:502\nSN:249\nMODE:0\nT1:1000\n"
                                            "GATE:192.16.0.1"));
    }

    void verdict_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fault");  // how the device misbehaves, if at all
        QTest::addColumn<QString>("message");

        QTest::newRow("gateway") << "master" << "" << "Gateway success";
        QTest::newRow("local ip") << "Locat_ip" << "" << "LIP success";
        QTest::newRow("mask") << "Mask" << "" << "MASK success";
        QTest::newRow("server ip") << "Sever_ip" << "" << "SIP success";
        QTest::newRow("mac") << "MAC_addr" << "" << "MAC success";
        QTest::newRow("port") << "Port" << "" << "PORT success";
        QTest::newRow("t1") << "Distance_time_T1" << "" << "T1 success";
        QTest::newRow("sn") << "SN" << "" << "SN success";
        QTest::newRow("reset") << "Reset" << "" << "RESET success";
        QTest::newRow("read") << "READ" << "" << "READ Success";
        QTest::newRow("failing set all") << "Config_all" << "fail" << "Failed ";
        QTest::newRow("failing read") << "READ" << "fail" << "Failed ";
        QTest::newRow("late port") << "Port" << "late" << "PORT success";
        QTest::newRow("late read") << "READ" << "late" << "READ Success";
        // 27 bytes, then the last 4 alone: two replies to the window, the
        // second a failure reply.
        QTest::newRow("split read") << "READ" << "split" << "Failed ";
    }
    void verdict()
    {
        QFETCH(QString, button);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        DeviceOptions options;
        options.fail = fault == QLatin1String("fail");
        options.delayMs = fault == QLatin1String("late") ? 120 : 0;  // over two of the window's 50 ms polls
        options.splitAt = fault == QLatin1String("split") ? 27 : 0;
        Bench bench(options);
        const WindowHarness &h = bench.h;
        QVERIFY2(h.isOpen(), qPrintable(h.message()));

        const QDeadlineTimer replyDue(options.delayMs);
        h.press(qPrintable(button));
        QTRY_COMPARE(h.message(), message);
        QVERIFY(replyDue.hasExpired());
        QCOMPARE(h.report().isEmpty(), message != QLatin1String("READ Success"));
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
