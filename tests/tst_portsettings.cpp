// velmora's command line and the port mappings it remembers between runs:
// what one program saves is what every program applies at its next start,
// --port wins for one run, an entry that is not a mapping is skipped without
// stopping anything, and a command line that cannot run is refused in one line.
#include "files.h"
#include "link/portmap.h"
#include "link/portsettings.h"
#include "shell/exitstatus.h"
#include "velmora/commandline.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// "COM1=/dev/a* COM3=/dev/b": every port that does not open its default
// device, * where the mapping is a saved one.
QString portMapState()
{
    QStringList state;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port) {
        const QString name = u"COM%1"_s.arg(port);
        if (PortMap::devicePath(name) != PortMap::defaultDevice(name))
            state << name + u'=' + PortMap::devicePath(name) + (PortMap::isSaved(name) ? u"*"_s : QString());
    }
    return state.join(u' ');
}

// Entries as a technician might have written them, where the programs keep
// their settings (the file on Linux, the registry on Windows).
void writeSaved(const QMap<QString, QVariant> &entries)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, u"Velmora"_s, u"velmora"_s);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        settings.setValue(it.key(), it.value());
}

// The file of settings is written by hand here: on Windows they are in the registry.
#ifdef Q_OS_WIN
#define SKIP_ON_WINDOWS(why) QSKIP(why)
#else
#define SKIP_ON_WINDOWS(why)
#endif

QString savedState()
{
    QStringList state;
    const PortSettings::Mappings saved = PortSettings::load();
    for (auto it = saved.cbegin(); it != saved.cend(); ++it)
        state << it.key() + u'=' + it.value();
    return state.join(u' ');
}

} // namespace

class tst_PortSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
#ifdef Q_OS_WIN
        QCOMPARE(PortSettings::fileName(), u"\\HKEY_CURRENT_USER\\Software\\Velmora\\velmora"_s);
        m_usersMappings = PortSettings::load();  // put back at the end
#else
        // Before the first QSettings of the process, which keeps the location.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QCOMPARE(PortSettings::fileName(), m_config.path() + u"/Velmora/velmora.conf"_s);
#endif
    }
    void init()
    {
        PortMap::reset();
#ifdef Q_OS_WIN
        QVERIFY(PortSettings::forget());  // in the user's registry: no folder of this test's own there
#else
        QFile::remove(PortSettings::fileName());
#endif
    }
#ifdef Q_OS_WIN
    void cleanupTestCase() { QVERIFY(PortSettings::forget() && PortSettings::save(m_usersMappings)); }
#endif

    void savedEntries_data()
    {
        SKIP_ON_WINDOWS("entries as they read from a file of settings written by hand");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("applied");
        QTest::addColumn<int>("skipped");
        QTest::newRow("mappings") << "[ports]\nCOM1=/dev/ttyUSB0\nCOM20=/dev/serial/by-id/usb-FTDI_A1-if00-port0\n"_ba
                                  << u"COM1=/dev/ttyUSB0* COM20=/dev/serial/by-id/usb-FTDI_A1-if00-port0*"_s << 0;
        QTest::newRow("not ports of the list") << "[ports]\nCOM21=/dev/a\nLPT1=/dev/lp0\nCOM01=/dev/b\nCOM2=/dev/c\n"_ba
                                               << u"COM2=/dev/c*"_s << 3;
        QTest::newRow("not one device") << "[ports]\nCOM3=\nCOM4=/dev/a, /dev/b\nCOM5=/dev/c\n"_ba << u"COM5=/dev/c*"_s << 2;
        QTest::newRow("other groups") << "[General]\nCOM6=/dev/a\n[window]\nCOM7=/dev/b\n"_ba << QString() << 0;
        QTest::newRow("not a settings file") << "\xff\xfe\x00garbage\n=\n[ports\n"_ba << QString() << 0;
    }

    void savedEntries()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, applied);
        QFETCH(int, skipped);
        QVERIFY(writeFile(PortSettings::fileName(), file));
        QStringList problems;
        PortSettings::load(&problems);
        QCOMPARE(problems.size(), skipped);
        for (const QString &problem : problems)  // one line each, naming where
            QVERIFY2(problem.startsWith(PortSettings::fileName()) && !problem.contains(u'\n'), qPrintable(problem));
        PortSettings::applySaved();
        QCOMPARE(portMapState(), applied);
    }

    void saveFails()
    {
        SKIP_ON_WINDOWS("a file where the folder of the settings file should be");
        // A file where the folder should be: nothing can be written there.
        const QString folder = QFileInfo(PortSettings::fileName()).path();
        QVERIFY(QDir(folder).removeRecursively());
        const auto restore = qScopeGuard([&] { QFile::remove(folder); });
        QVERIFY(writeFile(m_config.filePath(u"blocker"_s), "a file, not a folder"));
        QVERIFY(QFile::rename(m_config.filePath(u"blocker"_s), folder));
        QVERIFY(!PortSettings::save({{u"COM1"_s, u"/dev/a"_s}}));
    }

    // What velmora does with its command line and the saved mappings.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("run");  // the ports of the run, or "refused"
        QTest::addColumn<QString>("savedAfter");
        const QString saved = u"COM1=/dev/saved1 COM2=/dev/saved2"_s;
        const auto refused = [&](const char *name, const QStringList &arguments) {
            QTest::newRow(name) << arguments << u"refused"_s << saved;
        };
        QTest::newRow("saved only") << QStringList() << u"COM1=/dev/saved1* COM2=/dev/saved2*"_s << saved;
        QTest::newRow("--port overrides for the run") << QStringList{u"--port"_s, u"COM1=/dev/given"_s, u"--trace"_s}
                                                      << u"COM1=/dev/given COM2=/dev/saved2*"_s << saved;
        // Added to what is saved, replacing only the same port.
        QTest::newRow("--save-ports") << QStringList{u"--port=COM1=/dev/given"_s, u"--port=COM3=/dev/new"_s, u"--save-ports"_s}
                                      << u"COM1=/dev/given COM2=/dev/saved2* COM3=/dev/new"_s
                                      << u"COM1=/dev/given COM2=/dev/saved2 COM3=/dev/new"_s;
        refused("no device", {u"--port"_s, u"COM1="_s});
        refused("no equals sign", {u"--port"_s, u"COM1"_s});
        refused("stray argument", {u"COM1"_s});
        refused("--save-ports, nothing to save", {u"--save-ports"_s});
        refused("--save-ports --forget-ports", {u"--port"_s, u"COM1=/dev/a"_s, u"--save-ports"_s, u"--forget-ports"_s});
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, run);
        QFETCH(QString, savedAfter);
        QVERIFY(PortSettings::save({{u"COM1"_s, u"/dev/saved1"_s}, {u"COM2"_s, u"/dev/saved2"_s}}));
        const CommandLine parsed = parseCommandLine(QStringList{u"velmora"_s} + arguments);
        if (run == u"refused"_s) {
            QCOMPARE(parsed.action, CommandLine::Exit);
            QCOMPARE(parsed.exitCode, Exit::UsageError);
            QVERIFY2(!parsed.output.isEmpty() && !parsed.output.trimmed().contains(u'\n'), qPrintable(parsed.output));
        } else {
            QCOMPARE(parsed.action, CommandLine::Run);
            QCOMPARE(parsed.trace, arguments.contains(u"--trace"_s));
            QVERIFY(applyPortOptions(parsed));
        }
        QCOMPARE(portMapState(), run == u"refused"_s ? QString() : run);
        QCOMPARE(savedState(), savedAfter);
    }

    // velmora saves; velmora-cli, started after it, opens the same device.
    // What velmora refuses or forgets it does before any window: no display is needed.
    void sharedBetweenPrograms()
    {
        writeSaved({{u"ports/COM99"_s, u"/dev/broken"_s}});
        QProcess velmora;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_s, m_config.path());
        velmora.setProcessEnvironment(environment);
        const QString device = u"/dev/serial/by-id/usb-Velmora_Test_0001-if00-port0"_s;
        velmora.start(QStringLiteral(VELMORA_PATH),
                      {u"-platform"_s, u"offscreen"_s, u"--port"_s, u"COM3="_s + device, u"--save-ports"_s});
        QTRY_COMPARE_WITH_TIMEOUT(savedState(), u"COM3="_s + device, 20000);
        // The broken entry is named once, and the window starts all the same.
        QVERIFY(!velmora.waitForFinished(500));
        velmora.kill();  // terminate() would close its window, which offscreen on Windows has not
        QVERIFY(velmora.waitForFinished(10000));
        QByteArrayList ours;  // Qt may add notes of its own
        for (const QByteArray &line : velmora.readAllStandardError().split('\n'))
            if (line.startsWith("velmora: "))
                ours << line;
        QCOMPARE(ours.size(), 1);
        QVERIFY2(ours[0].contains("COM99=/dev/broken"), ours[0]);

        // velmora-cli opens the saved device for COM3 (which is not there).
        QProcess cli;
        cli.setProcessEnvironment(environment);
        cli.start(QStringLiteral(VELMORA_CLI_PATH), {u"--port"_s, u"COM3"_s, u"read"_s});
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 3);
        const QByteArray cliErrors = cli.readAllStandardError();
        QVERIFY2(cliErrors.contains("\nvelmora-cli: cannot open COM3 (" + device.toUtf8() + ")"), cliErrors);

        environment.insert(u"QT_QPA_PLATFORM"_s, u"no-such-platform"_s);
        velmora.setProcessEnvironment(environment);
        velmora.start(QStringLiteral(VELMORA_PATH), {u"--port"_s, u"COM21=/dev/ttyUSB0"_s},
                      QIODevice::ReadWrite | QIODevice::Text);  // lines end in \n on Windows too
        QVERIFY(velmora.waitForFinished(10000));
        QCOMPARE(velmora.exitCode(), 2);
        QCOMPARE(velmora.readAllStandardError(),
                 "velmora: --port COM21=/dev/ttyUSB0: COM21 is not a port of the list, COM1 to COM20\n"_ba);
        velmora.start(QStringLiteral(VELMORA_PATH), {u"--forget-ports"_s});
        QVERIFY(velmora.waitForFinished(10000));
        QCOMPARE(velmora.exitCode(), 0);
        QCOMPARE(savedState(), QString());
    }

private:
    QTemporaryDir m_config;
#ifdef Q_OS_WIN
    PortSettings::Mappings m_usersMappings;
#endif
};

QTEST_GUILESS_MAIN(tst_PortSettings)
#include "tst_portsettings.moc"
