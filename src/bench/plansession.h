// The plan of the bench, without its window: the table (a model), the log
// the run is recorded in, the checks the person chose, and what the log
// says of the plan. A line of a shared record is shown in the same table;
// LineController fills it.
#pragma once

#include "plantable.h"

#include <QObject>

class QAbstractItemModel;

namespace Bench {

class PlanSession : public QObject
{
    Q_OBJECT

public:
    explicit PlanSession(QObject *parent = nullptr);

    PlanTable *table() const { return m_table; }

    // Reads a plan file; its log is PLAN.log.csv beside it. False with the
    // reason where it cannot be read at all.
    bool load(const QString &fileName, QString *error);
    QString logFile() const { return m_logFile; }
    // Another log: the rows shown done are forgotten until recordText() reads it.
    void setLogFile(const QString &fileName);
    static QString defaultLogFile(const QString &planFile);
    // Writes the cells to the plan's file; false with the reason.
    bool save(QString *error) { return m_table->save(m_table->fileName(), error); }
    // Writes them to fileName, which becomes the plan's, its log beside it.
    bool saveAs(const QString &fileName, QString *error);

    void setChecks(bool allowDuplicates, bool allowOddAddresses);

    // "Record: ...": the log, and what it holds of the plan; markRows: the
    // rows it has as ok are shown done, with what their devices read back.
    QString recordText(bool running, bool markRows = true) const;
    // At Start: the outcomes shown are those the log has as ok, of plan.
    void showEarlierOk(const Batch::Plan &plan) const;

    // Over cells of the table, each column's first cell into those below it;
    // the cells filled.
    int fillDown(const QModelIndexList &cells) const;
    // The next cell of shown after current (the first where none) whose text
    // holds wanted; invalid where none does.
    static QModelIndex findNext(const QAbstractItemModel *shown, const QModelIndex &current, const QString &wanted);

private:
    PlanTable *m_table = nullptr;
    QString m_logFile;
};

} // namespace Bench
