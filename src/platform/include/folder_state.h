#pragma once

#include <string>

namespace vemor::platform {

enum class FolderState { kReadable, kMissing, kNotAFolder, kUnreadable };

struct FolderExamination {
    FolderState state;
    std::string reason;  // the system's own words when the folder cannot be read
};

// Whether a scan can read the folder at path: it is there, is a folder (or a link to one)
// and its entries can be listed and entered.
FolderExamination ExamineFolder(const std::string& path);

}  // namespace vemor::platform
