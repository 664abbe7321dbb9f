#include "labeldialog.h"

#include "labels.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace Bench {

LabelDialog::LabelDialog(int ok, int selected, bool canPdf, bool canPrint, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Print labels"));
    formatChoice = new QComboBox(this);
    formatChoice->setObjectName(QStringLiteral("formatChoice"));
    for (const LabelFormat &format : labelFormats())
        formatChoice->addItem(format.name);
    allRows = new QRadioButton(tr("&Every row done ok: %n label(s)", nullptr, ok), this);
    allRows->setObjectName(QStringLiteral("allRows"));
    selectedRows = new QRadioButton(tr("The se&lected rows done ok: %n label(s)", nullptr, selected), this);
    selectedRows->setObjectName(QStringLiteral("selectedRows"));
    selectedRows->setEnabled(selected > 0);
    (selected > 0 ? selectedRows : allRows)->setChecked(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    QPushButton *pdfButton = buttons->addButton(tr("Save as &PDF..."), QDialogButtonBox::AcceptRole);
    pdfButton->setObjectName(QStringLiteral("pdfButton"));
    pdfButton->setEnabled(canPdf && ok > 0);
    QPushButton *printButton = buttons->addButton(tr("P&rint..."), QDialogButtonBox::AcceptRole);
    printButton->setObjectName(QStringLiteral("printButton"));
    printButton->setEnabled(canPrint && ok > 0);
    connect(pdfButton, &QPushButton::clicked, this, [this] { done(ToPdf); });
    connect(printButton, &QPushButton::clicked, this, [this] { done(ToPrinter); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(tr("&Sheet:"), formatChoice);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(allRows);
    layout->addWidget(selectedRows);
    if (ok == 0)
        layout->addWidget(new QLabel(tr("No row is done ok yet: labels are for provisioned devices."), this));
    layout->addWidget(buttons);
}

int LabelDialog::format() const
{
    return formatChoice->currentIndex();
}

bool LabelDialog::selectedOnly() const
{
    return selectedRows->isChecked();
}

} // namespace Bench
