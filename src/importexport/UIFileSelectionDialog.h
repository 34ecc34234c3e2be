#pragma once
// The platform's open and save dialogs, set up the same way wherever the user picks a file.
#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "util/ByteBuffer.h"
#include "util/CMString.h"

// One entry of a filter list: the description's text id and the pattern it names.
struct FilterPair {
    unsigned textId;
    CMString pattern;
};

// The filter list from language texts, in the given order.
ByteBuffer BuildFilter(const std::vector<FilterPair>& pairs);
// A list of one entry described by the phone book text.
ByteBuffer BuildSingleFilter(const CMString& pattern);

class UIFileSelectionDialog {
public:
    // Every dialog is Explorer-style: OFN_EXPLORER is added to the flags.
    UIFileSelectionDialog(bool saveForm, const CMString& defaultExtension, const CMString& initialFileName,
                          DWORD flags, const ByteBuffer& filter, HWND owner);
    virtual ~UIFileSelectionDialog() = default;
    UIFileSelectionDialog(const UIFileSelectionDialog&) = default;
    UIFileSelectionDialog& operator=(const UIFileSelectionDialog&) = default;

    virtual void SetFlags(DWORD flags);
    // True when the user chose a file. Otherwise error is CommDlgExtendedError():
    // 0 for a plain cancel, FNERR_BUFFERTOOSMALL for a path the buffer cannot hold.
    virtual bool Run(DWORD& error);
    // Called after a successful run; its result is Run's.
    virtual bool OnResult();

    // With or without the leading dot (".csv" or "csv").
    void SetDefaultExtension(const CMString& extension) { m_defaultExtension = extension; }
    void SetTitle(const CMString& title) { m_title = title; }
    void SetInitialFolder(const CMString& folder) { m_initialFolder = folder; }

    DWORD Flags() const { return m_request.Flags; }
    bool HasResult() const { return m_hasResult; }
    // The chosen full path after a successful run; empty before and after a cancel.
    CMString GetFileName() const { return m_hasResult ? m_fileName : CMString(); }
    CMString GetChosenFileTitle() const { return m_hasResult ? m_fileTitle : CMString(); }

    // Buffer sizes the platform is given, in characters with the terminator.
    static constexpr DWORD kFileNameChars = MAX_PATH + 1;
    static constexpr DWORD kFileTitleChars = 513;

protected:
    OPENFILENAMEW m_request;

private:
    int m_saveForm;
    ByteBuffer m_filter;
    CMString m_fileName;
    CMString m_fileTitle;
    CMString m_initialFolder;
    CMString m_title;
    CMString m_defaultExtension;
    bool m_hasResult = false;
};
