// velmora-bench as a station of a line, on a PostgreSQL server of the
// test's own: the line opened from the dialog and from the command line,
// its table kept live while another station provisions it, a run on it,
// and what it refuses.
#include "linestations.h"
#include "logrecords.h"
#include "pgserver.h"
#include "programoutput.h"
#include "tcprelay.h"

#include "benchparts.h"
#include "bench/benchwindow.h"
#include "bench/lanepanel.h"
#include "bench/openlinedialog.h"
#include "bench/settings.h"
#include "line/linewatcher.h"

#include <QLabel>
#include <QStatusBar>
#include <QLineEdit>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;
using Bench::BenchWindow;

namespace {

constexpr const char *Secret = "hunter2-in-the-environment";

} // namespace

class tst_BenchLine : public QObject
{
    Q_OBJECT

private:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = m_server.environment();
        environment.insert(u"XDG_STATE_HOME"_s, m_folder.filePath(u"state"_s));
        environment.insert(u"HOME"_s, m_folder.filePath(u"home"_s));
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        return environment;
    }
    QString admin() const { return m_server.url(QLatin1String(PgServer::Admin)); }

    bool load(const QString &line, int rows, int subnet)
    {
        const QString file = m_folder.filePath(line + u".csv"_s);
        const Run loaded = writeFile(file, linePlan(rows, subnet))
                               ? runToEnd({u"line"_s, u"load"_s, file, u"--record"_s, admin(), u"--line"_s, line},
                                          environment())
                               : Run{};
        if (loaded.exitCode != 0)
            qWarning("%s", qPrintable(loaded.err));
        return loaded.exitCode == 0;
    }
    QList<LogRecord> exported(const QString &line) const
    {
        return readLogText(runToEnd({u"line"_s, u"export"_s, u"--record"_s, admin(), u"--line"_s, line}, environment()).out.toUtf8());
    }
    static Line::StationPlace place(const QString &record, const QString &line, const QString &station)
    {
        Line::StationPlace place;
        QString error;
        if (!Line::checkStationPlace(record, line, station, &place, &error))
            qWarning("%s", qPrintable(error));
        return place;
    }
    // The text a column shows for each row, in order.
    static QStringList column(const BenchWindow &window, int column)
    {
        QStringList texts;
        for (int row = 0; row < planTable(window)->rowCount(); ++row)
            texts << planTable(window)->index(row, column).data().toString();
        return texts;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        Bench::settings().clear();  // no line of an earlier run in the dialog
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        qputenv("PGPASSFILE", QFile::encodeName(m_server.passFile()));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_folder.filePath(u"state"_s)));
        const Run init = runToEnd({u"line"_s, u"init"_s, u"--record"_s, admin()}, environment());
        QVERIFY2(init.exitCode == 0, qPrintable(init.err));
    }

    // Opened from File > Open a line with the keyboard, the table shows every
    // row of the line as another station provisions it, with that station.
    void tableLiveWhileAnotherStationWorks()
    {
        QVERIFY(load(u"live"_s, 8, 10));
        BenchWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        part<QAction>(window, "openLineAction")->trigger();
        Bench::OpenLineDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = window.findChild<Bench::OpenLineDialog *>(u"openLineDialog"_s)));
        QTRY_VERIFY(dialog->isVisible());
        dialog->recordEdit->clear();
        dialog->recordEdit->setFocus();
        QTest::keyClicks(dialog->recordEdit, admin());
        dialog->lineEdit->clear();
        QTest::keyClicks(dialog->lineEdit, u"bad name!"_s);
        QTest::keyClick(dialog->lineEdit, Qt::Key_Return);
        QVERIFY(dialog->isVisible());  // said why, and waits for a good one
        QVERIFY2(dialog->errorLabel->text().startsWith(u"--line bad name!: a name is"_s), qPrintable(dialog->errorLabel->text()));
        dialog->lineEdit->clear();
        QTest::keyClicks(dialog->lineEdit, u"live"_s);
        dialog->stationEdit->clear();
        QTest::keyClicks(dialog->stationEdit, u"watcher"_s);
        QTest::keyClick(dialog->lineEdit, Qt::Key_Return);
        QTRY_VERIFY(window.isLine());
        QCOMPARE(planTable(window)->rowCount(), 8);
        const int stationColumn = planTable(window)->stationColumn();
        QCOMPARE(planTable(window)->headerData(stationColumn, Qt::Horizontal, Qt::DisplayRole).toString(), u"Station"_s);
        QVERIFY(!(planTable(window)->flags(planTable(window)->index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!part<QAction>(window, "saveAction")->isEnabled());

        Devices devices(2);
        const QStringList arguments = {u"batch"_s, u"--record"_s, admin(), u"--line"_s, u"live"_s,
                                       u"--station"_s, u"cli1"_s, u"--no-prompt"_s};
        Station station(arguments + devices.ports(0, 2), environment());
        QTRY_VERIFY2_WITH_TIMEOUT(station.finished(), qPrintable(station.err), 30000);
        QVERIFY2(station.process.exitCode() == 0, qPrintable(station.err));
        const QStringList done(8, u"ok"_s);
        QTRY_COMPARE(column(window, planTable(window)->resultColumn()), done);
        QCOMPARE(column(window, stationColumn), QStringList(8, u"cli1"_s));
        QTRY_VERIFY2(labelText(window, "countsLabel").startsWith(u"line live: 8 of 8 ok, 0 on this bench (watcher)"_s),
                     qPrintable(labelText(window, "countsLabel")));
    }

    // However many rows a burst of notifications names, they are read in one query.
    void watcherGathersABurst()
    {
        QVERIFY(load(u"burst"_s, 16, 14));
        Line::LineWatcher watcher(place(admin(), u"burst"_s, u"w"_s).address, u"burst"_s);
        QSignalSpy opened(&watcher, &Line::LineWatcher::opened);
        QList<qsizetype> reads;  // rows in each read
        connect(&watcher, &Line::LineWatcher::rowsChanged, this,
                [&reads](const QList<Line::RowState> &rows) { reads << rows.size(); });
        watcher.open();
        QTRY_COMPARE(opened.count(), 1);
        QCOMPARE(reads, QList<qsizetype>{16});  // the whole line, once
        QString error;
        m_server.query(u"SELECT count(pg_notify('velmora_line_%1', g::text)) FROM generate_series(1, 16) g"_s.arg(watcher.line().id),
                       &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QTRY_COMPARE(reads.size(), 2);
        QCOMPARE(reads.last(), 16);
    }

    // Start opens the record for this bench's station and provisions the
    // line's rows on its lanes; the summary is of the line and of this bench,
    // the report of the line.
    void runOnTheLine()
    {
        QVERIFY(load(u"run"_s, 6, 11));
        BenchWindow window;
        QSignalSpy finished(&window, &BenchWindow::runFinished);
        window.setWaiting(Batch::Waiting::None);
        window.setLineSettings({});  // devices that answer: the usual timeout and retries, whatever the load
        window.openLine(place(admin(), u"run"_s, u"benchW"_s));
        QTRY_VERIFY(window.isLine());
        QString error;
        QVERIFY(lanePanel(window)->addSimulated(&error) && lanePanel(window)->addSimulated(&error));
        QVERIFY(window.start());
        QVERIFY(!window.start());  // once: it is opening
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QVERIFY2(finished.first().first().toInt() == 0, qPrintable(window.statusBar()->currentMessage()));
        QTRY_COMPARE(column(window, planTable(window)->stationColumn()), QStringList(6, u"benchW"_s));
        QTRY_VERIFY2(labelText(window, "countsLabel").startsWith(u"line run: 6 of 6 ok, 6 on this bench (benchW)"_s),
                     qPrintable(labelText(window, "countsLabel")));
        // The record and the report say what the table says.
        QVERIFY2(window.writeReport(m_folder.filePath(u"run.pdf"_s), &error), qPrintable(error));
        for (const QList<LogRecord> &rows : {exported(u"run"_s), readLogText(readFile(m_folder.filePath(u"run.csv"_s)))}) {
            QCOMPARE(rows.size(), 6);
            for (const LogRecord &row : rows) {
                QCOMPARE(row.value(u"result"_s), u"ok"_s);
                QCOMPARE(row.value(u"station"_s), u"benchW"_s);
            }
        }
        QCOMPARE(pdfText(m_folder.filePath(u"run.pdf"_s)).count(QRegularExpression(u"benchW: sim[12]\\b"_s)), 6);
    }

    // The network to the record stops mid-run: the status bar and the lanes
    // say since when, and the run goes on by itself once it is back.
    void recordUnreachableMidRun()
    {
        QVERIFY(load(u"outage"_s, 12, 13));
        TcpRelay relay(quint16(m_server.port()));
        BenchWindow window;
        QSignalSpy finished(&window, &BenchWindow::runFinished);
        window.setWaiting(Batch::Waiting::None);
        window.setLineSettings({});
        window.openLine(place(m_server.url(QLatin1String(PgServer::Admin), relay.port()), u"outage"_s, u"benchO"_s));
        QTRY_VERIFY(window.isLine());
        DeviceOptions slow;
        slow.delayMs = 20;
        QString error;
        QVERIFY2(lanePanel(window)->addSimulated(slow, &error), qPrintable(error));
        QVERIFY(window.start());
        QTRY_VERIFY2_WITH_TIMEOUT(planTable(window)->counts().ok >= 2, qPrintable(window.statusBar()->currentMessage()), 10000);
        relay.setForwarding(false);
        QTRY_VERIFY_WITH_TIMEOUT(window.statusBar()->currentMessage().startsWith(u"record unreachable since "_s), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(lanePanel(window)->lane(u"sim1"_s)->state().startsWith(u"record unreachable since "_s), 20000);
        QCOMPARE(finished.count(), 0);
        relay.setForwarding(true);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QVERIFY2(finished.first().first().toInt() == 0, qPrintable(window.statusBar()->currentMessage()));
        QTRY_COMPARE(column(window, planTable(window)->resultColumn()), QStringList(12, u"ok"_s));
    }

    // Started with its record (--record-wait), the bench waits for the
    // record to be reachable, says so, and opens the line once it is.
    void waitsForTheRecordAtTheStart()
    {
        QVERIFY(load(u"later"_s, 3, 15));
        TcpRelay relay(quint16(m_server.port()));
        relay.setForwarding(false);
        BenchWindow window;
        QSignalSpy waiting(&window, &BenchWindow::recordWaiting);
        QSignalSpy refused(&window, &BenchWindow::recordRefused);
        window.setRecordWait(600);
        window.openLine(place(m_server.url(QLatin1String(PgServer::Admin), relay.port()), u"later"_s, u"benchL"_s));
        QTRY_COMPARE_WITH_TIMEOUT(waiting.count(), 1, 30000);
        QVERIFY2(waiting.first().first().toString().startsWith(u"record unreachable since "_s),
                 qPrintable(waiting.first().first().toString()));
        QVERIFY(window.statusBar()->currentMessage().contains(u"waiting up to 600 s"_s));
        relay.setForwarding(true);
        QTRY_VERIFY_WITH_TIMEOUT(window.isLine(), 30000);
        QCOMPARE(refused.count(), 0);
        QCOMPARE(waiting.count(), 1);
        QCOMPARE(planTable(window)->rowCount(), 3);
    }

    // velmora-bench --record ... --start --quit-when-done: a run from the
    // command line, or one line on its error output and velmora-cli's exit
    // status; no message shows the password.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");  // URL and DOWN stand for addresses
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");  // the start of its error line; empty: none

        const QStringList run = {u"--simulate"_s, u"2"_s, u"--no-prompt"_s, u"--start"_s, u"--quit-when-done"_s};
        QTest::newRow("a run") << QStringList{u"--record"_s, u"URL"_s, u"--line"_s, u"cmd"_s, u"--station"_s, u"benchC"_s} + run
                               << 0 << QString();
        QTest::newRow("unreachable") << QStringList{u"--record"_s, u"DOWN"_s, u"--line"_s, u"cmd"_s} + run << 3
                                     << u"velmora-bench: cannot reach the record at velmora_admin@127.0.0.1:"_s;
        QTest::newRow("no such line") << QStringList{u"--record"_s, u"URL"_s, u"--line"_s, u"nowhere"_s} + run << 2
                                      << u"velmora-bench: the record has no line nowhere"_s;
        QTest::newRow("a password in the address")
            << QStringList{u"--record"_s, u"postgresql://velmora_admin:%1@127.0.0.1/velmora"_s.arg(QLatin1String(Secret)),
                           u"--line"_s, u"cmd"_s}
            << 2 << u"velmora-bench: --record: the address holds a password"_s;
        QTest::newRow("SQL in a line name") << QStringList{u"--record"_s, u"URL"_s, u"--line"_s, u"x'; DROP TABLE velmora.rows; --"_s}
                                            << 2 << u"velmora-bench: --line x'; DROP TABLE velmora.rows; --: a name is"_s;
        QTest::newRow("a plan and a line") << QStringList{u"plan.csv"_s, u"--record"_s, u"URL"_s, u"--line"_s, u"cmd"_s} << 2
                                           << u"velmora-bench: --record: a line's plan and record are the record's"_s;
        QTest::newRow("a line without a record") << QStringList{u"--line"_s, u"cmd"_s} << 2
                                                 << u"velmora-bench: --line, --station and --record-wait need --record URL"_s;
        QTest::newRow("a wait that is no time") << QStringList{u"--record"_s, u"URL"_s, u"--line"_s, u"cmd"_s, u"--record-wait"_s, u"soon"_s}
                                                << 2 << u"velmora-bench: --record-wait soon: expected seconds from 0 to 86400"_s;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        if (!m_commandLineReady)
            QVERIFY((m_commandLineReady = load(u"cmd"_s, 4, 12)));
        QTcpServer closed;  // a port where nothing listens
        closed.listen(QHostAddress::LocalHost);
        const int down = closed.serverPort();
        closed.close();
        for (QString &argument : arguments) {
            if (argument == QLatin1String("URL"))
                argument = admin();
            else if (argument == QLatin1String("DOWN"))
                argument = m_server.url(QLatin1String(PgServer::Admin), down);
        }
        // A password where libpq looks first, which no message may show.
        QProcessEnvironment withSecret = environment();
        if (!arguments.contains(admin()))
            withSecret.insert(u"PGPASSWORD"_s, QLatin1String(Secret));
        const Run run = runToEnd(arguments, withSecret, QStringLiteral(VELMORA_BENCH_PATH));
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        if (message.isEmpty()) {
            const QList<LogRecord> attempts = exported(u"cmd"_s);
            QCOMPARE(attempts.size(), 4);
            for (const LogRecord &attempt : attempts)
                QCOMPARE(attempt.value(u"station"_s), u"benchC"_s);
            return;
        }
        // Qt may say something of the platform too.
        const QStringList said = run.err.split(u'\n').filter(QRegularExpression(u"^velmora-bench: "_s));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().startsWith(message), qPrintable(run.err));
        QVERIFY(!run.err.contains(QLatin1String(Secret)));
    }

private:
    QTemporaryDir m_folder;
    PgServer m_server;
    bool m_commandLineReady = false;
};

QTEST_MAIN(tst_BenchLine)
#include "tst_bench_line.moc"
