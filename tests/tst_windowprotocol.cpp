// The protocol as the window speaks it, over a real pseudo-terminal: every
// command button's frame read off the line byte for byte, as --trace shows it
// too, and how the window judges what one poll read, by byte 0 and length,
// against the command that awaits its reply.
#include "link/wiretrace.h"
#include "ptypair.h"
#include "windowharness.h"

#include <QBuffer>
#include <QtTest>

using namespace Qt::StringLiterals;

using FieldTexts = QList<QPair<QString, QString>>;

const QByteArray DefaultSetAll = "aa200ac0a80065ffffff00c0a800c922c40000001ece0079010000020000c0a800017c55";

class tst_WindowProtocol : public QObject
{
    Q_OBJECT

private slots:
    void frames_data()
    {
        QTest::addColumn<FieldTexts>("fields");
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<int>("pending");
        QTest::addColumn<QByteArray>("frame");

        QTest::newRow("Gateway") << FieldTexts{} << QByteArray("master") << 1 << QByteArray("aa050bc0a800016255");
        QTest::newRow("LIP") << FieldTexts{} << QByteArray("Locat_ip") << 2 << QByteArray("aa0500c0a800650d55");
        QTest::newRow("MASK") << FieldTexts{} << QByteArray("Mask") << 3 << QByteArray("aa0501ffffff00fe55");
        QTest::newRow("SIP") << FieldTexts{} << QByteArray("Sever_ip") << 4 << QByteArray("aa0502c0a800c9a355");
        QTest::newRow("MAC") << FieldTexts{} << QByteArray("MAC_addr") << 5 << QByteArray("aa0705001ece007901ad55");
        QTest::newRow("PORT") << FieldTexts{} << QByteArray("Port") << 6 << QByteArray("aa030322c4e555");
        QTest::newRow("T1") << FieldTexts{} << QByteArray("Distance_time_T1") << 7 << QByteArray("aa030700020555");
        QTest::newRow("SN") << FieldTexts{} << QByteArray("SN") << 8 << QByteArray("aa030400000455");
        QTest::newRow("SET ALL") << FieldTexts{} << QByteArray("Config_all") << 9 << DefaultSetAll;
        QTest::newRow("RESET") << FieldTexts{} << QByteArray("Reset") << 10 << QByteArray("aa01090955");
        QTest::newRow("READ") << FieldTexts{} << QByteArray("READ") << 12 << QByteArray("aa010c0c55");
        // No control sends it: the slot alone.
        QTest::newRow("exciter address") << FieldTexts{} << QByteArray("Drive_Addr_Fun") << 11 << QByteArray("aa020c000c55");

        QTest::newRow("empty octet is 0")
            << FieldTexts{{"Locat_ip_Edit_0", "10"}, {"Locat_ip_Edit_1", ""}, {"Locat_ip_Edit_3", "7"}}
            << QByteArray("Locat_ip") << 2 << QByteArray("aa05000a0000070d55");
        QTest::newRow("one hex digit, empty and lower-case MAC bytes")
            << FieldTexts{{"MAC_addr_Edit_0", "A"}, {"MAC_addr_Edit_1", ""}, {"MAC_addr_Edit_2", "1E"},
                          {"MAC_addr_Edit_3", "ce"}, {"MAC_addr_Edit_4", ""}, {"MAC_addr_Edit_5", "79"}}
            << QByteArray("MAC_addr") << 5 << QByteArray("aa07050a001ece0079a655");
        QTest::newRow("0x55 inside the payload does not end the frame")
            << FieldTexts{{"Mask_Edit_3", "85"}} << QByteArray("Mask") << 3 << QByteArray("aa0501ffffff55ab55");
        FieldTexts allEmpty;
        for (const QString &name : names("Port_Edit Distance_time_T1_Edit SN_Edit master_Edit_#4 Locat_ip_Edit_#4 "
                                         "Mask_Edit_#4 Sever_ip_Edit_#4 MAC_addr_Edit_#6"))
            allEmpty.append({name, QString()});
        QTest::newRow("SET ALL, every field empty")
            << allEmpty << QByteArray("Config_all") << 9
            << "aa200a" + QByteArray(62, '0') + "0a55";
        QTest::newRow("SET ALL, only the gateway changed: bytes 30 to 33 and the checksum")
            << FieldTexts{{"master_Edit_0", "10"}, {"master_Edit_1", "1"}}
            << QByteArray("Config_all") << 9
            << QByteArray(DefaultSetAll).replace(60, 10, "0a0100011f");
        QTest::newRow("SET ALL puts SN, MAC and T1 in their places")
            << FieldTexts{{"SN_Edit", "249"}, {"MAC_addr_Edit_5", "ff"}, {"Distance_time_T1_Edit", "258"}}
            << QByteArray("Config_all") << 9
            << QByteArray("aa200ac0a80065ffffff00c0a800c922c400f9001ece0079ff0001020000c0a800017a55");
    }

    void frames()
    {
        QFETCH(FieldTexts, fields);
        QFETCH(QByteArray, button);
        QFETCH(int, pending);
        QFETCH(QByteArray, frame);

        PtyPair pty;
        WindowHarness h(pty.slavePath());
        QBuffer trace;  // what --trace prints
        trace.open(QIODevice::WriteOnly);
        WireTrace wireTrace(&trace);
        h.window->setWireTrace(&wireTrace);
        for (const auto &[name, text] : fields)
            h.setField(name, text);
        const auto press = [&] {
            if (button == "Drive_Addr_Fun")
                QVERIFY(QMetaObject::invokeMethod(h.window.get(), "Drive_Addr_Fun"));
            else
                h.press(button.constData());
        };

        press();  // before the port is open: nothing is written, nothing breaks
        h.press("Open");
        QVERIFY(h.isOpen());
        // Pressed twice: nothing of the first frame carries into the second.
        press();
        QCOMPARE(status, pending);
        press();
        QTRY_COMPARE(pty.received().toHex(), frame + frame);

        // Traced: each frame sent, then the reply read.
        QVERIFY(pty.send("0"));
        const QString sent = uR"(\d+\.\d TX )"_s + QString::fromLatin1(QByteArray::fromHex(frame).toHex(' ')) + u'\n';
        // After the line's note of whether low latency took.
        const QRegularExpression traced(uR"(^\d+\.\d -- [^\n]* low latency: [^\n]*\n)"_s + sent + sent
                                        + uR"(\d+\.\d RX 30\n$)"_s);
        QTRY_VERIFY2_WITH_TIMEOUT(traced.match(QString::fromLatin1(trace.data())).hasMatch(),
                                  trace.data().constData(), 2000);
    }

    void checksumAndParsingMembers()
    {
        WindowHarness h;
        char frame[] = "\xaa\x01\x0c\x0c\x55";
        QCOMPARE(h.window->RCR_Fun(frame, 2, 2), '\x0c');
        QCOMPARE(h.window->RCR_Fun(frame, 3, 2), '\0');
        char text[] = "65535";
        QCOMPARE(h.window->shortout(text), short(-1));
    }

    void judging_data()
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

    void judging()
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
};

QTEST_MAIN(tst_WindowProtocol)
#include "tst_windowprotocol.moc"
