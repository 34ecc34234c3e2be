#include "PrintCommand.h"

#include <windows.h>

#include <string>
#include <vector>

#include "BookJobs.h"
#include "Console.h"
#include "app/AppGlobals.h"
#include "controls/MessageDialog.h"
#include "data/PhonebookDB.h"
#include "printing/PrintJob.h"
#include "resources/resource.h"
#include "util/TextResourceLoader.h"

using namespace printing;

namespace pbtool {

namespace {

constexpr int kDefaultWaitSeconds = 60;
// Windows' own printer that writes PDF files.
const wchar_t kPdfPrinter[] = L"Microsoft Print to PDF";

struct PrintOptions {
    std::wstring book;
    std::wstring printer;
    std::vector<Column> columns = {Column::Name, Column::Fax, Column::Organization, Column::Phone};
    std::vector<std::wstring> groups;
    bool byGroup = false;
    std::wstring to;
    Paper paper = A4(150);
    bool letter = false;
    int dpi = 150;
    std::wstring language;
    unsigned waitSeconds = kDefaultWaitSeconds;
};

bool EndsWith(const std::wstring& text, const wchar_t* tail) {
    const size_t n = wcslen(tail);
    return text.size() >= n && CompareStringOrdinal(text.c_str() + text.size() - n, static_cast<int>(n), tail,
                                                    static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

bool LoadTexts(const std::wstring& language) {
    const CMString folder = language.empty() ? TextResourceLoader::GetCurrentUserUILanguage() : CMString(language);
    const CMString path = TextResourceLoader::LibraryPathFor(folder);
    if (TextResourceLoader::Initialize(path, false) && !app::Text(IDS_PRINT_PAGE_OF).IsEmpty()) return true;
    Fail(kExitFailed, L"the language library cannot be loaded (" + path.str() + L")");
    return false;
}

// The book's messages have no screen here: the exit code and pbtool's line tell.
class NoScreen {
public:
    NoScreen() {
        SetMessageSink([](const CMString&, const CMString&, UINT style) {
            const UINT type = style & MB_TYPEMASK;
            return type == MB_YESNO ? IDNO : type == MB_OKCANCEL ? IDCANCEL : IDOK;
        });
    }
    ~NoScreen() { SetMessageSink({}); }
    NoScreen(const NoScreen&) = delete;
    NoScreen& operator=(const NoScreen&) = delete;
};

int Run(const PrintOptions& options) {
    NoScreen noScreen;
    PhonebookDB db;
    if (!db.LoadEngine()) return Fail(kExitFailed, L"the engine cannot be loaded");
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    if (!db.Open(options.book.c_str(), 0, 1)) {
        if (db.LastCode() == pbabi::kBusy) return kExitBusy;
        return Fail(kExitFailed, L"cannot open " + options.book + L" (engine code " + std::to_wstring(db.LastCode()) + L")");
    }
    Book book;
    if (const int code = ReadBook(db, book); code != pbabi::kOk) {
        if (code == pbabi::kBusy) return kExitBusy;
        return Fail(kExitFailed, L"cannot read " + options.book + L" to its end (engine code " + std::to_wstring(code) + L")");
    }
    Choice choice;
    choice.order = NameOrder(book);
    choice.byGroup = options.byGroup;
    choice.ungroupedHeading = app::Text(IDS_PRINT_NO_GROUP).str();
    for (const std::wstring& name : options.groups) {
        bool found = false;
        for (const BookGroup& g : book.groups)
            if (CompareStringOrdinal(g.name.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) {
                choice.groups.push_back(g.id);
                found = true;
            }
        if (!found) return Fail(kExitFailed, L"the book has no group \"" + name + L"\"");
    }
    Document document;
    document.columns = options.columns;
    SetPageTexts(document, options.book);
    Select(book, choice, document);

    if (EndsWith(options.to, L".png")) {
        std::vector<std::wstring> written;
        Paper paper = options.letter ? Letter(options.dpi) : A4(options.dpi);
        const HRESULT hr = WritePagePictures(document, paper, options.to, &written);
        if (FAILED(hr)) {
            wchar_t code[16];
            swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
            return Fail(kExitFailed, L"the pictures cannot be written (" + std::wstring(code) + L")");
        }
        for (const auto& file : written) Say(file);
        return kExitOk;
    }

    std::wstring printer = options.printer;
    if (printer.empty() && EndsWith(options.to, L".pdf")) {
        if (!PrinterExists(kPdfPrinter))
            return Fail(kExitFailed, L"no PDF printer (\"" + std::wstring(kPdfPrinter) +
                                         L"\") is installed; --printer names one that writes PDF");
        printer = kPdfPrinter;
    }
    if (printer.empty()) printer = DefaultPrinterName();
    if (printer.empty()) return Fail(kExitFailed, L"no printer is installed, and --printer names none");
    HDC dc = CreatePrinterDc(printer);
    if (!dc) return Fail(kExitFailed, L"the printer \"" + printer + L"\" cannot be used");
    std::wstring output = options.to;
    if (!output.empty()) {
        wchar_t full[MAX_PATH * 4];
        if (GetFullPathNameW(output.c_str(), MAX_PATH * 4, full, nullptr)) output = full;
    }
    Progress progress(L"printing", 20);
    DWORD error = 0;
    int pages = 0;
    const JobResult result = PrintDocument(dc, document, document.title, output,
                                           [&](int page, int count) {
                                               progress(static_cast<unsigned long long>(page - 1),
                                                        static_cast<unsigned long long>(count));
                                               return true;
                                           },
                                           &error, &pages);
    DeleteDC(dc);
    if (result != JobResult::Printed)
        return Fail(kExitFailed, L"printing to \"" + printer + L"\" failed (error " + std::to_wstring(error) + L")");
    Say(std::to_wstring(document.entries.size()) + L" entries on " + std::to_wstring(pages) + L" pages to " + printer +
        (output.empty() ? L"" : L" (" + output + L")"));
    return kExitOk;
}

}  // namespace

int PrintCommand(int argc, wchar_t** argv) {
    PrintOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::wstring opt = argv[i];
        if (opt.size() < 2 || opt.compare(0, 2, L"--") != 0) {
            if (!options.book.empty()) return Fail(kExitUsage, L"print takes one book (pbtool --help)");
            options.book = opt;
            continue;
        }
        if (opt == L"--by-group") {
            options.byGroup = true;
            continue;
        }
        if (i + 1 >= argc) return Fail(kExitUsage, opt + L" needs a value, or is not an option of print");
        const std::wstring value = argv[++i];
        if (opt == L"--printer") options.printer = value;
        else if (opt == L"--columns") {
            if (!ParseColumnList(value, &options.columns))
                return Fail(kExitUsage, L"--columns takes each of name, fax, organization, phone, email, mailbox, groups "
                                        L"at most once, separated by commas");
        } else if (opt == L"--group") options.groups.push_back(value);
        else if (opt == L"--to") options.to = value;
        else if (opt == L"--paper") {
            if (value != L"a4" && value != L"letter") return Fail(kExitUsage, L"--paper takes a4 or letter");
            options.letter = value == L"letter";
        } else if (opt == L"--dpi") {
            const int dpi = _wtoi(value.c_str());
            if (dpi < 50 || dpi > 1200) return Fail(kExitUsage, L"--dpi takes 50 to 1200");
            options.dpi = dpi;
        } else if (opt == L"--language") options.language = value;
        else if (opt == L"--wait") {
            const int seconds = _wtoi(value.c_str());
            if (seconds < 0 || seconds > 86400 || (seconds == 0 && value != L"0"))
                return Fail(kExitUsage, L"--wait needs seconds, 0 to 86400");
            options.waitSeconds = static_cast<unsigned>(seconds);
        } else
            return Fail(kExitUsage, L"unknown option " + opt + L" for print (pbtool --help)");
    }
    if (options.book.empty()) return Fail(kExitUsage, L"print needs a book (pbtool --help)");
    if (EndsWith(options.to, L".png") && !options.printer.empty())
        return Fail(kExitUsage, L"--to FILE.png draws the pages itself; it takes no --printer");
    if (!LoadTexts(options.language)) return kExitFailed;
    return WaitWhileBusy(options.book, options.waitSeconds, [&] { return Run(options); });
}

}  // namespace pbtool
