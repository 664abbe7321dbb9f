// velmora's command line: port mappings, and the refusal of a bad one before
// any window opens.
#include "app/commandline.h"
#include "link/portmap.h"

#include <QProcess>
#include <QtTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { PortMap::reset(); }

    void portMappings();
    void refused_data();
    void refused();
    void defaultDevices_data();
    void defaultDevices();
    void simulateOnlyWhereAvailable();
    void programRefusesBadPort_data();
    void programRefusesBadPort();
    void programHelpAndVersion();
};

void tst_CommandLine::portMappings()
{
    const CommandLine parsed = parseCommandLine(
        {"velmora", "--port", "COM1=/dev/ttyUSB0", "--port=COM20=/dev/pts/7", "--trace"}, true);
    QCOMPARE(parsed.action, CommandLine::Run);
    QCOMPARE(parsed.ports.size(), 2);
    QCOMPARE(parsed.ports.at(0).comName, QStringLiteral("COM1"));
    QCOMPARE(parsed.ports.at(0).device, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(parsed.ports.at(1).comName, QStringLiteral("COM20"));
    QCOMPARE(parsed.ports.at(1).device, QStringLiteral("/dev/pts/7"));
    QVERIFY(parsed.trace);
    QVERIFY(!parsed.simulate);
}

void tst_CommandLine::refused_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("unknown name") << QStringList{"--port", "LPT1=/dev/lp0"};
    QTest::newRow("COM21") << QStringList{"--port", "COM21=/dev/ttyS20"};
    QTest::newRow("COM0") << QStringList{"--port", "COM0=/dev/ttyS0"};
    QTest::newRow("leading zero") << QStringList{"--port", "COM01=/dev/ttyS0"};
    QTest::newRow("lower case") << QStringList{"--port", "com1=/dev/ttyS0"};
    QTest::newRow("no device") << QStringList{"--port", "COM1="};
    QTest::newRow("no equals sign") << QStringList{"--port", "COM1"};
    QTest::newRow("no value") << QStringList{"--port"};
    QTest::newRow("unknown option") << QStringList{"--baud", "9600"};
    QTest::newRow("stray argument") << QStringList{"COM1"};
}

void tst_CommandLine::refused()
{
    QFETCH(QStringList, arguments);
    const CommandLine parsed = parseCommandLine(QStringList{"velmora"} + arguments, true);
    QCOMPARE(parsed.action, CommandLine::Exit);
    QCOMPARE(parsed.exitCode, UsageError);
    QVERIFY(!parsed.output.isEmpty());
    QVERIFY(!parsed.output.trimmed().contains(QLatin1Char('\n')));
}

void tst_CommandLine::defaultDevices_data()
{
    QTest::addColumn<QString>("comName");
    QTest::addColumn<QString>("device");

#ifdef Q_OS_WIN
    QTest::newRow("COM1") << "COM1" << "\\\\.\\COM1";
    QTest::newRow("COM20") << "COM20" << "\\\\.\\COM20";
#else
    QTest::newRow("COM1") << "COM1" << "/dev/ttyS0";
    QTest::newRow("COM10") << "COM10" << "/dev/ttyS9";
    QTest::newRow("COM20") << "COM20" << "/dev/ttyS19";
#endif
}

void tst_CommandLine::defaultDevices()
{
    QFETCH(QString, comName);
    QFETCH(QString, device);
    QCOMPARE(PortMap::devicePath(comName), device);

    PortMap::setDevice(comName, QStringLiteral("/dev/elsewhere"));
    QCOMPARE(PortMap::devicePath(comName), QStringLiteral("/dev/elsewhere"));
    PortMap::reset();
    QCOMPARE(PortMap::devicePath(comName), device);
}

void tst_CommandLine::simulateOnlyWhereAvailable()
{
    QVERIFY(parseCommandLine({"velmora", "--simulate"}, true).simulate);
    QCOMPARE(parseCommandLine({"velmora", "--simulate"}, false).exitCode, UsageError);
}

void tst_CommandLine::programRefusesBadPort_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("COM21") << "COM21=/dev/ttyUSB0";
    QTest::newRow("no device") << "COM1=";
    QTest::newRow("unknown name") << "TTY1=/dev/ttyUSB0";
}

void tst_CommandLine::programRefusesBadPort()
{
    QFETCH(QString, value);

    // No display at all: the refusal must come before anything graphical.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELMORA_PATH), {QStringLiteral("--port"), value});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
    const QByteArray error = program.readAllStandardError();
    QCOMPARE(error.count('\n'), 1);
    QVERIFY2(error.startsWith("velmora: --port "), error);
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
}

void tst_CommandLine::programHelpAndVersion()
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    program.setProcessEnvironment(environment);

    program.start(QStringLiteral(VELMORA_PATH), {QStringLiteral("--version")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardOutput(), QByteArray("velmora 1.2\n"));

    program.start(QStringLiteral(VELMORA_PATH), {QStringLiteral("--help")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    const QByteArray help = program.readAllStandardOutput();
    for (const char *option : {"--port <COMn=DEVICE>", "--trace", "--help", "--version"})
        QVERIFY2(help.contains(option), option);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
