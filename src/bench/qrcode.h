// A QR code of a text (libqrencode, error correction level Q, for labels that get scratched; the text as
// UTF-8 bytes), painted as dark squares with the quiet zone of four modules
// that readers need around it.
#pragma once

#include <QString>

#include <vector>

class QPainter;
class QRectF;

namespace Bench {

class QrCode
{
public:
    static constexpr int QuietModules = 4;

    // Null where the text is too long for any QR code.
    static QrCode encode(const QString &text);

    bool isNull() const { return m_size == 0; }
    // Modules a side, without the quiet zone.
    int size() const { return m_size; }
    bool dark(int x, int y) const { return m_dark[size_t(y * m_size + x)]; }
    // Into the square's top-left corner, the quiet zone included, as large as fits.
    void paint(QPainter &painter, const QRectF &square) const;

private:
    int m_size = 0;
    std::vector<bool> m_dark;
};

} // namespace Bench
