// The window as the user meets it before any port is opened: layout, default
// texts, fixed sizes, focus order, and what each parameter field lets the user type.
#include "windowharness.h"

#ifdef Q_OS_WIN
#include "device/builtinsimulator.h"
#endif

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// QTest::keyClicks() turns a character outside Latin-1 into a NUL key, which
// every field refuses: each key goes out with its own code and text.
void type(QWidget *widget, const QString &keys)
{
    for (const QChar key : keys)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(key.toUpper().unicode()), QString(key),
                            Qt::NoModifier);
}

// The parameter fields with their default texts and, as "keys>shown", what
// typing does to each of them (256, a07 and 007 tell the four rules apart).
const struct Row { const char *names, *defaults, *typed; } Rows[] = {
    {"Locat_ip_Edit_#4", "192 168 0 101", "255>255 199>199 256>25 01>0 1a>1 -1>1 a07>0 007>0"},
    {"master_Edit_#4", "192 168 0 1", "256>25 a07>0 007>0"},
    {"Mask_Edit_#4", "255 255 255 0", "256>25 a07>0 007>0"},
    {"Sever_ip_Edit_#4", "192 168 0 201", "256>25 a07>0 007>0"},
    {"MAC_addr_Edit_#6", "00 1E CE 00 79 01", "aF>aF abc>ab g7>7 256>25 a07>a0 007>00"},
    // Arabic-Indic three, fullwidth five, superscript two: digits, but not ASCII ones.
    {"SN_Edit", "00", u8"249>249 07>07 250>25 256>25 a07>07 007>00 1\u0663\uFF15\u00B2>1"},
    {"Port_Edit", "8900", "65535>65535 65529>65529 65499>65499 64999>64999 59999>59999 0a7>0"},
    {"Distance_time_T1_Edit", "2", "65536>6553 65540>6554 65600>6560 70000>7000 655350>65535"},
};

// What the window shows and how big each part of it is, as a property of the
// named widgets ("window" is the window itself). "size" is a fixed size that
// no resizing of the window changes.
const struct Pin { const char *names, *property, *value; } Pins[] = {
    {"window", "windowTitle", "Velmora V1.2"},
    {"Com", "text", "PORT"}, {"fp", "text", "RATE"}, {"Status", "text", "STATE"},
    {"Com fp Status", "size", "80x25"},
    {"fpBox", "items", "115200"},
    {"Open", "text", "OPEN"}, {"Open", "styleSheet", "background-color:red;"},
    {"ComBox fpBox Open", "size", "100x20"},
    {"master", "text", "Gateway"}, {"Locat_ip", "text", "LIP"}, {"Mask", "text", "MASK"},
    {"Sever_ip", "text", "SIP"}, {"MAC_addr", "text", "MAC"}, {"Port", "text", "PORT"},
    {"Distance_time_T1", "text", "T1"}, {"SN", "text", "SN(0-249)"}, {"READ", "text", "READ"},
    {"Config_all", "text", "SET ALL"}, {"Reset", "text", "RESET"},
    {"master Locat_ip Mask Sever_ip MAC_addr Port Distance_time_T1 SN READ Config_all Reset", "size", "100x23"},
    {"master_Edit_#4 Locat_ip_Edit_#4 Mask_Edit_#4 Sever_ip_Edit_#4", "size", "28x23"},
    {"MAC_addr_Edit_#6", "size", "20x21"},
    {"Port_Edit Distance_time_T1_Edit SN_Edit", "size", "130x23"},
    {"READ_Edit", "size", "160x220"},
    {"Status_temp", "sizeGripEnabled", "true"},
    {"Status_temp", "messageTimeout", "20000"},
};

QString observed(const WindowHarness &h, QWidget *widget, const char *property)
{
    const QByteArray name(property);
    if (name == "size") {
        const bool fixed = widget->minimumSize() == widget->maximumSize();
        return u"%1x%2%3"_s.arg(widget->width()).arg(widget->height()).arg(fixed ? u""_s : u" not fixed"_s);
    }
    if (name == "items") {
        auto *box = qobject_cast<QComboBox *>(widget);
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        return items.join(u' ');
    }
    if (name == "messageTimeout") {
        h.press("Open");  // COM1 leads nowhere: a message that says why
        const QTimer *clear = widget->findChild<QTimer *>();
        return clear && clear->isActive() ? QString::number(clear->interval()) : u"none"_s;
    }
    return widget->property(property).toString();
}

// A device that is there, for a saved mapping whose adapter is still plugged in.
struct PresentDevice
{
#ifdef Q_OS_WIN
    // No /dev/null on Windows, and a COM port only on some machines: the
    // device served in-process, as --simulate serves it, is there on all.
    const QString path = BuiltInSimulator::inProcessName();
    const std::unique_ptr<QObject> served = BuiltInSimulator::serve(path);
#else
    const QString path = u"/dev/null"_s;
#endif
};

// What a COM port that no mapping takes opens, as its tooltip shows it.
QString defaultTip(int port)
{
#ifdef Q_OS_WIN
    // \\.\COMn, with its adapter's name where the system lists the port.
    const QString device = u"\\\\.\\COM%1"_s.arg(port);
    const QString adapter = PortMap::friendlyNames().value(device);
    return u"COM%1 "_s.arg(port) + device + (adapter.isEmpty() ? QString() : u" ("_s + adapter + u')');
#else
    return u"COM%1 /dev/ttyS%2"_s.arg(port).arg(port - 1);
#endif
}

} // namespace

class tst_Window : public QObject
{
    Q_OBJECT

private slots:
    void startup()
    {
        // Remembered from an earlier run: one adapter still there, one gone.
        const PresentDevice present;  // before the window, which lists what is there
        PortMap::setSavedDevice(u"COM2"_s, present.path);
        PortMap::setSavedDevice(u"COM3"_s, u"/dev/velmora-unplugged"_s);
        WindowHarness h(u"/dev/velmora-test"_s);
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QWidget *top = h.find("portGroup"), *panel = h.find("parameterGroup"), *low = h.find("statusGroup");
        QVERIFY(top && panel && low && top->isVisible() && panel->isVisible() && low->isVisible());
        QVERIFY(top->geometry().bottom() < panel->y() && panel->geometry().bottom() < low->y());
        const auto commands = panel->findChildren<QPushButton *>();
        QCOMPARE(commands.size(), 11);
        QVERIFY(std::none_of(commands.begin(), commands.end(), [](QWidget *b) { return b->isEnabled(); }));
        auto *ports = h.find<QComboBox>("ComBox");
        QCOMPARE(ports->count(), 20);
        QCOMPARE(ports->currentText(), u"COM1"_s);
        QStringList tips = {u"COM1 /dev/velmora-test"_s, u"COM2 "_s + present.path,
                            u"COM3 /dev/velmora-unplugged (saved; device not present)"_s};
        for (int i = tips.size(); i < 20; ++i)
            tips << defaultTip(i + 1);
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
        const QStringList defaults = QString::fromLatin1(row.defaults).split(u' ');
        const QStringList fieldNames = names(row.names);
        QCOMPARE(fieldNames.size(), defaults.size());
        for (int i = 0; i < defaults.size(); ++i) {
            auto *edit = h.window->findChild<QLineEdit *>(fieldNames.at(i));
            QVERIFY(edit);
            QCOMPARE(edit->text(), defaults.at(i));
            QVERIFY(edit->hasAcceptableInput());  // else the user could not type it back
            for (const QString &pair : QString::fromUtf8(row.typed).split(u' ')) {
                QLineEdit plain;  // proves that every key arrives
                type(&plain, pair.section(u'>', 0, 0));
                edit->clear();
                type(edit, plain.text());
                QCOMPARE(plain.text() + u'>' + edit->text(), pair);
            }
        }
    }

    void pinned_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(Pins)); ++i)
            QTest::addRow("%s %s", Pins[i].names, Pins[i].property) << i;
    }

    void pinned()
    {
        QFETCH(int, index);
        const Pin &pin = Pins[index];
        WindowHarness h(u"/dev/velmora-no-such-port"_s);
        QList<QWidget *> widgets;
        for (const QString &name : names(pin.names))
            widgets << (name == u"window"_s ? h.window.get() : h.window->findChild<QWidget *>(name));
        QVERIFY(!widgets.contains(nullptr));
        h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
        for (QWidget *widget : widgets)
            QCOMPARE(observed(h, widget, pin.property), QString::fromUtf8(pin.value));
        if (QByteArray(pin.property) != "size")
            return;
        // The window grows and shrinks around widgets of fixed size.
        QWidget *panel = h.find("parameterGroup");
        const int natural = h.window->width(), panelWidth = panel->width();
        for (const QSize to : {h.window->size() * 2, QSize(1, 1)}) {
            h.window->resize(to);
            QTRY_COMPARE(panel->width() > panelWidth, to.width() > natural);
            for (QWidget *widget : widgets)
                QCOMPARE(observed(h, widget, pin.property), QString::fromUtf8(pin.value));
        }
    }
};

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
