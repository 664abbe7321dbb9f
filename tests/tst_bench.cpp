// velmora-bench's window, headless, against simulated devices on real
// pseudo-terminals and, beside it, velmora-cli batch on the same plans: the
// same problems, the same log, and runs either of them can resume.
#include "benchparts.h"
#include "bench/benchwindow.h"
#include "bench/labels.h"
#include "bench/lanepanel.h"
#include "bench/laneview.h"
#include "bench/linemonitor.h"
#include "bench/newplandialog.h"
#include "batch/batchlog.h"
#include "batch/csv.h"
#include "client/profile.h"
#include "clirun.h"
#include "exclusivemode.h"
#include "files.h"
#include "programoutput.h"
#include "ptypair.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QProgressBar>
#include <QListWidget>
#include <QTableView>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using Bench::BenchWindow;

Q_DECLARE_METATYPE(Batch::Waiting)

namespace {

// id A-n, lip 10.0.0.n, sn n, port 8000+n.
QByteArray plan(int rows)
{
    QByteArray text = "id,lip,sn,port\n";
    for (int n = 1; n <= rows; ++n)
        text += QStringLiteral("A-%1,10.0.0.%1,%1,%2\n").arg(n).arg(8000 + n).toUtf8();
    return text;
}

DeviceOptions fault(const QString &name)
{
    DeviceOptions options;
    options.fail = name == QLatin1String("refused");
    options.silent = name == QLatin1String("silent");
    options.delayMs = name == QLatin1String("slow") ? 40 : 0;  // under the 100 ms timeout
    if (name == QLatin1String("ignoring"))
        options.ignoredField = Protocol::blockField(u"port");
    return options;
}

// The log's lines after the header, each as its fields.
QList<QStringList> logLines(const QString &fileName)
{
    const Batch::CsvTable table = Batch::readCsv(readFile(fileName));
    QList<QStringList> lines;
    for (size_t r = 1; r < table.records.size(); ++r) {
        QStringList fields;
        for (const Batch::CsvField &field : table.records[r].fields)
            fields << field.text;
        lines << fields;
    }
    return lines;
}

enum LogColumn { Time, Row, Id, PortColumn, ResultColumn };

// "lip = ...\n" lines of what the last line of each port says its device holds.
QMap<QString, QString> lastReadBack(const QList<QStringList> &lines)
{
    QMap<QString, QString> held;
    for (const QStringList &line : lines) {
        QString text;
        int i = int(line.size()) - int(Protocol::blockFields().size());
        for (const Protocol::BlockField &field : Protocol::blockFields())
            text += QLatin1String(field.key) + QLatin1String(" = ") + line.value(i++) + QLatin1Char('\n');
        held.insert(line.value(PortColumn), text);
    }
    return held;
}

// The hue of a row's colour: green about 120, amber about 40, red about 0.
int hue(const QModelIndex &index)
{
    return index.data(Qt::BackgroundRole).value<QBrush>().color().hue();
}

// A plan of any length (id A-n, lip 10.1.x.y, port 8000+n) and its log,
// written by the log's own writer: rows 1 to ok are ok, on two ports in
// turn, then a mismatch, a no answer, a skipped row; the rest left.
struct WrittenLog
{
    WrittenLog(int rows, int ok)
    {
        QByteArray text = "id,lip,port\n";
        for (int n = 1; n <= rows; ++n)
            text += QStringLiteral("A-%1,%2,%3\n").arg(n).arg(lip(n)).arg(8000 + n).toUtf8();
        QStringList errors;
        writeFile("plan.csv", text);
        QVERIFY(Batch::readPlan(text, "plan.csv", {}, &plan, &errors));
        Batch::BatchLog log(plan);
        QStringList warnings;
        QVERIFY(log.open("plan.log.csv", &errors, &warnings));
        const Batch::Result others[] = {Batch::Result::Mismatch, Batch::Result::NoAnswer, Batch::Result::Skipped};
        for (int row = 1; row <= std::min(rows, ok + 3); ++row) {
            Batch::Attempt attempt;
            attempt.row = row;
            attempt.port = row % 2 ? "sim1" : "/dev/pts/77";
            attempt.result = row <= ok ? Batch::Result::Ok : others[row - ok - 1];
            if (attempt.result == Batch::Result::Ok || attempt.result == Batch::Result::Mismatch) {
                Protocol::ParameterBlock held = plan.row(row).values.appliedTo(DeviceModel::startParameters());
                held.mac = {0x02, 0x56, 0x4d, 0x00, quint8(row >> 8), quint8(row)};
                attempt.readBack = held;
            }
            QVERIFY(log.append(attempt));
        }
    }
    static QString lip(int row) { return QStringLiteral("10.1.%1.%2").arg(row / 256).arg(row % 256); }
    // "10.1.0.7, 8007": what the report says row n's device read back.
    static QString readBack(int row) { return QStringLiteral("%1, %2").arg(lip(row)).arg(8000 + row); }

    Batch::Plan plan;
};

// A window for a plan in the test's folder, with one lane per device.
struct Station
{
    explicit Station(const QStringList &ports, Batch::Waiting waiting = Batch::Waiting::None)
    {
        QString error;
        if (!window.openPlan(QStringLiteral("plan.csv"), &error))
            qWarning("%s", qPrintable(error));
        window.setLineSettings({100, 0, nullptr});
        window.setWaiting(waiting);
        for (const QString &port : ports) {
            if (!lanePanel(window)->addLane(port, &error))
                qWarning("%s", qPrintable(error));
        }
    }
    ::Bench::LaneView *lane(const QString &port) const { return lanePanel(window)->lane(port); }
    // Shown and active: shortcuts and focus as at a bench.
    bool show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    QModelIndex cell(int row, int column) const { return planTable(window)->index(row, column); }
    QString result(int row) const { return cell(row, planTable(window)->resultColumn()).data().toString(); }

    BenchWindow window;
    QSignalSpy finished{&window, &BenchWindow::runFinished};
};

} // namespace

class tst_Bench : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_folder->path()));
    }

    void problemsAsBatchPrintsThem_data()
    {
        QTest::addColumn<QByteArray>("planText");
        QTest::addColumn<int>("row");  // of the first problem; -1: the header, -2: in the list only
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("allowable");  // gone with the two --allow-* choices
        QTest::addColumn<QString>("fix");      // typed into that cell, it leaves no problem

        QTest::newRow("bad value") << QByteArray("id,lip,sn\nA,10.0.0.1,300\nB,10.0.0.2,x\n") << 0 << 2 << false << "30";
        QTest::newRow("not a column") << QByteArray("lip,colour\n10.0.0.1,red\n") << -1 << 1 << false << "";
        QTest::newRow("columns missing") << QByteArray("id,lip,sn\nA,10.0.0.1\n") << 0 << 1 << false << "";
        QTest::newRow("duplicate") << QByteArray("id,lip\nA,10.0.0.1\nB,10.0.0.1\n") << 1 << 1 << true << "10.0.0.2";
        QTest::newRow("network address") << QByteArray("lip,mask\n10.0.0.0,255.255.255.0\n") << 0 << 0 << true
                                         << "10.0.0.9";
        QTest::newRow("broadcast address") << QByteArray("lip,mask\n10.0.0.255,255.255.255.0\n") << 0 << 0 << true << "";
        QTest::newRow("gateway elsewhere") << QByteArray("lip,mask,gateway\n10.0.0.5,255.255.255.0,10.0.1.1\n") << 0
                                           << 2 << true << "10.0.0.1";
        QTest::newRow("quote not closed") << QByteArray("id,lip\nA,10.0.0.1\n\"B,10.0.0.2\n") << -2 << 0 << false << "";
    }

    void problemsAsBatchPrintsThem()
    {
        QFETCH(QByteArray, planText);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(bool, allowable);
        QFETCH(QString, fix);
        QVERIFY(writeFile(QStringLiteral("plan.csv"), planText));
        PtyPair line;
        const Run batch = cli({"batch", "plan.csv", "--log", "log.csv", "--no-prompt", "--port", line.slavePath()});
        QCOMPARE(batch.exitCode, 2);

        Station bench({line.slavePath()});
        QStringList shown;
        for (const ::Bench::PlanProblem &problem : planTable(bench.window)->problems())
            shown << QStringLiteral("velmora-cli: ") + problem.text + QLatin1Char('\n');
        QCOMPARE(shown.join(QString()), batch.err);

        // Marked on its cell, and listed as the table numbers its rows, batch's
        // message in the tooltip; Enter on the list goes to the cell.
        const ::Bench::PlanProblem &problem = planTable(bench.window)->problems().first();
        const QString first = problem.text;
        const QVariant tooltip = row < 0 ? planTable(bench.window)->headerData(column, Qt::Horizontal, Qt::ToolTipRole)
                                         : bench.cell(row, column).data(Qt::ToolTipRole);
        QVERIFY(row == -2 ? tooltip.toString().isEmpty() : tooltip.toString().startsWith(first));
        QCOMPARE(part<QListWidget>(bench.window, "problemList")->item(0)->text(), problem.shown);
        QCOMPARE(part<QListWidget>(bench.window, "problemList")->item(0)->toolTip(), first);
        if (row >= 0) {
            const QString number = planTable(bench.window)->headerData(row, Qt::Vertical, Qt::DisplayRole).toString();
            QVERIFY2(problem.shown.startsWith(QStringLiteral("row %1, ").arg(number)), qPrintable(problem.shown));
            QVERIFY(first.contains(QStringLiteral(":%1:").arg(planTable(bench.window)->fileLine(row))));
            QCOMPARE(hue(bench.cell(row, column)), 0);
            part<QListWidget>(bench.window, "problemList")->setCurrentRow(0);
            QTest::keyClick(part<QListWidget>(bench.window, "problemList"), Qt::Key_Return);
            QCOMPARE(part<QTableView>(bench.window, "planView")->currentIndex().row(), row);
            QCOMPARE(part<QTableView>(bench.window, "planView")->currentIndex().column(), column);
        }
        QVERIFY(!part<QPushButton>(bench.window, "startButton")->isEnabled());
        QVERIFY(!bench.window.start());
        QCOMPARE(bench.window.exitStatus(), 2);
        QCOMPARE(line.received(), QByteArray());

        part<QCheckBox>(bench.window, "allowDuplicates")->setChecked(true);
        part<QCheckBox>(bench.window, "allowOddAddresses")->setChecked(true);
        QCOMPARE(planTable(bench.window)->problems().isEmpty(), allowable);
        QCOMPARE(part<QPushButton>(bench.window, "startButton")->isEnabled(), allowable);
        if (fix.isEmpty())
            return;
        part<QCheckBox>(bench.window, "allowDuplicates")->setChecked(false);
        part<QCheckBox>(bench.window, "allowOddAddresses")->setChecked(false);
        QVERIFY(planTable(bench.window)->setData(bench.cell(row, column), fix, Qt::EditRole));
        if (planText.contains(",x\n"))  // the second bad value
            QVERIFY(planTable(bench.window)->setData(bench.cell(1, 2), "31", Qt::EditRole));
        QCOMPARE(planTable(bench.window)->problems().size(), 0);
        QVERIFY(part<QPushButton>(bench.window, "startButton")->isEnabled());
    }

    void runAsBatchRunsIt()
    {
        // One device of each result, a lane each: each lane gets the row of its place.
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(4)));
        std::vector<std::unique_ptr<Device>> devices;
        QStringList ports;
        for (const char *kind : {"ok", "refused", "ignoring", "silent"}) {
            devices.push_back(std::make_unique<Device>(fault(QLatin1String(kind))));
            ports << devices.back()->path();
        }
        QStringList arguments = {"batch", "plan.csv", "--log", "batch.csv", "--no-prompt", "--timeout", "100", "--retries", "0"};
        for (const QString &port : ports)
            arguments << "--port" << port;
        const Run batch = cli(arguments);
        QCOMPARE(batch.exitCode, 1);

        Station bench(ports);
        bench.window.setLogFile(QStringLiteral("bench.csv"));
        QVERIFY2(bench.window.start(), qPrintable(bench.window.statusBar()->currentMessage()));
        QTRY_COMPARE(bench.finished.count(), 1);
        QCOMPARE(bench.finished.first().first().toInt(), 1);

        const int result = planTable(bench.window)->resultColumn();
        const int holds = planTable(bench.window)->holdsColumn();
        QCOMPARE(hue(bench.cell(0, result)), 120);
        QCOMPARE(hue(bench.cell(1, result)), 0);
        QVERIFY(qAbs(hue(bench.cell(2, result)) - 40) < 10);
        QCOMPARE(hue(bench.cell(3, result)), 0);
        QCOMPARE(bench.result(0), QStringLiteral("ok"));
        QVERIFY(bench.result(1).startsWith(QLatin1String("refused")));
        QVERIFY(bench.result(3).startsWith(QLatin1String("no answer")));
        QCOMPARE(bench.cell(0, holds).data().toString(), QStringLiteral("lip=10.0.0.1, port=8001, sn=1"));
        QCOMPARE(bench.cell(2, holds).data().toString(), QStringLiteral("lip=10.0.0.3, port=5020, sn=3"));
        QVERIFY(bench.cell(2, holds).data(Qt::ToolTipRole).toString().startsWith(
            QLatin1String("port: wrote 8003, device has 5020\n")));
        QCOMPARE(bench.cell(1, holds).data().toString(), QString());
        QVERIFY(labelText(bench.window, "countsLabel").startsWith(
            QLatin1String("1 ok, 1 mismatch, 1 refused, 1 no answer, 0 skipped, 0 left")));
        QCOMPARE(bench.window.statusBar()->currentMessage(), batch.err.trimmed().section(QLatin1Char('\n'), -1));

        // Failed only, and sorted by result: failures first.
        part<QCheckBox>(bench.window, "failedOnly")->setChecked(true);
        QCOMPARE(part<QTableView>(bench.window, "planView")->model()->rowCount(), 3);
        part<QCheckBox>(bench.window, "failedOnly")->setChecked(false);
        part<QTableView>(bench.window, "planView")->sortByColumn(result, Qt::AscendingOrder);
        const QAbstractItemModel *sorted = part<QTableView>(bench.window, "planView")->model();
        QVERIFY(sorted->index(0, result).data().toString().startsWith(QLatin1String("no answer")));
        QCOMPARE(sorted->index(3, result).data().toString(), QStringLiteral("ok"));

        // The same log, but for the time of each line.
        QCOMPARE(readFile(QStringLiteral("bench.csv")).split('\n').first(), readFile(QStringLiteral("batch.csv")).split('\n').first());
        const auto byRow = [](QList<QStringList> lines) {
            for (QStringList &line : lines)
                line.removeFirst();
            std::sort(lines.begin(), lines.end());
            return lines;
        };
        QCOMPARE(byRow(logLines(QStringLiteral("bench.csv"))), byRow(logLines(QStringLiteral("batch.csv"))));
        QCOMPARE(logLines(QStringLiteral("bench.csv")).size(), 8);  // a "writing" line before each result

        // The record as it is now.
        QTRY_VERIFY2(labelText(bench.window, "logLabel").contains(QLatin1String("1 of 4 rows ok")),
                     qPrintable(labelText(bench.window, "logLabel")));

        // The monitor: every frame of every lane, or of one.
        Bench::LineMonitor *monitor = part<Bench::LineMonitor>(bench.window, "lineMonitor");
        const QString all = monitor->shownText();
        for (const QString &port : ports)
            QVERIFY2(all.contains(QStringLiteral(" %1 TX aa ").arg(port)), qPrintable(all));
        monitor->laneFilter->setCurrentText(ports.at(2));
        const QStringList one = monitor->shownText().split(QLatin1Char('\n'));
        QCOMPARE(one.size(), 7);  // whether low latency took; READ, SET ALL, READ and their replies
        for (const QString &line : one)
            QVERIFY2(line.section(QLatin1Char(' '), 1, 1) == ports.at(2) && !line.contains(ports.at(2) + ' ' + ports.at(2)),
                     qPrintable(line));
    }

    // --simulate's lanes: on pseudo-terminals, and served in this program as
    // on Windows; with --auto, their devices unplugged and new ones plugged in.
    void simulatedLanes_data()
    {
        QTest::addColumn<QByteArray>("simulator");
        QTest::addColumn<QString>("device");  // of sim2
        QTest::addColumn<Batch::Waiting>("waiting");
        QTest::newRow("on pseudo-terminals") << QByteArray() << "/dev/pts/" << Batch::Waiting::None;
        QTest::newRow("served in this program") << QByteArray("in-process") << "simulated device 2" << Batch::Waiting::None;
        QTest::newRow("swapped, auto") << QByteArray() << "/dev/pts/" << Batch::Waiting::Auto;
    }

    void simulatedLanes()
    {
        QFETCH(QByteArray, simulator);
        QFETCH(QString, device);
        QFETCH(Batch::Waiting, waiting);
        qputenv("VELMORA_SIMULATOR", simulator);
        const auto unset = qScopeGuard([] { qunsetenv("VELMORA_SIMULATOR"); });
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(4)));
        Station bench({}, waiting);
        bench.window.setLineSettings({});  // a device started a moment ago may answer late: the usual timeout and retries
        QString error;
        QVERIFY(lanePanel(bench.window)->addSimulated(&error) && lanePanel(bench.window)->addSimulated(&error));
        QCOMPARE(lanePanel(bench.window)->ports(), QStringList({"sim1", "sim2"}));
        QVERIFY2(lanePanel(bench.window)->device(QStringLiteral("sim2")).startsWith(device),
                 qPrintable(lanePanel(bench.window)->device(QStringLiteral("sim2"))));
        QVERIFY(bench.window.start());
        QTRY_COMPARE_WITH_TIMEOUT(bench.finished.count(), 1, 20000);
        for (int row = 0; row < 4; ++row)
            QVERIFY2(bench.result(row) == QLatin1String("ok"), qPrintable(planTable(bench.window)->outcome(row + 1).detail));
        QCOMPARE(bench.finished.first().first().toInt(), 0);
    }

    void lanesOnlyForSerialPorts_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("why");
        QTest::newRow("not there") << "/dev/ttyUSB9" << "no such device";
        QTest::newRow("a file") << "plan.csv" << "a file, not a serial port";
        QTest::newRow("a folder") << "/dev" << "a folder, not a serial port";
    }

    void lanesOnlyForSerialPorts()
    {
        QFETCH(QString, port);
        QFETCH(QString, why);
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(1)));
        Station bench({});
        QString error;
        QVERIFY(!lanePanel(bench.window)->addLane(port, &error));
        QVERIFY2(error.contains(why), qPrintable(error));
        QVERIFY(lanePanel(bench.window)->ports().isEmpty());
    }

    void monitorKeepsTheLastLines()
    {
        Bench::LineMonitor monitor;
        monitor.setLanes({"a", "b"});
        for (int i = 0; i < Bench::LineMonitor::MaxLines + 5; ++i)
            monitor.addLine(i % 2 ? "b" : "a", QByteArray::number(i) + (i % 2 ? " b TX aa" : " a TX aa"));
        QCOMPARE(monitor.lineCount(), int(Bench::LineMonitor::MaxLines));
        QStringList shown = monitor.shownText().split(QLatin1Char('\n'));
        QCOMPARE(shown.size(), int(Bench::LineMonitor::MaxLines));
        QCOMPARE(shown.first(), QStringLiteral("5 b TX aa"));
        monitor.laneFilter->setCurrentText("a");
        shown = monitor.shownText().split(QLatin1Char('\n'));
        QCOMPARE(shown.size(), int(Bench::LineMonitor::MaxLines) / 2);
        QCOMPARE(shown.last(), QStringLiteral("10004 a TX aa"));
        monitor.copyButton->click();
        QCOMPARE(QApplication::clipboard()->text(), monitor.shownText());
    }

    void newPlanAsTheGeneratorWritesIt()
    {
        Bench::NewPlanDialog dialog;
        dialog.setValue("id", "B-08");
        dialog.setValue("lip", "10.0.0.254");
        dialog.setValue("mask", "255.255.0.0", true);
        dialog.setValue("gateway", "10.0.0.1", true);
        dialog.setValue("sn", "5");
        dialog.rowCount->setValue(3);
        const QString expected = "id,lip,mask,sn,gateway\nB-08,10.0.0.254,255.255.0.0,5,10.0.0.1\n"
                                 "B-09,10.0.0.255,255.255.0.0,6,10.0.0.1\nB-10,10.0.1.0,255.255.0.0,7,10.0.0.1\n";
        QCOMPARE(dialog.preview->toPlainText(), expected);
        QString error;
        QVERIFY2(dialog.saveTo("plan.csv", &error), qPrintable(error));
        QCOMPARE(QString::fromUtf8(readFile("plan.csv")), expected);
        Station bench({});
        QCOMPARE(planTable(bench.window)->plan().size(), 3);
        QCOMPARE(planTable(bench.window)->problems().size(), 0);

        dialog.saveLastValues();  // as Save does
        QCOMPARE(Bench::NewPlanDialog().preview->toPlainText(), expected);

        // Checked as batch checks a plan: a bad value, and a gateway outside the subnet.
        dialog.setValue("sn", "x");
        QVERIFY(!dialog.planError->text().isEmpty());
        QVERIFY(!dialog.buttons->button(QDialogButtonBox::Save)->isEnabled());
        dialog.setValue("sn", "5");
        dialog.setValue("mask", "255.255.255.0", true);
        dialog.setValue("gateway", "10.0.1.1", true);
        QVERIFY2(dialog.planError->text().startsWith("row 1: gateway="), qPrintable(dialog.planError->text()));
        QVERIFY(!dialog.buttons->button(QDialogButtonBox::Save)->isEnabled());
    }

    void stopFinishesTheDevicesBeingWritten()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(20)));
        Device first(fault("slow"));
        Device second(fault("slow"));
        Station bench({first.path(), second.path()});
        bench.window.setLineSettings({});
        QVERIFY(bench.window.start());
        QTRY_VERIFY(planTable(bench.window)->counts().done() >= 1);
        part<QPushButton>(bench.window, "stopButton")->click();
        QTRY_COMPARE(bench.finished.count(), 1);
        QCOMPARE(bench.window.exitStatus(), 1);
        QVERIFY(planTable(bench.window)->counts().left > 0);
        QCOMPARE(part<QProgressBar>(bench.window, "progressBar")->value(), planTable(bench.window)->counts().done());
        for (int row = 0; row < 20; ++row)
            QVERIFY(!bench.result(row).startsWith(QLatin1String("in progress")));

        // Each device holds what the last line of its port says.
        const QMap<QString, QString> last = lastReadBack(logLines(QStringLiteral("plan.log.csv")));
        QCOMPARE(last.value(first.path()), Client::profileText(first.device.model().parameters()));
        QCOMPARE(last.value(second.path()), Client::profileText(second.device.model().parameters()));
        QCOMPARE(bench.lane(first.path())->state(), QStringLiteral("idle"));
        QVERIFY(part<QPushButton>(bench.window, "startButton")->isEnabled());
    }

    void resumesARunThatWasKilled()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(12)));
        Device first(fault("slow"));
        Device second(fault("slow"));
        QProcess killed;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder->path());
        killed.setProcessEnvironment(environment);
        killed.start(QStringLiteral(VELMORA_BENCH_PATH),
                     {"plan.csv", "--no-prompt", "--start", "--port", first.path(), "--port", second.path()});
        QTRY_VERIFY_WITH_TIMEOUT(logLines(QStringLiteral("plan.log.csv")).size() >= 5, 10000);
        {
            // Its log is in use, and the refusal says by whom.
            Device other;
            Station meanwhile({other.path()});
            QVERIFY(!meanwhile.window.start());
            const QString holder = QStringLiteral("velmora-bench (pid %1)").arg(killed.processId());
            QVERIFY2(meanwhile.window.statusBar()->currentMessage().contains(holder),
                     qPrintable(meanwhile.window.statusBar()->currentMessage()));
        }
        QCOMPARE(::kill(pid_t(killed.processId()), SIGKILL), 0);
        QVERIFY(killed.waitForFinished(5000));
        // What a serial device's line does at once, the simulated one does on its next turn.
        QTRY_VERIFY(!exclusiveMode(first.path()) && !exclusiveMode(second.path()));
        QSet<QString> okBefore;
        for (const QStringList &line : logLines(QStringLiteral("plan.log.csv"))) {
            if (line.value(ResultColumn) == QLatin1String("ok"))
                okBefore << line.value(Row);
        }
        QVERIFY(okBefore.size() >= 1 && okBefore.size() < 12);

        // Without the lanes it was writing on, the run is refused: their devices are read first.
        {
            Device other;
            Station elsewhere({other.path()});
            QVERIFY(!elsewhere.window.start());
            QCOMPARE(elsewhere.window.exitStatus(), 2);
        }
        Station bench({first.path(), second.path()});
        bench.window.setLineSettings({});  // slow devices: the usual timeout and retries
        for (int row = 1; row <= 12; ++row)
            QCOMPARE(planTable(bench.window)->outcome(row).earlier, okBefore.contains(QString::number(row)));
        QVERIFY2(labelText(bench.window, "logLabel").contains(QStringLiteral("%1 of 12 rows ok").arg(okBefore.size())),
                 qPrintable(labelText(bench.window, "logLabel")));
        QVERIFY(bench.window.start());
        QTRY_COMPARE_WITH_TIMEOUT(bench.finished.count(), 1, 10000);
        QCOMPARE(bench.window.exitStatus(), 0);

        // No row twice: a row ok once is never written again.
        QStringList okRows;
        for (const QStringList &line : logLines(QStringLiteral("plan.log.csv"))) {
            if (line.value(ResultColumn) == QLatin1String("ok"))
                okRows << line.value(Row);
        }
        QCOMPARE(QSet<QString>(okRows.begin(), okRows.end()).size(), 12);
        QCOMPARE(okRows.size(), 12);

        // The report of both runs, from the log: every row with what its
        // device read back, and the port and time it was written at.
        bench.window.setOperatorName("Kim");
        QString error;
        QVERIFY2(bench.window.writeReport("report.pdf", &error), qPrintable(error));
        const QString text = pdfText("report.pdf");
        QVERIFY2(text.contains("Operator") && text.contains("Kim") && text.contains("12 rows: 12 ok"), qPrintable(text.left(600)));
        for (int row = 1; row <= 12; ++row) {
            QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\bA-%1\\b").arg(row))), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("10.0.0.%1, %2, %1").arg(row).arg(8000 + row)), qPrintable(text));
        }
        const Batch::CsvTable csv = Batch::readCsv(readFile("report.csv"));
        QCOMPARE(csv.records.size(), size_t(13));
        QMap<QString, QString> portOf;  // by row, from the log's ok lines
        for (const QStringList &line : logLines(QStringLiteral("plan.log.csv"))) {
            if (line.value(ResultColumn) == QLatin1String("ok"))
                portOf.insert(line.value(Row), line.value(PortColumn));
        }
        for (size_t r = 1; r < csv.records.size(); ++r) {
            const auto &fields = csv.records[r].fields;
            QCOMPARE(fields.back().text, portOf.value(fields.front().text));
            QVERIFY(!fields[fields.size() - 2].text.isEmpty());  // the time
        }

        // Start on the finished plan: nothing to do, and the rows keep what their devices hold.
        QVERIFY(bench.window.start());
        QTRY_COMPARE(bench.finished.count(), 2);
        QCOMPARE(bench.cell(0, planTable(bench.window)->holdsColumn()).data().toString(), "lip=10.0.0.1, port=8001, sn=1");
        QTRY_VERIFY2(labelText(bench.window, "logLabel").contains("nothing left"),
                     qPrintable(labelText(bench.window, "logLabel")));
    }

    void askedOnEachLane()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(3)));
        Device first;
        Device second;
        Station bench({first.path(), second.path()}, Batch::Waiting::Prompt);
        QVERIFY(bench.window.start());
        ::Bench::LaneView *one = bench.lane(first.path());
        ::Bench::LaneView *two = bench.lane(second.path());
        QTRY_VERIFY(one->isAsking() && two->isAsking());  // both at once
        QCOMPARE(one->state(), QStringLiteral("Connect A-1, then Next"));
        QCOMPARE(two->state(), QStringLiteral("Connect A-2, then Next"));

        one->nextButton->click();
        QTRY_COMPARE(bench.result(0), QStringLiteral("ok"));
        QTRY_COMPARE(one->state(), QStringLiteral("Connect A-3, then Next"));
        two->skipButton->click();
        QTRY_COMPARE(bench.result(1), QStringLiteral("skipped"));
        QVERIFY(!two->isAsking());
        one->setFocus();
        QTest::keyClick(one, Qt::Key_Return);
        QTRY_COMPARE(bench.finished.count(), 1);
        QCOMPARE(bench.window.exitStatus(), 0);
        QCOMPARE(bench.result(2), QStringLiteral("ok"));
        QCOMPARE(first.device.model().parameters().serialNumber, 3);
        QCOMPARE(second.frames, 0);
        QVERIFY(labelText(bench.window, "countsLabel")
                    .startsWith(QLatin1String("2 ok, 0 mismatch, 0 refused, 0 no answer, 1 skipped, 0 left")));
    }

    // Skip writes nothing, whatever gives it.
    void skipNeverWrites_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Enter on Skip") << "enter";
        QTest::newRow("Space on Skip") << "space";
        QTest::newRow("click") << "click";
        QTest::newRow("the lane's key") << "key";
    }

    void skipNeverWrites()
    {
        QFETCH(QString, how);
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(2)));
        Device device;
        Station bench({device.path()}, Batch::Waiting::Prompt);
        QVERIFY(bench.show());
        QVERIFY(bench.window.start());
        ::Bench::LaneView *lane = bench.lane(device.path());
        QTRY_VERIFY(lane->isAsking());
        QCOMPARE(lane->skipButton->text(), "Skip  Shift+F1");
        lane->skipButton->setFocus();
        if (how == "enter")
            QTest::keyClick(lane->skipButton, Qt::Key_Return);
        else if (how == "space")
            QTest::keyClick(lane->skipButton, Qt::Key_Space);
        else if (how == "click")
            QTest::mouseClick(lane->skipButton, Qt::LeftButton);
        else
            QTest::keyClick(&bench.window, Qt::Key_F1, Qt::ShiftModifier);
        QTRY_COMPARE(bench.result(0), "skipped");
        QTRY_COMPARE(lane->state(), "Connect A-2, then Next");
        QCOMPARE(device.frames, 0);
        QCOMPARE(logLines("plan.log.csv").size(), 1);  // no "writing" line
        QVERIFY(lane->isAncestorOf(QApplication::focusWidget()) || lane->hasFocus());
        bench.window.stop();
        QTRY_COMPARE(bench.finished.count(), 1);
    }

    // Enter acts on the lane that has the focus, which stays on it.
    void enterStaysOnItsLane()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(2)));
        Device first;
        Device second;
        Station bench({first.path(), second.path()}, Batch::Waiting::Prompt);
        QVERIFY(bench.show());
        QVERIFY(bench.window.start());
        ::Bench::LaneView *one = bench.lane(first.path());
        ::Bench::LaneView *two = bench.lane(second.path());
        QTRY_VERIFY(one->isAsking() && two->isAsking());
        one->nextButton->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(bench.result(0), "ok");
        QTRY_COMPARE(one->state(), "idle");  // nothing left for it
        QCOMPARE(QApplication::focusWidget(), one);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QVERIFY(two->isAsking());
        QCOMPARE(second.frames, 0);
        QCOMPARE(two->nextButton->text(), "Next  F2");
        QTest::keyClick(&bench.window, Qt::Key_F2);
        QTRY_COMPARE(bench.finished.count(), 1);
        QCOMPARE(bench.result(1), "ok");
        QCOMPARE(second.device.model().parameters().serialNumber, 2);
    }

    // A close asked for during a run: no device is begun while it is asked,
    // Yes after the run ended closes at once, and the next run asks again.
    void closingDuringARun()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(2)));
        Device first(fault("slow"));
        Device second(fault("slow"));
        Station bench({first.path(), second.path()});
        bench.window.setLineSettings({});
        QVERIFY(bench.show());
        QVERIFY(bench.window.start());
        QTRY_VERIFY(bench.result(0).startsWith(QLatin1String("in progress"))
                    && bench.result(1).startsWith(QLatin1String("in progress")));
        bench.window.close();
        QVERIFY(closeQuestion(bench.window) && bench.window.isVisible());
        QTRY_COMPARE(bench.finished.count(), 1);  // both devices finished while it was asked
        QVERIFY(closeQuestion(bench.window));
        closeQuestion(bench.window)->button(QMessageBox::Yes)->click();
        QTRY_VERIFY(!bench.window.isVisible());

        // Another plan, a longer one: the question holds its lane, and No lets it go on.
        QVERIFY(writeFile(QStringLiteral("other.csv"), plan(30)));
        QString error;
        QVERIFY(bench.window.openPlan("other.csv", &error));
        QVERIFY2(!labelText(bench.window, "countsLabel").contains("devices/min"),
                 qPrintable(labelText(bench.window, "countsLabel")));
        QCOMPARE(bench.lane(first.path())->resultLabel->text(), QString());  // of the plan before
        QVERIFY(bench.show());
        QVERIFY(bench.window.start());
        QTRY_VERIFY(planTable(bench.window)->counts().done() >= 1);
        part<QAction>(bench.window, "quitAction")->trigger();
        QVERIFY(closeQuestion(bench.window));
        const auto written = [] { return logLines("other.log.csv").size(); };
        const auto inFlight = [] {
            int writing = 0;
            for (const QStringList &line : logLines("other.log.csv"))
                writing += line.value(ResultColumn) == QLatin1String("writing") ? 1 : -1;
            return writing;
        };
        QTRY_COMPARE(inFlight(), 0);  // every device begun is recorded
        const qsizetype held = written();
        QTest::qWait(300);  // as long as several devices take
        QCOMPARE(written(), held);
        closeQuestion(bench.window)->button(QMessageBox::No)->click();
        QTRY_VERIFY(written() > held);
        bench.window.stop();
        QTRY_COMPARE(bench.finished.count(), 2);
        QVERIFY(bench.window.isVisible());  // nothing carried over from the first close
        bench.window.close();
        QVERIFY(!bench.window.isVisible());
    }

    // The report, from the log: every row in the text a PDF reader extracts,
    // on A4 landscape pages of about 40 rows in 8.5 pt, and as CSV.
    void reportOfEveryRow()
    {
        constexpr int Rows = 1000;
        constexpr int Ok = 990;
        WrittenLog written(Rows, Ok);
        Station bench({});
        bench.window.setOperatorName("Kim");
        QString error;
        QVERIFY2(bench.window.writeReport("report.pdf", &error), qPrintable(error));
        const QString text = pdfText("report.pdf");
        int found = 0;
        for (int row = 1; row <= Rows; ++row) {
            const bool id = text.contains(QRegularExpression(QStringLiteral("\\bA-%1\\b").arg(row)));
            const bool held = row > Ok + 1 || text.contains(WrittenLog::readBack(row));
            found += id && held;
        }
        QCOMPARE(found, Rows);
        for (const char *shown : {"1000 rows: 990 ok, 1 mismatch, 0 refused, 1 no answer, 1 skipped, 7 left",
                                  "Operator", "Kim", "Station", "velmora-bench 1.", "Signature", "not done"})
            QVERIFY2(text.contains(QLatin1String(shown)), shown);

        // Every page A4 landscape, n of N, and a row's text 8.5 pt high.
        const QString layout = QString::fromUtf8(output("pdftotext", {"-bbox", "report.pdf", "-"}));
        const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""));
        int pages = 0;
        for (auto match = page.globalMatch(layout); match.hasNext(); ++pages) {
            const auto size = match.next();
            QCOMPARE(qRound(size.captured(1).toDouble()), 842);
            QCOMPARE(qRound(size.captured(2).toDouble()), 595);
        }
        QVERIFY2(pages >= Rows / 44 && pages <= Rows / 37, qPrintable(QString::number(pages)));
        QVERIFY(text.contains(QStringLiteral("page %1 of %1").arg(pages)));
        const auto word = QRegularExpression(QStringLiteral("yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">A-500<"))
                              .match(layout);
        QVERIFY(word.hasMatch());
        const double points = word.captured(2).toDouble() - word.captured(1).toDouble();
        // A word's box is its type's size and the font's line gap, 1.1 to 1.25 of it.
        QVERIFY2(points >= 8 * 1.1 && points <= 9 * 1.25, qPrintable(QString::number(points)));

        const Batch::CsvTable csv = Batch::readCsv(readFile("report.csv"));
        QCOMPARE(csv.records.size(), size_t(Rows + 1));
        QCOMPARE(csv.records[7].fields[1].text, "A-7");
        QCOMPARE(csv.records[7].fields[2].text, WrittenLog::lip(7));
        QCOMPARE(csv.records[Rows].fields[14].text, "not-done");
    }

    // Each label's QR code, read back from the page as a printer of 300 dpi
    // prints it, says what the label says.
    void labelsDecodeToTheirText_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("A4 3 x 8") << 0;
        QTest::newRow("62 mm roll") << 1;
    }

    void labelsDecodeToTheirText()
    {
        QFETCH(int, format);
        WrittenLog written(30, 26);
        Station bench({});
        QString error;
        QVERIFY2(bench.window.writeLabels("labels.pdf", Bench::labelFormats().at(format), {}, &error), qPrintable(error));
        // One label at a time, as a scanner reads it off the sheet.
        const Bench::LabelFormat &sheet = Bench::labelFormats().at(format);
        const int perPage = sheet.columns * sheet.rows;
        const auto dots = [](double mm) { return QString::number(qRound(mm * 300 / 25.4)); };
        QStringList decoded;
        for (int label = 0; label < 26; ++label) {
            const int place = label % perPage;
            const double x = sheet.first.x() + (place % sheet.columns) * sheet.pitch.width();
            const double y = sheet.first.y() + (place / sheet.columns) * sheet.pitch.height();
            const QString page = QString::number(label / perPage + 1);
            output("pdftoppm", {"-r", "300", "-png", "-singlefile", "-f", page, "-l", page, "-x", dots(x), "-y", dots(y),
                                "-W", dots(sheet.label.width()), "-H", dots(sheet.label.height()), "labels.pdf", "label"});
            const QString xml = QString::fromUtf8(output("zbarimg", {"--xml", "-q", "-Sdisable", "-Sqrcode.enable", "label.png"}));
            static const QRegularExpression data(QStringLiteral("<data><!\\[CDATA\\[(.*?)\\]\\]></data>"),
                                                 QRegularExpression::DotMatchesEverythingOption);
            for (auto match = data.globalMatch(xml); match.hasNext();)
                decoded << match.next().captured(1);
        }
        QStringList expected;
        for (int row = 1; row <= 26; ++row)
            expected << QStringLiteral("ID A-%1\nLIP %2\nMAC 02:56:4d:00:00:%3\nSN %4")
                            .arg(row).arg(WrittenLog::lip(row)).arg(row, 2, 16, QLatin1Char('0'))
                            .arg(DeviceModel::startParameters().serialNumber);
        decoded.sort();
        expected.sort();
        qInfo("%lld of %lld labels decoded", qlonglong(decoded.size()), qlonglong(expected.size()));
        QCOMPARE(decoded, expected);
        const QString text = pdfText("labels.pdf");
        QVERIFY2(text.contains("ID A-26 LIP 10.1.0.26 MAC 02:56:4d:00:00:1a"), qPrintable(text));

        // Only the rows chosen, and only those done ok.
        QVERIFY(bench.window.writeLabels("some.pdf", Bench::labelFormats().at(format), {2, 27}, &error));
        QCOMPARE(pdfText("some.pdf").count("ID A-"), 1);
        QVERIFY(!bench.window.writeLabels("none.pdf", Bench::labelFormats().at(format), {27, 28}, &error));
    }

    // One letter, one control; Ctrl+R and Enter on Start start; Tab leaves the table.
    void keys()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(3)));
        Device device;
        Station bench({device.path()}, Batch::Waiting::Prompt);
        part<Bench::LineMonitor>(bench.window, "lineMonitor")->show();
        QVERIFY(bench.show());
        QMap<QChar, QString> taken;
        const auto take = [&](const QString &text, const QString &what) {
            const qsizetype at = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            if (at < 0)
                return;
            const QChar letter = text.at(at + 1).toLower();
            QVERIFY2(!taken.contains(letter), qPrintable(QStringLiteral("%1 and %2: &%3").arg(taken.value(letter), what, letter)));
            taken.insert(letter, what);
        };
        for (QAction *menu : bench.window.menuBar()->actions())
            take(menu->text(), menu->text());
        for (QAbstractButton *button : bench.window.findChildren<QAbstractButton *>())
            take(button->text(), button->objectName());
        for (QLabel *label : bench.window.findChildren<QLabel *>()) {
            if (label->buddy())
                take(label->text(), label->objectName());
        }
        QVERIFY(taken.size() >= 12);

        part<QTableView>(bench.window, "planView")->setFocus();
        bool reached = false;
        for (int tab = 0; tab < 30 && !reached; ++tab) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached = bench.lane(device.path())->isAncestorOf(QApplication::focusWidget())
                      || QApplication::focusWidget() == bench.lane(device.path());
        }
        QVERIFY(reached);

        part<QPushButton>(bench.window, "startButton")->setFocus();
        QTest::keyClick(part<QPushButton>(bench.window, "startButton"), Qt::Key_Return);
        QVERIFY(bench.window.isRunning());
        bench.window.stop();
        QTRY_COMPARE(bench.finished.count(), 1);
        QTest::keyClick(&bench.window, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(bench.window.isRunning());
        bench.window.stop();
        QTRY_COMPARE(bench.finished.count(), 2);
    }

    // Fill down over a selection, and find.
    void editingTheTable()
    {
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(4)));
        Station bench({});
        QVERIFY(bench.show());
        QTableView *view = part<QTableView>(bench.window, "planView");
        view->selectionModel()->select(QItemSelection(view->model()->index(1, 3), view->model()->index(3, 3)),
                                       QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
        for (int row = 1; row < 4; ++row)
            QCOMPARE(bench.cell(row, 3).data().toString(), "8002");
        QCOMPARE(bench.cell(0, 3).data().toString(), "8001");
        QVERIFY(planTable(bench.window)->isModified() && planTable(bench.window)->isValid());

        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(part<QLineEdit>(bench.window, "findEdit")->hasFocus());
        QTest::keyClicks(part<QLineEdit>(bench.window, "findEdit"), "10.0.0.3");
        QTest::keyClick(part<QLineEdit>(bench.window, "findEdit"), Qt::Key_Return);
        QCOMPARE(view->currentIndex().row(), 2);
        QCOMPARE(view->currentIndex().column(), 1);
    }

    // A long id is cut short, not the other columns hidden; widths come
    // back; everything is on a 1024x768 screen.
    void layout()
    {
        const QString id(300, QLatin1Char('x'));
        QVERIFY(writeFile(QStringLiteral("plan.csv"), "id,lip,sn\n" + id.toUtf8() + ",10.0.0.1,300\n"));
        {
            Station bench({});
            QVERIFY(bench.show());
            QTableView *view = part<QTableView>(bench.window, "planView");
            QVERIFY(view->columnWidth(0) < 300);
            QVERIFY(view->columnViewportPosition(2) + view->columnWidth(2) < view->viewport()->width());
            QVERIFY(bench.cell(0, 0).data(Qt::ToolTipRole).toString().endsWith(id));
            QVERIFY(bench.window.width() <= 1024 && bench.window.frameGeometry().height() <= 768);
            const QList<QWidget *> controls = {part<QPushButton>(bench.window, "startButton"),
                                               part<QPushButton>(bench.window, "stopButton"),
                                               part<QPushButton>(bench.window, "logButton"),
                                               part<QProgressBar>(bench.window, "progressBar")};
            for (QWidget *control : controls) {
                const QRect shown(control->mapTo(&bench.window, QPoint()), control->size());
                QVERIFY2(bench.window.rect().contains(shown), qPrintable(control->objectName()));
            }
            view->setColumnWidth(1, 151);
            bench.window.close();
        }
        Station again({});
        QCOMPARE(part<QTableView>(again.window, "planView")->columnWidth(1), 151);
    }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

QTEST_MAIN(tst_Bench)
#include "tst_bench.moc"
