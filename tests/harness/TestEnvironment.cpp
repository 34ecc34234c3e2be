#include "harness/TestEnvironment.h"

#include <shellapi.h>

#include <cstdlib>

#include "harness/GuiHarness.h"
#include "util/TextResourceLoader.h"

namespace testenv {

CMString DistDir() {
    const char* dist = std::getenv("PBE_DIST");
    CMString path = CMString::FromUtf8(dist ? dist : "");
    // Wine shows the Unix root as drive Z:.
    if (path.GetAt(0) == L'/') path = CMString(L"Z:") + path;
    path.Replace(L"/", L"\\");
    if (!path.IsEmpty() && path.GetAt(path.GetLength() - 1) != L'\\') path += L"\\";
    return path;
}

CMString LanguageLibrary(const wchar_t* language) {
    return DistDir() + L"Morva\\Language Data\\V5.0\\" + language + L"\\m2txtZY.dll";
}

bool UseLanguage(const wchar_t* language) { return TextResourceLoader::Initialize(LanguageLibrary(language), false); }

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, base);
    static LONG counter = 0;
    for (;;) {
        m_path = CMString::Formatted(L"%spbe-test-%lu-%ld\\", base, GetCurrentProcessId(), InterlockedIncrement(&counter));
        if (CreateDirectoryW(m_path.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

TempFolder::~TempFolder() {
    // SHFileOperation needs a double-terminated list.
    std::wstring from = m_path.Left(m_path.GetLength() - 1).str();
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

int RunAndWait(const CMString& commandLine, DWORD timeoutMs) {
    CMString line = commandLine;
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.GetBuffer(line.GetLength() + 1), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

int RunPbtool(const CMString& arguments) { return RunAndWait(CMString(L"\"") + DistDir() + L"pbtool.exe\" " + arguments); }

HWND WaitForProcessDialog(DWORD process, int timeoutMs) {
    struct Found {
        DWORD process;
        HWND dialog;
    } found = {process, nullptr};
    harness::PumpUntil([&] {
        EnumWindows([](HWND window, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<Found*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            wchar_t cls[16] = {};
            GetClassNameW(window, cls, 16);
            if (pid != f->process || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
            f->dialog = window;
            return FALSE;
        }, reinterpret_cast<LPARAM>(&found));
        return found.dialog != nullptr;
    }, timeoutMs);
    return found.dialog;
}

bool MakeBook(const CMString& path, const wchar_t* format) {
    // A fresh book: one that is there already is replaced.
    return RunPbtool(CMString(L"create \"") + path + L"\" --format " + format + L" --replace") == 0;
}

void DeleteRegistryTree(HKEY root, const CMString& path) { RegDeleteTreeW(root, path.c_str()), RegDeleteKeyW(root, path.c_str()); }

}  // namespace testenv
