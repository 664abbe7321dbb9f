// What the parameter fields accept while the user types. A keystroke or paste
// that would make a field's text invalid is refused; an unfinished text (empty,
// or one hex digit) may stand and is sent as it is.
#pragma once

class QObject;
class QValidator;

namespace InputRules {

QValidator *octet(QObject *parent);         // 0 to 255, no leading zeros
QValidator *hexPair(QObject *parent);       // two hex digits, either case
QValidator *serialNumber(QObject *parent);  // 0 to 249; "00" to "99" as well
QValidator *number16(QObject *parent);      // 0 to 65535, no leading zeros

} // namespace InputRules
