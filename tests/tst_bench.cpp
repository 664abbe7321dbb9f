// velmora-bench's window, headless, against simulated devices on real
// pseudo-terminals and, beside it, velmora-cli batch on the same plans: the
// same problems, the same log, and runs either of them can resume.
#include "bench/benchwindow.h"
#include "bench/lanepanel.h"
#include "bench/laneview.h"
#include "bench/linemonitor.h"
#include "bench/newplandialog.h"
#include "bench/report.h"
#include "batch/csv.h"
#include "client/profile.h"
#include "clirun.h"
#include "files.h"
#include "ptypair.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextDocument>
#include <QLabel>
#include <QListWidget>
#include <QTableView>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using Bench::BenchWindow;

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

enum LogColumn { Time, Row, Id, Line, ResultColumn };

// "lip = ...\n" lines of what the last line of each port says its device holds.
QMap<QString, QString> lastReadBack(const QList<QStringList> &lines)
{
    QMap<QString, QString> held;
    for (const QStringList &line : lines) {
        QString text;
        int i = int(line.size()) - int(Protocol::blockFields().size());
        for (const Protocol::BlockField &field : Protocol::blockFields())
            text += QLatin1String(field.key) + QLatin1String(" = ") + line.value(i++) + QLatin1Char('\n');
        held.insert(line.value(Line), text);
    }
    return held;
}

// The hue of a row's colour: green about 120, amber about 40, red about 0.
int hue(const QModelIndex &index)
{
    return index.data(Qt::BackgroundRole).value<QBrush>().color().hue();
}

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
            if (!window.lanePanel->addLane(port, &error))
                qWarning("%s", qPrintable(error));
        }
    }
    ::Bench::LaneView *lane(const QString &port) const { return window.lanePanel->lane(port); }
    QModelIndex cell(int row, int column) const { return window.planTable->index(row, column); }
    QString result(int row) const { return cell(row, window.planTable->resultColumn()).data().toString(); }

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
        for (const ::Bench::PlanProblem &problem : bench.window.planTable->problems())
            shown << QStringLiteral("velmora-cli: ") + problem.text + QLatin1Char('\n');
        QCOMPARE(shown.join(QString()), batch.err);

        // Marked on its cell, and listed; Enter on the list goes to the cell.
        const QString first = bench.window.planTable->problems().first().text;
        const QVariant tooltip = row < 0 ? bench.window.planTable->headerData(column, Qt::Horizontal, Qt::ToolTipRole)
                                         : bench.cell(row, column).data(Qt::ToolTipRole);
        QCOMPARE(tooltip.toString(), row == -2 ? QString() : first);
        QCOMPARE(bench.window.problemList->item(0)->text(), first);
        if (row >= 0) {
            QCOMPARE(hue(bench.cell(row, column)), 0);
            bench.window.problemList->setCurrentRow(0);
            QTest::keyClick(bench.window.problemList, Qt::Key_Return);
            QCOMPARE(bench.window.planView->currentIndex().row(), row);
            QCOMPARE(bench.window.planView->currentIndex().column(), column);
        }
        QVERIFY(!bench.window.startButton->isEnabled());
        QVERIFY(!bench.window.start());
        QCOMPARE(bench.window.exitStatus(), 2);
        QCOMPARE(line.received(), QByteArray());

        bench.window.allowDuplicates->setChecked(true);
        bench.window.allowOddAddresses->setChecked(true);
        QCOMPARE(bench.window.planTable->problems().isEmpty(), allowable);
        QCOMPARE(bench.window.startButton->isEnabled(), allowable);
        if (fix.isEmpty())
            return;
        bench.window.allowDuplicates->setChecked(false);
        bench.window.allowOddAddresses->setChecked(false);
        QVERIFY(bench.window.planTable->setData(bench.cell(row, column), fix, Qt::EditRole));
        if (planText.contains(",x\n"))  // the second bad value
            QVERIFY(bench.window.planTable->setData(bench.cell(1, 2), "31", Qt::EditRole));
        QCOMPARE(bench.window.planTable->problems().size(), 0);
        QVERIFY(bench.window.startButton->isEnabled());
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
        QVERIFY(bench.window.start());
        QTRY_COMPARE(bench.finished.count(), 1);
        QCOMPARE(bench.finished.first().first().toInt(), 1);

        const int result = bench.window.planTable->resultColumn();
        const int holds = bench.window.planTable->holdsColumn();
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
        QVERIFY(bench.window.countsLabel->text().startsWith(
            QLatin1String("1 ok, 1 mismatch, 1 refused, 1 no answer, 0 skipped, 0 left")));
        QCOMPARE(bench.window.statusBar()->currentMessage(), batch.err.trimmed().section(QLatin1Char('\n'), -1));

        // Failed only, and sorted by result: failures first.
        bench.window.failedOnly->setChecked(true);
        QCOMPARE(bench.window.planView->model()->rowCount(), 3);
        bench.window.failedOnly->setChecked(false);
        bench.window.planView->sortByColumn(result, Qt::AscendingOrder);
        const QAbstractItemModel *sorted = bench.window.planView->model();
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

        // The report holds every row, with what it asked, what came back and its result.
        QTextDocument report;
        report.setHtml(bench.window.report());
        const QString text = report.toPlainText();
        for (const char *shown : {"4 rows: 1 ok, 1 mismatch, 1 refused, 1 no answer, 0 skipped, 0 left", "A-1",
                                  "lip=10.0.0.1, sn=1, port=8001", "lip=10.0.0.3, port=5020, sn=3",
                                  "port: wrote 8003, device has 5020", "A-4"})
            QVERIFY2(text.contains(QLatin1String(shown)), shown);
        QString error;
        QVERIFY2(Bench::writeReport(bench.window.report(), QStringLiteral("report.pdf"), &error), qPrintable(error));
        QVERIFY(readFile(QStringLiteral("report.pdf")).startsWith("%PDF"));

        // The monitor: every frame of every lane, or of one.
        Bench::LineMonitor *monitor = bench.window.lineMonitor;
        const QString all = monitor->shownText();
        for (const QString &port : ports)
            QVERIFY2(all.contains(QStringLiteral(" %1 TX aa ").arg(port)), qPrintable(all));
        monitor->laneFilter->setCurrentText(ports.at(2));
        const QStringList one = monitor->shownText().split(QLatin1Char('\n'));
        QCOMPARE(one.size(), 7);  // whether low latency took; READ, SET ALL, READ and their replies
        for (const QString &line : one)
            QVERIFY2(line.section(QLatin1Char(' '), 1, 1) == ports.at(2), qPrintable(line));
    }

    // --simulate's lanes: on pseudo-terminals, and served in this program as on Windows.
    void simulatedLanes_data()
    {
        QTest::addColumn<QByteArray>("simulator");
        QTest::addColumn<QString>("device");  // of sim2
        QTest::newRow("on pseudo-terminals") << QByteArray() << "/dev/pts/";
        QTest::newRow("served in this program") << QByteArray("in-process") << "simulated device 2";
    }

    void simulatedLanes()
    {
        QFETCH(QByteArray, simulator);
        QFETCH(QString, device);
        qputenv("VELMORA_SIMULATOR", simulator);
        const auto unset = qScopeGuard([] { qunsetenv("VELMORA_SIMULATOR"); });
        QVERIFY(writeFile(QStringLiteral("plan.csv"), plan(4)));
        Station bench({});
        QString error;
        QVERIFY(bench.window.lanePanel->addSimulated(&error) && bench.window.lanePanel->addSimulated(&error));
        QCOMPARE(bench.window.lanePanel->ports(), QStringList({"sim1", "sim2"}));
        QVERIFY2(bench.window.lanePanel->device(QStringLiteral("sim2")).startsWith(device),
                 qPrintable(bench.window.lanePanel->device(QStringLiteral("sim2"))));
        QVERIFY(bench.window.start());
        QTRY_COMPARE(bench.finished.count(), 1);
        QCOMPARE(bench.finished.first().first().toInt(), 0);
        for (int row = 0; row < 4; ++row)
            QCOMPARE(bench.result(row), QStringLiteral("ok"));
    }

    void monitorKeepsTheLastLines()
    {
        Bench::LineMonitor monitor;
        monitor.setLanes({"a", "b"});
        for (int i = 0; i < Bench::LineMonitor::MaxLines + 5; ++i)
            monitor.addLine(i % 2 ? "b" : "a", QByteArray::number(i) + " TX aa");
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
        QCOMPARE(bench.window.planTable->plan().size(), 3);
        QCOMPARE(bench.window.planTable->problems().size(), 0);

        dialog.setValue("sn", "x");
        QVERIFY(!dialog.planError->text().isEmpty());
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
        QTRY_VERIFY(bench.window.planTable->counts().done() >= 1);
        bench.window.stopButton->click();
        QTRY_COMPARE(bench.finished.count(), 1);
        QCOMPARE(bench.window.exitStatus(), 1);
        QVERIFY(bench.window.planTable->counts().left > 0);
        for (int row = 0; row < 20; ++row)
            QVERIFY(!bench.result(row).startsWith(QLatin1String("in progress")));

        // Each device holds what the last line of its port says.
        const QMap<QString, QString> last = lastReadBack(logLines(QStringLiteral("plan.log.csv")));
        QCOMPARE(last.value(first.path()), Client::profileText(first.device.model().parameters()));
        QCOMPARE(last.value(second.path()), Client::profileText(second.device.model().parameters()));
        QCOMPARE(bench.lane(first.path())->state(), QStringLiteral("idle"));
        QVERIFY(bench.window.startButton->isEnabled());
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
        QCOMPARE(::kill(pid_t(killed.processId()), SIGKILL), 0);
        QVERIFY(killed.waitForFinished(5000));
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
            QCOMPARE(bench.window.planTable->outcome(row).earlier, okBefore.contains(QString::number(row)));
        QVERIFY2(bench.window.logLabel->text().contains(QStringLiteral("%1 of 12 rows ok").arg(okBefore.size())),
                 qPrintable(bench.window.logLabel->text()));
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
        QVERIFY(bench.window.countsLabel->text().startsWith(QLatin1String("2 ok, 0 mismatch, 0 refused, 0 no answer, 1 skipped, 0 left")));
    }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

QTEST_MAIN(tst_Bench)
#include "tst_bench.moc"
