// Renders velmora-bench during a run for the README: a plan of twelve
// devices on three simulated lanes, one of which keeps its sn (amber rows),
// grabbed halfway; then, where asked, the run's report and an A4 sheet of
// its labels as PDFs, in the system's language. Run with QT_QPA_PLATFORM=offscreen.
#include "bench/benchwindow.h"
#include "bench/labels.h"
#include "bench/lanepanel.h"
#include "bench/linemonitor.h"
#include "device/ptydevice.h"
#include "shell/translations.h"

#include <QApplication>
#include <QFile>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);  // neither reads nor leaves the user's settings
    Translations::install();
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: velmora-bench-screenshot OUTPUT.png [REPORT.pdf LABELS.pdf]\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString reportFile = argc == 4 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString labelsFile = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();
    QTemporaryDir folder;
    QFile plan(folder.filePath(QStringLiteral("plan.csv")));
    QByteArray text = "id,lip,mask,gateway,sn\n";
    for (int n = 1; n <= 12; ++n)
        text += QStringLiteral("A-%1,192.168.0.%2,255.255.255.0,192.168.0.1,%3\n")
                    .arg(n, 2, 10, QLatin1Char('0')).arg(100 + n).arg(n).toUtf8();
    if (!plan.open(QIODevice::WriteOnly) || plan.write(text) != text.size())
        return 1;
    plan.close();

    Bench::BenchWindow window;
    auto *lanePanel = window.findChild<Bench::LanePanel *>(QStringLiteral("lanePanel"));
    auto *progressBar = window.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QString error;
    window.openPlan(plan.fileName(), &error);
    window.setWaiting(Batch::Waiting::None);
    for (int lane = 0; lane < 3; ++lane) {
        DeviceOptions options;
        options.delayMs = 120;
        if (lane == 2)
            options.ignoredField = Protocol::blockField(u"sn");
        if (!lanePanel->addSimulated(options, &error)) {
            std::fprintf(stderr, "velmora-bench-screenshot: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
    }
    window.findChild<Bench::LineMonitor *>(QStringLiteral("lineMonitor"))->show();  // the frames too
    window.resize(1200, 760);
    window.show();
    window.start();
    int exitCode = 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        // The bar moves with the rows the table shows, so either tells.
        if (progressBar->value() < 6)
            return;
        exitCode = window.grab().save(output) ? 0 : 1;
        poll.stop();
        if (reportFile.isEmpty())
            window.stop();
    });
    QObject::connect(&window, &Bench::BenchWindow::runFinished, &app, [&] {
        QString failed;
        window.setOperatorName(QStringLiteral("A. Technician"));
        if (!reportFile.isEmpty()
            && (!window.writeReport(reportFile, &failed)
                || !window.writeLabels(labelsFile, Bench::labelFormats().constFirst(), {}, &failed))) {
            std::fprintf(stderr, "velmora-bench-screenshot: %s\n", failed.toLocal8Bit().constData());
            exitCode = 1;
        }
        QApplication::quit();
    });
    poll.start(20);
    QTimer::singleShot(20000, &app, &QApplication::quit);
    app.exec();
    if (exitCode != 0)
        std::fprintf(stderr, "velmora-bench-screenshot: nothing saved\n");
    return exitCode;
}
