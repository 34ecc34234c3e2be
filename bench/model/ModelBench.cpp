// Prints one line per figure: the main list refilled for one search keystroke in a full
// current-format book (2500 entries), for a search that keeps every row and for one
// that leaves 50 (each with its split: engine, wrapper, the list's rows, paint),
// the sort of a header click on the full list, the storage wrapper's enumeration of the
// full book, and the main window's start on the full book until its list is painted. Each figure runs
// from the search text to the painted list, through the real model, engine, language
// library and main dialog template, with a parent that does the main dialog's work for
// every list notification.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "mainwindow/PhoneBookDlg.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/resource.h"
#include "util/Handles.h"
#include "util/TextResourceLoader.h"

namespace {

constexpr int kEntries = 2500;
constexpr int kFew = 50;
constexpr int kRuns = 15;

ListViewUIControl* g_list = nullptr;

// The main dialog's reaction to each list notification: its buttons follow the
// selection (a button is touched only when its state changes), then the wrapper
// raises its events; an owner-data list's questions go straight to the wrapper.
struct Buttons {
    HWND edit, remove, copy;
} g_buttons;

void Follow(HWND button, bool enabled) {
    if ((IsWindowEnabled(button) != FALSE) != enabled) EnableWindow(button, enabled);
}

INT_PTR CALLBACK BenchDialogProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_NOTIFY || !g_list || wParam != IDC_LIST) return FALSE;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (g_list->IsDataRequest(header)) return g_list->OnNotify(message, wParam, header);
    const int n = g_list->GetSelectedCount();
    Follow(g_buttons.edit, n == 1);
    Follow(g_buttons.remove, n > 0);
    Follow(g_buttons.copy, n > 0);
    return g_list->OnNotify(message, wParam, reinterpret_cast<const NMHDR*>(lParam));
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

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

// Median and worst of kRuns, after one run that warms the caches.
void Report(const char* figure, double target, const std::function<void()>& prepare, const std::function<void()>& run) {
    std::vector<double> times;
    for (int i = 0; i <= kRuns; ++i) {
        prepare();
        Pump();
        const double start = Now();
        run();
        const double elapsed = Now() - start;
        if (i > 0) times.push_back(elapsed);
    }
    std::sort(times.begin(), times.end());
    printf("%s: median %.2f ms, worst %.2f ms (target %g ms)\n", figure, times[times.size() / 2], times.back(), target);
}

CMString DistDir() {
    CMString dist = CMString::FromUtf8(PBE_DIST_DIR);
    if (dist.GetAt(0) == L'/') dist = CMString(L"Z:") + dist;
    dist.Replace(L"/", L"\\");
    return dist + L"\\";
}

}  // namespace

int wmain() {
    app::SetInstance(GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    if (!TextResourceLoader::Initialize(DistDir() + L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll", true)) {
        fprintf(stderr, "model_bench: no language library under %s\n", PBE_DIST_DIR);
        return 1;
    }

    UniqueWindow dialog(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr, BenchDialogProc, 0));
    if (!dialog) {
        fprintf(stderr, "model_bench: the main dialog cannot be made\n");
        return 1;
    }
    ShowWindow(dialog.Get(), SW_SHOWNA);
    g_buttons = {GetDlgItem(dialog.Get(), IDC_EDIT_BUTTON), GetDlgItem(dialog.Get(), IDC_DELETE),
                 GetDlgItem(dialog.Get(), IDC_COPY_PERSONAL)};
    ListViewUIControl list(IDC_LIST);
    list.AttachToDialog(dialog.Get());
    g_list = &list;
    CPhonebook model(dialog.Get());
    model.AttachMainList(&list);

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const CMString path = CMString::Formatted(L"%smodel-bench-%lu.mpb2", temp, GetCurrentProcessId());
    DeleteFileW(path.c_str());
    if (!model.Database().Create(path)) {
        fprintf(stderr, "model_bench: cannot create %ls\n", path.c_str());
        return 1;
    }
    // Every entry works at Contoso; 50 of them are called Zephyr.
    for (int i = 0; i < kEntries; ++i) {
        const CMString name = i < kFew ? CMString::Formatted(L"Zephyr %02d", i)
                                       : CMString::Formatted(L"Person %04d", (i * 7919) % kEntries);
        const CMString fax = CMString::Formatted(L"+1 555 %04d", i);
        if (model.AddFromFields(name, fax, L"Contoso", L"", L"", L"", false, false) != 0) {
            fprintf(stderr, "model_bench: entry %d not added\n", i);
            return 1;
        }
    }
    model.Database().SetWideMode(true);
    model.Database().SetCurrentFormat(true);
    model.Database().Open(path, 0, 0);

    auto search = [&](const wchar_t* text) {
        model.SetSearchText(text);
        model.Refresh(true);
        RedrawWindow(list.ListWindow(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    };
    // Where a keystroke's time goes: the engine alone (its own header on the same file),
    // the wrapper's records, the list taking the new rows (the old ones go with them),
    // painting.
    using Find2 = intptr_t (*)(pbabi::PbHeaderW*, pbabi::PBEW*, const pbabi::PbTermSlotW*, uint16_t*, int*);
    using Open = int (*)(pbabi::PbHeaderW*, const wchar_t*, uint8_t, int*);
    HMODULE engine = GetModuleHandleW(L"m2fpd02.dll");
    auto find2 = reinterpret_cast<Find2>(reinterpret_cast<void*>(GetProcAddress(engine, "WPbFindFirstOrNext2")));
    auto open = reinterpret_cast<Open>(reinterpret_cast<void*>(GetProcAddress(engine, "WPbOpenPhonebook")));
    pbabi::PbHeaderW own{};
    int code = -1;
    if (open) open(&own, path.c_str(), pbabi::kModeReadOnly, &code);
    auto split = [&](const wchar_t* figure, const wchar_t* from, const wchar_t* to) {
        double parts[4] = {};
        for (int run = 0; run < kRuns; ++run) {
            search(from);
            Pump();
            PhonebookDB probe;
            probe.SetWideMode(true);
            probe.SetSearchText(to);
            EngineRecord record = model.Database().NewEngineRecord();
            double t0 = Now();
            uint16_t cursor = pbabi::kCursorStart;
            int done = 0;
            while (!done && find2 && code == 0) find2(&own, &record.wide->Get(), probe.WideTerms(), &cursor, &done);
            double t1 = Now();
            RecordList records;
            model.Database().SetSearchText(to);
            model.Database().Enumerate(records, true);
            double t2 = Now();
            search(from);  // the rows back for the full refill
            Pump();
            double t4 = Now();
            model.SetSearchText(to);
            model.Refresh(true);
            double t5 = Now();
            RedrawWindow(list.ListWindow(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            double t6 = Now();
            const double delta[4] = {t1 - t0, (t2 - t1) - (t1 - t0), (t5 - t4) - (t2 - t1), t6 - t5};
            for (int i = 0; i < 4; ++i) parts[i] += delta[i] / kRuns;
        }
        printf("  split of \"%ls\" (mean): engine %.1f ms, wrapper %.1f ms, rows %.1f ms, paint %.1f ms\n", figure,
               parts[0], parts[1], parts[2], parts[3]);
    };
    Report("main list refill for one keystroke, 2500 rows", 20, [&] { search(L""); }, [&] { search(L"c"); });
    split(L"2500 rows", L"", L"c");
    if (model.GetItemCount() != kEntries) fprintf(stderr, "model_bench: %d rows, not %d\n", model.GetItemCount(), kEntries);
    Report("main list refill for one keystroke, 2500 rows to 50", 8, [&] { search(L""); }, [&] { search(L"zephyr"); });
    split(L"2500 to 50 rows", L"", L"zephyr");
    Report("main list refill for one keystroke, 50 rows", 8, [&] { search(L"zephy"); }, [&] { search(L"zephyr"); });
    split(L"50 rows", L"zephy", L"zephyr");
    if (model.GetItemCount() != kFew) fprintf(stderr, "model_bench: %d rows, not %d\n", model.GetItemCount(), kFew);
    search(L"");
    Report("header click sort, 2500 rows", 100, [] {}, [&] {
        model.ToggleSort(0);
        RedrawWindow(list.ListWindow(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    });

    // The full book's records as the model gets them, and the engine's part of it (its
    // own header on the same file): the rest is the wrapper's conversion.
    model.Database().SetSearchText(L"");
    Report("storage wrapper: enumerate 2500 after the first", 0.3, [] {}, [&] {
        RecordList records;
        model.Database().Enumerate(records, true);
    });
    Report("  of which the engine alone", 0, [] {}, [&] {
        EngineRecord record = model.Database().NewEngineRecord();
        uint16_t cursor = pbabi::kCursorStart;
        int done = 0;
        while (!done && find2 && code == 0) {
            record.Clear();
            find2(&own, &record.wide->Get(), nullptr, &cursor, &done);
        }
    });

    if (own.file && own.file != INVALID_HANDLE_VALUE) CloseHandle(own.file);

    // The main window on the full book, from its creation to its painted list.
    Report("start-up: main window listing the full book", 150, [] {}, [&] {
        MainDialogStart start;
        start.currentPath = path;
        start.forceReadOnly = true;
        CPhoneBookDlg main(start);
        HWND window = main.CreateModeless(nullptr, IDD_MAIN, IDD_MAIN_RTL);
        ShowWindow(window, SW_SHOWNA);
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (!main.List() || main.List()->GetItemCount() != kEntries) fprintf(stderr, "model_bench: start-up listed too few\n");
        DestroyWindow(window);
    });

    g_list = nullptr;
    model.CloseFile();
    DeleteFileW(path.c_str());
    return 0;
}
