// Prints one line per figure: import of a 2500-record CSV file into an empty
// current-format phone book, and export of the full book, through the program's own
// model, list view and the real engine, as the import/export dialog runs them. Run
// under Wine: the engine lies beside the program, the language library in dist.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "importexport/DelimitedTextFile.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/resource.h"
#include "util/Handles.h"
#include "util/TextResourceLoader.h"

namespace {

constexpr int kRecords = 2500;

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

// A book open in a model whose main list is the main dialog's list view.
struct Book {
    UniqueWindow dialog;
    ListViewUIControl list{IDC_LIST};
    std::unique_ptr<CPhonebook> model;

    explicit Book(const CMString& path) {
        DeleteFileW(path.c_str());
        dialog.Reset(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr, Proc, 0));
        list.AttachToDialog(dialog.Get());
        model = std::make_unique<CPhonebook>(dialog.Get());
        model->AttachMainList(&list);
        if (!model->Database().Open(path, 0, 0)) {
            fprintf(stderr, "importexport_bench: cannot open %ls\n", path.c_str());
            exit(1);
        }
    }
};

}  // namespace

int wmain() {
    app::SetInstance(GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    if (!TextResourceLoader::Initialize(DistPath(L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll"), true)) {
        fprintf(stderr, "importexport_bench: no language library\n");
        return 1;
    }
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const CMString folder = CMString(temp) + CMString::Formatted(L"pbe-bench-%lu\\", GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    // Records as a spreadsheet would write them, with non-ASCII names and quoted fields.
    std::string csv;
    for (int i = 0; i < kRecords; ++i) {
        csv += CMString::Formatted(L"M\u00fcller \u05d3 %04d,+49 30-%06d,\"Org %d, Ltd.\",030 1234,user%d@example.org,%d\r\n",
                                   i, i, i % 50, i, i % 1000)
                   .ToUtf8();
    }
    const CMString csvPath = folder + L"in.csv";
    {
        UniqueFile out(CreateFileW(csvPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(out.Get(), csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr);
    }

    Book book(folder + L"bench.mpb2");
    DelimitedTextFile file(*book.model, book.dialog.Get());
    file.Settings().layout.columns = {delimited::Column::Name,  delimited::Column::Fax,   delimited::Column::Organization,
                                      delimited::Column::Phone, delimited::Column::Email, delimited::Column::Mailbox};
    file.Settings().capacity = book.model->Database().Capacity();

    // What the engine's adds cost alone, so the import's own share can be told apart.
    {
        Book raw(folder + L"raw.mpb2");
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRecords; ++i)
            raw.model->AddFromFields(CMString::Formatted(L"Name %d", i), L"555", L"", L"", L"", L"", false, false);
        printf("baseline: %d adds through the model alone: %.1f ms\n", kRecords, Ms(start));
        raw.model->CloseFile();
        DeleteFileW((folder + L"raw.mpb2").c_str());
    }

    auto start = std::chrono::steady_clock::now();
    file.ImportFromFile(csvPath);
    printf("import %u of %d records (UTF-8 CSV, empty current-format book): %.1f ms\n", file.Counters().imported,
           kRecords, Ms(start));

    start = std::chrono::steady_clock::now();
    book.model->Refresh(true);
    printf("list refill with %d rows afterwards: %.1f ms\n", book.model->GetItemCount(), Ms(start));

    start = std::chrono::steady_clock::now();
    file.ExportToFile(folder + L"out.csv");
    printf("export %d records (UTF-8 CSV, full book): %.1f ms\n", book.model->GetItemCount(), Ms(start));

    file.Settings().utf8 = false;
    start = std::chrono::steady_clock::now();
    file.ExportToFile(folder + L"out-ansi.csv");
    printf("export %d records (ANSI code page): %.1f ms\n", book.model->GetItemCount(), Ms(start));

    book.model->CloseFile();
    for (const wchar_t* name : {L"in.csv", L"out.csv", L"out-ansi.csv", L"bench.mpb2"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
