#include "plansession.h"

#include "batch/batchlog.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <map>

namespace Bench {

PlanSession::PlanSession(QObject *parent) : QObject(parent)
{
    m_table = new PlanTable(this);
    m_table->setObjectName(QStringLiteral("planTable"));
}

QString PlanSession::defaultLogFile(const QString &planFile)
{
    const QFileInfo plan(planFile);
    return plan.dir().filePath(plan.completeBaseName() + QStringLiteral(".log.csv"));
}

bool PlanSession::load(const QString &fileName, QString *error)
{
    if (!m_table->load(fileName, error))
        return false;
    m_logFile = defaultLogFile(fileName);
    return true;
}

void PlanSession::setLogFile(const QString &fileName)
{
    m_logFile = fileName;
    m_table->clearOutcomes();
}

bool PlanSession::saveAs(const QString &fileName, QString *error)
{
    if (!m_table->save(fileName, error))
        return false;
    m_logFile = defaultLogFile(fileName);
    return true;
}

void PlanSession::setChecks(bool allowDuplicates, bool allowOddAddresses)
{
    Batch::PlanChecks checks;
    checks.allowDuplicates = allowDuplicates;
    checks.allowOddAddresses = allowOddAddresses;
    m_table->setChecks(checks);
}

// A plan whose log exists resumes it: the rows it has as ok are shown
// done, with what their devices read back.
QString PlanSession::recordText(bool running, bool markRows) const
{
    QString text = tr("Record: %1").arg(QDir::toNativeSeparators(m_logFile));
    if (running)
        return text + tr(" - this run writes to it");
    if (!QFileInfo::exists(m_logFile))
        return text + tr(" (new)");
    if (!m_table->isValid())
        return text;
    Batch::BatchLog log(m_table->plan());
    QStringList errors;
    QStringList warnings;
    QList<Batch::LogRecord> lines;
    QString error;
    if (!log.open(m_logFile, &errors, &warnings)) {
        text += QLatin1String(" - ") + errors.join(QLatin1Char('\n'));
    } else if (!Batch::readLogFile(m_logFile, &lines, &error)) {
        text += QLatin1String(" - ") + error;
    } else {
        if (markRows)
            m_table->markEarlierOk(Batch::rowOutcomes(m_table->plan(), lines));
        const int ok = int(log.okRows().size());
        const int rows = m_table->plan().size();
        if (ok == rows)
            text += tr(" - all %1 rows ok in it: nothing left to provision").arg(rows);
        else if (ok == 0)
            text += tr(" - no row ok in it yet: Start provisions every row");
        else
            text += tr(" - %1 of %2 rows ok in it: Start resumes, they are not provisioned again").arg(ok).arg(rows);
    }
    if (!warnings.isEmpty())
        text += QLatin1Char('\n') + warnings.join(QLatin1Char('\n'));
    return text;
}

void PlanSession::showEarlierOk(const Batch::Plan &plan) const
{
    m_table->clearOutcomes();
    QList<Batch::LogRecord> earlier;
    QString error;
    if (Batch::readLogFile(m_logFile, &earlier, &error))
        m_table->markEarlierOk(Batch::rowOutcomes(plan, earlier));
}

int PlanSession::fillDown(const QModelIndexList &cells) const
{
    std::map<int, QList<int>> rowsByColumn;
    for (const QModelIndex &cell : cells) {
        if (cell.column() < m_table->keyColumns())
            rowsByColumn[cell.column()] << cell.row();
    }
    int filled = 0;
    for (auto &[column, rows] : rowsByColumn) {
        std::sort(rows.begin(), rows.end());
        if (m_table->fillDown(column, rows))
            filled += int(rows.size()) - 1;
    }
    return filled;
}

QModelIndex PlanSession::findNext(const QAbstractItemModel *shown, const QModelIndex &current, const QString &wanted)
{
    const int rows = shown->rowCount();
    const int columns = shown->columnCount();
    if (wanted.isEmpty() || rows == 0 || columns == 0)
        return QModelIndex();
    const int from = current.isValid() ? current.row() * columns + current.column() + 1 : 0;
    for (int step = 0; step < rows * columns; ++step) {
        const int at = (from + step) % (rows * columns);
        const QModelIndex cell = shown->index(at / columns, at % columns);
        if (cell.data().toString().contains(wanted, Qt::CaseInsensitive))
            return cell;
    }
    return QModelIndex();
}

} // namespace Bench
