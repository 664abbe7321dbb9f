// A fresh window whose COM1 leads to the given device, and short ways to
// press its buttons, fill its fields and read what it shows.
#pragma once

#include "link/portmap.h"
#include "window/mainwindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

#include <algorithm>
#include <memory>

// "Mask_Edit_#4 SN_Edit" -> Mask_Edit_0 .. Mask_Edit_3, SN_Edit.
inline QStringList names(const char *list)
{
    QStringList all;
    for (const QString &name : QString::fromLatin1(list).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        for (int i = 0, n = name.section(QLatin1Char('#'), 1).toInt(); i < std::max(n, 1); ++i)
            all << (n ? name.section(QLatin1Char('#'), 0, 0) + QString::number(i) : name);
    return all;
}

class WindowHarness
{
public:
    explicit WindowHarness(const QString &com1Device = QString())
    {
        status = 0;
        xx = 0;
        if (!com1Device.isEmpty())
            PortMap::setDevice(QStringLiteral("COM1"), com1Device);
        window = std::make_unique<MainWindow>();
    }
    ~WindowHarness()
    {
        window.reset();
        PortMap::reset();
    }

    template<typename Widget = QWidget>
    Widget *find(const char *name) const
    {
        return window->findChild<Widget *>(QLatin1String(name));
    }
    void press(const char *button) const
    {
        auto *widget = find<QPushButton>(button);
        if (!widget)
            qFatal("no button named %s", button);
        widget->click();
    }
    void setField(const QString &name, const QString &text) const
    {
        window->findChild<QLineEdit *>(name)->setText(text);
    }
    bool isOpen() const { return window->Open->text() == QLatin1String("CLOSE "); }
    QString message() const { return find<QStatusBar>("Status_temp")->currentMessage(); }
    QString report() const { return find<QTextEdit>("READ_Edit")->toPlainText(); }

    std::unique_ptr<MainWindow> window;
};
