#include "dll_search.h"

namespace vemor::platform {

// The dynamic loader searches neither the program's folder nor the current one unless the
// program or its environment names them.
void RestrictDllSearch() {}

}  // namespace vemor::platform
