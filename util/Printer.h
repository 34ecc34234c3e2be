#pragma once
#include <windows.h>

#include "util/CMString.h"

// An open printer, for asking it about itself; closed with the object.
class Printer {
public:
    Printer() = default;
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    bool CreateHandle(const CMString& printerName);
    // The handle, or null when none is open. forWriting asks for one that may change
    // the printer's settings (never needed to read its language).
    HANDLE GetPrinterHandle(bool forWriting);

private:
    void Close();
    HANDLE m_handle = nullptr;
    CMString m_name;
};
