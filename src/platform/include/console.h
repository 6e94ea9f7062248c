#pragma once

#include <string>
#include <string_view>

namespace vemor::platform {

// UTF-8 text to standard output and standard error, shown correctly in a Windows console.
void WriteOut(std::string_view text);
void WriteErr(std::string_view text);

// Whether standard error goes to a terminal (a console on Windows) rather than a file or pipe.
bool StandardErrorIsTerminal();

// The line end a text file of this platform uses.
std::string_view LineEnd();

// A modal box with an OK button and no icon; on POSIX the text goes to standard error.
void ShowMessage(const std::string& text, const std::string& caption);

}  // namespace vemor::platform
