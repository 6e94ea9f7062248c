// Random small client trees, with odd names, links and damaged files: preview and apply
// never crash, list each session at most once, and apply changes nothing but Normdaten lines.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "changed_lines.h"
#include "modPatch72_01.h"
#include "modSpezial.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kFolderNames[] = {"A", "b", "J\xC3\xBCrgen M\xC3\xBCller", "Sitzung 1", "user.dat",
                                        "sitzung.dat", ".versteckt", ("\xC5\x81\xC3\xB3" "d\xC5\xBA")};
constexpr const char* kFileNames[] = {"user.dat", "USER.DAT", "sitzung.dat", "SITZUNG.DAT", "Sitzung.dat",
                                      "liesmich.txt"};
constexpr const char* kIds[] = {"UVJYX0RfU1RBTkRBUkRfX0tGMQ==", "UVJYX0RfU1RBTkRBUkRfX0tGMw==", "anders"};
constexpr const char* kNorms[] = {"0", "1", " 0 ", "0.0", "", "x", "\"0\""};

void Check(bool holds, const char* invariant) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", invariant);
    std::abort();
}

const fs::path& Root() {
    static const fs::path root = fs::temp_directory_path() / ("vemor-fuzz-tree-" + std::to_string(getpid()));
    return root;
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every plain file below the root, links not followed, with its contents.
std::map<std::string, std::string> Files() {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(Root(), error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_regular_file(error) && !it->is_symlink(error)) files[it->path().string()] = Contents(it->path());
    }
    return files;
}

// A profile file as the suite writes it, or bytes from the input as a damaged one.
std::string FileBody(FuzzedDataProvider& input, int label) {
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return "[TreeData]\r\nObjektTyp=2\r\nBezeichnung=L" + std::to_string(label) + "\r\n[Optionen]\r\nIdentifikation=" +
               kIds[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kIds) - 1)] + "\r\nNormdaten=" +
               kNorms[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kNorms) - 1)] + "\r\n";
    case 1:
        return "[UserData]\r\nObjektTyp=1\r\nVorname=K" + std::to_string(label) + "\r\nName=N\r\n";
    default:
        return input.ConsumeRandomLengthString(600);
    }
}

void BuildTree(FuzzedDataProvider& input) {
    std::vector<fs::path> folders{Root()};
    const int steps = input.ConsumeIntegralInRange(1, 14);
    for (int step = 0; step < steps && input.remaining_bytes() > 0; ++step) {
        const fs::path& parent = folders[input.ConsumeIntegralInRange<std::size_t>(0, folders.size() - 1)];
        std::error_code error;
        switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
        case 1: {
            const fs::path folder = parent / kFolderNames[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kFolderNames) - 1)];
            if (fs::create_directory(folder, error)) folders.push_back(folder);
            break;
        }
        case 2: {
            const fs::path file = parent / kFileNames[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kFileNames) - 1)];
            if (!fs::exists(file, error)) std::ofstream(file, std::ios::binary) << FileBody(input, step);
            break;
        }
        default: {
            // A link to any folder made so far, the root and ancestors included, or to nothing.
            const fs::path& target = folders[input.ConsumeIntegralInRange<std::size_t>(0, folders.size() - 1)];
            const fs::path link = parent / ("Link " + std::to_string(step));
            if (input.ConsumeBool()) fs::create_directory_symlink(target, link, error);
            else fs::create_directory_symlink(Root() / "fehlt", link, error);
        }
        }
    }
}

std::vector<std::string> Run(bool apply) {
    vemor::LineList list;
    const std::atomic<std::int16_t> cancel = 0;
    std::int32_t sessions = 0;
    vemor::RunScan({Root().string(), apply, list, cancel, sessions});
    return list.lines();
}

// Labels come from the bodies above and are unique per file; a session met twice would
// show its label twice.
void CheckListedOnce(const std::vector<std::string>& lines) {
    std::map<std::string, int> seen;
    for (const std::string& line : lines) {
        if (!vemor::IsSessionEntry(line)) continue;
        Check(++seen[line] == 1, "each session is listed at most once");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vemor::SetErrorPresenter([](const std::string&, const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::error_code error;
    fs::remove_all(Root(), error);
    fs::create_directories(Root());
    BuildTree(input);

    CheckListedOnce(Run(false));
    const auto before = Files();
    CheckListedOnce(Run(true));
    const auto after = Files();
    Check(before.size() == after.size(), "apply neither adds nor removes a file");
    for (const auto& [path, contents] : before) {
        const auto found = after.find(path);
        Check(found != after.end(), "apply removes no file");
        const auto difference = vemor::fuzz::Compare(contents, found->second);
        Check(difference.removed.size() == difference.added.size(), "apply replaces lines, adds none");
        for (const auto* lines : {&difference.removed, &difference.added})
            for (const std::string& line : *lines) Check(vemor::fuzz::Mentions(line, "Normdaten"), "only Normdaten lines change");
    }
    return 0;
}
