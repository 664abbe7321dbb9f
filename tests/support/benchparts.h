// The parts of a Velmora Bench window, found as accessibility tools find
// them: by objectName, which is the name of the window's member.
#pragma once

#include "bench/benchwindow.h"
#include "bench/lanepanel.h"
#include "bench/linemonitor.h"
#include "bench/plantable.h"

#include <QLabel>
#include <QMessageBox>

template<typename Part>
Part *part(const QObject &window, const char *name)
{
    Part *found = window.findChild<Part *>(QLatin1String(name));
    if (!found)
        qFatal("the window has no %s named %s", Part::staticMetaObject.className(), name);
    return found;
}

inline Bench::PlanTable *planTable(const QObject &window)
{
    return part<Bench::PlanTable>(window, "planTable");
}

inline Bench::LanePanel *lanePanel(const QObject &window)
{
    return part<Bench::LanePanel>(window, "lanePanel");
}

inline QString labelText(const QObject &window, const char *name)
{
    return part<QLabel>(window, name)->text();
}

// The question a close during a run asks, while it is open; null where none is.
inline QMessageBox *closeQuestion(const QObject &window)
{
    return window.findChild<QMessageBox *>(QStringLiteral("closeQuestion"));
}
