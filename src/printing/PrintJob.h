#pragma once
// A print of the phone list from start to end: the book read, the page's texts in the
// user's language, and the pages sent to a printer or written as pictures.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "printing/core/PageLayout.h"
#include "printing/core/PrintSelection.h"

class PhonebookDB;

namespace printing {

// Every entry and group of the open book, groups in the list's name order. kOk, or the
// code of the read that failed (out then is not the book).
int ReadBook(PhonebookDB& db, Book& out);
// The entries' ids in the list's name order.
std::vector<uint16_t> NameOrder(const Book& book);

// Title (the book's file name), date, captions, footer and reading direction from the
// language library; the columns stay as they are.
void SetPageTexts(Document& document, const std::wstring& bookPath);

// Before each page; false cancels the job (the spooler drops what it had).
using PageProgress = std::function<bool(int page, int pages)>;
enum class JobResult { Printed, Cancelled, Failed };

// Lays the document out for the printer's paper and resolution and prints it. output,
// when not empty, is the file the printer writes to instead of its port. error: the
// Win32 error of a failure.
JobResult PrintDocument(HDC printer, const Document& document, const std::wstring& jobName, const std::wstring& output,
                        const PageProgress& progress, DWORD* error, int* pages = nullptr);

// A printer's device context by name (empty: the default printer); null when none.
HDC CreatePrinterDc(const std::wstring& name);
std::wstring DefaultPrinterName();
// Whether a printer of this name is installed.
bool PrinterExists(const std::wstring& name);

// A page drawn as a picture: white paper, 24-bit, top row first.
class PagePicture {
public:
    PagePicture(int width, int height);
    ~PagePicture();
    PagePicture(const PagePicture&) = delete;
    PagePicture& operator=(const PagePicture&) = delete;
    bool IsValid() const { return m_bits != nullptr; }
    HDC Dc() const { return m_dc; }
    HBITMAP Bitmap() const { return m_bitmap; }
    void Clear();
    const BYTE* Bits() const { return static_cast<const BYTE*>(m_bits); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return (m_width * 3 + 3) & ~3; }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    void* m_bits = nullptr;
};

// The pages as PNG pictures at the paper's size and resolution: base.png gives
// base-1.png, base-2.png... (written gets their paths). S_OK or the failure.
HRESULT WritePagePictures(const Document& document, const Paper& paper, const std::wstring& path,
                          std::vector<std::wstring>* written);

}  // namespace printing
