#pragma once

#include "number_text.h"

namespace vemor::platform::posix {

// The format of the user's locale (LC_ALL, else LC_NUMERIC and LC_MONETARY, else LANG),
// read once. A locale that is not installed counts as "C".
const NumberFormat& UserNumberFormat();

// Reads the environment again, for tests that change it; not while numbers are being read.
void RereadUserNumberFormat();

}  // namespace vemor::platform::posix
