#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "posix/errors.h"
#include "posix/listing.h"
#include "posix/user_dirs.h"
#include "record_folder.h"

namespace vemor::platform {

namespace {

// Records are written back into client files, by root too: a folder someone else owns or may
// write into could hand us records of theirs. Such a folder is not used.
std::optional<FileProblem> OursAlone(const std::string& folder) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) return posix::ProblemFromErrno(errno);
    if (!S_ISDIR(info.st_mode)) return FileProblem{FileProblem::Kind::kNotAFolder};
    if (info.st_uid != geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return FileProblem{FileProblem::Kind::kOther, 0, "owned by another user, or others may write in it"};
    return std::nullopt;
}

}  // namespace

// Only the user may look in: the records hold the bytes of client files.
std::optional<std::string> StateFolder(bool make, FileProblem& problem, std::string& where) {
    const std::optional<std::string> home = posix::StateHome();
    if (!home) {
        problem = {FileProblem::Kind::kMissing};
        return std::nullopt;
    }
    const std::string ours = *home + "/vemor-patch";
    where = ours;
    if (make) {
        for (std::size_t slash = ours.find('/', 1);; slash = ours.find('/', slash + 1)) {
            const std::string step = ours.substr(0, slash);
            if (mkdir(step.c_str(), 0700) != 0 && errno != EEXIST) {
                problem = posix::ProblemFromErrno(errno);
                return std::nullopt;
            }
            if (slash == std::string::npos) break;
        }
    }
    if (const std::optional<FileProblem> refused = OursAlone(ours)) {
        problem = *refused;
        return std::nullopt;
    }
    return ours + "/";
}

std::optional<std::vector<std::string>> FilesEndingWith(const std::string& folder, std::string_view suffix,
                                                        FileProblem& problem) {
    int error = 0;
    const std::optional<posix::FolderListing> listing = posix::ReadFolder(folder, &error);
    if (!listing) {
        problem = posix::ProblemFromErrno(error);
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const posix::ListedName& listed : listing->names)
        if (listed.type != DT_DIR && listed.name.ends_with(suffix)) names.push_back(listed.name);
    return names;
}

}  // namespace vemor::platform
