// Labels for the devices a run provisioned: id, local IP, MAC and serial
// number as the device read back holds them, as text and as a QR code of
// that same text, on a sheet of labels or a roll.
#pragma once

#include "batch/logrecords.h"

#include <QPageLayout>
#include <QPointF>
#include <QSizeF>
#include <QString>

class QPagedPaintDevice;

namespace Bench {

struct Label
{
    QString id;
    QString lip;
    QString mac;
    QString sn;
    // "ID A-01\nLIP 192.168.0.101\nMAC 02:56:4d:00:00:01\nSN 1": what the label and its QR code say.
    QString text() const;
};

// A label for every row done ok, with the values its device read back.
QList<Label> labelsFor(const QList<Batch::LogRecord> &rows);

struct LabelFormat
{
    QString name;
    QPageLayout page;
    int columns = 1;
    int rows = 1;
    QSizeF label;  // millimetres
    QSizeF pitch;  // from one label's corner to the next one's, millimetres
    QPointF first;  // the first label's corner on the page, millimetres
};

// A4 sheets of 3 × 8 labels of 70 × 36 mm, and a 62 mm roll cut at 29 mm.
const QList<LabelFormat> &labelFormats();

// Paints the labels in order, a page a sheet (or a label on a roll); the number of pages.
int paintLabels(QPagedPaintDevice *device, const LabelFormat &format, const QList<Label> &labels);

} // namespace Bench
