#include "interrupt.h"

namespace vemor::platform {

void DeferInterrupts() {}

int InterruptStatus() { return 0; }

}  // namespace vemor::platform
