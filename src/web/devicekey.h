// What QA types or scans to find a device: its id, LIP, MAC or SN, or the
// whole text of its label's QR code ("ID A-01\nLIP 192.168.0.101\nMAC
// 02:56:4d:00:00:01\nSN 1"), as a scanner types it, with its line breaks
// or with spaces, tabs or nothing at all in their place.
#pragma once

#include <QString>
#include <QStringList>

namespace Web {

struct DeviceKey
{
    QString field;  // "id", "lip", "mac", "sn", or empty: any of them
    QString value;
};

// The keys to look for, the surest first (a label's MAC before its id).
QList<DeviceKey> deviceKeys(const QString &typed);

} // namespace Web
