#include "plantable.h"

#include "batch/csv.h"
#include "client/profile.h"
#include "line/linewatcher.h"
#include "link/phrases.h"

#include <QBrush>
#include <QCoreApplication>
#include <QColor>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace Bench {

namespace {

const QColor ProblemColour(255, 150, 150);
const QColor OkColour(190, 235, 190);
const QColor FailedColour(245, 185, 185);
const QColor MismatchColour(255, 220, 150);
const QColor SkippedColour(225, 225, 225);
const QColor BusyColour(200, 220, 250);

bool isBlank(const QStringList &cells)
{
    return std::all_of(cells.begin(), cells.end(), [](const QString &cell) { return cell.trimmed().isEmpty(); });
}

bool isBlank(const Batch::CsvRecord &record)
{
    return std::all_of(record.fields.begin(), record.fields.end(),
                       [](const Batch::CsvField &field) { return field.text.trimmed().isEmpty(); });
}

quint64 placeKey(int row, int column)
{
    return quint64(quint32(row)) << 32 | quint32(column);
}

bool failed(Batch::Result result)
{
    return result == Batch::Result::Mismatch || result == Batch::Result::Refused || result == Batch::Result::NoAnswer;
}

// batch's message with the row numbered as the table numbers it: "row 2, sn: sn=300: ...".
QString shownProblem(const PlanProblem &problem, int planRow, const QString &column, const QString &message)
{
    if (problem.row == PlanProblem::Header)
        return QCoreApplication::translate("Bench::PlanTable", "header, column %1: %2").arg(column, message);
    if (problem.row < 0)
        return message;
    return column.isEmpty() ? QCoreApplication::translate("Bench::PlanTable", "row %1: %2").arg(planRow).arg(message)
                            : QCoreApplication::translate("Bench::PlanTable", "row %1, %2: %3").arg(planRow).arg(column, message);
}

} // namespace

QString resultText(Batch::Result result)
{
    // The log's names, for people: "no-answer" is the log's, not a word.
    switch (result) {
    case Batch::Result::Ok:
        return QCoreApplication::translate("Bench::PlanTable", "ok");
    case Batch::Result::Mismatch:
        return QCoreApplication::translate("Bench::PlanTable", "mismatch");
    case Batch::Result::Refused:
        return QCoreApplication::translate("Bench::PlanTable", "refused");
    case Batch::Result::NoAnswer:
        return QCoreApplication::translate("Bench::PlanTable", "no answer");
    case Batch::Result::Skipped:
        return QCoreApplication::translate("Bench::PlanTable", "skipped");
    case Batch::Result::Writing:
        return QCoreApplication::translate("Bench::PlanTable", "writing");
    }
    return Batch::resultName(result);
}

PlanTable::PlanTable(QObject *parent) : QAbstractTableModel(parent)
{
    m_changedTimer.setSingleShot(true);
    m_changedTimer.setInterval(100);
    connect(&m_changedTimer, &QTimer::timeout, this, &PlanTable::emitChangedRows);
}

bool PlanTable::load(const QString &fileName, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    setText(file.readAll(), fileName);
    return true;
}

// No row, no column, no change waiting to be shown: ready for a plan of fileName.
void PlanTable::empty(const QString &fileName, bool isLine)
{
    m_changedTimer.stop();
    m_firstChanged = m_lastChanged = -1;
    m_isLine = isLine;
    m_fileName = fileName;
    m_modified = false;
    m_header.clear();
    m_rows.clear();
    m_fileLines.clear();
}

void PlanTable::setText(const QByteArray &bytes, const QString &fileName)
{
    beginResetModel();
    empty(fileName, false);
    m_original = bytes;
    const Batch::CsvTable table = Batch::readCsv(bytes);
    for (const Batch::CsvRecord &record : table.records) {
        if (isBlank(record))
            continue;
        QStringList cells;
        for (const Batch::CsvField &field : record.fields)
            cells << field.text;
        if (m_header.isEmpty()) {
            for (QString &cell : cells)
                cell = cell.trimmed();
            m_header = cells;
        } else {
            m_rows.push_back(cells);
            m_fileLines.push_back(record.line);
        }
    }
    m_outcomes.assign(m_rows.size(), {});
    check();
    endResetModel();
}

void PlanTable::setLine(const Batch::Plan &plan, const QString &planFile)
{
    beginResetModel();
    empty(planFile, true);
    const bool ids = std::any_of(plan.rows.begin(), plan.rows.end(), [](const Batch::PlanRow &row) { return !row.id.isEmpty(); });
    if (ids)
        m_header << QStringLiteral("id");
    for (const Protocol::BlockField *field : plan.fields)
        m_header << QLatin1String(field->key);
    for (const Batch::PlanRow &row : plan.rows) {
        QStringList cells;
        if (ids)
            cells << row.id;
        for (const Protocol::BlockField *field : plan.fields)
            cells << Client::valueText(*field, row.values.find(field)->bytes);
        m_rows.push_back(cells);
        m_fileLines.push_back(row.line);
    }
    m_original = cellsCsv();
    m_plan = plan;
    m_problems.clear();
    m_problemAt.clear();
    setPlanRows();
    m_outcomes.assign(m_rows.size(), {});
    emit checked();
    endResetModel();
}

QByteArray PlanTable::csv() const
{
    return m_modified ? cellsCsv() : m_original;
}

QByteArray PlanTable::cellsCsv() const
{
    QString text;
    const auto appendLine = [&text](const QStringList &cells) {
        QStringList fields;
        for (const QString &cell : cells)
            fields << Batch::csvField(cell);
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    };
    appendLine(m_header);
    for (const QStringList &row : m_rows)
        appendLine(row);
    return text.toUtf8();
}

bool PlanTable::save(const QString &fileName, QString *error)
{
    if (m_isLine) {
        *error = tr("a line's plan is the record's: it was checked and loaded with velmora-cli line load");
        return false;
    }
    QSaveFile file(fileName);
    const QByteArray bytes = csv();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = tr("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    const bool renamed = fileName != m_fileName;
    m_fileName = fileName;
    m_original = bytes;
    m_modified = false;
    if (renamed)
        check();  // the messages name the file
    return true;
}

void PlanTable::setChecks(const Batch::PlanChecks &checks)
{
    m_checks = checks;
    if (m_isLine)
        return;  // checked when it was loaded
    check();
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, keyColumns() - 1));
}

void PlanTable::check()
{
    const QByteArray bytes = csv();
    QStringList errors;
    m_plan = {};
    m_problems.clear();
    m_problemAt.clear();
    if (!Batch::readPlan(bytes, m_fileName, m_checks, &m_plan, &errors, std::numeric_limits<int>::max()))
        m_plan = {};
    setPlanRows();
    if (!errors.isEmpty())
        placeProblems(bytes, errors);
    emit checked();
}

// The plan's rows are the table's rows that are not blank, in order.
void PlanTable::setPlanRows()
{
    m_planToTable.clear();
    m_tableToPlan.assign(m_rows.size(), 0);
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (isBlank(m_rows[row]))
            continue;
        m_planToTable.push_back(int(row));
        m_tableToPlan[row] = int(m_planToTable.size());
    }
}

void PlanTable::placeProblems(const QByteArray &bytes, const QStringList &errors)
{
    // Where each record of the text lies: the header, then the table's rows
    // that are not blank, in order, as readPlan counts them.
    const Batch::CsvTable table = Batch::readCsv(bytes);
    std::vector<const Batch::CsvRecord *> records;
    for (const Batch::CsvRecord &record : table.records) {
        if (!isBlank(record))
            records.push_back(&record);
    }
    static const QRegularExpression place(QStringLiteral("^(\\d+):(\\d+): "));
    const QString prefix = m_fileName + QLatin1Char(':');
    for (const QString &error : errors) {
        PlanProblem problem;
        problem.text = error;
        const auto match = error.startsWith(prefix) ? place.match(error.mid(prefix.size())) : QRegularExpressionMatch();
        QString message = error.startsWith(prefix) ? error.mid(prefix.size()).trimmed() : error;
        if (match.hasMatch())
            message = error.mid(prefix.size() + match.capturedLength());
        if (match.hasMatch() && !records.empty()) {
            const int line = match.captured(1).toInt();
            const int column = match.captured(2).toInt();
            auto after = std::upper_bound(records.begin(), records.end(), line,
                                          [](int l, const Batch::CsvRecord *record) { return l < record->line; });
            const size_t r = after == records.begin() ? 0 : size_t(after - records.begin() - 1);
            const Batch::CsvRecord &record = *records[r];
            // Past the last record read: the text stopped being CSV there.
            const bool past = !record.fields.empty() && line > record.fields.back().line && r + 1 == records.size()
                              && !table.error.isEmpty();
            int field = 0;
            for (size_t f = 0; f < record.fields.size(); ++f) {
                const Batch::CsvField &cell = record.fields[f];
                if (cell.line < line || (cell.line == line && cell.column <= column))
                    field = int(f);
            }
            problem.column = std::clamp(field, 0, std::max(0, keyColumns() - 1));
            if (past)
                problem.column = -1;
            else if (r == 0)
                problem.row = PlanProblem::Header;
            else if (r - 1 < m_planToTable.size())
                problem.row = m_planToTable[r - 1];
        }
        if (problem.row >= 0 || problem.row == PlanProblem::Header)
            m_problemAt.insert(placeKey(problem.row, problem.column), int(m_problems.size()));
        const int number = problem.row >= 0 && planRow(problem.row) > 0 ? planRow(problem.row) : problem.row + 1;
        problem.shown = shownProblem(problem, number, problem.column >= 0 ? m_header.value(problem.column) : QString(),
                                     message);
        m_problems << problem;
    }
}

int PlanTable::tableRow(int planRow) const
{
    return planRow >= 1 && planRow <= int(m_planToTable.size()) ? m_planToTable[size_t(planRow - 1)] : -1;
}

int PlanTable::planRow(int tableRow) const
{
    return tableRow >= 0 && tableRow < int(m_tableToPlan.size()) ? m_tableToPlan[size_t(tableRow)] : 0;
}

int PlanTable::fileLine(int tableRow) const
{
    return tableRow >= 0 && tableRow < int(m_fileLines.size()) ? m_fileLines[size_t(tableRow)] : 0;
}

void PlanTable::clearOutcomes()
{
    m_outcomes.assign(m_rows.size(), {});
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void PlanTable::markEarlierOk(const QList<Batch::LogRecord> &rows)
{
    for (const Batch::LogRecord &record : rows) {
        const int row = tableRow(record.row);
        if (row < 0 || record.result != Batch::Result::Ok)
            continue;
        RowOutcome &outcome = m_outcomes[size_t(row)];
        outcome = {};
        outcome.result = Batch::Result::Ok;
        outcome.earlier = true;
        outcome.port = record.port;
        outcome.held = record.readBack;
        outcome.time = record.time.toLocalTime();
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void PlanTable::setBusy(int planRow, const QString &port)
{
    const int row = tableRow(planRow);
    if (row < 0)
        return;
    m_outcomes[size_t(row)].busyOn = port;
    rowChanged(planRow);
}

void PlanTable::setOutcome(const Batch::Attempt &attempt)
{
    const int row = tableRow(attempt.row);
    if (row < 0)
        return;
    RowOutcome &outcome = m_outcomes[size_t(row)];
    outcome = {};
    outcome.result = attempt.result;
    outcome.port = attempt.port;
    outcome.detail = attempt.detail;
    if (attempt.readBack)
        outcome.held = Batch::readBackValues(*attempt.readBack);
    outcome.ms = attempt.ms;
    outcome.time = QDateTime::currentDateTime();
    rowChanged(attempt.row);
}

void PlanTable::setLineRow(const Line::RowState &state)
{
    const int row = tableRow(state.row);
    if (row < 0)
        return;
    RowOutcome &outcome = m_outcomes[size_t(row)];
    outcome = {};
    outcome.station = state.station;
    outcome.port = state.lane;
    outcome.time = state.time.toLocalTime();
    switch (state.state) {
    case Line::RowState::Free:
        break;
    case Line::RowState::Claimed:
    case Line::RowState::Writing:
        outcome.busyOn = state.lane;
        outcome.claimed = state.state == Line::RowState::Claimed;
        break;
    case Line::RowState::Ok:
    case Line::RowState::Failed:
        outcome.result = state.result;
        outcome.detail = state.detail;
        outcome.ms = state.ms;
        if (state.readBack)
            outcome.held = Batch::readBackValues(*state.readBack);
        break;
    }
    rowChanged(state.row);
}

const RowOutcome &PlanTable::outcome(int planRow) const
{
    static const RowOutcome none;
    const int row = tableRow(planRow);
    return row < 0 ? none : m_outcomes[size_t(row)];
}

PlanTable::Counts PlanTable::counts() const
{
    Counts counts;
    for (int row : m_planToTable)
        counts.add(m_outcomes[size_t(row)].result);
    return counts;
}

int PlanTable::okBy(const QString &station) const
{
    return int(std::count_if(m_outcomes.begin(), m_outcomes.end(), [&](const RowOutcome &outcome) {
        return outcome.result == Batch::Result::Ok && outcome.station == station;
    }));
}

void PlanTable::rowChanged(int planRow)
{
    const int row = tableRow(planRow);
    m_firstChanged = m_firstChanged < 0 ? row : std::min(m_firstChanged, row);
    m_lastChanged = std::max(m_lastChanged, row);
    if (!m_changedTimer.isActive())
        m_changedTimer.start();
}

void PlanTable::emitChangedRows()
{
    m_changedTimer.stop();
    if (m_firstChanged < 0)
        return;
    const int first = std::exchange(m_firstChanged, -1);
    const int last = std::exchange(m_lastChanged, -1);
    if (last < rowCount())
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
    emit outcomesShown();
}

int PlanTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PlanTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || m_header.isEmpty() ? 0 : holdsColumn() + 1;
}

QVariant PlanTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == FailedRole) {
        const auto &result = m_outcomes[size_t(index.row())].result;
        return result && failed(*result);
    }
    if (index.column() == resultColumn())
        return resultData(index.row(), role);
    if (index.column() == holdsColumn())
        return holdsData(index.row(), role);
    if (index.column() == stationColumn()) {
        const bool shown = role == Qt::DisplayRole || role == SortRole;
        return shown ? QVariant(m_outcomes[size_t(index.row())].station) : resultData(index.row(), role);
    }
    return cellData(index.row(), index.column(), role);
}

QVariant PlanTable::cellData(int row, int column, int role) const
{
    const auto problem = m_problemAt.find(placeKey(row, column));
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case SortRole: {
        const QStringList &cells = m_rows[size_t(row)];
        return column < cells.size() ? cells.at(column) : QString();
    }
    case Qt::ToolTipRole: {
        // The whole value too: a long one is cut short in its column.
        const QString value = m_rows[size_t(row)].value(column);
        if (problem != m_problemAt.end())
            return m_problems.at(*problem).text + QLatin1Char('\n') + value;
        return value.isEmpty() ? QVariant() : value;
    }
    case Qt::BackgroundRole:
        if (problem != m_problemAt.end())
            return QBrush(ProblemColour);
        return resultData(row, role);
    default:
        return {};
    }
}

QVariant PlanTable::resultData(int row, int role) const
{
    const RowOutcome &outcome = m_outcomes[size_t(row)];
    switch (role) {
    case Qt::DisplayRole:
        if (!outcome.busyOn.isEmpty())
            return (outcome.claimed ? tr("claimed on %1") : tr("in progress on %1")).arg(outcome.busyOn);
        if (!outcome.result)
            return QString();
        if (outcome.earlier)
            return tr("ok (earlier run)");
        return outcome.detail.isEmpty() ? resultText(*outcome.result)
                                        : QStringLiteral("%1: %2").arg(resultText(*outcome.result), Phrases::said(outcome.detail));
    case Qt::ToolTipRole:
        if (!outcome.result)
            return {};
        if (outcome.earlier)
            return tr("ok on %1 at %2, in an earlier run").arg(outcome.port, outcome.time.toString(Qt::ISODate));
        if (!outcome.station.isEmpty())
            return tr("%1 on %2 of station %3 at %4 in %5 ms%6")
                .arg(resultText(*outcome.result), outcome.port, outcome.station, outcome.time.toString(Qt::ISODate))
                .arg(outcome.ms)
                .arg(outcome.detail.isEmpty() ? QString() : QLatin1String("\n") + Phrases::said(outcome.detail));
        return tr("%1 on %2 in %3 ms%4")
            .arg(resultText(*outcome.result), outcome.port)
            .arg(outcome.ms)
            .arg(outcome.detail.isEmpty() ? QString() : QLatin1String("\n") + Phrases::said(outcome.detail));
    case SortRole: {
        // Failures first, then what is left, then what is done.
        if (!outcome.busyOn.isEmpty())
            return 4;
        if (!outcome.result)
            return 5;
        if (outcome.earlier)
            return 7;
        switch (*outcome.result) {
        case Batch::Result::NoAnswer:
            return 0;
        case Batch::Result::Refused:
            return 1;
        case Batch::Result::Mismatch:
            return 2;
        case Batch::Result::Skipped:
            return 3;
        case Batch::Result::Writing:
            return 4;
        case Batch::Result::Ok:
            break;
        }
        return 6;
    }
    case Qt::BackgroundRole:
        if (!outcome.busyOn.isEmpty())
            return QBrush(BusyColour);
        if (!outcome.result)
            return {};
        switch (*outcome.result) {
        case Batch::Result::Ok:
            return QBrush(OkColour);
        case Batch::Result::Mismatch:
            return QBrush(MismatchColour);
        case Batch::Result::Refused:
        case Batch::Result::NoAnswer:
            return QBrush(FailedColour);
        case Batch::Result::Skipped:
            return QBrush(SkippedColour);
        case Batch::Result::Writing:
            return QBrush(BusyColour);
        }
        return {};
    default:
        return {};
    }
}

QVariant PlanTable::holdsData(int row, int role) const
{
    const RowOutcome &outcome = m_outcomes[size_t(row)];
    if (role == Qt::BackgroundRole)
        return resultData(row, role);
    if (outcome.held.isEmpty() || (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != SortRole))
        return {};
    if (role == Qt::ToolTipRole) {
        QStringList lines;
        for (const Batch::LogValue &value : outcome.held)
            lines << QStringLiteral("%1 = %2").arg(value.key, value.text);
        QString text = lines.join(QLatin1Char('\n'));
        if (outcome.result == Batch::Result::Mismatch) {
            QStringList differences = outcome.detail.split(QLatin1String("; "));
            for (QString &difference : differences)
                difference = Phrases::said(difference);
            text = differences.join(QLatin1Char('\n')) + QLatin1String("\n\n") + text;
        }
        return text;
    }
    QStringList shown;
    for (const Protocol::BlockField *field : m_plan.fields)
        shown << QStringLiteral("%1=%2").arg(QLatin1String(field->key), Batch::valueOf(outcome.held, QLatin1String(field->key)));
    return shown.join(QLatin1String(", "));
}

QVariant PlanTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    // Rows are numbered as the plan's rows, which the messages and the log count.
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return planRow(section) > 0 ? QVariant(planRow(section)) : QVariant(QString());
        if (role == Qt::ToolTipRole && fileLine(section) > 0)
            return tr("line %1 of %2").arg(fileLine(section)).arg(m_fileName);
        return {};
    }
    if (role == Qt::DisplayRole) {
        if (section == resultColumn())
            return tr("Result");
        if (section == holdsColumn())
            return tr("Device holds");
        if (section == stationColumn())
            return tr("Station");
        return m_header.value(section);
    }
    const auto problem = m_problemAt.find(placeKey(PlanProblem::Header, section));
    if (problem == m_problemAt.end())
        return {};
    if (role == Qt::ToolTipRole)
        return m_problems.at(*problem).text;
    if (role == Qt::BackgroundRole)
        return QBrush(ProblemColour);
    return {};
}

Qt::ItemFlags PlanTable::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const RowOutcome &outcome = m_outcomes[size_t(index.row())];
    if (m_editable && !m_isLine && index.column() < keyColumns() && outcome.result != Batch::Result::Ok)
        flags |= Qt::ItemIsEditable;
    return flags;
}

void PlanTable::setCell(int row, int column, const QString &text)
{
    QStringList &cells = m_rows[size_t(row)];
    // An edited row fits the header: missing cells are added, extra ones go.
    while (cells.size() < keyColumns())
        cells << QString();
    cells = cells.mid(0, keyColumns());
    cells[column] = text;
    m_modified = true;
}

void PlanTable::checkEdited()
{
    check();
    emit dataChanged(this->index(0, 0), this->index(rowCount() - 1, keyColumns() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, keyColumns() - 1);
}

bool PlanTable::fillDown(int column, const QList<int> &rows)
{
    if (rows.size() < 2)
        return false;
    for (int row : rows) {
        if (!(flags(index(row, column)) & Qt::ItemIsEditable))
            return false;
    }
    const QString text = m_rows[size_t(rows.first())].value(column);
    for (int row : rows.mid(1))
        setCell(row, column, text);
    checkEdited();
    return true;
}

bool PlanTable::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QStringList &cells = m_rows[size_t(index.row())];
    const QString text = value.toString();
    if (index.column() < cells.size() && cells.at(index.column()) == text)
        return true;
    setCell(index.row(), index.column(), text);
    checkEdited();
    return true;
}


} // namespace Bench
