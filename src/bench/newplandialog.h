// New plan: a small form over the plan generator (velmora-cli plan). The
// first row's values, how many rows, which keys stay fixed; the rows are
// previewed as they will be written and checked as batch checks them, and
// Save writes the CSV batch reads. The values saved last come back next time.
#pragma once

#include <QDialog>

#include <vector>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace Bench {

class NewPlanDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int PreviewRows = 100;

    explicit NewPlanDialog(QWidget *parent = nullptr);

    // "id=A-01", "lip=10.0.0.1", ...: the keys with a first value.
    QStringList assignments() const;
    QStringList fixedKeys() const;
    // The whole plan as CSV; false with the reason in *error.
    bool plan(QString *csv, QString *error) const;
    // Writes the plan; false with the reason in *error.
    bool saveTo(const QString &fileName, QString *error) const;
    // Remembers the form's values for the next New plan.
    void saveLastValues() const;
    // The file saved last, for the window to open.
    QString savedFile() const { return m_saved; }

    void setValue(const QString &key, const QString &value, bool fixed = false);

    QSpinBox *rowCount = nullptr;
    QPlainTextEdit *preview = nullptr;
    QLabel *planError = nullptr;
    QDialogButtonBox *buttons = nullptr;

private:
    struct KeyRow
    {
        QString key;
        QLineEdit *value = nullptr;
        QCheckBox *fixed = nullptr;
    };

    bool generated(int rows, QString *csv, QString *error) const;
    void restoreLastValues();
    void updatePreview();
    void save();

    std::vector<KeyRow> m_keys;
    QString m_saved;
};

} // namespace Bench
