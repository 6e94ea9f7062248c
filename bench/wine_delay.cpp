// A server share's round trip for the Windows programs under Wine, linked only into the
// benchmark's own builds of vemor-patch.exe and the Wine floor: each file-system function
// either imports waits VEMOR_SHIM_DELAY_US before it goes out, in the thread that calls it, as
// bench/share_shim.c does natively. The program's code is the same as in a release; each
// wrapped call is one request to a Windows file server. (Under Wine a call also makes calls
// of its own on Linux, which the native shim cannot tell apart from the program's.)
//
// Linked with -Wl,--wrap=__imp_NAME for each NAME below (wine_delay_wraps prints them): the
// program's calls through its import table come here, and __real___imp_NAME is the import.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long DelayTicks() {
    static const long long ticks = [] {
        const char* text = std::getenv("VEMOR_SHIM_DELAY_US");
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return text ? frequency.QuadPart * std::atoll(text) / 1000000 : 0;
    }();
    return ticks;
}

// Sleeps most of the time where it is long, and gives the processor away for the rest, so that
// the wait is as asked and other threads run meanwhile.
void Wait() {
    const long long ticks = DelayTicks();
    if (ticks <= 0) return;
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const long long until = now.QuadPart + ticks;
    const long long ms = ticks * 1000 / frequency.QuadPart;
    if (ms > 1) Sleep(static_cast<DWORD>(ms - 1));
    for (QueryPerformanceCounter(&now); now.QuadPart < until; QueryPerformanceCounter(&now)) SwitchToThread();
}

template <auto& real, class F>
struct Delayed;
template <auto& real, class R, class... A>
struct Delayed<real, R(WINAPI*)(A...)> {
    static R WINAPI Call(A... a) {
        Wait();
        return real(a...);
    }
};

}  // namespace

#define DELAYED(name)                                     \
    extern "C" decltype(&name) __real___imp_##name;       \
    extern "C" decltype(&name) __wrap___imp_##name;       \
    decltype(&name) __wrap___imp_##name = &Delayed<__real___imp_##name, decltype(&name)>::Call;

#define WINE_DELAY_FUNCTIONS(X)                                                                         \
    X(CreateFileW) X(ReOpenFile) X(ReadFile) X(WriteFile) X(FlushFileBuffers) X(CloseHandle)            \
    X(DeleteFileW) X(FindFirstFileW) X(FindFirstFileExW) X(FindNextFileW) X(FindClose)                 \
    X(GetFileAttributesW) X(GetFileInformationByHandle) X(GetFileInformationByHandleEx)                \
    X(SetFileInformationByHandle) X(NtQueryInformationFile)

WINE_DELAY_FUNCTIONS(DELAYED)
