#include <unistd.h>

#include <cstdio>

#include "console.h"

namespace vemor::platform {

void WriteOut(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void WriteErr(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string_view LineEnd() { return "\n"; }

void ShowMessage(const std::string& text, const std::string& caption) {
    WriteErr(caption + ": " + text + "\n");
}

}  // namespace vemor::platform
