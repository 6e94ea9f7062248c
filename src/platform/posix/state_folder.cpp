#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "posix/errors.h"
#include "posix/listing.h"
#include "posix/user_dirs.h"
#include "record_folder.h"

namespace vemor::platform {

// Only the user may look in: the records hold the bytes of client files.
std::optional<std::string> StateFolder(bool make, FileProblem& problem) {
    const std::optional<std::string> home = posix::StateHome();
    if (!home) {
        problem = {FileProblem::Kind::kMissing};
        return std::nullopt;
    }
    if (!make) return *home + "/vemor-patch/";
    std::string folder;
    for (const std::string& part : {*home + "/", std::string("vemor-patch/")}) {
        for (std::size_t slash = part.find('/', 1); slash != std::string::npos; slash = part.find('/', slash + 1)) {
            const std::string step = folder + part.substr(0, slash);
            if (mkdir(step.c_str(), 0700) != 0 && errno != EEXIST) {
                problem = posix::ProblemFromErrno(errno);
                return std::nullopt;
            }
        }
        folder += part;
    }
    return folder;
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
