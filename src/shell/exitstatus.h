// How Velmora's programs end: one set of exit statuses for all of them, as
// a script, a fixture or a line's supervisor reads them.
#pragma once

namespace Exit {

enum Status : int {
    Success = 0,         // done, and verified where asked to
    DeviceRefused = 1,   // the device answered with a failure reply
    RowsNotOk = 1,       // a batch or a line: a row that was not skipped is not ok (yet)
    UsageError = 2,      // a bad command line, value, profile, plan or log, or a line that
                         // cannot be used: nothing was sent
    NoLine = 3,          // a port cannot be opened, a device does not answer after the
                         // retries, or the record cannot be reached
    VerifyMismatch = 4,  // --verify found a value the device does not hold
};

// A program that a signal stopped: StopSignals::exitStatus().

} // namespace Exit
