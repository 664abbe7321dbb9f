// velmora-bench in its user's language: the catalogue's Chinese under zh_CN,
// English under C, with every label and button wide enough for its text; and
// what a program reads back the same in both. The dialogs fit too.
#include "benchparts.h"
#include "bench/labeldialog.h"
#include "bench/laneview.h"
#include "bench/newplandialog.h"
#include "bench/openlinedialog.h"
#include "clirun.h"
#include "files.h"
#include "link/phrases.h"
#include "shell/translations.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The widgets of a window that show a text and are cut short: narrower than
// their text needs, or, wrapping it, lower.
QStringList clipped(const QWidget &window)
{
    QStringList found;
    const auto check = [&](const QWidget *widget, const QString &text) {
        if (!widget->isVisible() || text.isEmpty())
            return;
        const auto *label = qobject_cast<const QLabel *>(widget);
        const bool cut = label && label->wordWrap() ? widget->height() < widget->heightForWidth(widget->width())
                                                    : widget->width() < widget->sizeHint().width();
        if (cut)
            found << QStringLiteral("%1 \"%2\": %3 wide, needs %4")
                         .arg(widget->objectName(), text)
                         .arg(widget->width())
                         .arg(widget->sizeHint().width());
    };
    for (const QLabel *label : window.findChildren<QLabel *>())
        check(label, label->text());
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>())
        check(button, button->text());
    return found;
}

} // namespace

class tst_BenchLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_folder->path()));
    }

    void cleanup()
    {
        for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }

    void centralTexts_data()
    {
        QTest::addColumn<QString>("language");  // empty: the system's, which the tests' LC_ALL=C.UTF-8 makes none
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("problem");

        QTest::newRow("C") << "" << "en" << "&Start" << "Connect A-1, then Next"
                           << "0 ok, 0 mismatch, 0 refused, 0 no answer, 0 skipped, 2 left"
                           << "bad.csv:2:5: sn=x: expected a whole number from 0 to 249";
        QTest::newRow("zh_CN") << "zh_CN" << "zh_CN" << "开始(&S)" << "请连接 A-1，然后点“下一台”"
                               << "成功 0，不一致 0，被拒绝 0，无应答 0，已跳过 0，剩余 2"
                               << "bad.csv:2:5: sn=x: 应为 0 到 249 之间的整数";
    }

    void centralTexts()
    {
        QFETCH(QString, language);
        QFETCH(QString, installed);
        QFETCH(QString, start);
        QFETCH(QString, question);
        QFETCH(QString, counts);
        QFETCH(QString, problem);
        QCOMPARE(Translations::install(language), installed);

        QVERIFY(writeFile(QStringLiteral("bad.csv"), "id,sn\nA-1,x\n"));
        {
            Bench::BenchWindow window;
            QString error;
            QVERIFY(window.openPlan(QStringLiteral("bad.csv"), &error));
            QCOMPARE(planTable(window)->problems().value(0).text, problem);
        }

        QVERIFY(writeFile(QStringLiteral("plan.csv"), "id,sn\nA-1,1\nA-2,2\n"));
        Bench::BenchWindow window;
        QString error;
        QVERIFY2(window.openPlan(QStringLiteral("plan.csv"), &error), qPrintable(error));
        window.setWaiting(Batch::Waiting::Prompt);
        Device device;
        QVERIFY2(window.addLane(device.path(), &error), qPrintable(error));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(part<QPushButton>(window, "startButton")->text(), start);
        QVERIFY2(clipped(window).isEmpty(), qPrintable(clipped(window).join(QLatin1Char('\n'))));

        QSignalSpy finished(&window, &Bench::BenchWindow::runFinished);
        QVERIFY(window.start());
        Bench::LaneView *lane = lanePanel(window)->lane(device.path());
        QTRY_VERIFY(lane->isAsking());
        QCOMPARE(lane->state(), question);
        QVERIFY2(labelText(window, "countsLabel").startsWith(counts), qPrintable(labelText(window, "countsLabel")));
        QVERIFY2(clipped(window).isEmpty(), qPrintable(clipped(window).join(QLatin1Char('\n'))));
        window.stop();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    }

    void dialogsFit_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("C") << "";
        QTest::newRow("zh_CN") << "zh_CN";
    }

    // Each dialog at the size it opens with.
    void dialogsFit()
    {
        QFETCH(QString, language);
        QCOMPARE(Translations::install(language), language.isEmpty() ? u"en"_s : language);
        std::vector<std::unique_ptr<QDialog>> dialogs;
        dialogs.push_back(std::make_unique<Bench::NewPlanDialog>());
        dialogs.push_back(std::make_unique<Bench::OpenLineDialog>());
        dialogs.push_back(std::make_unique<Bench::LabelDialog>(3, 1, true, true));
        for (const auto &dialog : dialogs) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            QVERIFY2(clipped(*dialog).isEmpty(),
                     qPrintable(dialog->windowTitle() + u'\n' + clipped(*dialog).join(QLatin1Char('\n'))));
        }
    }

    // A lane's outcome, kept in English in the log and the record, in the
    // reader's language in the plan table and the report: nested and joined.
    void keptTextsSaid_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("said");
        const QString kept = u"after the last run stopped: port lost; line failed during READ: the line hung up; "
                             "its device may hold this row"_s;
        QTest::newRow("C") << "" << kept;
        QTest::newRow("zh_CN") << "zh_CN" << u"上次运行中断后：端口已断开；READ 期间线路故障：线路已挂断；其设备可能已写入此行"_s;
    }

    void keptTextsSaid()
    {
        QFETCH(QString, language);
        QFETCH(QString, said);
        Translations::install(language);
        QCOMPARE(Phrases::said(u"after the last run stopped: port lost; line failed during READ: the line hung up; "
                               "its device may hold this row"_s),
                 said);
    }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

QTEST_MAIN(tst_BenchLanguage)
#include "tst_bench_language.moc"
