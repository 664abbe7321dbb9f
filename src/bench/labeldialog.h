// File > Print labels: which sheet, which rows (every row done ok, or the
// selected ones of them), then a PDF or the printer.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QRadioButton;

namespace Bench {

class LabelDialog : public QDialog
{
    Q_OBJECT

public:
    enum Output { ToPdf = QDialog::Accepted + 1, ToPrinter };

    // ok: the rows done ok; selected: of them, those selected in the table.
    LabelDialog(int ok, int selected, bool canPdf, bool canPrint, QWidget *parent = nullptr);

    int format() const;
    bool selectedOnly() const;

    QComboBox *formatChoice = nullptr;
    QRadioButton *allRows = nullptr;
    QRadioButton *selectedRows = nullptr;
};

} // namespace Bench
