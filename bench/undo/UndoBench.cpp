// Prints one line per figure: what keeping the undo log adds to a sync of a full book
// of 2,500 entries (10 % changed, 5 % new, 5 % gone), taking that sync back, and the
// size of the log after 20 such syncs. The same sync runs on two copies of the book, one
// with the log kept and one without. Run under Wine: the engine lies beside the
// program, the language library in dist; the logs go to a folder of the bench's own.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/AppGlobals.h"
#include "controls/MessageDialog.h"
#include "data/CPhonebook.h"
#include "importexport/DelimitedTextFile.h"
#include "intake/Applier.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/resource.h"
#include "undo/UndoSession.h"
#include "util/Handles.h"
#include "util/TextResourceLoader.h"

namespace {

constexpr int kRecords = 2500;
constexpr int kRuns = 5;

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

CMString DistPath(const wchar_t* relative) {
    std::string dist = PBE_DIST_DIR;
    std::wstring dir = dist[0] == '/' ? L"Z:" : L"";
    for (char c : dist) dir.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return CMString(dir) + L"\\" + relative;
}

INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void WriteFileBytes(const CMString& path, const std::string& bytes) {
    UniqueFile out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(out.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The staff list (generation 0), and generation g of it: every tenth record changed,
// one in twenty gone and as many new ones.
std::string StaffList(int g) {
    std::string csv;
    for (int i = 0; i < kRecords; ++i) {
        if (g && (i + g) % 20 == 7) continue;
        const bool changed = g && (i + g) % 10 == 3;
        csv += CMString::Formatted(L"M\u00fcller \u05d3 %04d,+49 30-%06d,\"Org %d%s, Ltd.\",030 1234,user%d@example.org,%d\r\n",
                                   i, i, i % 50, changed ? CMString::Formatted(L" (v%d)", g).c_str() : L"", i, i % 1000)
                   .ToUtf8();
    }
    for (int i = 0; g && i < kRecords / 20; ++i)
        csv += CMString::Formatted(L"Neu %d %04d,+49 40 %02d%04d,Neu GmbH,,,\r\n", g, i, g, i).ToUtf8();
    return csv;
}

struct Book {
    UniqueWindow dialog;
    ListViewUIControl list{IDC_LIST};
    std::unique_ptr<CPhonebook> model;
    Book(const CMString& path, bool logged) {
        dialog.Reset(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr, Proc, 0));
        list.AttachToDialog(dialog.Get());
        model = std::make_unique<CPhonebook>(dialog.Get());
        model->AttachMainList(&list);
        model->Database().SetUndoKept(logged);
        if (!model->Database().Open(path, 0, 0)) {
            fprintf(stderr, "undo_bench: cannot open %ls\n", path.c_str());
            exit(1);
        }
    }
};

intake::Outcome Sync(Book& book, const CMString& csv, intake::Mode mode = intake::Mode::Sync) {
    DelimitedTextFile file(*book.model, book.dialog.Get());
    file.Settings().utf8 = true;
    file.Settings().layout.columns = {delimited::Column::Name,  delimited::Column::Fax,   delimited::Column::Organization,
                                      delimited::Column::Phone, delimited::Column::Email, delimited::Column::Mailbox};
    intake::SourceRead read;
    if (!file.Read(csv, read)) return {};
    intake::Options options;
    options.mode = mode;
    intake::Applier applier(*book.model);
    applier.SetSourceName(csv);
    return applier.Run(read, options);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain() {
    app::SetInstance(GetModuleHandleW(nullptr));
    SetMessageSink([](const CMString&, const CMString& text, UINT) {
        fprintf(stderr, "undo_bench: %s\n", text.ToUtf8().c_str());
        return IDOK;
    });
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    if (!TextResourceLoader::Initialize(DistPath(L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll"), true)) {
        fprintf(stderr, "undo_bench: no language library\n");
        return 1;
    }
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const CMString folder = CMString(temp) + CMString::Formatted(L"pbe-undo-bench-%lu\\", GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    // Settings of this run alone: no log of an earlier run is found.
    const CMString settings = folder + CMString::Formatted(L"settings-%llu", GetTickCount64());
    CreateDirectoryW(settings.c_str(), nullptr);
    SetEnvironmentVariableW(L"APPDATA", settings.c_str());

    std::vector<CMString> lists;
    for (int g = 0; g <= 21; ++g) {
        lists.push_back(folder + CMString::Formatted(L"staff%d.csv", g));
        WriteFileBytes(lists.back(), StaffList(g));
    }
    // The full book, made once (unlogged) and copied for every run.
    const CMString seed = folder + L"seed.mpb2";
    DeleteFileW(seed.c_str());
    {
        Book book(seed, false);
        intake::Outcome filled = Sync(book, lists[0], intake::Mode::Add);
        printf("book of %u entries made\n", filled.counts.imported);
    }

    std::vector<double> plain, logged, undone, scans, planned;
    size_t restored = 0, reverted = 0, removed = 0;
    for (int run = 0; run < kRuns; ++run) {
        const CMString a = folder + CMString::Formatted(L"plain%d.mpb2", run);
        const CMString b = folder + CMString::Formatted(L"logged%d.mpb2", run);
        CopyFileW(seed.c_str(), a.c_str(), FALSE);
        CopyFileW(seed.c_str(), b.c_str(), FALSE);
        {
            Book book(a, false);
            auto start = std::chrono::steady_clock::now();
            Sync(book, lists[1]);
            plain.push_back(Ms(start));
        }
        {
            Book book(b, true);
            auto start = std::chrono::steady_clock::now();
            const intake::Outcome out = Sync(book, lists[1]);
            logged.push_back(Ms(start));
            if (!out.stored) fprintf(stderr, "undo_bench: the sync was not stored (refusal %d)\n", static_cast<int>(out.plan.refusal));
            undo::Session* log = book.model->Database().UndoLog();
            if (log) {
                std::vector<undo::Item> items;
                start = std::chrono::steady_clock::now();
                log->ReadBook(items);
                scans.push_back(Ms(start));
            }
            start = std::chrono::steady_clock::now();
            if (log) log->TakeBack(0, true);
            planned.push_back(Ms(start));
            start = std::chrono::steady_clock::now();
            const undo::Session::Outcome back = log ? log->TakeBack(0, false) : undo::Session::Outcome();
            undone.push_back(Ms(start));
            restored = back.plan.addEntries.size(), reverted = back.plan.revert.size(), removed = back.plan.removeEntries.size();
            if (!back.stored || back.applied.failed) fprintf(stderr, "undo_bench: the undo did not land whole\n");
        }
    }
    printf("sync of %d entries without the undo log: %.1f ms, with it: %.1f ms (median of %d): the log adds %.1f ms\n",
           kRecords, Median(plain), Median(logged), kRuns, Median(logged) - Median(plain));
    printf("one read of the whole book (as an undo's plan reads it): %.1f ms\n", Median(scans));
    printf("its undo planned (the log and the book read, a dry run): %.1f ms\n", Median(planned));
    printf("undo of that sync (%zu entries back, %zu reverted, %zu removed): %.1f ms (median of %d)\n", restored,
           reverted, removed, Median(undone), kRuns);

    // Twenty syncs, to a generation and back to the list, each changing as much: the
    // log of the book.
    {
        const CMString path = folder + L"twenty.mpb2";
        CopyFileW(seed.c_str(), path.c_str(), FALSE);
        Book book(path, true);
        for (int g = 1; g <= 20; ++g) Sync(book, lists[static_cast<size_t>(g % 2 ? g : 0)]);
        undo::Session* log = book.model->Database().UndoLog();
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (log && GetFileAttributesExW(log->LogPath().c_str(), GetFileExInfoStandard, &data))
            printf("undo log after 20 such syncs: %zu changes kept, %.2f MB\n", log->Changes().size(),
                   (static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / (1024.0 * 1024.0));
    }
    return 0;
}
