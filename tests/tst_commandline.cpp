// velmora's command line: port mappings, and the refusal of a bad one before
// any window opens.
#include "velmora/commandline.h"

#include <QProcess>
#include <QtTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void portMappings();
    void refused_data();
    void refused();
    void programRefusesBeforeAnyWindow();
};

void tst_CommandLine::portMappings()
{
    const CommandLine parsed = parseCommandLine(
        {"velmora", "--port", "COM1=/dev/ttyUSB0", "--port=COM20=/dev/pts/7", "--trace"}, true);
    QCOMPARE(parsed.action, CommandLine::Run);
    QCOMPARE(parsed.ports.size(), 2);
    QCOMPARE(parsed.ports.at(1).comName, QStringLiteral("COM20"));
    QCOMPARE(parsed.ports.at(1).device, QStringLiteral("/dev/pts/7"));
    QVERIFY(parsed.trace);
    QVERIFY(!parsed.simulate);
}

void tst_CommandLine::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("simulator");
    QTest::newRow("unknown name") << QStringList{"--port", "LPT1=/dev/lp0"} << true;
    QTest::newRow("COM21") << QStringList{"--port", "COM21=/dev/ttyS20"} << true;
    QTest::newRow("leading zero") << QStringList{"--port", "COM01=/dev/ttyS0"} << true;
    QTest::newRow("no device") << QStringList{"--port", "COM1="} << true;
    QTest::newRow("no equals sign") << QStringList{"--port", "COM1"} << true;
    QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << true;
    QTest::newRow("stray argument") << QStringList{"COM1"} << true;
    QTest::newRow("--simulate without a simulator") << QStringList{"--simulate"} << false;
    QTest::newRow("--save-ports, nothing to save") << QStringList{"--save-ports"} << true;
    QTest::newRow("--save-ports --forget-ports")
        << QStringList{"--port", "COM1=/dev/ttyUSB0", "--save-ports", "--forget-ports"} << true;
}

void tst_CommandLine::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, simulator);
    const CommandLine parsed = parseCommandLine(QStringList{"velmora"} + arguments, simulator);
    QCOMPARE(parsed.action, CommandLine::Exit);
    QCOMPARE(parsed.exitCode, UsageError);
    QVERIFY(!parsed.output.isEmpty());
    QVERIFY(!parsed.output.trimmed().contains(QLatin1Char('\n')));
}

void tst_CommandLine::programRefusesBeforeAnyWindow()
{
    // No usable display: a refusal must come before anything graphical.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VELMORA_PATH), {QStringLiteral("--port"), QStringLiteral("COM21=/dev/ttyUSB0")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 2);
    QCOMPARE(program.readAllStandardError(),
             QByteArray("velmora: --port COM21=/dev/ttyUSB0: COM21 is not a port of the list, COM1 to COM20\n"));

    // Qt's own options are taken out by QApplication, not refused.
    program.start(QStringLiteral(VELMORA_PATH),
                  {QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--version")});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardOutput(), QByteArray("velmora 1.2\n"));
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
