// A device's values as a file a person can read and edit, one "key = value"
// a line, all ten values of the block so that a profile clones a device:
//
//   # bench 3
//   lip = 192.168.0.101
//   reserved = 00:00
#pragma once

#include "values.h"

namespace Client {

// Blank lines and lines starting with '#' are skipped. On failure returns
// false with "FILE:LINE: ..." in *error.
bool parseProfile(const QString &text, const QString &fileName, ValueSet *values, QString *error);

// Every value of the block, in block order; parseProfile reads it back whole.
QString profileText(const Protocol::ParameterBlock &block);

} // namespace Client
