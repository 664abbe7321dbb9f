#include "openlinedialog.h"

#include "settings.h"

#include "line/names.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace Bench {

OpenLineDialog::OpenLineDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Open a line"));
    const QSettings stored = settings();
    recordEdit = new QLineEdit(stored.value(QStringLiteral("line/record")).toString(), this);
    recordEdit->setObjectName(QStringLiteral("recordEdit"));
    recordEdit->setPlaceholderText(QStringLiteral("postgresql://station@db.example/velmora?sslmode=verify-full"));
    recordEdit->setToolTip(tr("The shared record: a PostgreSQL address. Its password comes from ~/.pgpass, "
                              "PGPASSFILE or PGPASSWORD, never from here."));
    recordEdit->setMinimumWidth(420);
    lineEdit = new QLineEdit(stored.value(QStringLiteral("line/name")).toString(), this);
    lineEdit->setObjectName(QStringLiteral("lineEdit"));
    lineEdit->setToolTip(tr("The line, as velmora-cli line load named it"));
    stationEdit = new QLineEdit(stored.value(QStringLiteral("line/station")).toString(), this);
    stationEdit->setObjectName(QStringLiteral("stationEdit"));
    stationEdit->setPlaceholderText(Line::defaultStationName());
    stationEdit->setToolTip(tr("This bench's name among the line's stations; empty for the host name"));
    errorLabel = new QLabel(this);
    errorLabel->setObjectName(QStringLiteral("errorLabel"));
    errorLabel->setWordWrap(true);
    errorLabel->setStyleSheet(QStringLiteral("color: #b00000"));
    errorLabel->hide();
    buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &OpenLineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(tr("&Record:"), recordEdit);
    form->addRow(tr("&Line:"), lineEdit);
    form->addRow(tr("&Station:"), stationEdit);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(errorLabel);
    layout->addWidget(buttons);
}

QString OpenLineDialog::record() const
{
    return recordEdit->text().trimmed();
}

QString OpenLineDialog::line() const
{
    return lineEdit->text().trimmed();
}

std::optional<QString> OpenLineDialog::station() const
{
    const QString given = stationEdit->text().trimmed();
    return given.isEmpty() ? std::nullopt : std::optional(given);
}

void OpenLineDialog::accept()
{
    QString error;
    if (!Line::checkStationPlace(record(), line(), station(), &m_place, &error)) {
        errorLabel->setText(error);
        errorLabel->show();
        return;
    }
    QDialog::accept();
}

} // namespace Bench
