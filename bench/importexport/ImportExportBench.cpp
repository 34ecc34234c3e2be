// Prints one line per figure: import of a 2500-record CSV file into an empty
// current-format phone book, and export of the full book, through the program's own
// model, list view and the real engine, as the import/export dialog runs them; a plan
// of 100,000 records against the full book; vCard files; a sync of a full book from a
// newer export, and its dry run. Run under Wine: the engine lies
// beside the program, the language library in dist.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/AppGlobals.h"
#include "controls/MessageDialog.h"
#include "data/CPhonebook.h"
#include "importexport/DelimitedTextFile.h"
#include "importexport/FileByteSource.h"
#include "importexport/core/NamedColumns.h"
#include "importexport/core/VCard.h"
#include "directory/LdapReader.h"
#include "intake/Applier.h"
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

// The engine's disk flushes, counted where it calls the system: its import of
// FlushFileBuffers is pointed at a counter.
using FlushFn = BOOL(WINAPI*)(HANDLE);
FlushFn g_flush = nullptr;
unsigned g_flushes = 0;
BOOL WINAPI CountedFlush(HANDLE file) {
    ++g_flushes;
    return g_flush(file);
}
bool CountFlushes(HMODULE module) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); dir.Size && imp->Name; ++imp) {
        auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk));
        for (; names->u1.AddressOfData; ++names, ++thunk) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), "FlushFileBuffers") != 0) continue;
            DWORD old = 0;
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE, &old);
            g_flush = reinterpret_cast<FlushFn>(thunk->u1.Function);
            thunk->u1.Function = reinterpret_cast<ULONG_PTR>(&CountedFlush);
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

void WriteFileBytes(const CMString& path, const std::string& bytes) {
    UniqueFile out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(out.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The whole path an import takes: the file read once, the plan, and (unless dry) the
// plan carried out in one batch.
intake::Outcome Import(CPhonebook& model, DelimitedTextFile& file, const CMString& path, intake::Mode mode,
                       bool dryRun = false) {
    intake::SourceRead read;
    if (!file.Read(path, read)) return {};
    intake::Options options;
    options.mode = mode;
    return intake::Applier(model).Run(read, options, dryRun);
}

SIZE_T PeakPrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters = {sizeof counters};
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakPagefileUsage : 0;
}

// A card as a phone writes it, with a photo of about photoBytes folded at 75.
std::string Card(int i, size_t photoBytes) {
    std::string card = CMString::Formatted(L"BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\u00fcller %04d;Anna;;;\r\nFN:Anna M\u00fcller %04d\r\n"
                                           L"ORG:Org %d\r\nTEL;TYPE=WORK,FAX:+49 30 %06d\r\nTEL;TYPE=CELL:0170 %d\r\n"
                                           L"EMAIL;TYPE=INTERNET:u%d@example.org\r\nCATEGORIES:Team %d\r\n",
                                           i, i, i % 50, i, i, i, i % 10).ToUtf8();
    if (photoBytes) {
        std::string photo = "PHOTO;ENCODING=b;TYPE=JPEG:";
        photo.reserve(photoBytes + photoBytes / 24 + 32);
        for (size_t n = 0, column = photo.size(); n < photoBytes; ++n, ++column) {
            if (column == 75) {
                photo += "\r\n ";
                column = 1;
            }
            photo.push_back("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[(n * 7 + i) % 64]);
        }
        card += photo + "\r\n";
    }
    return card + "END:VCARD\r\n";
}

double ParseCards(const std::string& bytes, size_t* cards) {
    auto start = std::chrono::steady_clock::now();
    bool unicode = false;
    const std::string text = vcard::Utf8Bytes(bytes, unicode);
    vcard::Reader reader(text, unicode);
    vcard::Card card;
    *cards = 0;
    while (reader.Next(card)) ++*cards;
    return Ms(start);
}

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
    // Summaries and notices go to the console: nobody is there to close a window.
    SetMessageSink([](const CMString&, const CMString& text, UINT) {
        fprintf(stderr, "importexport_bench: %s\n", text.ToUtf8().c_str());
        return IDOK;
    });
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
    const intake::Outcome imported = Import(*book.model, file, csvPath, intake::Mode::Add);
    printf("import %u of %d records (UTF-8 CSV, empty current-format book): %.1f ms\n", imported.counts.imported,
           kRecords, Ms(start));

    // 100,000 records against the full book, planned but not carried out: the source's
    // records, the snapshot and the plan at once, in time and in memory.
    {
        std::string big;
        big.reserve(100000 * 72);
        for (int i = 0; i < 100000; ++i)
            big += CMString::Formatted(L"M\u00fcller \u05d3 %04d,+49 30-%06d,\"Org %d, Ltd.\",030 1234,user%d@example.org,%d\r\n",
                                       i, i, i % 50, i, i % 1000)
                       .ToUtf8();
        const CMString bigPath = folder + L"big.csv";
        WriteFileBytes(bigPath, big);
        big = std::string();
        const SIZE_T before = PeakPrivateBytes();
        start = std::chrono::steady_clock::now();
        const intake::Outcome planned = Import(*book.model, file, bigPath, intake::Mode::Sync, true);
        const double ms = Ms(start);
        printf("dry run of a sync from 100000 records against the full book (%u unchanged, %u without room): %.1f ms, "
               "peak private bytes %.1f MB (%.1f MB before)\n",
               planned.counts.unchanged, planned.counts.full, ms, PeakPrivateBytes() / 1048576.0, before / 1048576.0);
        DeleteFileW(bigPath.c_str());
    }

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

    // vCard: parsing alone, 2500 cards with 20 kB photos; 100,000 cards and one photo of
    // a megabyte on one line, to show it stays linear; and an import into an empty book.
    {
        std::string cards;
        for (int i = 0; i < kRecords; ++i) cards += Card(i, 20 * 1024);
        size_t n = 0;
        double ms = ParseCards(cards, &n);
        printf("vCard: %zu cards with 20 kB photos (%.1f MB): parse %.1f ms\n", n, cards.size() / 1048576.0, ms);
        std::string many;
        for (int i = 0; i < 100000; ++i) many += Card(i, 0);
        ms = ParseCards(many, &n);
        printf("vCard: %zu cards without photos: parse %.1f ms (%.2f us a card)\n", n, ms, ms * 1000 / n);
        std::string line = "BEGIN:VCARD\r\nFN:One\r\nTEL;TYPE=FAX:1\r\nPHOTO;ENCODING=b:" + std::string(1 << 20, 'A') + "\r\nEND:VCARD\r\n";
        ms = ParseCards(line, &n);
        printf("vCard: one card with a 1 MB photo line: parse %.1f ms\n", ms);
        std::string categories = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Many Groups\r\nTEL;TYPE=FAX:+49 30 1234\r\nCATEGORIES:";
        for (int i = 0; i < 16000; ++i) categories += (i ? ",Kategorie " : "Kategorie ") + std::to_string(i);
        categories += "\r\nEND:VCARD\r\n";
        ms = ParseCards(categories, &n);
        printf("vCard: one card with 16000 categories: parse %.1f ms\n", ms);
        const CMString vcfPath = folder + L"cards.vcf";
        WriteFileBytes(vcfPath, cards);
        Book empty(folder + L"cards.mpb2");
        DelimitedTextFile cardFile(*empty.model, empty.dialog.Get());
        start = std::chrono::steady_clock::now();
        const intake::Outcome cardsImported = Import(*empty.model, cardFile, vcfPath, intake::Mode::Add);
        printf("vCard: import %u of %d cards with photos and groups into an empty book: %.1f ms\n",
               cardsImported.counts.imported, kRecords, Ms(start));
        empty.model->Refresh(true);
        start = std::chrono::steady_clock::now();
        cardFile.ExportToFile(folder + L"out.vcf");
        printf("vCard: export %d entries with their groups: %.1f ms\n", empty.model->GetItemCount(), Ms(start));
        empty.model->CloseFile();
        for (const wchar_t* name : {L"cards.vcf", L"out.vcf", L"cards.mpb2"}) DeleteFileW((folder + name).c_str());
    }

    // A sync of the full book from a newer export: 10 % changed, 5 % new, 5 % gone.
    {
        std::string newer;
        for (int i = 0; i < kRecords; ++i) {
            if (i % 20 == 7) continue;  // gone
            const bool changed = i % 10 == 3;
            newer += CMString::Formatted(L"M\u00fcller \u05d3 %04d,+49 30-%06d,\"Org %d%s, Ltd.\",030 1234,user%d@example.org,%d\r\n",
                                         i, i, i % 50, changed ? L" (new)" : L"", i, i % 1000).ToUtf8();
        }
        for (int i = 0; i < kRecords / 20; ++i)
            newer += CMString::Formatted(L"Neu %04d,+49 40 %06d,Neu GmbH,,,\r\n", i, i).ToUtf8();
        const CMString newerPath = folder + L"newer.csv";
        WriteFileBytes(newerPath, newer);
        file.Settings().utf8 = true;
        const bool counting = CountFlushes(GetModuleHandleW(L"m2fpd02.dll"));
        start = std::chrono::steady_clock::now();
        const intake::Outcome dry = Import(*book.model, file, newerPath, intake::Mode::Sync, true);
        printf("dry run of that sync: %.1f ms (%zu adds, %zu updates, %zu removals planned)\n", Ms(start),
               dry.plan.adds.size(), dry.plan.updates.size(), dry.plan.removals.size());
        g_flushes = 0;
        start = std::chrono::steady_clock::now();
        const intake::Outcome result = Import(*book.model, file, newerPath, intake::Mode::Sync);
        const double ms = Ms(start);
        const delimited::ImportCounters& c = result.counts;
        printf("sync of %d entries from %u records: %u added, %u updated, %u unchanged, %u removed%s: %.1f ms, %s%u flushes\n",
               kRecords, c.read, c.imported, c.updated, c.unchanged, c.removed,
               result.stored ? "" : " (refused, nothing stored)", ms, counting ? "" : "(not counted) ", g_flushes);
        if (!result.stored) printf("  refusal %d\n", static_cast<int>(result.plan.refusal));
        DeleteFileW(newerPath.c_str());
    }

    // The office's directory, when one is named (tests/ldap-server starts one with its
    // 3000 people): a sync of an empty book from its search, bind to commit.
    wchar_t url[512] = {};
    if (GetEnvironmentVariableW(L"PBE_BENCH_LDAP_URL", url, 512)) {
        directory::Connection connection;
        directory::UrlFault fault = directory::UrlFault::None;
        directory::ParseUrl(url, connection.url, fault);
        wchar_t dn[256] = {}, password[256] = {};
        if (GetEnvironmentVariableW(L"PBE_BENCH_LDAP_DN", dn, 256)) connection.bindDn = dn;
        if (GetEnvironmentVariableW(L"PBE_BENCH_LDAP_PASSWORD", password, 256)) connection.password = password;
        Book target(folder + L"directory.mpb2");
        const delimited::CharacterRules rules = {target.model->AllowedFaxChars(), target.model->AllowedMailboxChars()};
        start = std::chrono::steady_clock::now();
        const directory::ReadResult result = directory::ReadDirectory(connection, directory::Mapping(), rules);
        intake::Options options;
        options.mode = intake::Mode::Sync;
        const intake::Outcome synced = intake::Applier(*target.model).Run(result.read, options);
        printf("sync of an empty book from a directory search of %zu entries (%u added, fault %d): %.1f ms: connect and "
               "bind %.1f ms, search %.1f ms, plan %.1f ms, apply %.1f ms\n",
               result.entries, synced.counts.imported, static_cast<int>(result.fault), Ms(start), result.connectMs,
               result.searchMs, synced.planMs, synced.applyMs);
        start = std::chrono::steady_clock::now();
        const directory::ReadResult again = directory::ReadDirectory(connection, directory::Mapping(), rules);
        const intake::Outcome resynced = intake::Applier(*target.model).Run(again.read, options);
        printf("the same sync again (%u unchanged): %.1f ms: connect and bind %.1f ms, search %.1f ms, plan %.1f ms, "
               "apply %.1f ms\n",
               resynced.counts.unchanged, Ms(start), again.connectMs, again.searchMs, resynced.planMs, resynced.applyMs);
        target.model->CloseFile();
        DeleteFileW((folder + L"directory.mpb2").c_str());
    }

    book.model->CloseFile();
    for (const wchar_t* name : {L"in.csv", L"out.csv", L"out-ansi.csv", L"bench.mpb2"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
