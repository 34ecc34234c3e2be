// Printing through a real printer driver: Wine's PostScript driver on a printer of the
// tests' own (a FILE: port), at the resolutions a printer offers; pbtool's pictures.
// tests/print-postscript reads the PostScript back with Ghostscript.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "PbtoolRun.h"
#include "app/AppGlobals.h"
#include "harness/GuiHarness.h"
#include "printing/PrintListDlg.h"
#include "resources/resource.h"
#include "data/PhonebookDB.h"
#include "harness/TestEnvironment.h"
#include "printing/PageRenderer.h"
#include "printing/PrintJob.h"

using namespace printing;
using pbtooltest::Pbtool;
using pbtooltest::Q;

namespace {

const wchar_t kPrinter[] = L"Test PostScript";
const wchar_t kDriver[] = L"Wine PostScript Driver";

// A plain PostScript printer: A4 or Letter at 300 or 600 dpi, two resident fonts.
const char kPpd[] =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n*PCFileName: \"PBETEST.PPD\"\n*Manufacturer: \"Test\"\n"
    "*ModelName: \"Test PostScript\"\n*ShortNickName: \"Test PostScript\"\n*NickName: \"Test PostScript\"\n"
    "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n*DefaultColorSpace: Gray\n"
    "*TTRasterizer: Type42\n"
    "*OpenUI *Resolution/Resolution: PickOne\n*DefaultResolution: 600dpi\n"
    "*Resolution 300dpi/300 dpi: \"<</HWResolution[300 300]>>setpagedevice\"\n"
    "*Resolution 600dpi/600 dpi: \"<</HWResolution[600 600]>>setpagedevice\"\n*CloseUI: *Resolution\n"
    "*OpenUI *PageSize/Page Size: PickOne\n*DefaultPageSize: A4\n"
    "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n"
    "*PageSize Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n*CloseUI: *PageSize\n"
    "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"12 12 583 830\"\n"
    "*ImageableArea Letter/Letter: \"12 12 600 780\"\n*DefaultPaperDimension: A4\n"
    "*PaperDimension A4/A4: \"595 842\"\n*PaperDimension Letter/Letter: \"612 792\"\n"
    "*DefaultFont: Helvetica\n*Font Helvetica: Standard \"(001.006)\" Standard ROM\n"
    "*Font Helvetica-Bold: Standard \"(001.007)\" Standard ROM\n";

// The tests' printer in the prefix: Wine's PostScript driver with the description above,
// printing to a file (FILE: asks, or a file's path).
bool InstallPrinter(const testenv::TempFolder& folder, const wchar_t* name = kPrinter, const wchar_t* port = L"FILE:") {
    if (PrinterExists(name)) return true;
    const CMString ppd = folder.File(L"PBETEST.PPD");
    pbtooltest::WriteText(ppd, kPpd);
    DRIVER_INFO_3W driver = {};
    driver.cVersion = 3;
    driver.pName = const_cast<wchar_t*>(kDriver);
    driver.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
    driver.pDataFile = const_cast<wchar_t*>(ppd.c_str());
    driver.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
    AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver),
                        APD_COPY_ALL_FILES | APD_COPY_FROM_DIRECTORY | APD_COPY_NEW_FILES);
    PRINTER_INFO_2W info = {};
    info.pPrinterName = const_cast<wchar_t*>(name);
    info.pPortName = const_cast<wchar_t*>(port);
    info.pDriverName = const_cast<wchar_t*>(kDriver);
    info.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    info.pDatatype = const_cast<wchar_t*>(L"RAW");
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!printer) return false;
    ClosePrinter(printer);
    return true;
}

// The printer's DC at a resolution (its own default for 0).
HDC PrinterAt(int dpi) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(kPrinter), &handle, nullptr)) return nullptr;
    const LONG size = DocumentPropertiesW(nullptr, handle, const_cast<wchar_t*>(kPrinter), nullptr, nullptr, 0);
    std::vector<BYTE> buffer(size > 0 ? static_cast<size_t>(size) : sizeof(DEVMODEW));
    auto* mode = reinterpret_cast<DEVMODEW*>(buffer.data());
    DocumentPropertiesW(nullptr, handle, const_cast<wchar_t*>(kPrinter), mode, nullptr, DM_OUT_BUFFER);
    if (dpi) {
        mode->dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        mode->dmPrintQuality = static_cast<short>(dpi);
        mode->dmYResolution = static_cast<short>(dpi);
        DocumentPropertiesW(nullptr, handle, const_cast<wchar_t*>(kPrinter), mode, mode, DM_IN_BUFFER | DM_OUT_BUFFER);
    }
    ClosePrinter(handle);
    return CreateDCW(L"WINSPOOL", kPrinter, nullptr, mode);
}

Document BookDocument(const CMString& path, std::vector<Column> columns) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    Document doc;
    if (!db.Open(path, 0, 1)) return doc;
    Book book;
    if (ReadBook(db, book) != pbabi::kOk) return doc;
    Choice choice;
    choice.order = NameOrder(book);
    doc.columns = std::move(columns);
    SetPageTexts(doc, path.str());
    Select(book, choice, doc);
    return doc;
}

// Runs a step once the window's own message loop runs (activation comes before its
// set-up is done).
std::function<void(HWND)> g_later;
void CALLBACK RunLater(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    auto body = std::move(g_later);
    if (body) body(hwnd);
}
harness::ModalDriver::Step Later(std::function<void(HWND)> body) {
    return [body](const harness::SeenWindow& seen) {
        g_later = body;
        SetTimer(seen.window, 0x7301, 0, RunLater);
    };
}
void Click(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

class Printing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::UseLanguage(L"en-US"));
        ASSERT_TRUE(InstallPrinter(m_folder)) << GetLastError();
        m_book = m_folder.File(L"Office.mpb2");
        ASSERT_EQ(Pbtool(m_folder, L"sample " + Q(m_book) + L" --entries 300 --groups 6").code, 0);
    }
    testenv::TempFolder m_folder;
    CMString m_book;
};

TEST_F(Printing, ThePrinterResolutionIsHonouredAndThePagesStayTheSame) {
    const Document doc = BookDocument(m_book, {Column::Name, Column::Fax, Column::Organization, Column::Phone});
    ASSERT_EQ(doc.entries.size(), 300u);
    std::vector<size_t> rowsPerPage[2];
    int rowMicrons[2] = {};
    const int dpis[2] = {300, 600};
    for (int i = 0; i < 2; ++i) {
        HDC dc = PrinterAt(dpis[i]);
        ASSERT_TRUE(dc);
        const Paper paper = PaperOf(dc);
        EXPECT_EQ(paper.dpiX, dpis[i]);
        EXPECT_EQ(paper.dpiY, dpis[i]);
        EXPECT_NEAR(paper.width * 254 / paper.dpiX, 2100, 5);  // A4, in tenths of a millimetre
        {
            const auto start = std::chrono::steady_clock::now();
            GdiMeasure measure(dc, paper.dpiX, paper.dpiY);
            const Layout layout = LayOut(doc, paper, measure);
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            std::printf("laying out %zu entries at %d dpi with the printer's fonts: %lld ms\n", doc.entries.size(),
                        dpis[i], static_cast<long long>(ms));
            for (const Page& p : layout.pages) rowsPerPage[i].push_back(p.rows.size());
            rowMicrons[i] = layout.rowHeight * 25400 / paper.dpiY;
        }
        DeleteDC(dc);
    }
    EXPECT_EQ(rowsPerPage[0], rowsPerPage[1]);
    // A row is as tall on paper at either resolution (a few microns of rounding apart).
    EXPECT_NEAR(rowMicrons[0], rowMicrons[1], 100);
    EXPECT_GT(rowMicrons[0], 3000);
}

// Spools the book to a PostScript file through the driver and writes beside it what each
// page must hold; tests/print-postscript (PBE_PRINT_OUT names the folder) reads it back.
TEST_F(Printing, SpoolsEveryPageToAPostScriptFile) {
    const Document doc = BookDocument(m_book, {Column::Name, Column::Fax, Column::Phone});
    HDC dc = PrinterAt(600);
    ASSERT_TRUE(dc);
    wchar_t out[MAX_PATH] = {};
    const bool kept = GetEnvironmentVariableW(L"PBE_PRINT_OUT", out, MAX_PATH) > 0;
    const CMString folder = kept ? CMString(out) + L"\\" : m_folder.Path();
    const CMString ps = folder + L"list.ps";
    DeleteFileW(ps.c_str());
    DWORD error = 0;
    int pages = 0;
    const auto start = std::chrono::steady_clock::now();
    const JobResult result = PrintDocument(dc, doc, L"Office", ps.str(), {}, &error, &pages);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(result, JobResult::Printed) << error;
    std::printf("spooling %zu entries on %d pages: %lld ms\n", doc.entries.size(), pages, static_cast<long long>(ms));
    const std::string text = pbtooltest::ReadAll(ps);
    ASSERT_EQ(text.compare(0, 4, "%!PS"), 0);
    size_t marks = 0;
    for (size_t at = text.find("%%Page:"); at != std::string::npos; at = text.find("%%Page:", at + 1)) ++marks;
    EXPECT_EQ(marks, static_cast<size_t>(pages));

    // What each page holds, in order: its rows' names and numbers, one a line.
    const Paper paper = PaperOf(dc);
    std::string expected;
    {
        GdiMeasure measure(dc, paper.dpiX, paper.dpiY);
        const Layout layout = LayOut(doc, paper, measure);
        ASSERT_EQ(static_cast<int>(layout.pages.size()), pages);
        for (size_t p = 0; p < layout.pages.size(); ++p)
            for (size_t row : layout.pages[p].rows)
                for (size_t cell : {size_t{0}, size_t{1}, size_t{3}}) {
                    const std::wstring& t = doc.entries[row].cells[cell];
                    if (t.empty()) continue;
                    expected += std::to_string(p + 1) + "\t" + CMString(t).ToUtf8() + "\n";
                }
    }
    DeleteDC(dc);
    if (kept) pbtooltest::WriteText(folder + L"list.expected", expected);
}

TEST_F(Printing, PbtoolWritesOnePicturePerPageAndRefusesWhatItCannotDo) {
    const CMString png = m_folder.File(L"pages.png");
    const auto run = Pbtool(m_folder, L"print " + Q(m_book) + L" --to " + Q(png) + L" --dpi 100 --by-group");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("pages-1.png"), std::string::npos);
    const std::string first = pbtooltest::ReadAll(m_folder.File(L"pages-1.png"));
    ASSERT_GT(first.size(), 8u);
    EXPECT_EQ(first.substr(1, 3), "PNG");
    struct {
        const wchar_t* arguments;
        int code;
        const char* says;
    } refusals[] = {
        {L" --columns name,name", 2, "--columns"},
        {L" --to x.pdf", 1, "PDF printer"},
        {L" --group Nobody", 1, "no group"},
        {L" --printer \"No Such Printer\"", 1, "cannot be used"},
    };
    for (const auto& r : refusals) {
        const auto refused = Pbtool(m_folder, L"print " + Q(m_book) + r.arguments);
        EXPECT_EQ(refused.code, r.code) << CMString(r.arguments).ToUtf8();
        EXPECT_NE(refused.err.find(r.says), std::string::npos) << refused.err;
    }
    // The tests' printer writes where --to says.
    const CMString ps = m_folder.File(L"out.ps");
    const auto printed = Pbtool(m_folder, L"print " + Q(m_book) + L" --printer " + Q(kPrinter) + L" --to " + Q(ps));
    ASSERT_EQ(printed.code, 0) << printed.err;
    EXPECT_EQ(pbtooltest::ReadAll(ps).compare(0, 4, "%!PS"), 0);
}

}  // namespace

// File > Print from start to end: the choices, the preview paged through, the common
// print dialog, the print to the tests' printer, and the choices remembered.
TEST_F(Printing, ThePrintDialogPreviewsAndPrintsTheChosenColumns) {
    const CMString settings = L"Software\\Morva\\" + app::Text(IDS_APP_CLASS) + L"\\Print";
    testenv::DeleteRegistryTree(HKEY_CURRENT_USER, settings);
    wchar_t previous[256] = {};
    DWORD size = 256;
    GetDefaultPrinterW(previous, &size);
    // A printer whose port is a file: the print needs no question.
    const CMString ps = m_folder.File(L"dialog.ps");
    const wchar_t kFilePrinter[] = L"Test PostScript to a file";
    HANDLE old = nullptr;
    if (OpenPrinterW(const_cast<wchar_t*>(kFilePrinter), &old, nullptr)) {
        DeletePrinter(old);
        ClosePrinter(old);
    }
    ASSERT_TRUE(InstallPrinter(m_folder, kFilePrinter, ps.c_str()));
    ASSERT_TRUE(SetDefaultPrinterW(kFilePrinter));

    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    ASSERT_TRUE(db.Open(m_book, 0, 1));
    Book book;
    ASSERT_EQ(ReadBook(db, book), pbabi::kOk);
    PrintSource source{m_book.str(), NameOrder(book), {book.groups[0].id}};

    std::wstring pageLabel, lastLabel;
    harness::ModalDriver driver;
    driver
        .Then(Later([&](HWND d) {
            EXPECT_EQ(harness::WindowText(d), L"Print Phone List");
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_PRINT_GROUPS)));
            // Name and fax number only, the selected group's members, by group.
            for (int id = IDC_PRINT_COL_FIRST; id < IDC_PRINT_COL_FIRST + 7; ++id)
                CheckDlgButton(d, id, id <= IDC_PRINT_COL_FAX ? BST_CHECKED : BST_UNCHECKED);
            CheckRadioButton(d, IDC_PRINT_SHOWN, IDC_PRINT_GROUPS, IDC_PRINT_GROUPS);
            CheckDlgButton(d, IDC_PRINT_BY_GROUP, BST_CHECKED);
            Click(d, IDC_PRINT_PREVIEW);
        }))
        .Then(Later([&](HWND d) {
            pageLabel = harness::ItemText(d, IDC_PREVIEW_NUMBER).str();
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_PREVIEW_PREVIOUS)));
            SendMessageW(d, WM_COMMAND, IDC_PREVIEW_ZOOM_IN, 0);
            SendMessageW(GetDlgItem(d, IDC_PREVIEW_PAGE), WM_KEYDOWN, VK_END, 0);
            harness::PumpUntilIdle();
            Click(d, IDC_PREVIEW_PRINT);
        }))
        .ThenPress(IDOK)                          // the common print dialog
        .Then([](const harness::SeenWindow&) {});  // the progress, left to run
    CPrintListDlg dialog(db, source);
    const INT_PTR result = dialog.Run(nullptr);
    if (previous[0]) SetDefaultPrinterW(previous);
    // Its port is a file of this test's folder: it goes with it.
    if (OpenPrinterW(const_cast<wchar_t*>(kFilePrinter), &old, nullptr)) {
        DeletePrinter(old);
        ClosePrinter(old);
    }
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(driver.PendingSteps(), 0u);
    // One group of ten members: a page.
    EXPECT_EQ(pageLabel, L"Page 1 of 1");
    const std::string text = pbtooltest::ReadAll(ps);
    ASSERT_EQ(text.compare(0, 4, "%!PS"), 0);
    EXPECT_NE(text.find("%%Pages: 1"), std::string::npos);

    const PrintSettings kept = PrintSettings::Load();
    EXPECT_EQ(kept.columns, (std::vector<Column>{Column::Name, Column::Fax}));
    EXPECT_TRUE(kept.selectedGroups);
    EXPECT_TRUE(kept.byGroup);
    testenv::DeleteRegistryTree(HKEY_CURRENT_USER, settings);
}
