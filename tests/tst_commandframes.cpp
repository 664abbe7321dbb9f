// Every command button, read off the line byte for byte: the window opens one
// side of a real pseudo-terminal and the test reads the other.
#include "link/portmap.h"
#include "link/wiretrace.h"
#include "ptypair.h"
#include "window/mainwindow.h"

#include <QBuffer>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using FieldTexts = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(FieldTexts)

namespace {

const char DefaultSetAll[] =
    "aa200ac0a80065ffffff00c0a800c922c40000001ece00790100000200"
    "00c0a800017c55";

} // namespace

class tst_CommandFrames : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultFrames_data();
    void defaultFrames();
    void editedFields_data();
    void editedFields();
    void setAll_data();
    void setAll();
    void eachPressSendsItsFrameAnew();
    void exciterAddress();
    void noPortNoWrite();
    void checksumAndParsingMembers();
    void trace();

private:
    void press(const char *button);
    void setFields(const FieldTexts &texts);

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<MainWindow> m_window;
};

void tst_CommandFrames::init()
{
    status = 0;
    xx = 0;
    m_pty = std::make_unique<PtyPair>();
    QVERIFY(m_pty->isValid());
    PortMap::setDevice(QStringLiteral("COM1"), m_pty->slavePath());
    m_window = std::make_unique<MainWindow>();
    press("Open");
    QCOMPARE(m_window->Open->text(), QStringLiteral("CLOSE "));
}

void tst_CommandFrames::cleanup()
{
    m_window.reset();
    m_pty.reset();
    PortMap::reset();
}

void tst_CommandFrames::press(const char *button)
{
    auto *widget = m_window->findChild<QPushButton *>(QLatin1String(button));
    QVERIFY2(widget, button);
    QVERIFY2(widget->isEnabled(), button);
    widget->click();
}

void tst_CommandFrames::setFields(const FieldTexts &texts)
{
    for (const auto &[name, text] : texts) {
        auto *edit = m_window->findChild<QLineEdit *>(name);
        QVERIFY2(edit, qPrintable(name));
        edit->setText(text);
    }
}

void tst_CommandFrames::defaultFrames_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("pending");

    QTest::newRow("Gateway") << QByteArray("master") << QByteArray("aa050bc0a800016255") << 1;
    QTest::newRow("LIP") << QByteArray("Locat_ip") << QByteArray("aa0500c0a800650d55") << 2;
    QTest::newRow("MASK") << QByteArray("Mask") << QByteArray("aa0501ffffff00fe55") << 3;
    QTest::newRow("SIP") << QByteArray("Sever_ip") << QByteArray("aa0502c0a800c9a355") << 4;
    QTest::newRow("MAC") << QByteArray("MAC_addr") << QByteArray("aa0705001ece007901ad55") << 5;
    QTest::newRow("PORT") << QByteArray("Port") << QByteArray("aa030322c4e555") << 6;
    QTest::newRow("T1") << QByteArray("Distance_time_T1") << QByteArray("aa030700020555") << 7;
    QTest::newRow("SN") << QByteArray("SN") << QByteArray("aa030400000455") << 8;
    QTest::newRow("SET ALL") << QByteArray("Config_all") << QByteArray(DefaultSetAll) << 9;
    QTest::newRow("RESET") << QByteArray("Reset") << QByteArray("aa01090955") << 10;
    QTest::newRow("READ") << QByteArray("READ") << QByteArray("aa010c0c55") << 12;
}

void tst_CommandFrames::defaultFrames()
{
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, frame);
    QFETCH(int, pending);

    press(button.constData());
    QCOMPARE(status, pending);
    QTRY_COMPARE(m_pty->received().toHex(), frame);
}

void tst_CommandFrames::editedFields_data()
{
    QTest::addColumn<FieldTexts>("fields");
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("empty octets are 0")
        << FieldTexts{{"Locat_ip_Edit_0", "10"}, {"Locat_ip_Edit_1", ""},
                      {"Locat_ip_Edit_2", "0"}, {"Locat_ip_Edit_3", "7"}}
        << QByteArray("Locat_ip") << QByteArray("aa05000a0000070d55");
    QTest::newRow("one hex digit, empty MAC fields")
        << FieldTexts{{"MAC_addr_Edit_0", "A"}, {"MAC_addr_Edit_1", ""}, {"MAC_addr_Edit_2", "1E"},
                      {"MAC_addr_Edit_3", "CE"}, {"MAC_addr_Edit_4", ""}, {"MAC_addr_Edit_5", "79"}}
        << QByteArray("MAC_addr") << QByteArray("aa07050a001ece0079a655");
    QTest::newRow("lower-case MAC")
        << FieldTexts{{"MAC_addr_Edit_2", "ce"}}
        << QByteArray("MAC_addr") << QByteArray("aa0705001ece007901ad55");
    QTest::newRow("0x55 inside the payload")
        << FieldTexts{{"Mask_Edit_3", "85"}} << QByteArray("Mask") << QByteArray("aa0501ffffff55ab55");
    QTest::newRow("SN 249") << FieldTexts{{"SN_Edit", "249"}} << QByteArray("SN")
                            << QByteArray("aa030400f9fd55");
    QTest::newRow("empty SN") << FieldTexts{{"SN_Edit", ""}} << QByteArray("SN")
                              << QByteArray("aa030400000455");
    QTest::newRow("PORT 65535") << FieldTexts{{"Port_Edit", "65535"}} << QByteArray("Port")
                                << QByteArray("aa0303ffff0355");
    QTest::newRow("empty PORT") << FieldTexts{{"Port_Edit", ""}} << QByteArray("Port")
                                << QByteArray("aa030300000355");
    QTest::newRow("T1 at the top of its range")
        << FieldTexts{{"Distance_time_T1_Edit", "60000"}} << QByteArray("Distance_time_T1")
        << QByteArray("aa0307ea608d55");
}

void tst_CommandFrames::editedFields()
{
    QFETCH(FieldTexts, fields);
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, frame);

    setFields(fields);
    press(button.constData());
    QTRY_COMPARE(m_pty->received().toHex(), frame);
}

void tst_CommandFrames::setAll_data()
{
    QTest::addColumn<FieldTexts>("fields");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("defaults") << FieldTexts{} << QByteArray(DefaultSetAll);

    FieldTexts empty;
    for (const char *group : {"master_Edit_", "Locat_ip_Edit_", "Mask_Edit_", "Sever_ip_Edit_"})
        for (int i = 0; i < 4; ++i)
            empty.append({QLatin1String(group) + QString::number(i), QString()});
    for (int i = 0; i < 6; ++i)
        empty.append({QStringLiteral("MAC_addr_Edit_%1").arg(i), QString()});
    empty.append({{"Port_Edit", ""}, {"Distance_time_T1_Edit", ""}, {"SN_Edit", ""}});
    QTest::newRow("every field empty")
        << empty << ("aa200a" + QByteArray(31, '0').repeated(2) + "0a55");

    // Only bytes 30 to 33 and the checksum differ from the defaults.
    QByteArray gateway = DefaultSetAll;
    gateway.replace(60, 8, "0a000001");
    gateway.replace(68, 2, QByteArray::number(0x7c ^ 0xc0 ^ 0xa8 ^ 0x01 ^ 0x0a ^ 0x01, 16));
    QTest::newRow("gateway changed")
        << FieldTexts{{"master_Edit_0", "10"}, {"master_Edit_1", "0"}, {"master_Edit_2", "0"},
                      {"master_Edit_3", "1"}}
        << gateway;

    QTest::newRow("SN, MAC and T1 in their places")
        << FieldTexts{{"SN_Edit", "249"}, {"MAC_addr_Edit_5", "ff"}, {"Distance_time_T1_Edit", "258"}}
        << QByteArray("aa200ac0a80065ffffff00c0a800c922c400f9001ece0079ff000102"
                      "0000c0a800017a55");
}

void tst_CommandFrames::setAll()
{
    QFETCH(FieldTexts, fields);
    QFETCH(QByteArray, frame);

    setFields(fields);
    press("Config_all");
    QCOMPARE(status, 9);
    QTRY_COMPARE(m_pty->received().toHex(), frame);
}

void tst_CommandFrames::eachPressSendsItsFrameAnew()
{
    const QByteArray lip = QByteArray::fromHex("aa0500c0a800650d55");
    press("Locat_ip");
    press("Locat_ip");
    QTRY_COMPARE(m_pty->received(), lip + lip);

    // A second command before any reply: the newer one is what is awaited.
    press("Mask");
    QCOMPARE(status, 3);
}

void tst_CommandFrames::exciterAddress()
{
    // No control sends it; the slot works all the same.
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "Drive_Addr_Fun"));
    QCOMPARE(status, 11);
    QTRY_COMPARE(m_pty->received().toHex(), QByteArray("aa020c000c55"));
}

void tst_CommandFrames::noPortNoWrite()
{
    // Closed again: the slot reachable without a button writes nothing.
    press("Open");
    QVERIFY(QMetaObject::invokeMethod(m_window.get(), "Drive_Addr_Fun"));

    // Never opened: no port object at all.
    MainWindow fresh;
    QVERIFY(QMetaObject::invokeMethod(&fresh, "Drive_Addr_Fun"));
    QVERIFY(QMetaObject::invokeMethod(&fresh, "READ_Fun"));

    QTest::qWait(100);
    QCOMPARE(m_pty->received(), QByteArray());
}

void tst_CommandFrames::checksumAndParsingMembers()
{
    char frame[] = "\xaa\x01\x0c\x0c\x55";
    QCOMPARE(m_window->RCR_Fun(frame, 2, 2), '\x0c');
    QCOMPARE(m_window->RCR_Fun(frame, 3, 2), '\0');

    char text[] = "70000";
    QCOMPARE(quint16(m_window->shortout(text)), quint16(4464));
}

void tst_CommandFrames::trace()
{
    QBuffer log;
    log.open(QIODevice::WriteOnly);
    WireTrace wireTrace(&log);
    m_window->setWireTrace(&wireTrace);

    press("Locat_ip");
    QTRY_COMPARE(m_pty->received().size(), 9);
    QVERIFY(m_pty->send("0"));
    QTRY_COMPARE(log.data().count('\n'), 2);

    const QList<QByteArray> lines = log.data().trimmed().split('\n');
    const QRegularExpression tx(QStringLiteral("^\\d+\\.\\d TX aa 05 00 c0 a8 00 65 0d 55$"));
    const QRegularExpression rx(QStringLiteral("^\\d+\\.\\d RX 30$"));
    QVERIFY2(tx.match(QString::fromLatin1(lines.at(0))).hasMatch(), lines.at(0));
    QVERIFY2(rx.match(QString::fromLatin1(lines.at(1))).hasMatch(), lines.at(1));
    m_window->setWireTrace(nullptr);
}

QTEST_MAIN(tst_CommandFrames)
#include "tst_commandframes.moc"
