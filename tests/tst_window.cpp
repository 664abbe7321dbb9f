// The window as the user meets it before any port is opened: layout, default
// texts, fixed sizes, focus order, and what each parameter field lets the user type.
#include "windowharness.h"

#include <QApplication>
#include <QComboBox>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// "Mask_Edit_#4 SN_Edit" -> Mask_Edit_0 .. Mask_Edit_3, SN_Edit.
QStringList names(const char *list)
{
    QStringList all;
    for (const QString &name : QString::fromLatin1(list).split(u' '))
        for (int i = 0, n = name.section(u'#', 1).toInt(); i < std::max(n, 1); ++i)
            all << (n ? name.section(u'#', 0, 0) + QString::number(i) : name);
    return all;
}

// QTest::keyClicks() turns a character outside Latin-1 into a NUL key, which
// every field refuses: each key goes out with its own code and text.
void type(QWidget *widget, const QString &keys)
{
    for (const QChar key : keys)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(key.toUpper().unicode()), QString(key),
                            Qt::NoModifier);
}

// The parameter fields with their default texts and, as "keys>shown", what
// typing does to each of them (256, a07 and 007 tell the four rules apart);
// then a few other widgets, for their fixed size only.
const struct Row { const char *names, *defaults, *typed; QSize size; } Rows[] = {
    {"Locat_ip_Edit_#4", "192 168 0 101", "255>255 199>199 256>25 01>0 1a>1 -1>1 a07>0 007>0", {28, 23}},
    {"master_Edit_#4", "192 168 0 1", "256>25 a07>0 007>0", {28, 23}},
    {"Mask_Edit_#4", "255 255 255 0", "256>25 a07>0 007>0", {28, 23}},
    {"Sever_ip_Edit_#4", "192 168 0 201", "256>25 a07>0 007>0", {28, 23}},
    {"MAC_addr_Edit_#6", "00 1E CE 00 79 01", "aF>aF abc>ab g7>7 256>25 a07>a0 007>00", {20, 21}},
    // Arabic-Indic three, fullwidth five, superscript two: digits, but not ASCII ones.
    {"SN_Edit", "00", u8"249>249 07>07 250>25 256>25 a07>07 007>00 1\u0663\uFF15\u00B2>1", {130, 23}},
    {"Port_Edit", "8900", "65535>65535 65529>65529 65499>65499 64999>64999 59999>59999 0a7>0", {130, 23}},
    {"Distance_time_T1_Edit", "2", "65536>6553 65540>6554 65600>6560 70000>7000 655350>65535", {130, 23}},
    {"Com", "", "", {80, 25}}, {"ComBox Open", "", "", {100, 20}}, {"Reset READ", "", "", {100, 23}},
    {"READ_Edit", "", "", {160, 220}},
};

} // namespace

class tst_Window : public QObject
{
    Q_OBJECT

private slots:
    void startup()
    {
        // Remembered from an earlier run: one adapter still there, one gone.
        PortMap::setSavedDevice(u"COM2"_s, u"/dev/null"_s);
        PortMap::setSavedDevice(u"COM3"_s, u"/dev/velmora-unplugged"_s);
        WindowHarness h(u"/dev/velmora-test"_s);
        QCOMPARE(h.window->windowTitle(), u"Velmora V1.2"_s);
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QWidget *top = h.find("portGroup"), *panel = h.find("parameterGroup"), *low = h.find("statusGroup");
        QVERIFY(top && panel && low && top->isVisible() && panel->isVisible() && low->isVisible());
        QVERIFY(top->geometry().bottom() < panel->y() && panel->geometry().bottom() < low->y());
        const auto commands = panel->findChildren<QPushButton *>();
        QCOMPARE(commands.size(), 11);
        QVERIFY(std::none_of(commands.begin(), commands.end(), [](QWidget *b) { return b->isEnabled(); }));
        QCOMPARE(h.window->Open->text() + h.window->Open->styleSheet(), u"OPENbackground-color:red;"_s);
        QCOMPARE(h.find<QComboBox>("fpBox")->currentText(), u"115200"_s);
        auto *ports = h.find<QComboBox>("ComBox");
        QCOMPARE(ports->count(), 20);
        QCOMPARE(ports->currentText(), u"COM1"_s);
        QStringList tips = {u"COM1 /dev/velmora-test"_s, u"COM2 /dev/null"_s,
                            u"COM3 /dev/velmora-unplugged (saved; device not present)"_s};
        for (int i = tips.size(); i < 20; ++i)
            tips << u"COM%1 /dev/ttyS%2"_s.arg(i + 1).arg(i);
        for (int i = 0; i < ports->count(); ++i)  // each with its device as tooltip
            QCOMPARE(ports->itemText(i) + u' ' + ports->itemData(i, Qt::ToolTipRole).toString(), tips.value(i));
        for (const QWidget *widget : QApplication::allWidgets())
            QVERIFY(widget->objectName() != u"Drive_Edit_Addr"_s || !widget->isVisible());
        // Tab through the parameter panel skips the command buttons while they are disabled.
        const QStringList expected = names("Locat_ip_Edit_#4 Mask_Edit_#4 Sever_ip_Edit_#4 Port_Edit "
            "SN_Edit MAC_addr_Edit_#6 Distance_time_T1_Edit master_Edit_#4 READ_Edit");
        h.find("Locat_ip_Edit_0")->setFocus(Qt::TabFocusReason);
        QStringList walked;
        while (QApplication::focusWidget() && walked.size() < expected.size()) {
            walked << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(walked, expected);
    }

    void fields_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(Rows)); ++i)
            QTest::newRow(Rows[i].names) << i;
    }

    void fields()
    {
        QFETCH(int, index);
        const Row &row = Rows[index];
        WindowHarness h;
        QList<QWidget *> widgets;
        for (const QString &name : names(row.names))
            widgets << h.window->findChild<QWidget *>(name);
        QVERIFY(!widgets.contains(nullptr));
        const QStringList defaults = QString::fromLatin1(row.defaults).split(u' ', Qt::SkipEmptyParts);
        for (int i = 0; i < defaults.size(); ++i) {
            auto *edit = qobject_cast<QLineEdit *>(widgets.at(i));
            QCOMPARE(edit->text(), defaults.at(i));
            QVERIFY(edit->hasAcceptableInput());  // else the user could not type it back
            for (const QString &pair : QString::fromUtf8(row.typed).split(u' ', Qt::SkipEmptyParts)) {
                QLineEdit plain;  // proves that every key arrives
                type(&plain, pair.section(u'>', 0, 0));
                edit->clear();
                type(edit, plain.text());
                QCOMPARE(plain.text() + u'>' + edit->text(), pair);
            }
        }
        h.window->show();
        QWidget *panel = h.find("parameterGroup");
        const int natural = h.window->width(), panelWidth = panel->width();
        for (const QSize to : {h.window->size(), h.window->size() * 2, QSize(1, 1)}) {
            h.window->resize(to);
            QTRY_COMPARE(panel->width() > panelWidth, to.width() > natural);
            for (const QWidget *widget : widgets)
                QCOMPARE(widget->size(), row.size);
        }
    }
};

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
