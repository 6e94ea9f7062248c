#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vemor::platform {

// Why text could not be written to standard output or standard error.
struct StreamProblem {
    enum class Kind {
        kClosed,      // the program was started with it closed
        kNoSpace,     // a full disk, or /dev/full
        kBrokenPipe,  // the pipe's reader has gone
        kOther,
    };
    Kind kind;
    std::string text = {};  // the system's words, for kOther

    bool operator==(const StreamProblem&) const = default;
};

// UTF-8 text to standard output and standard error, shown correctly in a Windows console:
// all of it, or as much as could be written and why not the rest. A broken pipe is a problem
// to report, never the end of the process nor an interrupt.
std::optional<StreamProblem> WriteOut(std::string_view text);
std::optional<StreamProblem> WriteErr(std::string_view text);

// Standard input, output and error that the program was started without are held open on
// the null device from here on, so that no file the program opens meanwhile takes their
// number and receives what is meant for them; writes to them report kClosed. POSIX only:
// Windows keeps them apart from the files a program opens.
void HoldStandardStreams();

// Whether standard error goes to a terminal (a console on Windows) rather than a file or pipe.
bool StandardErrorIsTerminal();

// The line end a text file of this platform uses.
std::string_view LineEnd();

// A modal box with an OK button and no icon; on POSIX the text goes to standard error.
void ShowMessage(const std::string& text, const std::string& caption);

}  // namespace vemor::platform
