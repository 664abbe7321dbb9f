// File > Open a line: where the shared record is (a libpq URI or key=value
// string, never with a password in it), the line's name, and this bench's
// name as a station of it, the host name unless another is given. Checked
// as velmora-bench --record, --line and --station are; Open does nothing
// but say why while any is wrong. The values of the line opened last come back.
#pragma once

#include "line/stationplace.h"

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace Bench {

class OpenLineDialog : public QDialog
{
    Q_OBJECT

public:
    explicit OpenLineDialog(QWidget *parent = nullptr);

    // What was given, as typed: the record's address, the line, the station
    // (empty for the host name).
    QString record() const;
    QString line() const;
    std::optional<QString> station() const;
    // Checked, once accepted.
    const Line::StationPlace &place() const { return m_place; }

    void accept() override;

    QLineEdit *recordEdit = nullptr;
    QLineEdit *lineEdit = nullptr;
    QLineEdit *stationEdit = nullptr;
    QLabel *errorLabel = nullptr;
    QDialogButtonBox *buttons = nullptr;

private:
    Line::StationPlace m_place;
};

} // namespace Bench
