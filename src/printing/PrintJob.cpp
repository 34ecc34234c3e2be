#include "printing/PrintJob.h"

#include <winspool.h>

#include <algorithm>

#include "app/AppGlobals.h"
#include "data/EngineCalls.h"
#include "data/PhonebookDB.h"
#include "mainwindow/ListViewUIControl.h"
#include "printing/PageRenderer.h"
#include "printing/PngWriter.h"
#include "resources/resource.h"
#include "util/TextResourceLoader.h"

namespace printing {

namespace {

const unsigned kColumnTexts[kColumnCount] = {IDS_PRINT_COL_NAME,  IDS_PRINT_COL_FAX,     IDS_PRINT_COL_ORGANIZATION,
                                             IDS_PRINT_COL_PHONE, IDS_PRINT_COL_EMAIL,   IDS_PRINT_COL_MAILBOX,
                                             IDS_PRINT_COL_GROUPS};

// A label without its access key's ampersand ("&&" stays one "&").
std::wstring WithoutAccessKey(const std::wstring& label) {
    std::wstring plain;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == L'&') {
            if (i + 1 < label.size() && label[i + 1] == L'&') plain.push_back(L'&');
            if (i + 1 < label.size()) ++i;
            else continue;
        }
        plain.push_back(label[i]);
    }
    return plain;
}

std::wstring Today() {
    wchar_t text[96] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, text, 96, nullptr);
    return text;
}

}  // namespace

int ReadBook(PhonebookDB& db, Book& out) {
    out = Book();
    const int code = db.ForEachRecord([&](const EngineRecord& record) {
        if (record.Kind() == pbabi::kKindGroup) {
            BookGroup& g = out.groups.emplace_back();
            g.id = record.Id();
            g.name = WithoutBrackets(NameOf(record)).str();
            for (int i = 0; i < record.MemberCount(); ++i) g.members.push_back(record.Member(i));
            return;
        }
        BookEntry& e = out.entries.emplace_back();
        e.id = record.Id();
        e.fields = {NameOf(record).str(),
                    FaxOf(record).str(),
                    ExtensionOf(record, pbabi::kExtOrganization).str(),
                    ExtensionOf(record, pbabi::kExtPhone).str(),
                    ExtensionOf(record, pbabi::kExtEmail).str(),
                    ExtensionOf(record, pbabi::kExtMailbox).str()};
    });
    std::vector<std::pair<CMString, BookGroup>> groups;
    for (auto& g : out.groups) groups.emplace_back(ListViewUIControl::OrderKey(g.name), std::move(g));
    std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) { return a.first.view() < b.first.view(); });
    out.groups.clear();
    for (auto& g : groups) out.groups.push_back(std::move(g.second));
    return code;
}

std::vector<uint16_t> NameOrder(const Book& book) {
    std::vector<std::pair<CMString, uint16_t>> keyed;
    keyed.reserve(book.entries.size());
    for (const auto& e : book.entries) keyed.emplace_back(ListViewUIControl::OrderKey(e.fields[0]), e.id);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first.view() < b.first.view(); });
    std::vector<uint16_t> ids;
    ids.reserve(keyed.size());
    for (const auto& k : keyed) ids.push_back(k.second);
    return ids;
}

void SetPageTexts(Document& document, const std::wstring& bookPath) {
    const size_t slash = bookPath.find_last_of(L"\\/");
    document.title = slash == std::wstring::npos ? bookPath : bookPath.substr(slash + 1);
    document.date = Today();
    for (size_t i = 0; i < kColumnCount; ++i) document.captions[i] = WithoutAccessKey(app::Text(kColumnTexts[i]).str());
    document.rightToLeft = TextResourceLoader::IsRightToLeftLanguage();
    const CMString format = app::Text(IDS_PRINT_PAGE_OF);
    document.footer = [format](int page, int pages) { return CMString::Formatted(format.c_str(), page, pages).str(); };
}

JobResult PrintDocument(HDC printer, const Document& document, const std::wstring& jobName, const std::wstring& output,
                        const PageProgress& progress, DWORD* error, int* pages) {
    *error = 0;
    const Paper paper = PaperOf(printer);
    if (paper.width <= 0 || paper.height <= 0 || paper.dpiX <= 0 || paper.dpiY <= 0) {
        *error = ERROR_INVALID_PRINTER_STATE;
        return JobResult::Failed;
    }
    GdiMeasure measure(printer, paper.dpiX, paper.dpiY);
    const Layout layout = LayOut(document, paper, measure);
    const int count = static_cast<int>(layout.pages.size());
    if (pages) *pages = count;
    DOCINFOW info = {};
    info.cbSize = sizeof info;
    info.lpszDocName = jobName.c_str();
    info.lpszOutput = output.empty() ? nullptr : output.c_str();
    if (StartDocW(printer, &info) <= 0) {
        *error = GetLastError() ? GetLastError() : ERROR_PRINT_CANCELLED;
        return JobResult::Failed;
    }
    const POINT origin = {paper.unprintableLeft, paper.unprintableTop};
    for (int i = 0; i < count; ++i) {
        if (progress && !progress(i + 1, count)) {
            AbortDoc(printer);
            return JobResult::Cancelled;
        }
        if (StartPage(printer) <= 0) {
            *error = GetLastError();
            AbortDoc(printer);
            return JobResult::Failed;
        }
        // A new page may come with the device's defaults.
        measure.Reset();
        DrawPage(measure, layout.pages[static_cast<size_t>(i)], origin);
        if (EndPage(printer) <= 0) {
            *error = GetLastError();
            AbortDoc(printer);
            return JobResult::Failed;
        }
    }
    if (EndDoc(printer) <= 0) {
        *error = GetLastError();
        return JobResult::Failed;
    }
    return JobResult::Printed;
}

std::wstring DefaultPrinterName() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0) return std::wstring();
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size)) return std::wstring();
    name.resize(wcslen(name.c_str()));
    return name;
}

bool PrinterExists(const std::wstring& name) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &handle, nullptr)) return false;
    ClosePrinter(handle);
    return true;
}

HDC CreatePrinterDc(const std::wstring& name) {
    const std::wstring printer = name.empty() ? DefaultPrinterName() : name;
    if (printer.empty()) return nullptr;
    return CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr);
}

PagePicture::PagePicture(int width, int height) : m_width(width), m_height(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    m_dc = CreateCompatibleDC(nullptr);
    if (!m_dc) return;
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
    if (!m_bitmap) {
        m_bits = nullptr;
        return;
    }
    m_old = SelectObject(m_dc, m_bitmap);
    Clear();
}

PagePicture::~PagePicture() {
    if (m_old) SelectObject(m_dc, m_old);
    if (m_bitmap) DeleteObject(m_bitmap);
    if (m_dc) DeleteDC(m_dc);
}

void PagePicture::Clear() {
    if (!m_bits) return;
    GdiFlush();
    memset(m_bits, 0xFF, static_cast<size_t>(Stride()) * static_cast<size_t>(m_height));
}

HRESULT WritePagePictures(const Document& document, const Paper& paper, const std::wstring& path,
                          std::vector<std::wstring>* written) {
    PagePicture picture(paper.width, paper.height);
    if (!picture.IsValid()) return E_OUTOFMEMORY;
    GdiMeasure measure(picture.Dc(), paper.dpiX, paper.dpiY);
    const Layout layout = LayOut(document, paper, measure);
    const size_t dot = path.find_last_of(L'.');
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring base = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? path.substr(0, dot) : path;
    for (size_t i = 0; i < layout.pages.size(); ++i) {
        picture.Clear();
        DrawPage(measure, layout.pages[i], POINT{0, 0});
        GdiFlush();
        const std::wstring file = base + L"-" + std::to_wstring(i + 1) + L".png";
        const HRESULT hr = WritePng(file, picture.Width(), picture.Height(), picture.Bits(), picture.Stride());
        if (FAILED(hr)) return hr;
        if (written) written->push_back(file);
    }
    return S_OK;
}

}  // namespace printing
