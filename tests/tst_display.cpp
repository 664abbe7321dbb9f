// The window on a real X server (Xvfb, through Qt's xcb platform) instead of
// the headless platform of the other tests: mouse clicks and keys go through
// the window system to open the simulated device, write SET ALL and read it
// back, and the window lays out exactly as velmora-screenshot renders it headless.
#include "device/ptydevice.h"
#include "widgetlayout.h"
#include "windowharness.h"

#include <QApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// One line per widget, "Open 12,40 100x20", for a readable difference.
QStringList lines(const QJsonObject &layout)
{
    QStringList all;
    for (auto it = layout.begin(); it != layout.end(); ++it) {
        const QJsonArray box = it.value().toArray();
        all << u"%1 %2,%3 %4x%5"_s.arg(it.key()).arg(box[0].toInt()).arg(box[1].toInt())
                   .arg(box[2].toInt()).arg(box[3].toInt());
    }
    return all;
}

} // namespace

class tst_Display : public QObject
{
    Q_OBJECT

private slots:
    void setAllAndReadByMouseAndKeys()
    {
        QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
        PtyDevice device;
        QVERIFY2(device.open(), qPrintable(device.errorString()));
        WindowHarness h(device.slavePath());
        h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
        h.window->activateWindow();  // no window manager here to give it the focus
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QWindow *window = h.window->windowHandle();
        const auto click = [&](const char *name) {
            QWidget *widget = h.find(name);
            QTest::mouseClick(window, Qt::LeftButton, {}, widget->mapTo(h.window.get(), widget->rect().center()));
        };

        click("Open");
        QTRY_VERIFY(h.isOpen());
        click("Locat_ip_Edit_3");
        QTRY_COMPARE(QApplication::focusWidget(), h.find("Locat_ip_Edit_3"));
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(window, Qt::Key_7);
        QTest::keyClick(window, Qt::Key_7);
        QCOMPARE(h.find<QLineEdit>("Locat_ip_Edit_3")->text(), u"77"_s);
        click("Config_all");
        QTRY_COMPARE(h.message(), u"SET ALL success"_s);
        click("READ");
        QTRY_COMPARE(h.message(), u"READ Success"_s);
        QVERIFY2(h.report().startsWith(u"LIP:192.168.0.77\n"_s), qPrintable(h.report()));

        const QImage shown = h.window->grab().toImage();
        shown.save(u"tst_display-xcb.png"_s);  // beside the test, for a look
        QTemporaryDir dir;
        QProcess headless;
        headless.setProcessEnvironment([] {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
            return environment;
        }());
        headless.start(QStringLiteral(VELMORA_SCREENSHOT_PATH),
                       {dir.filePath(u"window.png"_s), dir.filePath(u"layout.json"_s)});
        QVERIFY(headless.waitForFinished(30000));
        QVERIFY2(headless.exitCode() == 0, headless.readAllStandardError().constData());
        QFile layout(dir.filePath(u"layout.json"_s));
        QVERIFY(layout.open(QIODevice::ReadOnly));
        QCOMPARE(shown.size(), QImage(dir.filePath(u"window.png"_s)).size());
        QCOMPARE(lines(widgetLayout(*h.window)), lines(QJsonDocument::fromJson(layout.readAll()).object()));
    }
};

QTEST_MAIN(tst_Display)
#include "tst_display.moc"
