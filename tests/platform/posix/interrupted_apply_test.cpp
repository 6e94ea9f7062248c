// The real program, ended at random moments of an apply over a few thousand sessions: each
// session file is then the original or the patched one and nothing else is left in any
// folder; an interrupt waits for the session at hand and the output tells what was done.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "recovery.h"
#include "support/result_text.h"
#include "support/temp_tree.h"
#include "test_hooks.h"

namespace vemor {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

constexpr int kClients = 100;
constexpr int kSessionsPerClient = 20;

struct Session {
    std::string folder;  // relative to the tree's root, also the session's label
    std::string original;
    std::string patched;
};

// The session files as stored, and what the patch makes of them. Only the plain form keeps
// the file's length; the others make the line shorter or give it its line end.
Session MakeSession(std::string folder, int variant) {
    const std::string head = "[TreeData]\r\nObjektTyp=2\r\nBezeichnung=" + folder +
                             "\r\n[Optionen]\r\nIdentifikation=" + test::kShortForm1 + "\r\n";
    const std::string tail = "Auswertung=1\r\n[Ergebnisse]\r\nRohwert=42\r\n";
    switch (variant) {
        case 1: return {folder, head + "Normdaten=0.0\r\n" + tail, head + "Normdaten=1\r\n" + tail};
        case 2: return {folder, head + "Normdaten=-0\r\n" + tail, head + "Normdaten=1\r\n" + tail};
        case 3: return {folder, head + "Normdaten=0", head + "Normdaten=1\r\n"};
        default: return {folder, head + "Normdaten=0\r\n" + tail, head + "Normdaten=1\r\n" + tail};
    }
}

// Sessions in the order the program walks them: names of equal length sort as numbers.
std::vector<Session> BuildTree(const TempTree& tree, bool length_changes, std::mt19937& generator) {
    std::vector<Session> sessions;
    char name[32];
    for (int c = 0; c < kClients; ++c) {
        std::snprintf(name, sizeof name, "C%03d", c);
        const std::string client = name;
        tree.File(client + "/user.dat", test::ClientFile(client, "X"));
        for (int s = 0; s < kSessionsPerClient; ++s) {
            std::snprintf(name, sizeof name, "/S%02d", s);
            const int variant = length_changes ? static_cast<int>(generator() % 4) : 0;
            sessions.push_back(MakeSession(client + name, variant));
            tree.File(sessions.back().folder + "/sitzung.dat", sessions.back().original);
        }
    }
    return sessions;
}

// Every file in the tree, relative to its root.
std::set<std::string> FilesIn(const TempTree& tree) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(tree.Fs("")))
        if (!entry.is_directory()) files.insert(fs::relative(entry.path(), tree.Fs("")).generic_string());
    return files;
}

// The files the tree was built with.
std::set<std::string> FilesOf(const std::vector<Session>& sessions) {
    std::set<std::string> files;
    for (const Session& session : sessions) {
        files.insert(session.folder.substr(0, session.folder.find('/')) + "/user.dat");
        files.insert(session.folder + "/sitzung.dat");
    }
    return files;
}

// The tree as built again, for the next run: building it anew takes far longer.
void Restore(const TempTree& tree, const std::vector<Session>& sessions) {
    const std::set<std::string> built = FilesOf(sessions);
    for (const std::string& file : FilesIn(tree))
        if (!built.contains(file)) fs::remove(tree.Fs(file));
    for (const Session& session : sessions)
        if (tree.Read(session.folder + "/sitzung.dat") != session.original)
            tree.File(session.folder + "/sitzung.dat", session.original);
}


// Starts vemor-patch apply on the tree, its output into files beside it. Signals start with
// their default handling, whatever the test runner set.
pid_t Start(const TempTree& tree, const TempTree& output) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = output.Path("out.txt");
    const std::string err = output.Path("err.txt");
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&signals, signal);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string program = VEMOR_PATCH_PROGRAM;
    std::string command = "apply";
    std::string root = tree.Root();
    char* const argv[] = {program.data(), command.data(), root.data(), nullptr};
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &files, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return failed == 0 ? pid : -1;
}

// Waits until the file holds other bytes than before or the program has ended; the program's
// wait status when it has.
std::optional<int> AwaitChange(pid_t pid, const TempTree& tree, const std::string& file, const std::string& before) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        if (tree.Read(file) != before) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ADD_FAILURE() << "the program neither patched " << file << " nor ended";
    return std::nullopt;
}

struct KillCase {
    int signal;
    int runs;
    bool length_changes;  // some patches change the file's length
};

TEST(InterruptedApply, LeavesEachFileOriginalOrPatchedAndNothingElse) {
    const KillCase cases[] = {
        {SIGKILL, 10, false},
        {SIGINT, 3, true},
        {SIGTERM, 3, true},
        {SIGHUP, 1, true},
        {SIGPIPE, 1, true},  // the reader of its output gone
    };
    std::random_device device;
    const char* given = std::getenv("VEMOR_KILL_SEED");
    const unsigned seed = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : device();
    std::cout << "seed " << seed << " (VEMOR_KILL_SEED repeats a run)\n";
    std::mt19937 generator(seed);

    for (const KillCase& c : cases) {
        TempTree tree;
        const std::vector<Session> sessions = BuildTree(tree, c.length_changes, generator);
        const std::set<std::string> expected_files = FilesOf(sessions);
        for (int run = 0; run < c.runs; ++run) {
            SCOPED_TRACE("signal " + std::to_string(c.signal) + ", run " + std::to_string(run) + ", seed " +
                         std::to_string(seed));
            if (run > 0) Restore(tree, sessions);
            TempTree output;

            // Signalled once a session among the first few hundred is patched, so that the
            // program is under way, then after a random pause of up to two milliseconds.
            const Session& mark = sessions[generator() % (sessions.size() / 8)];
            const auto pause = std::chrono::microseconds(generator() % 2000);
            const pid_t pid = Start(tree, output);
            ASSERT_GT(pid, 0) << "cannot start " << VEMOR_PATCH_PROGRAM;
            std::optional<int> status = AwaitChange(pid, tree, mark.folder + "/sitzung.dat", mark.original);
            if (!status) {
                std::this_thread::sleep_for(pause);
                kill(pid, c.signal);
                int waited = 0;
                waitpid(pid, &waited, 0);
                status = waited;
            }

            // The next run first writes back what a write cut off left, from its record.
            for (const platform::Recovery& recovery : platform::RecoverInterruptedWrites())
                EXPECT_NE(recovery.kind, platform::Recovery::Kind::kKept) << recovery.file;
            EXPECT_TRUE(fs::is_empty(platform::test_hooks::record_folder)) << "a record stayed";
            const std::set<std::string> files = FilesIn(tree);
            for (const std::string& file : files) EXPECT_TRUE(expected_files.contains(file)) << "left: " << file;
            for (const std::string& file : expected_files) EXPECT_TRUE(files.contains(file)) << "lost: " << file;
            std::map<std::string, bool> patched;
            for (const Session& session : sessions) {
                const std::string now = tree.Read(session.folder + "/sitzung.dat");
                EXPECT_TRUE(now == session.original || now == session.patched) << session.folder << ": " << now;
                patched[session.folder] = now == session.patched;
            }
            if (c.signal == SIGKILL) continue;

            ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
            EXPECT_EQ(WEXITSTATUS(*status), 128 + c.signal);
            EXPECT_NE(output.Read("err.txt").find("interrupted"), std::string::npos) << output.Read("err.txt");
            // What the output lists as patched is patched on disk; every other session is as it was.
            const std::string out = output.Read("out.txt");
            std::set<std::string> lines;
            for (std::size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
                lines.insert(out.substr(start, end - start));
            // Each listed session under its client's entry, and no other line.
            std::set<std::string> clients;
            std::size_t sessions_listed = 0;
            for (const auto& [folder, is_patched] : patched) {
                const bool listed = lines.contains(test::Patched(folder));
                EXPECT_EQ(is_patched, listed) << folder;
                if (listed) clients.insert(folder.substr(0, folder.find('/')));
                sessions_listed += listed;
            }
            EXPECT_FALSE(clients.empty());
            EXPECT_EQ(lines.size(), sessions_listed + clients.size()) << out;
        }
    }
}

}  // namespace
}  // namespace vemor
