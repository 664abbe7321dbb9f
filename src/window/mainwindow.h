#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QSerialPort>

#include <initializer_list>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QTimer;
class QValidator;
class WireTrace;

// The pending-command code: which command's reply is awaited (0: none).
extern int status;
// Presses of OPEN; odd after a press that opens, even after one that closes.
extern int xx;

// The names of this window's members, slots and globals (Open, Locat_ip_Fun,
// Return_temp, status, xx and the rest) are its established names: its
// widgets' object names, which tests and accessibility tools find them by,
// are these. They are kept exactly as they are, spelling included: do not
// "fix" them.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    QPushButton *Open = nullptr;
    QTimer *testTimer = nullptr;
    QByteArray Return_temp;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    short shortout(char *str);
    void decision_Fun();
    char RCR_Fun(char *array, int Start, int Stop);

    // Frames written and replies read are logged here when set (--trace).
    void setWireTrace(WireTrace *trace) { m_trace = trace; }

public slots:
    void OpenCom();

private slots:
    void readMyCom();
    void Config_all_Fun();
    void master_Fun();
    void Locat_ip_Fun();
    void Sever_ip_Fun();
    void MAC_addr_Fun();
    void Port_Fun();
    void Distance_time_T1_Fun();
    void SN_Fun();
    void Mask_Fun();
    void Reset_Fun();
    void Drive_Addr_Fun();
    void READ_Fun();

private:
    QGroupBox *createFirstExclusiveGroup();
    QGroupBox *createPushButtonGroup();
    QGroupBox *createSecondExclusiveGroup();

    // Widget construction: objectName is the member name.
    QPushButton *commandButton(const char *name, const QString &text, void (MainWindow::*slot)());
    QLineEdit *field(const char *name, const char *text, QSize size, QValidator *rule);

    // Port life cycle.
    void openPort();
    void closePort();
    void showPortClosed();
    void onPortError(QSerialPort::SerialPortError error);
    void setCommandButtonsEnabled(bool enabled);
    void refreshPortToolTips();
    void showMessage(const QString &text);

    // Frames: payloads from field texts, and the one write of a frame.
    QByteArray fieldBytes(std::initializer_list<QLineEdit *> fields,
                          quint8 (*convert)(const QString &)) const;
    QByteArray decimalBytes(std::initializer_list<QLineEdit *> fields) const;
    QByteArray hexBytes(std::initializer_list<QLineEdit *> fields) const;
    quint16 fieldNumber(QLineEdit *field);
    void sendFrame(const QByteArray &frame);

    std::unique_ptr<QSerialPort> myCom;
    QLabel *picture = nullptr;
    QPushButton *JPEG = nullptr;
    QPushButton *master = nullptr;
    QPushButton *Locat_ip = nullptr;
    QPushButton *Mask = nullptr;
    QPushButton *Sever_ip = nullptr;
    QPushButton *MAC_addr = nullptr;
    QPushButton *Port = nullptr;
    QPushButton *Distance_time_T1 = nullptr;
    QPushButton *Distance_time_T2 = nullptr;
    QPushButton *SN = nullptr;
    QPushButton *Drive_Addr = nullptr;
    QPushButton *READ = nullptr;
    QPushButton *Mode = nullptr;
    QPushButton *Reset = nullptr;
    QPushButton *Config_all = nullptr;
    QLineEdit *master_Edit_0 = nullptr;
    QLineEdit *master_Edit_1 = nullptr;
    QLineEdit *master_Edit_2 = nullptr;
    QLineEdit *master_Edit_3 = nullptr;
    QLineEdit *Locat_ip_Edit_0 = nullptr;
    QLineEdit *Locat_ip_Edit_1 = nullptr;
    QLineEdit *Locat_ip_Edit_2 = nullptr;
    QLineEdit *Locat_ip_Edit_3 = nullptr;
    QLineEdit *Mask_Edit_0 = nullptr;
    QLineEdit *Mask_Edit_1 = nullptr;
    QLineEdit *Mask_Edit_2 = nullptr;
    QLineEdit *Mask_Edit_3 = nullptr;
    QLineEdit *Sever_ip_Edit_0 = nullptr;
    QLineEdit *Sever_ip_Edit_1 = nullptr;
    QLineEdit *Sever_ip_Edit_2 = nullptr;
    QLineEdit *Sever_ip_Edit_3 = nullptr;
    QLineEdit *MAC_addr_Edit_0 = nullptr;
    QLineEdit *MAC_addr_Edit_1 = nullptr;
    QLineEdit *MAC_addr_Edit_2 = nullptr;
    QLineEdit *MAC_addr_Edit_3 = nullptr;
    QLineEdit *MAC_addr_Edit_4 = nullptr;
    QLineEdit *MAC_addr_Edit_5 = nullptr;
    QLineEdit *Port_Edit = nullptr;
    QLineEdit *Distance_time_T1_Edit = nullptr;
    // Never placed in the window: no control sends the exciter address.
    std::unique_ptr<QLineEdit> Drive_Edit_Addr;
    QLineEdit *SN_Edit = nullptr;
    QLineEdit *Mode_Edit = nullptr;
    QTextEdit *READ_Edit = nullptr;
    QLabel *Com = nullptr;
    QLabel *fp = nullptr;
    QLabel *Status = nullptr;
    QTimer *readTimer = nullptr;
    QStatusBar *Status_temp = nullptr;
    QComboBox *ComBox = nullptr;
    QComboBox *fpBox = nullptr;

    WireTrace *m_trace = nullptr;
};
