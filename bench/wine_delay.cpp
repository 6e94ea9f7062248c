// A server share's round trip for the Windows programs under Wine, linked only into the
// benchmark's own builds of vemor-patch.exe and the Wine floor: each file-system function
// either imports waits VEMOR_SHIM_DELAY_US before it goes out, in the thread that calls it, as
// bench/share_shim.c does natively. The program's code is the same as in a release; each
// wrapped call is one request to a Windows file server. (Under Wine a call also makes calls
// of its own on Linux, which the native shim cannot tell apart from the program's.)
//
// Linked with -Wl,--wrap=__imp_NAME for each NAME wrapped below (bench/run.sh reads them):
// the program's calls through its import table come here, and go on to the function the
// system's module gives. Built without exceptions and without guarded statics, so that it
// needs nothing of the C++ runtime: CMake links it into its C test programs as well.
// Each wrapped call is one request to a Windows file server, but for the listing's, which
// wait as the requests they make.
#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<long long> delay_ticks{-1};
std::atomic<long> waits{0};

// The calls delayed, appended to the file VEMOR_SHIM_STATS names, in the native shim's form.
void SaveCount() {
    const char* stats = std::getenv("VEMOR_SHIM_STATS");
    FILE* file = stats ? std::fopen(stats, "a") : nullptr;
    if (!file) return;
    std::fprintf(file, "total=%ld\n", waits.load());
    std::fclose(file);
}

long long DelayTicks() {
    long long ticks = delay_ticks.load(std::memory_order_relaxed);
    if (ticks >= 0) return ticks;
    const char* text = std::getenv("VEMOR_SHIM_DELAY_US");
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticks = text ? frequency.QuadPart * std::atoll(text) / 1000000 : 0;
    if (delay_ticks.exchange(ticks) < 0) std::atexit(SaveCount);
    return ticks;
}

// Sleeps most of the time where it is long, and gives the processor away for the rest, so that
// the wait is as asked and other threads run meanwhile.
void Wait() {
    waits.fetch_add(1, std::memory_order_relaxed);
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

template <class F>
struct Real {
    const wchar_t* module;
    const char* name;
    std::atomic<F> function{nullptr};

    F Get() {
        F found = function.load(std::memory_order_relaxed);
        if (found) return found;
        found = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(module), name)));
        function.store(found, std::memory_order_relaxed);
        return found;
    }
};

template <auto& real, class F>
struct Delayed;
template <auto& real, class R, class... A>
struct Delayed<real, R(WINAPI*)(A...)> {
    static R WINAPI Call(A... a) {
        Wait();
        return real.Get()(a...);
    }
};

}  // namespace

#define WRAP(name, function)                    \
    extern "C" decltype(&name) __wrap___imp_##name; \
    decltype(&name) __wrap___imp_##name = &function;
#define DELAYED_IN(module, name)                      \
    Real<decltype(&name)> real_##name{module, #name}; \
    WRAP(name, (Delayed<real_##name, decltype(&name)>::Call))
#define DELAYED(name) DELAYED_IN(L"kernel32.dll", name)
#define DELAYED_NT(name) DELAYED_IN(L"ntdll.dll", name)

namespace {

Real<decltype(&FindFirstFileW)> real_FindFirstFileW{L"kernel32.dll", "FindFirstFileW"};
Real<decltype(&FindFirstFileExW)> real_FindFirstFileExW{L"kernel32.dll", "FindFirstFileExW"};
Real<decltype(&FindNextFileW)> real_FindNextFileW{L"kernel32.dll", "FindNextFileW"};

// A listing's start is two requests: the folder's open and the first batch of its entries.
HANDLE WINAPI FindFirstOpensAndAsks(LPCWSTR name, LPWIN32_FIND_DATAW data) {
    Wait();
    Wait();
    return real_FindFirstFileW.Get()(name, data);
}

HANDLE WINAPI FindFirstExOpensAndAsks(LPCWSTR name, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS search,
                                      LPVOID filter, DWORD flags) {
    Wait();
    Wait();
    return real_FindFirstFileExW.Get()(name, level, data, search, filter, flags);
}

// The next entries come from the batch at hand; its end is a request that comes back empty.
// (The folders of a practice tree fit in one batch.)
BOOL WINAPI FindNextAsksAtTheEnd(HANDLE find, LPWIN32_FIND_DATAW data) {
    const BOOL found = real_FindNextFileW.Get()(find, data);
    if (!found && GetLastError() == ERROR_NO_MORE_FILES) {
        Wait();
        SetLastError(ERROR_NO_MORE_FILES);
    }
    return found;
}

}  // namespace

WRAP(FindFirstFileW, FindFirstOpensAndAsks)
WRAP(FindFirstFileExW, FindFirstExOpensAndAsks)
WRAP(FindNextFileW, FindNextAsksAtTheEnd)
DELAYED(CreateFileW) DELAYED(ReOpenFile) DELAYED(ReadFile) DELAYED(WriteFile) DELAYED(FlushFileBuffers)
DELAYED(CloseHandle) DELAYED(DeleteFileW) DELAYED(FindClose) DELAYED(GetFileAttributesW)
DELAYED(GetFileInformationByHandle) DELAYED(GetFileInformationByHandleEx) DELAYED(SetFileInformationByHandle)
DELAYED_NT(NtQueryInformationFile)
