// Where velmora's buttons are in its window, for a test that clicks them with
// real mouse events (xdotool) from outside the program: lays the window out as
// velmora does, on the platform, style and fonts of the system it runs on, and
// prints one line a widget,
//
//   Open X Y          the widget's centre, from the window's top-left corner
//   ...
//
// then quits. The corner is the client area's (no frame): with no window
// manager, as on Xvfb, that is the origin of the program's X window, under
// Wine's X11 driver too.
#include "window/mainwindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    QTimer::singleShot(0, &window, [&window] {
        for (const char *name : {"Open", "Config_all", "READ", "READ_Edit", "Port_Edit"}) {
            const auto *widget = window.findChild<QWidget *>(QLatin1String(name));
            if (!widget)
                return QCoreApplication::exit(1);
            const QPoint centre = widget->mapTo(&window, widget->rect().center());
            std::printf("%s %d %d\n", name, centre.x(), centre.y());
        }
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return app.exec();
}
