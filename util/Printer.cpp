#include "util/Printer.h"

#include <winspool.h>

Printer::~Printer() { Close(); }

void Printer::Close() {
    if (m_handle) ClosePrinter(m_handle);
    m_handle = nullptr;
}

bool Printer::CreateHandle(const CMString& printerName) {
    Close();
    m_name = printerName;
    if (printerName.IsBlank()) return false;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(printerName.c_str()), &h, &defaults)) return false;
    m_handle = h;
    return true;
}

HANDLE Printer::GetPrinterHandle(bool forWriting) {
    if (forWriting && m_handle) {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        HANDLE h = nullptr;
        if (OpenPrinterW(const_cast<LPWSTR>(m_name.c_str()), &h, &defaults)) {
            Close();
            m_handle = h;
        }
    }
    return m_handle;
}
