// The window against the simulated device, over a real pseudo-terminal that
// COM1 leads to: what a user sees after pressing the buttons.

#include "device/builtinsimulator.h"
#include "device/ptydevice.h"
#include "heapusage.h"
#include "protocol/parameterblock.h"
#include "windowharness.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

// The simulated device and a window whose COM1 leads to it, its port opened.
struct Bench
{
    explicit Bench(const DeviceOptions &options = {}) : device(options) { h.press("Open"); }
    PtyDevice device;  // outlives the window, which closes its port first
    WindowHarness h{device.open() ? device.slavePath() : QString()};
};

namespace {

// Every command button: the fields it sends, where the device keeps their
// value in its parameter block, and the verdict of an accepted command.
const struct Command { const char *button, *fields; int at; const char *verdict; } Commands[] = {
    {"Locat_ip", "Locat_ip_Edit_#4", 0, "LIP success"}, {"Mask", "Mask_Edit_#4", 4, "MASK success"},
    {"Sever_ip", "Sever_ip_Edit_#4", 8, "SIP success"}, {"Port", "Port_Edit", 12, "PORT success"},
    {"SN", "SN_Edit", 14, "SN success"}, {"MAC_addr", "MAC_addr_Edit_#6", 16, "MAC success"},
    {"Distance_time_T1", "Distance_time_T1_Edit", 23, "T1 success"},
    {"master", "master_Edit_#4", 27, "Gateway success"},
    {"Config_all", "", 0, "SET ALL success"}, {"Reset", "", 0, "RESET success"}, {"READ", "", 0, "READ Success"},
};
constexpr int Parameters = 8;  // the first eight commands, which SET ALL sends together

// A text the field's input rule accepts, now and then an unfinished one.
QString randomText(const QString &field, QRandomGenerator &rng)
{
    const int pick = int(rng.bounded(16));
    if (field.startsWith(u"MAC"_s)) {
        const QString digits = u"0123456789abcdefABCDEF"_s;
        const QString text = QString(digits[rng.bounded(22)]) + digits[rng.bounded(22)];
        return pick == 0 ? QString() : pick == 1 ? text.left(1) : text;
    }
    if (pick == 0)
        return QString();
    if (field == u"SN_Edit"_s)
        return pick == 1 ? u"0%1"_s.arg(rng.bounded(10)) : QString::number(rng.bounded(250));
    const bool octet = field.back().isDigit();  // Mask_Edit_2, not Port_Edit
    return QString::number(rng.bounded(octet ? 256 : 65536));
}

// The bytes a command's fields stand for: one per address field, two (high
// first) for a number field; empty text is 0.
QByteArray valueOf(const WindowHarness &h, const char *fields)
{
    const QStringList all = names(fields);
    QByteArray bytes;
    for (const QString &name : all) {
        const QString text = h.window->findChild<QLineEdit *>(name)->text();
        const uint value = text.toUInt(nullptr, name.startsWith(u"MAC"_s) ? 16 : 10);
        if (all.size() == 1)
            bytes += char(value >> 8);
        bytes += char(value);
    }
    return bytes;
}

// Turns the event loop until the window has judged a reply.
bool replyJudged()
{
    QDeadlineTimer deadline(5000);
    while (status != 0 && !deadline.hasExpired())
        QCoreApplication::processEvents();
    return status == 0;
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    // Random commands with random valid field texts, the same every run: each
    // press puts one frame on the line, gets the verdict its command calls for,
    // and leaves the device holding what the fields said (READ after SET ALL
    // among them); memory does not grow.
    void soak()
    {
        constexpr int Presses = 10000, Settled = 1000;
        DeviceOptions options;
        options.verbose = true;  // a line per frame the device takes off the line
        Bench bench(options);
        const WindowHarness &h = bench.h;
        QVERIFY2(h.isOpen(), qPrintable(h.message()));
        int frames = 0;
        connect(&bench.device, &PtyDevice::logLine, this, [&] { ++frames; });
        // Poll at every turn of the event loop, not every 50 ms: the same poll, sooner.
        h.window->findChild<QTimer *>(u"readTimer"_s)->setInterval(0);

        QRandomGenerator rng(20240907);
        QByteArray expected = DeviceModel::startParameters().toBytes();
        QElapsedTimer clock;
        clock.start();
        qint64 settledHeap = 0;
        for (int press = 0; press < Presses; ++press) {
            if (press == Settled)
                settledHeap = heapInUse();
            const Command &command = Commands[rng.bounded(int(std::size(Commands)))];
            const bool setAll = command.button == QByteArray("Config_all");
            for (int p = 0; p < Parameters; ++p) {
                if (!setAll && &Commands[p] != &command)
                    continue;
                for (const QString &field : names(Commands[p].fields))
                    h.setField(field, randomText(field, rng));
                const QByteArray value = valueOf(h, Commands[p].fields);
                expected.replace(Commands[p].at, value.size(), value);
            }
            if (setAll)  // no field for the mode and the reserved bytes: always 0
                expected.replace(22, 1, QByteArray(1, '\0')).replace(25, 2, QByteArray(2, '\0'));

            h.press(command.button);
            const QString what = u"press %1, %2"_s.arg(press).arg(QLatin1String(command.button));
            QVERIFY2(replyJudged(), qPrintable(what));
            QVERIFY2(frames == press + 1, qPrintable(what));
            QVERIFY2(h.message() == QLatin1String(command.verdict), qPrintable(what + u": "_s + h.message()));
            QVERIFY2(bench.device.model().parameters().toBytes() == expected, qPrintable(what));
            if (command.button == QByteArray("READ")) {
                // A local IP that begins with 48 makes the block look like an acknowledgement.
                QString report = expected.startsWith('0') ? QString()
                    : Protocol::readReport(Protocol::ParameterBlock::fromBytes(expected));
                QVERIFY2(h.report() == report.replace(u"\r\n"_s, u"\n"_s), qPrintable(what));
            }
        }
        const qint64 growth = heapInUse() - settledHeap;
        qInfo("%d presses in %lld ms; heap grew by %lld bytes after press %d", Presses, clock.elapsed(),
              growth, Settled);
        QVERIFY2(growth < 64 * 1024, qPrintable(QString::number(growth)));
    }

    void verdict_data()
    {
        QTest::addColumn<QString>("buttons");  // pressed one after the other
        QTest::addColumn<QString>("fault");    // how the device misbehaves
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("report");      // whether a READ report shows

        // Each command's own verdict, from a device that behaves, is the soak's to check.
        QTest::newRow("failing set all") << "Config_all" << "fail" << "Failed " << false;
        QTest::newRow("failing read") << "READ" << "fail" << "Failed " << false;
        QTest::newRow("late port") << "Port" << "late" << "PORT success" << false;
        QTest::newRow("late read") << "READ" << "late" << "READ Success" << true;
        // 27 bytes, then the last 4 alone: two replies to the window, the
        // second a failure reply.
        QTest::newRow("split read") << "READ" << "split" << "Failed " << false;
        // Both answers come after READ was sent: LIP's acknowledgement is taken
        // for READ's, and the block behind it makes no report.
        QTest::newRow("answers after the next command") << "Locat_ip READ" << "late" << "READ Success" << false;
    }

    void verdict()
    {
        QFETCH(QString, buttons);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(bool, report);
        DeviceOptions options;
        options.fail = fault == QLatin1String("fail");
        options.delayMs = fault == QLatin1String("late") ? 120 : 0;  // over two of the window's 50 ms polls
        options.splitAt = fault == QLatin1String("split") ? 27 : 0;
        Bench bench(options);
        const WindowHarness &h = bench.h;
        QVERIFY2(h.isOpen(), qPrintable(h.message()));
        if (buttons.contains(u"READ"_s))  // a report from before, emptied at the press
            h.find<QTextEdit>("READ_Edit")->setText(u"an earlier report"_s);

        const QDeadlineTimer replyDue(options.delayMs);
        for (const QString &button : buttons.split(u' '))
            h.press(qPrintable(button));
        QTRY_COMPARE(h.message(), message);
        QVERIFY(replyDue.hasExpired());
        // Every reply on the line, read and judged: nothing changes what the window shows.
        QTRY_COMPARE(bench.device.pendingReplies(), 0);
        QSignalSpy polls(h.window->findChild<QTimer *>(u"readTimer"_s), &QTimer::timeout);
        QTRY_VERIFY(polls.count() >= 2);
        QCOMPARE(h.message(), message);
        QCOMPARE(h.report().isEmpty(), !report);
        QCOMPARE(status, 0);
    }

    // --simulate as on Windows: the device served in-process behind COM1,
    // through the window's own port. What SET ALL wrote is read back after
    // CLOSE and OPEN, from the same device.
    void inProcessDevice()
    {
        qputenv("VELMORA_SIMULATOR", "in-process");
        QString error;
        const std::unique_ptr<QObject> simulator = BuiltInSimulator::start(&error);
        qunsetenv("VELMORA_SIMULATOR");
        QVERIFY2(simulator, qPrintable(error));
        WindowHarness h;
        const QStringList lip = names("Locat_ip_Edit_#4");
        for (int i = 0; i < lip.size(); ++i)
            h.setField(lip.at(i), QString::number(i + 1));
        h.press("Open");
        QVERIFY2(h.isOpen(), qPrintable(h.message()));
        h.press("Config_all");
        QTRY_COMPARE(h.message(), u"SET ALL success"_s);
        h.press("Open");
        h.press("Open");
        QVERIFY2(h.isOpen(), qPrintable(h.message()));
        h.press("READ");
        QTRY_COMPARE(h.message(), u"READ Success"_s);
        QVERIFY2(h.report().startsWith(u"LIP:1.2.3.4\n"_s), qPrintable(h.report()));
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
