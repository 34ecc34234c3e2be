#include "importexport/UIFileSelectionDialog.h"

#include <algorithm>
#include <cstring>

#include "app/AppGlobals.h"
#include "importexport/core/FileFilter.h"
#include "resources/text_ids.h"

ByteBuffer BuildFilter(const std::vector<FilterPair>& pairs) {
    std::vector<FileFilterText> texts;
    texts.reserve(pairs.size());
    for (const auto& pair : pairs) texts.push_back({app::Text(pair.textId), pair.pattern});
    return MakeFilterList(texts);
}

ByteBuffer BuildSingleFilter(const CMString& pattern) { return BuildFilter({{IDS_FILTER_PHONEBOOKS, pattern}}); }

UIFileSelectionDialog::UIFileSelectionDialog(bool saveForm, const CMString& defaultExtension,
                                             const CMString& initialFileName, DWORD flags, const ByteBuffer& filter,
                                             HWND owner)
    : m_request{}, m_saveForm(saveForm ? 1 : 0), m_filter(filter), m_fileName(initialFileName),
      m_defaultExtension(defaultExtension) {
    m_request.hwndOwner = owner;
    m_request.Flags = flags | OFN_EXPLORER;
}

void UIFileSelectionDialog::SetFlags(DWORD flags) { m_request.Flags = flags | OFN_EXPLORER; }

bool UIFileSelectionDialog::OnResult() { return true; }

bool UIFileSelectionDialog::Run(DWORD& error) {
    m_hasResult = false;
    error = 0;

    std::vector<wchar_t> fileTitle(kFileTitleChars, L'\0');
    std::vector<wchar_t> fileName(kFileNameChars, L'\0');
    std::copy_n(m_fileName.c_str(), std::min<size_t>(m_fileName.GetLength(), kFileNameChars - 1), fileName.begin());

    // The platform reads the filter up to a double terminator: a list handed in
    // without one must not make it read past the end.
    std::vector<wchar_t> filter;
    if (!m_filter.IsEmpty()) {
        filter.resize(m_filter.Size() / sizeof(wchar_t) + 2, L'\0');
        std::memcpy(filter.data(), m_filter.Data(), m_filter.Size() / sizeof(wchar_t) * sizeof(wchar_t));
    }
    // The platform adds its own dot before the default extension.
    CMString extension = m_defaultExtension;
    while (extension.GetLength() > 0 && extension.GetAt(0) == L'.') extension = extension.Mid(1);

    m_request.lStructSize = sizeof(OPENFILENAMEW);
    m_request.lpstrFileTitle = fileTitle.data();
    m_request.nMaxFileTitle = kFileTitleChars;
    m_request.lpstrFilter = filter.empty() ? nullptr : filter.data();
    m_request.lpstrCustomFilter = nullptr;
    m_request.nMaxCustFilter = 0;
    m_request.nFilterIndex = 0;
    m_request.lpstrFile = fileName.data();
    m_request.nMaxFile = kFileNameChars;
    m_request.lpstrInitialDir = m_initialFolder.IsEmpty() ? nullptr : m_initialFolder.c_str();
    m_request.lpstrTitle = m_title.IsEmpty() ? nullptr : m_title.c_str();
    m_request.lpstrDefExt = extension.IsEmpty() ? nullptr : extension.c_str();
    if (!(m_request.Flags & OFN_ENABLETEMPLATE)) {
        m_request.hInstance = nullptr;
        m_request.lpTemplateName = nullptr;
    }
    if (!(m_request.Flags & OFN_ENABLEHOOK)) {
        m_request.lpfnHook = nullptr;
        m_request.lCustData = 0;
    }

    BOOL chosen = m_saveForm ? GetSaveFileNameW(&m_request) : GetOpenFileNameW(&m_request);

    // The buffers live only for this call; a copy of the dialog must not point at them.
    m_request.lpstrFile = nullptr;
    m_request.lpstrFileTitle = nullptr;
    m_request.lpstrFilter = nullptr;
    m_request.lpstrInitialDir = nullptr;
    m_request.lpstrTitle = nullptr;
    m_request.lpstrDefExt = nullptr;

    if (!chosen) {
        // After a failure the name buffer may hold the size it needed, not a name:
        // the initial name stays as it was.
        error = CommDlgExtendedError();
        return false;
    }
    fileName.back() = L'\0';
    fileTitle.back() = L'\0';
    m_fileName = CMString(fileName.data());
    m_fileTitle = CMString(fileTitle.data());
    m_hasResult = true;
    return OnResult();
}
