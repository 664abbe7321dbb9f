// velmora-bench on a real X server (Xvfb, through Qt's xcb platform): a bad
// cell mended by keys, a lane added by typing its path, Start by mouse, Next
// by the lane's key, Enter on the waiting lane, as a technician would.
#include "benchparts.h"
#include "bench/benchwindow.h"
#include "bench/lanepanel.h"
#include "bench/laneview.h"
#include "clirun.h"
#include "files.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class tst_BenchDisplay : public QObject
{
    Q_OBJECT

private slots:
    void runByMouseAndKeys()
    {
        QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
        QStandardPaths::setTestModeEnabled(true);
        QTemporaryDir folder;
        QVERIFY(QDir::setCurrent(folder.path()));
        QVERIFY(writeFile(u"plan.csv"_s, "id,lip,sn\nA-1,10.0.0.1,1\nA-2,10.0.0.2,300\n"));
        Device device;

        Bench::BenchWindow window;
        QString error;
        QVERIFY2(window.openPlan(u"plan.csv"_s, &error), qPrintable(error));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();  // no window manager here to give it the focus
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWindow *handle = window.windowHandle();
        const auto click = [&](QWidget *widget, QPoint at = {}) {
            QTest::mouseClick(handle, Qt::LeftButton, {},
                              widget->mapTo(&window, at.isNull() ? widget->rect().center() : at));
        };

        // The bad sn, typed anew.
        QVERIFY(!part<QPushButton>(window, "startButton")->isEnabled());
        QTableView *view = part<QTableView>(window, "planView");
        const QPoint cell = view->visualRect(view->model()->index(1, 2)).center();
        QTest::mouseDClick(handle, Qt::LeftButton, {}, view->viewport()->mapTo(&window, cell));
        QTRY_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        QTest::keyClick(handle, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), u"2"_s);
        QTest::keyClick(handle, Qt::Key_Return);
        QTRY_COMPARE(planTable(window)->problems().size(), 0);

        // A lane by its path, typed.
        click(lanePanel(window)->portChoice);
        QTest::keyClicks(lanePanel(window)->portChoice->lineEdit(), device.path());
        click(lanePanel(window)->addButton);
        QTRY_COMPARE(lanePanel(window)->ports(), QStringList{device.path()});
        QTRY_VERIFY(part<QPushButton>(window, "startButton")->isEnabled());

        QSignalSpy finished(&window, &Bench::BenchWindow::runFinished);
        click(part<QPushButton>(window, "startButton"));
        Bench::LaneView *lane = lanePanel(window)->lane(device.path());
        QTRY_COMPARE(lane->state(), u"Connect A-1, then Next"_s);
        QTest::keyClick(handle, Qt::Key_F1);
        QTRY_COMPARE(lane->state(), u"Connect A-2, then Next"_s);
        click(lane->nameLabel);  // the lane takes the focus
        QTRY_VERIFY(lane->hasFocus());
        QTest::keyClick(handle, Qt::Key_Return);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(window.exitStatus(), 0);
        QCOMPARE(device.device.model().parameters().serialNumber, 2);
        QVERIFY(readFile(u"plan.csv"_s).endsWith("A-2,10.0.0.2,2\n"));  // saved at Start
    }
};

QTEST_MAIN(tst_BenchDisplay)
#include "tst_bench_display.moc"
