// A lane's --trace caught for the line monitor: WireTrace writes its lines
// into this device, which hands each one on whole, with the lane's port.
#pragma once

#include "link/wiretrace.h"

#include <QIODevice>

#include <memory>

namespace Bench {

class LineTap : public QIODevice
{
    Q_OBJECT

public:
    explicit LineTap(const QString &port, QObject *parent = nullptr);
    ~LineTap() override;

    const QString &port() const { return m_port; }
    WireTrace *trace() const { return m_trace.get(); }

signals:
    // "12.3 TX aa 05 0c ...", without its line end.
    void line(const QString &port, const QByteArray &line);

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    QString m_port;
    QByteArray m_partial;
    std::unique_ptr<WireTrace> m_trace;
};

} // namespace Bench
