// USB serial adapters hold received bytes back for up to 16 ms (an FTDI
// chip's latency timer) before handing them on; a port in low-latency mode
// has the driver shorten that to 1 ms. Only drivers of real UARTs and USB
// adapters take the flag; pseudo-terminals and many built-in ports refuse it,
// which changes nothing for them.
#pragma once

#include <QString>

namespace LowLatency {

struct Outcome
{
    bool taken = false;  // the port is in low-latency mode now
    QString reason;      // why not, when it is not
};

// Sets ASYNC_LOW_LATENCY on an open serial port (TIOCSSERIAL, Linux only).
Outcome enable(int descriptor);

// "low latency: on" or "low latency: not taken (Inappropriate ioctl for device)".
QString describe(const Outcome &outcome);

} // namespace LowLatency
