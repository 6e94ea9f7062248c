#include "posix/errors.h"

#include <cerrno>
#include <cstring>

namespace vemor::platform::posix {
namespace {

FileProblem::Kind KindOf(int error) {
    switch (error) {
        case ENOENT: case ENOTDIR: return FileProblem::Kind::kMissing;
        case EISDIR: case ENXIO: case ENODEV: return FileProblem::Kind::kNotAFile;
        case EACCES: case EPERM: return FileProblem::Kind::kDenied;
        case EROFS: case ETXTBSY: return FileProblem::Kind::kReadOnly;
        case EAGAIN: return FileProblem::Kind::kLocked;
        case ENOSPC: case EDQUOT: return FileProblem::Kind::kNoSpace;
        default: return FileProblem::Kind::kOther;
    }
}

}  // namespace

FileProblem ProblemFromErrno(int error) {
    char buffer[256] = {};
    // The GNU strerror_r may answer with a static text instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return {KindOf(error), static_cast<std::uint32_t>(error), text ? text : buffer};
}

}  // namespace vemor::platform::posix
