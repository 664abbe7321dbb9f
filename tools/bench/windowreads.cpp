// velmora-window-reads: how often the window loses or misjudges a READ
// against a device paced like a UART at 115200 baud. The window judges each
// 50 ms poll on its own, so a reply whose bytes straddle a poll is judged as
// two. Each READ is pressed at a random moment of the poll cycle, as a
// person would press it.
#include "device/ptydevice.h"
#include "link/portmap.h"
#include "protocol/parameterblock.h"
#include "window/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <functional>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Counts READs the window loses or misjudges."));
    parser.addHelpOption();
    const QCommandLineOption readsOption(QStringLiteral("reads"), QStringLiteral("READs to press (default 1000)."),
                                         QStringLiteral("N"), QStringLiteral("1000"));
    parser.addOption(readsOption);
    parser.process(app);
    const int reads = qMax(1, parser.value(readsOption).toInt());

    DeviceOptions options;
    options.baud = 115200;
    PtyDevice device(options);
    if (!device.open()) {
        std::fprintf(stderr, "velmora-window-reads: %s\n", qPrintable(device.errorString()));
        return 1;
    }
    PortMap::setDevice(QStringLiteral("COM1"), device.slavePath());
    MainWindow window;
    window.findChild<QPushButton *>(QStringLiteral("Open"))->click();
    auto *readButton = window.findChild<QPushButton *>(QStringLiteral("READ"));
    auto *report = window.findChild<QTextEdit *>(QStringLiteral("READ_Edit"));
    auto *statusBar = window.findChild<QStatusBar *>(QStringLiteral("Status_temp"));
    const QString expected = Protocol::readReport(DeviceModel::startParameters()).replace(QLatin1String("\r\n"),
                                                                                          QLatin1String("\n"));

    int pressed = 0, good = 0, lost = 0, misjudged = 0;
    QTimer poll;
    std::function<void()> press = [&] {
        if (pressed == reads) {
            app.quit();
            return;
        }
        ++pressed;
        statusBar->clearMessage();
        readButton->click();
        // Judged once the device has sent it all, the window has judged a
        // poll, and one more poll has taken whatever was left over.
        poll.callOnTimeout([&] {
            if (device.pendingReplies() > 0 || status != 0)
                return;
            poll.stop();
            poll.disconnect();
            QTimer::singleShot(60, &app, [&] {
                const QString message = statusBar->currentMessage();
                if (message == QLatin1String("READ Success") && report->toPlainText() == expected)
                    ++good;
                else if (message.isEmpty() && report->toPlainText().isEmpty())
                    ++lost;
                else
                    ++misjudged;
                QTimer::singleShot(QRandomGenerator::global()->bounded(50), &app, press);
            });
        });
        poll.start(1);
    };
    QTimer::singleShot(0, &app, press);
    app.exec();

    std::printf("window, %d READs against velmora-sim --baud 115200: %d reported, %d lost (%.1f%%), "
                "%d misjudged (%.1f%%)\n",
                pressed, good, lost, 100.0 * lost / pressed, misjudged, 100.0 * misjudged / pressed);
    return 0;
}
