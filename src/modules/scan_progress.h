#pragma once

#include <functional>

namespace vemor {

// Called each time the scan has examined a folder, so that whoever runs a long scan can show
// how far it has got; SessionCount holds the sessions examined so far. It runs inside that
// folder's examination, so it must not throw.
inline std::function<void()> ScanProgressObserver;

}  // namespace vemor
