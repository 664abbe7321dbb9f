// The plan as the bench shows it: a row per device, a column per key of the
// file, then Result and Device holds. The cells are the file's texts, so a
// plan with errors is shown too; every edit is checked at once by the same
// readPlan() velmora-cli batch uses, and each error is put on its cell with
// the text batch prints for it.
//
// A line of a shared record is shown as the record holds it, checked when
// it was loaded and never edited, with a Station column between Result and
// Device holds: the station that has, or did, each row.
#pragma once

#include "batch/logrecords.h"
#include "batch/plan.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <optional>
#include <vector>

namespace Line {
struct RowState;
}

namespace Bench {

// One error of the plan, where it lies in the table.
struct PlanProblem
{
    static constexpr int Header = -1;   // row: the line that names the columns
    static constexpr int NoPlace = -2;  // row: the file as a whole
    int row = NoPlace;                  // counted from 0, as the table's rows
    int column = -1;
    QString text;   // "plan.csv:3:5: lip=...", as velmora-cli batch prints it
    QString shown;  // "row 2, lip: lip=...": numbered as the table shows its rows
};

// What became of a row, in this run or an earlier one.
struct RowOutcome
{
    std::optional<Batch::Result> result;
    bool earlier = false;  // ok in the log before this run
    QString busyOn;        // the port it is being written on now
    bool claimed = false;  // a line's row: busyOn holds it, nothing is written yet
    QString station;       // a line's row: the station that has it, or did it
    QString port;
    QString detail;
    QList<Batch::LogValue> held;  // all ten values the device read back; empty where none came
    qint64 ms = 0;
    QDateTime time;
};

class PlanTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        SortRole = Qt::UserRole + 1,  // the Result column sorts by result, the others as text
        FailedRole,                   // true for mismatch, refused, no answer
    };

    explicit PlanTable(QObject *parent = nullptr);

    // Reads a plan file; false with the reason if it cannot be read at all.
    bool load(const QString &fileName, QString *error);
    // A plan's CSV text, as if read from fileName (New plan, tests).
    void setText(const QByteArray &bytes, const QString &fileName);
    // A line's plan, loaded from planFile: shown as it is, no row done yet.
    void setLine(const Batch::Plan &plan, const QString &planFile);
    bool isLine() const { return m_isLine; }
    // What the record holds for a row of the line.
    void setLineRow(const Line::RowState &row);
    // Writes the cells as the CSV batch reads; the file name becomes fileName.
    bool save(const QString &fileName, QString *error);
    QString fileName() const { return m_fileName; }
    bool isModified() const { return m_modified; }
    // The cells as CSV: the file as read, or as the edits made it.
    QByteArray csv() const;

    void setChecks(const Batch::PlanChecks &checks);
    const QList<PlanProblem> &problems() const { return m_problems; }
    // No problems: plan() is the plan batch would run.
    bool isValid() const { return m_problems.isEmpty() && !m_header.isEmpty(); }
    const Batch::Plan &plan() const { return m_plan; }
    // The table row of a plan row (counted from 1), and back; -1 for none.
    int tableRow(int planRow) const;
    int planRow(int tableRow) const;
    // Where a table row starts in the file as read, counted from 1.
    int fileLine(int tableRow) const;

    int keyColumns() const { return int(m_header.size()); }
    int resultColumn() const { return keyColumns(); }
    int stationColumn() const { return m_isLine ? keyColumns() + 1 : -1; }
    int holdsColumn() const { return keyColumns() + (m_isLine ? 2 : 1); }
    // Cells cannot be edited during a run, nor those of rows done already,
    // nor a line's.
    void setEditable(bool editable) { m_editable = editable; }

    // The results of a run, as the log and the engine tell them.
    void clearOutcomes();
    // The rows a log has as ok: done in an earlier run, with what their devices read back.
    void markEarlierOk(const QList<Batch::LogRecord> &rows);
    void setBusy(int planRow, const QString &port);
    void setOutcome(const Batch::Attempt &attempt);
    const RowOutcome &outcome(int planRow) const;
    // Tells the views now of the outcomes changed since the last time.
    void flushChanges() { emitChangedRows(); }
    // Each text of column, for the rows (of the table) after the first,
    // set to the first row's: one check for them all. False where a cell cannot be edited.
    bool fillDown(int column, const QList<int> &rows);

    using Counts = Batch::ResultCounts;
    // Over the plan's rows; an ok of an earlier run counts as ok.
    Counts counts() const;
    // A line's rows done ok by station.
    int okBy(const QString &station) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

signals:
    // After every check: the problems and isValid() may have changed.
    void checked();
    // The outcomes the views show changed: counts() is what they show.
    void outcomesShown();

private:
    void check();
    void placeProblems(const QByteArray &bytes, const QStringList &errors);
    QVariant cellData(int row, int column, int role) const;
    QVariant resultData(int row, int role) const;
    QVariant holdsData(int row, int role) const;
    void empty(const QString &fileName, bool isLine);
    void setPlanRows();
    QByteArray cellsCsv() const;
    void rowChanged(int planRow);
    void setCell(int row, int column, const QString &text);
    // After cells were set: the problems again, and the views told.
    void checkEdited();
    void emitChangedRows();

    QString m_fileName;
    QByteArray m_original;  // the file as read, checked as it is until edited
    bool m_modified = false;
    bool m_editable = true;
    bool m_isLine = false;
    Batch::PlanChecks m_checks;

    QStringList m_header;
    std::vector<QStringList> m_rows;
    std::vector<int> m_fileLines;  // by table row

    Batch::Plan m_plan;
    std::vector<int> m_planToTable;  // by plan row - 1
    std::vector<int> m_tableToPlan;  // by table row; 0 for a blank row
    QList<PlanProblem> m_problems;
    QHash<quint64, int> m_problemAt;  // row << 32 | column -> index in m_problems
    std::vector<RowOutcome> m_outcomes;  // by table row
    // Rows whose outcome changed, told to the views a few times a second:
    // sixteen lanes must not make the table repaint at every frame.
    QTimer m_changedTimer;
    int m_firstChanged = -1;
    int m_lastChanged = -1;
};

// "ok", "mismatch", "refused", "no answer", "skipped", as the summary says them.
QString resultText(Batch::Result result);

} // namespace Bench
