#include "qrcode.h"

#include <QPainter>
#include <QPainterPath>

#include <qrencode.h>

#include <memory>

namespace Bench {

QrCode QrCode::encode(const QString &text)
{
    QrCode code;
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, void (*)(QRcode *)> encoded(QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_Q),
                                                              QRcode_free);
    if (!encoded)
        return code;
    code.m_size = encoded->width;
    code.m_dark.resize(size_t(code.m_size) * size_t(code.m_size));
    for (size_t i = 0; i < code.m_dark.size(); ++i)
        code.m_dark[i] = encoded->data[i] & 1;  // bit 0: dark
    return code;
}

void QrCode::paint(QPainter &painter, const QRectF &square) const
{
    if (isNull())
        return;
    const qreal module = std::min(square.width(), square.height()) / (m_size + 2 * QuietModules);
    const QPointF origin = square.topLeft() + QPointF(QuietModules * module, QuietModules * module);
    // One path of the dark runs of each row: squares that touch leave no seam between them.
    QPainterPath dark;
    dark.setFillRule(Qt::WindingFill);
    for (int y = 0; y < m_size; ++y) {
        for (int x = 0; x < m_size;) {
            if (!this->dark(x, y)) {
                ++x;
                continue;
            }
            int end = x;
            while (end < m_size && this->dark(end, y))
                ++end;
            dark.addRect(QRectF(origin.x() + x * module, origin.y() + y * module, (end - x) * module, module));
            x = end;
        }
    }
    painter.fillRect(QRectF(square.topLeft(), QSizeF(module, module) * (m_size + 2 * QuietModules)), Qt::white);
    painter.fillPath(dark, Qt::black);
}

} // namespace Bench
