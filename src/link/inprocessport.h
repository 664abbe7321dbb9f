// A serial port with no device of the system behind it: what the program
// writes is handed to a device this program serves itself, and what that
// device sends comes back to be read after readyRead, on a later turn of the
// event loop, as from a line. It lets --simulate work where there are no
// pseudo-terminals (Windows) through the code every real port goes through.
//
// QSerialPort's own settings, clear(), handle() and error() speak to a system
// port and do not apply: the line's settings are taken before open() and
// left alone, and SerialLine::open and SerialLine::dropInput, not clear(),
// open the line and drop what it holds.
#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <functional>
#include <memory>

class InProcessPort : public QSerialPort
{
    Q_OBJECT

public:
    using Maker = std::function<std::unique_ptr<InProcessPort>()>;

    // From now on, a port made for device is what maker makes: a device
    // served in-process under that name. An empty maker withdraws it.
    static void provide(const QString &device, Maker maker);
    // The port that opens device: an in-process one if one is provided
    // under that name, else a port of the system.
    static std::unique_ptr<QSerialPort> create(const QString &device);
    // Whether a device is served in-process under that name just now.
    static bool provides(const QString &device);

    ~InProcessPort() override;

    bool open(OpenMode mode) override;
    void close() override;
    qint64 bytesAvailable() const override;
    // Nothing comes while the caller blocks: the device answers on the event loop.
    bool waitForReadyRead(int msecs = 30000) override;

protected:
    InProcessPort() = default;

    // The device takes what the program wrote, as it was written.
    virtual void deviceReceives(const QByteArray &bytes) = 0;
    // The device sends: bytes for the program to read. Call it from the
    // event loop, never from within deviceReceives.
    void deviceSends(const QByteArray &bytes);

    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    QByteArray m_incoming;  // sent by the device, not read yet
};
