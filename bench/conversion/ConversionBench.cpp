// Prints the time to convert a full oldest-format book (980 entries and 20 groups with
// their members, made by pbtool) into the current format, through the real model,
// engine and language library: the median and worst of several runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "util/TextResourceLoader.h"

namespace {

constexpr int kRuns = 7;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

CMString DistDir() {
    CMString dist = CMString::FromUtf8(PBE_DIST_DIR);
    if (dist.GetAt(0) == L'/') dist = CMString(L"Z:") + dist;
    dist.Replace(L"/", L"\\");
    return dist + L"\\";
}

bool RunPbtool(const CMString& arguments) {
    CMString line = CMString(L"\"") + DistDir() + L"pbtool.exe\" " + arguments;
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.GetBuffer(line.GetLength() + 1), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi))
        return false;
    DWORD code = 1;
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
}

}  // namespace

int wmain() {
    app::SetInstance(GetModuleHandleW(nullptr));
    if (!TextResourceLoader::Initialize(DistDir() + L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll", true)) {
        fprintf(stderr, "conversion_bench: no language library under %s\n", PBE_DIST_DIR);
        return 1;
    }
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const CMString old = CMString::Formatted(L"%sconversion-bench-%lu.pb", temp, GetCurrentProcessId());
    const CMString target = CurrentFormatName(old);
    DeleteFileW(old.c_str());
    if (!RunPbtool(CMString::Formatted(L"sample \"%s\" --entries 980 --groups 20", old.c_str()))) {
        fprintf(stderr, "conversion_bench: pbtool could not make %ls\n", old.c_str());
        return 1;
    }

    std::vector<double> times;
    for (int i = 0; i <= kRuns; ++i) {
        DeleteFileW(target.c_str());
        CPhonebook model(nullptr);
        const double start = Now();
        const bool converted = model.ConvertFile(old);
        const double elapsed = Now() - start;
        if (!converted || model.GetItemCount() != 0) {
            fprintf(stderr, "conversion_bench: the conversion failed\n");
            return 1;
        }
        if (i > 0) times.push_back(elapsed);
    }
    std::sort(times.begin(), times.end());
    printf("convert a full oldest-format book (980 entries, 20 groups): median %.0f ms, worst %.0f ms (target 1000 ms)\n",
           times[times.size() / 2], times.back());
    DeleteFileW(target.c_str());
    DeleteFileW(old.c_str());
    return 0;
}
