#include "newplandialog.h"

#include "batch/plan.h"
#include "batch/plangenerator.h"
#include "client/values.h"
#include "settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>

namespace Bench {

NewPlanDialog::NewPlanDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("New plan"));
    auto *form = new QGridLayout;
    form->addWidget(new QLabel(tr("First row"), this), 0, 1);
    form->addWidget(new QLabel(tr("Fixed"), this), 0, 2);
    QStringList keys = {QStringLiteral("id")};
    keys += Client::keyList(Client::Writer::SetAll).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &key : keys) {
        KeyRow row;
        row.key = key;
        row.value = new QLineEdit(this);
        row.value->setObjectName(key + QLatin1String("Value"));
        row.value->setAccessibleName(tr("First value of %1").arg(key));
        row.fixed = new QCheckBox(this);
        row.fixed->setObjectName(key + QLatin1String("Fixed"));
        row.fixed->setAccessibleName(tr("%1 the same in every row").arg(key));
        auto *label = new QLabel(key, this);
        label->setBuddy(row.value);
        const int line = form->rowCount();
        form->addWidget(label, line, 0);
        form->addWidget(row.value, line, 1);
        form->addWidget(row.fixed, line, 2);
        connect(row.value, &QLineEdit::textChanged, this, &NewPlanDialog::updatePreview);
        connect(row.fixed, &QCheckBox::toggled, this, &NewPlanDialog::updatePreview);
        m_keys.push_back(row);
    }
    rowCount = new QSpinBox(this);
    rowCount->setObjectName(QStringLiteral("rowCount"));
    rowCount->setRange(1, Batch::MaxGeneratedRows);
    rowCount->setValue(10);
    rowCount->setAccessibleName(tr("Rows"));
    auto *countLabel = new QLabel(tr("&Rows"), this);
    countLabel->setBuddy(rowCount);
    form->addWidget(countLabel, form->rowCount(), 0);
    form->addWidget(rowCount, form->rowCount() - 1, 1);
    connect(rowCount, &QSpinBox::valueChanged, this, &NewPlanDialog::updatePreview);

    preview = new QPlainTextEdit(this);
    preview->setObjectName(QStringLiteral("preview"));
    preview->setAccessibleName(tr("Preview of the plan"));
    preview->setReadOnly(true);
    preview->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    preview->setMinimumWidth(420);
    planError = new QLabel(this);
    planError->setObjectName(QStringLiteral("planError"));
    planError->setWordWrap(true);
    planError->setStyleSheet(QStringLiteral("color: #b00000"));
    buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &NewPlanDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *sides = new QHBoxLayout;
    sides->addLayout(form);
    sides->addWidget(preview, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(sides, 1);
    layout->addWidget(planError);
    layout->addWidget(buttons);
    restoreLastValues();
    updatePreview();
}

// The values of the plan saved last, or a first example.
void NewPlanDialog::restoreLastValues()
{
    const QSettings stored = settings();
    if (!stored.contains(QStringLiteral("newPlan/rows"))) {
        setValue(QStringLiteral("id"), QStringLiteral("A-01"));
        setValue(QStringLiteral("lip"), QStringLiteral("192.168.0.101"));
        setValue(QStringLiteral("mask"), QStringLiteral("255.255.255.0"), true);
        setValue(QStringLiteral("gateway"), QStringLiteral("192.168.0.1"), true);
        return;
    }
    for (const KeyRow &row : m_keys) {
        row.value->setText(stored.value(QStringLiteral("newPlan/%1").arg(row.key)).toString());
        row.fixed->setChecked(stored.value(QStringLiteral("newPlan/%1Fixed").arg(row.key)).toBool());
    }
    rowCount->setValue(stored.value(QStringLiteral("newPlan/rows")).toInt());
}

void NewPlanDialog::saveLastValues() const
{
    QSettings stored = settings();
    for (const KeyRow &row : m_keys) {
        stored.setValue(QStringLiteral("newPlan/%1").arg(row.key), row.value->text());
        stored.setValue(QStringLiteral("newPlan/%1Fixed").arg(row.key), row.fixed->isChecked());
    }
    stored.setValue(QStringLiteral("newPlan/rows"), rowCount->value());
}

void NewPlanDialog::setValue(const QString &key, const QString &value, bool fixed)
{
    for (const KeyRow &row : m_keys) {
        if (row.key == key) {
            row.value->setText(value);
            row.fixed->setChecked(fixed);
        }
    }
}

QStringList NewPlanDialog::assignments() const
{
    QStringList assignments;
    for (const KeyRow &row : m_keys) {
        if (!row.value->text().trimmed().isEmpty())
            assignments << row.key + QLatin1Char('=') + row.value->text().trimmed();
    }
    return assignments;
}

QStringList NewPlanDialog::fixedKeys() const
{
    QStringList fixed;
    for (const KeyRow &row : m_keys) {
        if (row.fixed->isChecked() && !row.value->text().trimmed().isEmpty())
            fixed << row.key;
    }
    return fixed;
}

bool NewPlanDialog::plan(QString *csv, QString *error) const
{
    return generated(rowCount->value(), csv, error);
}

// The rows, checked as velmora-cli batch checks a plan: a gateway outside
// the subnet or an address that is the subnet's own is refused here already.
bool NewPlanDialog::generated(int rows, QString *csv, QString *error) const
{
    if (!Batch::generatePlan(assignments(), fixedKeys(), rows, csv, error))
        return false;
    Batch::Plan checked;
    QStringList errors;
    if (Batch::readPlan(csv->toUtf8(), QStringLiteral("plan"), {}, &checked, &errors, 1))
        return true;
    // "plan:3:9: gateway=..." is the plan's row 2.
    static const QRegularExpression place(QStringLiteral("^plan:(\\d+):\\d+: "));
    const QRegularExpressionMatch match = place.match(errors.value(0));
    *error = match.hasMatch() ? tr("row %1: %2").arg(match.captured(1).toInt() - 1).arg(errors.value(0).mid(match.capturedLength()))
                              : errors.value(0);
    csv->clear();
    return false;
}

void NewPlanDialog::updatePreview()
{
    QString csv;
    QString error;
    // A preview of the first rows: a plan may have many thousands.
    const bool ok = generated(std::min(rowCount->value(), PreviewRows), &csv, &error);
    preview->setPlainText(ok ? csv : QString());
    if (ok && rowCount->value() > PreviewRows)
        preview->appendPlainText(tr("... %1 rows in all").arg(rowCount->value()));
    planError->setText(error);
    buttons->button(QDialogButtonBox::Save)->setEnabled(ok);
}

bool NewPlanDialog::saveTo(const QString &fileName, QString *error) const
{
    QString csv;
    if (!plan(&csv, error))
        return false;
    QSaveFile file(fileName);
    const QByteArray bytes = csv.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = tr("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

void NewPlanDialog::save()
{
    QString csv;
    QString error;
    if (!plan(&csv, &error)) {  // the rows past the preview too
        planError->setText(error);
        return;
    }
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Save the plan as"), QStringLiteral("plan.csv"),
                                                        tr("Plans (*.csv);;All files (*)"));
    if (chosen.isEmpty())
        return;
    if (!saveTo(chosen, &error)) {
        planError->setText(error);
        return;
    }
    saveLastValues();
    m_saved = chosen;
    accept();
}

} // namespace Bench
