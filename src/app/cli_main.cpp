#include <string>
#include <vector>

#include "cli.h"
#include "console.h"
#include "dll_search.h"
#include "utf16.h"
#include "interrupt.h"

namespace {

int Run(std::vector<std::string> args) {
    vemor::platform::RestrictDllSearch();
    // From here on Ctrl-C waits for the session at hand; the run then ends with its results.
    vemor::platform::DeferInterrupts();
    vemor::CliOutput output;
    // Progress only for a person watching; a redirected standard error gets none.
    vemor::CliProgress progress;
    if (vemor::platform::StandardErrorIsTerminal()) progress.write = vemor::platform::WriteErr;
    const int status = vemor::RunCli(args, output, progress);
    return vemor::WriteResults(output, status);
}

}  // namespace

#ifdef _WIN32
// Arguments arrive as UTF-16, so folder names outside the code page survive.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(vemor::platform::Utf8(argv[i]));
    return Run(std::move(args));
}
#else
int main(int argc, char** argv) {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
