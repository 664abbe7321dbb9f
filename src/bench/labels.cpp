#include "labels.h"

#include "qrcode.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QPagedPaintDevice>
#include <QPainter>

#include <cmath>

namespace Bench {

namespace {

constexpr qreal PaddingMm = 2;
// A QR code's modules are whole dots of a 300 dpi printer, and start on one,
// as label printers print: no module is a dot wider than its neighbour.
constexpr qreal PrinterDotMm = 25.4 / 300;
constexpr qreal LargestPoints = 9;
constexpr qreal SmallestPoints = 5;

QPageLayout portrait(const QPageSize &size)
{
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(), QPageLayout::Millimeter, QMarginsF());
}

// Text lines as large as fit the width, up to LargestPoints; cut with … below SmallestPoints.
void paintText(QPainter &painter, const QRectF &box, const QStringList &lines)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const auto fits = [&](qreal points) {
        font.setPointSizeF(points);
        const QFontMetricsF metrics(font, painter.device());
        for (const QString &line : lines) {
            if (metrics.horizontalAdvance(line) > box.width())
                return false;
        }
        return metrics.lineSpacing() * lines.size() <= box.height();
    };
    qreal points = LargestPoints;
    while (points > SmallestPoints && !fits(points))
        points -= 0.25;
    font.setPointSizeF(points);
    const QFontMetricsF fitted(font, painter.device());
    painter.setFont(font);
    qreal y = box.top() + (box.height() - fitted.lineSpacing() * lines.size()) / 2 + fitted.ascent();
    for (const QString &line : lines) {
        painter.drawText(QPointF(box.left(), y), fitted.elidedText(line, Qt::ElideRight, box.width()));
        y += fitted.lineSpacing();
    }
}

} // namespace

QString Label::text() const
{
    return QStringLiteral("ID %1\nLIP %2\nMAC %3\nSN %4").arg(id, lip, mac, sn);
}

QList<Label> labelsFor(const QList<Batch::LogRecord> &rows)
{
    QList<Label> labels;
    for (const Batch::LogRecord &row : rows) {
        if (row.result == Batch::Result::Ok)
            labels.push_back({row.id, row.held(QStringLiteral("lip")), row.held(QStringLiteral("mac")),
                              row.held(QStringLiteral("sn"))});
    }
    return labels;
}

const QList<LabelFormat> &labelFormats()
{
    static const QList<LabelFormat> formats = {
        {QCoreApplication::translate("Bench::Labels", "A4 sheet, 3 × 8 labels of 70 × 36 mm"),
         portrait(QPageSize(QPageSize::A4)), 3, 8, {70, 36}, {70, 36}, {0, 4.5}},
        {QCoreApplication::translate("Bench::Labels", "62 mm roll, labels 29 mm long"),
         portrait(QPageSize(QSizeF(62, 29), QPageSize::Millimeter, QStringLiteral("62 x 29 mm"))), 1, 1, {62, 29},
         {62, 29}, {0, 0}},
    };
    return formats;
}

int paintLabels(QPagedPaintDevice *device, const LabelFormat &format, const QList<Label> &labels)
{
    QPainter painter(device);
    const qreal dotsPerMm = device->logicalDpiX() / 25.4;
    const int perPage = format.columns * format.rows;
    int pages = 0;
    for (int i = 0; i < labels.size(); ++i) {
        const int place = i % perPage;
        if (place == 0 && i > 0)
            device->newPage();
        if (place == 0)
            ++pages;
        const QPointF corner = (format.first + QPointF((place % format.columns) * format.pitch.width(),
                                                       (place / format.columns) * format.pitch.height()))
                               * dotsPerMm;
        const QRectF inner(corner + QPointF(PaddingMm, PaddingMm) * dotsPerMm,
                           (format.label - QSizeF(2 * PaddingMm, 2 * PaddingMm)) * dotsPerMm);
        const Label &label = labels.at(i);
        const QrCode code = QrCode::encode(label.text());
        const int modules = code.size() + 2 * QrCode::QuietModules;
        const qreal dot = PrinterDotMm * dotsPerMm;
        const qreal moduleDots = std::max(1.0, std::floor(inner.height() / modules / dot));
        const QPointF onDot(std::ceil(inner.left() / dot) * dot, std::ceil(inner.top() / dot) * dot);
        const QRectF square(onDot, QSizeF(modules * moduleDots * dot, modules * moduleDots * dot));
        code.paint(painter, square);
        const QRectF text(square.right() + PaddingMm * dotsPerMm / 2, inner.top(),
                          inner.right() - square.right() - PaddingMm * dotsPerMm / 2, inner.height());
        paintText(painter, text, label.text().split(QLatin1Char('\n')));
    }
    return pages;
}

} // namespace Bench
