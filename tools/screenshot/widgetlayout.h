// Where each named widget of a window sits, relative to the window:
// {"Open": [x, y, width, height], ...}. Two renderings of the window lay out
// alike when their layouts are equal.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

inline QJsonObject widgetLayout(const QWidget &window)
{
    QJsonObject layout;
    for (const QWidget *widget : window.findChildren<QWidget *>()) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QRect box(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        layout.insert(widget->objectName(), QJsonArray{box.x(), box.y(), box.width(), box.height()});
    }
    return layout;
}
