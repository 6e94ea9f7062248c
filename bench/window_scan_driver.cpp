// Drives a refresh scan of the desktop program from another process, as a user's tools see
// it: starts the program, scans FOLDER with the scan button and meanwhile asks the list box
// for its line count every 20 ms. Prints one line:
//   seconds=S answers=N slowest_answer_ms=M counts_seen=C hung=H lines=L selection=I top=T
// (S from the click to "Ausführen" enabled; H how often IsHungAppWindow said yes) and writes
// the lines, UTF-8 with CR LF, to LINES_FILE. Usage: window_scan_driver PROGRAM FOLDER LINES_FILE
// The program's own first preview, of its default folder, must leave "Ausführen" disabled.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>

namespace {

constexpr int kButtonStart = 201;     // frmPatch72_01::cmdStart
constexpr int kList = 206;            // frmPatch72_01::lstPatchSitzung
constexpr int kFolderBox = 207;       // frmPatch72_01::txtPatchVerzeichnis
constexpr int kButtonRefresh = 210;   // frmPatch72_01::cmdRefresh
constexpr UINT kPatienceMs = 600000;  // an answer later than this counts as none

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

HWND WaitForMainWindow() {
    for (int i = 0; i < 600; ++i) {
        const HWND window = FindWindowW(L"VemorFrmPatch72_01", nullptr);
        if (window != nullptr && IsWindowVisible(window)) return window;
        Sleep(100);
    }
    return nullptr;
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

bool SaveLines(HWND list, int count, const wchar_t* file) {
    FILE* out = _wfopen(file, L"wb");
    if (out == nullptr) return false;
    bool saved = true;
    for (int i = 0; i < count && saved; ++i) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
        const std::string line = Utf8(text) + "\r\n";
        saved = fwrite(line.data(), 1, line.size(), out) == line.size();
    }
    return fclose(out) == 0 && saved;
}

struct Watch {
    int answers = 0;
    double slowest_ms = 0;
    std::set<DWORD_PTR> counts;
    int hung = 0;
    double seconds = 0;
};

// Asks until the scan has ended, which enables "Ausführen".
bool WatchScan(HWND main, HWND list, Watch& watch) {
    const HWND start_button = GetDlgItem(main, kButtonStart);
    const Clock::time_point start = Clock::now();
    PostMessageW(GetDlgItem(main, kButtonRefresh), BM_CLICK, 0, 0);
    while (!IsWindowEnabled(start_button)) {
        if (!IsWindow(main)) return false;
        const Clock::time_point asked = Clock::now();
        DWORD_PTR count = 0;
        if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, kPatienceMs, &count)) return false;
        ++watch.answers;
        if (const double ms = MillisecondsSince(asked); ms > watch.slowest_ms) watch.slowest_ms = ms;
        watch.counts.insert(count);
        if (IsHungAppWindow(main)) ++watch.hung;
        Sleep(20);
    }
    watch.seconds = MillisecondsSince(start) / 1000;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    const HWND main = WaitForMainWindow();
    const HWND list = GetDlgItem(main, kList);
    Watch watch;
    bool ok = main != nullptr && !IsWindowEnabled(GetDlgItem(main, kButtonStart));
    if (ok) {
        SendMessageW(GetDlgItem(main, kFolderBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
        ok = WatchScan(main, list, watch);
    }
    if (ok) {
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        ok = SaveLines(list, count, argv[3]);
        std::printf("seconds=%.3f answers=%d slowest_answer_ms=%.1f counts_seen=%zu hung=%d lines=%d selection=%d top=%d\n",
                    watch.seconds, watch.answers, watch.slowest_ms, watch.counts.size(), watch.hung, count,
                    static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)),
                    static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0)));
    }
    if (main != nullptr) PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok ? 0 : 1;
}
