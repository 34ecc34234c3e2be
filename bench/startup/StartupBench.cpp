// Prints how long the shipped program takes from its process start to a painted main
// window that lists a full current-format book (2500 entries, made by pbtool): the
// median, fastest and slowest of several starts, watched from this process as a user
// would see it (the list's row count, the window shown, nothing left to paint).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../BenchProcess.h"

namespace {

// The book's size; STARTUP_BENCH_ENTRIES changes it, so that a run on a small book tells
// what the listing itself costs.
int g_entries = 2500;
constexpr int kListId = 1045;  // the main dialog's list

using bench::DistDir;
using bench::Now;

DWORD Run(std::wstring line, DWORD flags, PROCESS_INFORMATION& pi) {
    STARTUPINFOW si = {sizeof si};
    pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi))
        return GetLastError();
    return 0;
}

struct Found {
    DWORD process;
    HWND window;
};

BOOL CALLBACK FindMain(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != found->process || !GetDlgItem(window, kListId)) return TRUE;
    found->window = window;
    return FALSE;
}

struct Start {
    double shown = -1;   // the main window visible
    double listed = -1;  // its list showing the whole book, painted
};

// Milliseconds from the process start; listed stays negative when the list was not
// full within 20 s.
Start StartOnce(const std::wstring& program, const std::wstring& book) {
    Start times;
    PROCESS_INFORMATION pi;
    const double start = Now();
    if (Run(L"\"" + program + L"\" -f \"" + book + L"\"", 0, pi) != 0) return times;
    Found found = {pi.dwProcessId, nullptr};
    while (Now() - start < 20000) {
        if (!found.window) EnumWindows(FindMain, reinterpret_cast<LPARAM>(&found));
        if (found.window && IsWindowVisible(found.window)) {
            if (times.shown < 0) times.shown = Now() - start;
            HWND list = GetDlgItem(found.window, kListId);
            DWORD_PTR count = 0;
            if (SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count) && count == static_cast<DWORD_PTR>(g_entries) &&
                !GetUpdateRect(list, nullptr, FALSE) && !GetUpdateRect(found.window, nullptr, FALSE)) {
                times.listed = Now() - start;
                break;
            }
        }
        Sleep(1);
    }
    if (found.window) PostMessageW(found.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return times;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
    if (const char* entries = std::getenv("STARTUP_BENCH_ENTRIES")) g_entries = std::clamp(std::atoi(entries), 0, 2500);
    // Programs to compare, started in turn so that both meet the same load.
    std::vector<std::wstring> programs;
    for (int i = 2; i < argc; ++i) programs.push_back(argv[i]);
    if (programs.empty()) programs.push_back(DistDir() + L"PhonebookEditor.exe");
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring book = std::wstring(temp) + L"startup-bench-" + std::to_wstring(GetCurrentProcessId()) + L".mpb2";
    PROCESS_INFORMATION pi;
    DWORD code = 1;
    if (Run(L"\"" + DistDir() + L"pbtool.exe\" sample \"" + book + L"\" --entries " + std::to_wstring(g_entries) + L" --groups 0 --replace",
            CREATE_NO_WINDOW, pi) == 0) {
        WaitForSingleObject(pi.hProcess, 120000);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (code != 0) {
        fprintf(stderr, "startup_bench: pbtool could not make %ls\n", book.c_str());
        return 1;
    }
    // One start each first, so every measured one finds the DLLs in the file cache.
    for (const std::wstring& program : programs) StartOnce(program, book);
    std::vector<std::vector<double>> shown(programs.size()), listed(programs.size());
    for (int i = 0; i < runs; ++i) {
        for (size_t p = 0; p < programs.size(); ++p) {
            const Start times = StartOnce(programs[p], book);
            if (times.listed < 0) {
                fprintf(stderr, "startup_bench: %ls did not list %d entries within 20 s\n", programs[p].c_str(), g_entries);
                DeleteFileW(book.c_str());
                return 1;
            }
            shown[p].push_back(times.shown);
            listed[p].push_back(times.listed);
        }
    }
    DeleteFileW(book.c_str());
    for (size_t p = 0; p < programs.size(); ++p) {
        const auto [fastest, slowest] = std::minmax_element(listed[p].begin(), listed[p].end());
        printf("%ls\n  start to a listed book of %d entries, %d starts: median %.1f ms (fastest %.1f, slowest %.1f); "
               "window shown after %.1f ms\n",
               programs[p].c_str(), g_entries, runs, Median(listed[p]), *fastest, *slowest, Median(shown[p]));
    }
    return 0;
}
