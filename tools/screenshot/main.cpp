// Renders the window as a technician sees it after OPEN and READ against the
// simulated device, for the README. Run with QT_QPA_PLATFORM=offscreen. Given
// a second file, writes there where each named widget sits (widgetlayout.h),
// for comparing this rendering with one on another platform.
#include "widgetlayout.h"

#include "device/ptydevice.h"
#include "link/portmap.h"
#include "window/mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: velmora-screenshot OUTPUT.png [LAYOUT.json]\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QFile layout(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString());

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
        const bool saved = window.grab().save(output)
            && (layout.fileName().isEmpty()
                || (layout.open(QIODevice::WriteOnly)
                    && layout.write(QJsonDocument(widgetLayout(window)).toJson()) > 0));
        exitCode = saved ? 0 : 1;
        app.quit();
    });
    poll.start(50);
    QTimer::singleShot(5000, &app, &QApplication::quit);
    app.exec();
    if (exitCode != 0)
        std::fprintf(stderr, "velmora-screenshot: no READ report to show, nothing saved\n");
    return exitCode;
}
