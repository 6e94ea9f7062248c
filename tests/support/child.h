#pragma once

// Tests that end a process on purpose run a test of their own executable as a child.
#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace vemor::test {

// Runs the single test named (Suite.Name, usually a disabled one) in a new process of this
// executable, with variable set to value in its environment; the child's exit code, or -1.
inline int RunTestInChild(const std::string& test, const std::string& variable, const std::string& value) {
    const std::string filter = "--gtest_filter=" + test;
    const std::string disabled = "--gtest_also_run_disabled_tests";
#ifdef _WIN32
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
    std::wstring command = L"\"" + std::wstring(self) + L"\" " + wide(filter) + L" " + wide(disabled);
    SetEnvironmentVariableW(wide(variable).c_str(), wide(value).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                        &process);
    SetEnvironmentVariableW(wide(variable).c_str(), nullptr);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
#else
    std::string self = "/proc/self/exe";
    std::string filter_arg = filter, disabled_arg = disabled;
    char* const arguments[] = {self.data(), filter_arg.data(), disabled_arg.data(), nullptr};
    setenv(variable.c_str(), value.c_str(), 1);
    pid_t child = 0;
    const int error = posix_spawn(&child, self.c_str(), nullptr, nullptr, arguments, environ);
    unsetenv(variable.c_str());
    if (error != 0) return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

// The value the parent gave the child, or empty outside such a child.
inline std::string ChildVariable(const char* variable) {
    const char* value = std::getenv(variable);
    return value ? value : "";
}

// Ends this process at once, as a crash or a power cut would: nothing more runs in it.
[[noreturn]] inline void DieNow() {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 137);
    ExitProcess(137);
#else
    raise(SIGKILL);
    _exit(137);
#endif
}

}  // namespace vemor::test
