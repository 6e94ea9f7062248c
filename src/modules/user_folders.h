#pragma once

#include <string>

namespace vemor {

// The user's roaming application-data folder and documents folder, each ending with the
// separator; GetPersonalPath also sets AppPath. Neither shows anything to the user.
std::string GetAppDataPath();
std::string GetPersonalPath();

// The client-data folder a run starts with: "Eigene Diagnostik" in the documents folder.
std::string DefaultClientFolder();

}  // namespace vemor
