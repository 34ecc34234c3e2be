// Prints (1) how long the shipped program takes from its process start to a painted main
// window listing a full book (2500 entries), without and with a follow due at start (a
// user policy naming the directory), started in turn; and (2) how long from the process
// start until a follow of the directory has landed in an empty book (the user's record
// of the follow is written when it lands), with what it added.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "../BenchProcess.h"

namespace {

constexpr int kListId = 1045;  // the main dialog's list
const wchar_t kPolicyKey[] = L"Software\\Policies\\Morva\\PhoneBookEditor";
const wchar_t kFollowKey[] = L"Software\\Morva\\PhoneBookEditor\\Follow";

using bench::DistDir;
using bench::Now;

bool Run(std::wstring line, DWORD flags, PROCESS_INFORMATION& pi) {
    STARTUPINFOW si = {sizeof si};
    pi = {};
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si, &pi);
}

bool Pbtool(const std::wstring& arguments) {
    PROCESS_INFORMATION pi;
    DWORD code = 1;
    if (!Run(L"\"" + DistDir() + L"pbtool.exe\" " + arguments, CREATE_NO_WINDOW, pi)) return false;
    WaitForSingleObject(pi.hProcess, 120000);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
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

void SetPolicy(const std::wstring& url, bool on) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kPolicyKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kFollowKey);
    if (!on) return;
    RegSetKeyValueW(HKEY_CURRENT_USER, kPolicyKey, L"Server", REG_SZ, url.c_str(),
                    static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
    const wchar_t group[] = L"Directory";
    RegSetKeyValueW(HKEY_CURRENT_USER, kPolicyKey, L"Group", REG_SZ, group, sizeof group);
    DWORD one = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, kPolicyKey, L"FollowAtStart", REG_DWORD, &one, sizeof one);
}

// The follow record of any book: written when a follow lands or fails.
DWORD g_readMs = 0, g_planMs = 0, g_applyMs = 0, g_landMs = 0;
bool Landed(DWORD& ok, DWORD& added) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kFollowKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    wchar_t name[512] = {};
    DWORD length = 512;
    const bool any = RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    DWORD size = sizeof ok;
    const bool read = any && RegGetValueW(key, name, L"Ok", RRF_RT_REG_DWORD, nullptr, &ok, &size) == ERROR_SUCCESS;
    size = sizeof added;
    if (read) RegGetValueW(key, name, L"Added", RRF_RT_REG_DWORD, nullptr, &added, &size);
    for (auto [value, out] : {std::pair{L"ReadMs", &g_readMs}, std::pair{L"PlanMs", &g_planMs}, std::pair{L"ApplyMs", &g_applyMs}, std::pair{L"LandMs", &g_landMs}}) {
        size = sizeof(DWORD);
        if (read) RegGetValueW(key, name, value, RRF_RT_REG_DWORD, nullptr, out, &size);
    }
    RegCloseKey(key);
    return read;
}

struct Times {
    double listed = -1, landed = -1;
    // The longest the window took to answer a message while the follow ran.
    double longestUnanswered = 0;
    DWORD ok = 0, added = 0;
};

// rows: the list's count that means listed; follow: wait for the follow's record too.
Times StartOnce(const std::wstring& book, int rows, bool follow) {
    Times times;
    PROCESS_INFORMATION pi;
    const double start = Now();
    if (!Run(L"\"" + DistDir() + L"PhonebookEditor.exe\" -f \"" + book + L"\"", 0, pi)) return times;
    Found found = {pi.dwProcessId, nullptr};
    while (Now() - start < 30000) {
        if (!found.window) EnumWindows(FindMain, reinterpret_cast<LPARAM>(&found));
        if (times.listed < 0 && found.window && IsWindowVisible(found.window)) {
            HWND list = GetDlgItem(found.window, kListId);
            DWORD_PTR count = 0;
            if (SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count) &&
                count >= static_cast<DWORD_PTR>(rows) && !GetUpdateRect(list, nullptr, FALSE) &&
                !GetUpdateRect(found.window, nullptr, FALSE))
                times.listed = Now() - start;
        }
        if (follow && times.listed >= 0 && times.landed < 0) {
            const double asked = Now();
            DWORD_PTR unused = 0;
            SendMessageTimeoutW(found.window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &unused);
            times.longestUnanswered = std::max(times.longestUnanswered, Now() - asked);
        }
        if (follow && times.landed < 0 && Landed(times.ok, times.added)) times.landed = Now() - start;
        if (times.listed >= 0 && (!follow || times.landed >= 0)) break;
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
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: follow_bench <ldap URL> [runs]\n");
        return 2;
    }
    const std::wstring url = argv[1];
    const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 9;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring stem = std::wstring(temp) + L"follow-bench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring full = stem + L"-full.mpb2", empty = stem + L"-empty.mpb2";
    if (!Pbtool(L"sample \"" + full + L"\" --entries 2500 --groups 0 --replace")) {
        fprintf(stderr, "follow_bench: pbtool could not make %ls\n", full.c_str());
        return 1;
    }
    // Start-up on a full book, without and with a follow due, in turn.
    SetPolicy(url, false);
    StartOnce(full, 2500, false);
    std::vector<double> without, with;
    for (int i = 0; i < runs; ++i) {
        SetPolicy(url, false);
        without.push_back(StartOnce(full, 2500, false).listed);
        SetPolicy(url, true);
        with.push_back(StartOnce(full, 2500, false).listed);
    }
    printf("start to a listed book of 2500 entries, %d starts each: median %.1f ms without a follow, %.1f ms with a "
           "follow due at start\n",
           runs, Median(without), Median(with));
    // The follow landing in an empty book.
    std::vector<double> landed, unanswered;
    DWORD added = 0, ok = 0;
    for (int i = 0; i < runs; ++i) {
        if (!Pbtool(L"create \"" + empty + L"\" --format mpb2 --replace")) return 1;
        SetPolicy(url, true);
        const Times t = StartOnce(empty, 0, true);
        if (t.landed < 0 || !t.ok) {
            fprintf(stderr, "follow_bench: the follow did not land (ok %lu)\n", static_cast<unsigned long>(t.ok));
            SetPolicy(url, false);
            return 1;
        }
        landed.push_back(t.landed);
        unanswered.push_back(t.longestUnanswered);
        added = t.added;
        ok = t.ok;
    }
    SetPolicy(url, false);
    DeleteFileW(full.c_str());
    DeleteFileW(empty.c_str());
    printf("start to a landed follow of %lu directory entries into an empty book, %d starts: median %.1f ms (fastest "
           "%.1f, slowest %.1f)\n",
           static_cast<unsigned long>(added), runs, Median(landed), *std::min_element(landed.begin(), landed.end()),
           *std::max_element(landed.begin(), landed.end()));
    printf("the last follow: %lu ms reading the directory, %lu ms planning, %lu ms carrying the plan out, %lu ms "
           "from the read's end to the book and list taking it\n",
           static_cast<unsigned long>(g_readMs), static_cast<unsigned long>(g_planMs), static_cast<unsigned long>(g_applyMs),
           static_cast<unsigned long>(g_landMs));
    printf("the window's longest wait to answer while the follow ran: median %.1f ms\n", Median(unanswered));
    return ok ? 0 : 1;
}
