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
#include "importexport/FileByteSource.h"
#include "importexport/core/NamedColumns.h"
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

    // A contacts export of 60 columns read by its names: reading, decoding, splitting
    // and mapping alone; the add only counts, so the engine's share is left out.
    {
        std::string named = "Name,First Name,Last Name,Business Fax,Company,Business Phone,E-mail Address";
        for (int c = 7; c < 60; ++c) named += CMString::Formatted(L",Custom %d", c).ToUtf8();
        named += "\r\n";
        for (int i = 0; i < kRecords; ++i) {
            named += CMString::Formatted(L"\"M\u00fcller, %04d\",Anna,M\u00fcller,+49 30-%06d,\"Org \"\"%d\"\"\",030 %d,u%d@example.org",
                                         i, i, i % 50, i, i).ToUtf8();
            for (int c = 7; c < 60; ++c) named += c == 30 ? ",\"two\r\nlines\"" : CMString::Formatted(L",v%d", c).ToUtf8();
            named += "\r\n";
        }
        const CMString namedPath = folder + L"named.csv";
        {
            UniqueFile out(CreateFileW(namedPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            WriteFile(out.Get(), named.data(), static_cast<DWORD>(named.size()), &written, nullptr);
        }
        const delimited::CharacterRules rules = {book.model->AllowedFaxChars(), book.model->AllowedMailboxChars()};
        unsigned mapped = 0;
        const delimited::AddEntry add = [&mapped](const delimited::EntryFields&) { return ++mapped, 0; };
        start = std::chrono::steady_clock::now();
        const delimited::Header header = file.Examine(namedPath);
        UniqueFile in(CreateFileW(namedPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        FileByteSource source(in.Get());
        const delimited::FileStart encoding = delimited::DetectFileEncoding(source, true);
        delimited::RecordReader reader(source, delimited::ReadingLayout(header, file.Settings().layout), encoding,
                                       DecodeAnsi, header.dataStart);
        CMString record;
        while (reader.Next(record) == delimited::RecordReader::Status::Record)
            delimited::ImportNamed(record, header, file.Settings().layout, rules, add);
        printf("named file, %d records of %zu columns (%zu recognised): parse and map %.1f ms, %u mapped\n", kRecords,
               header.columnCount, header.recognised, Ms(start), mapped);
        in.Reset();
        DeleteFileW(namedPath.c_str());
    }

    book.model->CloseFile();
    for (const wchar_t* name : {L"in.csv", L"out.csv", L"out-ansi.csv", L"bench.mpb2"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
