#pragma once
// pbtool run as a script runs it, a separate process on real books, and what a book
// holds read back through the storage wrapper: shared by the tests of its commands.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "data/PhonebookDB.h"
#include "harness/TestEnvironment.h"
#include "util/CMString.h"

namespace pbtooltest {

struct ToolRun {
    int code = -1;
    std::string out, err;
};

inline std::string ReadAll(const CMString& path) {
    std::string text;
    HANDLE in = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
    char buffer[4096];
    DWORD n = 0;
    while (in != INVALID_HANDLE_VALUE && ReadFile(in, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    return text;
}

inline void WriteText(const CMString& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
}

// pbtool with these arguments: its exit code, standard output and standard error (its
// messages name the fault).
inline ToolRun Pbtool(const testenv::TempFolder& folder, const CMString& arguments) {
    ToolRun run;
    // Files of their own each time: a child's inherited handle may outlive it a little.
    static int runs = 0;
    const CMString stem = folder.File((L"pbtool-" + std::to_wstring(++runs)).c_str());
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW((stem + L".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW((stem + L".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
        STARTUPINFOW si = {sizeof si};
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = out;
        si.hStdError = err;
        PROCESS_INFORMATION pi = {};
        CMString line = L"\"" + testenv::DistDir() + L"pbtool.exe\" " + arguments;
        if (CreateProcessW(nullptr, line.GetBuffer(line.GetLength() + 1), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &si, &pi)) {
            DWORD code = static_cast<DWORD>(-1);
            if (WaitForSingleObject(pi.hProcess, 180000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
            run.code = static_cast<int>(code);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    run.out = ReadAll(stem + L".out");
    run.err = ReadAll(stem + L".err");
    return run;
}

inline CMString Q(const CMString& path) { return L"\"" + path + L"\""; }

// One line per entry with every field, one per group with its members, sorted. An
// import drops hyphens from fax numbers: with withoutHyphens the book's lose them too.
inline std::vector<std::wstring> Contents(const CMString& path, bool withoutHyphens = false) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    std::vector<std::wstring> lines;
    if (!db.Open(path, 0, 1)) return lines;
    RecordList records, members;
    db.SetSearchText(CMString());
    db.Enumerate(records, true);
    auto fax = [&](const CMString& text) {
        std::wstring f = text.str();
        if (withoutHyphens) f.erase(std::remove(f.begin(), f.end(), L'-'), f.end());
        return f;
    };
    for (const auto& r : records) {
        if (!r->IsGroup()) {
            lines.push_back(L"E|" + std::wstring(r->name) + L"|" + fax(r->fax) + L"|" + r->organization + L"|" +
                            r->phone + L"|" + r->email + L"|" + std::to_wstring(r->mailbox));
            continue;
        }
        std::vector<std::wstring> names;
        members.clear();
        if (db.ReadRecordById(r->id)) db.ListGroupMembers(members);
        for (const auto& m : members) names.push_back(std::wstring(m->name) + L"/" + fax(m->fax));
        std::sort(names.begin(), names.end());
        std::wstring line = L"G|" + std::wstring(r->name);
        for (const auto& n : names) line += L"|" + n;
        lines.push_back(line);
    }
    db.Close();
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace pbtooltest
