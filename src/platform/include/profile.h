#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "file_problem.h"

// Profile (INI) files with the contract of the Windows profile functions.
namespace vemor::platform {

struct ProfileText {
    std::string text;    // UTF-8
    std::size_t count;   // characters placed into a buffer of the given size, NUL not counted
};

// What became of a write: true when the value reached the file, else the problem that kept
// it from the file.
struct WriteResult {
    std::optional<FileProblem> problem;
    explicit operator bool() const { return !problem; }
};

// Reads, and perhaps one write, of one file that belong together, as one step of the scan
// makes them: every value comes from one reading of the file, made when the first one is asked
// for, and a write goes only into the version read. After a write the next value comes from
// the file as the disk holds it, opened again by its name. The files it opens stay open until
// it goes, the one written held against other writers, except where a file deleted while open
// keeps its name: there the written file is closed before it is read back.
class ProfileStep {
public:
    explicit ProfileStep(std::string file);
    ~ProfileStep();
    ProfileStep(const ProfileStep&) = delete;
    ProfileStep& operator=(const ProfileStep&) = delete;
    // A step read on one thread may be handed to another, where its values are asked for.
    ProfileStep(ProfileStep&&) noexcept;
    ProfileStep& operator=(ProfileStep&&) noexcept;

    const std::string& file() const;

    // Makes the step's one reading now, on whichever thread, where fits takes the file's size,
    // and lets go of the file: nothing of ours then holds it against another program or our own
    // write. A write opens it again by its name and goes into it only where the name still leads
    // to the file read. Whether it was read; else the step reads it with the first value.
    bool ReadAhead(const std::function<bool(std::uint64_t size)>& fits);

    // The value of key in section, or the default (trailing blanks cut) when the file, the
    // section or the key is missing. A value that does not fit gives its first size - 1
    // characters and the count size - 1.
    ProfileText Read(const std::string& section, const std::string& key, const std::string& fallback,
                     std::size_t size);

    // Sets key in section to value, adding section and key where they are missing; every other
    // line of the file stays as it was. A write that fails is no failure for the callers: the
    // result says why, for a report.
    WriteResult Write(const std::string& section, const std::string& key, const std::string& value);

    // Why the latest reading of the file in this step found no text: missing, or a problem
    // a report should name. Nothing while the file was read or has not been read yet.
    std::optional<FileProblem> ReadProblem() const;
    // Why the step's write did not reach the file, or, once the file has been read back, why
    // the file now under the name is not the one written; nothing when it did or none was made.
    std::optional<FileProblem> WriteProblem() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A step of their own for one value: the file read, or read and written, once.
ProfileText ReadProfileText(const std::string& file, const std::string& section, const std::string& key,
                            const std::string& fallback, std::size_t size);
WriteResult WriteProfileText(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& value);

}  // namespace vemor::platform
