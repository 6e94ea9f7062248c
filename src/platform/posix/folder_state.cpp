#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "files.h"
#include "folder_state.h"
#include "posix/descriptor.h"
#include "posix/errors.h"

namespace vemor::platform {

std::optional<FileProblem> ExamineFolder(const std::string& path) {
    if (path.empty()) return FileProblem{FileProblem::Kind::kMissing};
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return posix::ProblemFromErrno(errno);
    if (!S_ISDIR(info.st_mode)) return FileProblem{FileProblem::Kind::kNotAFolder};
    // Listing needs read permission, going into the entries search permission as well.
    if (!posix::Open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) return posix::ProblemFromErrno(errno);
    if (stat((WithSeparator(path) + ".").c_str(), &info) != 0) return posix::ProblemFromErrno(errno);
    return std::nullopt;
}

}  // namespace vemor::platform
