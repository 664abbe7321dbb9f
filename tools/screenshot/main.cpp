// Renders the window as a technician sees it after OPEN and READ against the
// simulated device, for the README. Run with QT_QPA_PLATFORM=offscreen.
#include "device/ptydevice.h"
#include "link/portmap.h"
#include "window/mainwindow.h"

#include <QApplication>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-screenshot OUTPUT.png\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);

    PtyDevice device;
    if (!device.open()) {
        std::fprintf(stderr, "velmora-screenshot: %s\n", device.errorString().toLocal8Bit().constData());
        return 1;
    }
    PortMap::setDevice(QStringLiteral("COM1"), device.slavePath());

    MainWindow window;
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("Open"))->click();
    window.findChild<QPushButton *>(QStringLiteral("READ"))->click();

    auto *report = window.findChild<QTextEdit *>(QStringLiteral("READ_Edit"));
    int exitCode = 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (report->toPlainText().isEmpty())
            return;
        exitCode = window.grab().save(output) ? 0 : 1;
        app.quit();
    });
    poll.start(50);
    QTimer::singleShot(5000, &app, &QApplication::quit);
    app.exec();
    if (exitCode != 0)
        std::fprintf(stderr, "velmora-screenshot: no READ report to show, nothing saved\n");
    return exitCode;
}
