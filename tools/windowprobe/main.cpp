// Where velmora's buttons are on the screen, for a test that clicks them with
// real mouse events (xdotool) from outside the program: shows the window as
// velmora does, on the platform and style of the system it runs on, and prints
//
//   client X Y        the screen position of the window's top-left corner
//   Open X Y          a button's (or the report's) centre, from that corner
//   ...
//
// then quits. The window it shows is titled "velmora-windowprobe", for the
// test to measure how far that corner lies from the window's X11 origin.
#include "window/mainwindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window;
    window.setWindowTitle(QStringLiteral("velmora-windowprobe"));
    window.show();
    const int shownMs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 3000;
    QTimer::singleShot(500, &window, [&window] {
        const QPoint corner = window.mapToGlobal(QPoint(0, 0));
        std::printf("client %d %d\n", corner.x(), corner.y());
        for (const char *name : {"Open", "Config_all", "READ", "READ_Edit"}) {
            const auto *widget = window.findChild<QWidget *>(QLatin1String(name));
            if (!widget)
                continue;
            const QPoint centre = widget->mapTo(&window, widget->rect().center());
            std::printf("%s %d %d\n", name, centre.x(), centre.y());
        }
        std::fflush(stdout);
    });
    QTimer::singleShot(shownMs, &app, &QApplication::quit);
    return app.exec();
}
