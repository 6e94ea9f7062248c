#pragma once

#include <functional>

namespace vemor {

// Called each time the scan has examined a folder, so that whoever runs a long scan can show
// how far it has got; SessionCount holds the sessions examined so far. It runs inside that
// folder's examination, so it must not throw.
inline std::function<void()> ScanProgressObserver;

// Asked before the scan examines each entry; true ends the run there, with everything
// examined so far in the list, which RefreshSessionList then tidies as after any run. A
// session is thus never left half done. It must not throw.
inline std::function<bool()> ScanStopRequested;

}  // namespace vemor
