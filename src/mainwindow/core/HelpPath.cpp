#include "mainwindow/core/HelpPath.h"

CMString FormatHelpPath(const CMString& helpPath, const CMString& topic) {
    const std::wstring& path = helpPath.str();
    std::wstring out;
    out.reserve(path.size() + topic.str().size());
    bool topicPlaced = false;
    for (size_t i = 0; i < path.size(); ++i) {
        wchar_t ch = path[i];
        wchar_t next = i + 1 < path.size() ? path[i + 1] : L'\0';
        if (ch == L'%' && next == L'%') {
            out += L'%';
            ++i;
        } else if (ch == L'%' && next == L's' && !topicPlaced) {
            out += topic.str();
            topicPlaced = true;
            ++i;
        } else {
            out += ch;
        }
    }
    return CMString(std::move(out));
}

bool IsWebHelpPath(const CMString& helpPath) { return helpPath.Find(L"http:") >= 0; }

namespace {

bool IsSeparator(wchar_t ch) { return ch == L'\\' || ch == L'/'; }

bool IsSchemeChar(wchar_t ch) {
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || (ch >= L'0' && ch <= L'9') || ch == L'+' ||
           ch == L'-' || ch == L'.';
}

// "http:", "file:", "mk:@MSITStore:" and the like; a drive letter is one character,
// so "C:" is none.
bool HasScheme(const std::wstring& target) {
    size_t colon = target.find(L':');
    if (colon == std::wstring::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i)
        if (!IsSchemeChar(target[i])) return false;
    return true;
}

}  // namespace

CMString HelpTargetInLanguage(const CMString& target, const CMString& language,
                              const std::vector<std::wstring>& shippedLanguages) {
    const std::wstring& path = target.str();
    if (language.IsEmpty() || HasScheme(path)) return {};
    // Folder names only: the part after the last separator is the page itself.
    size_t end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1])) --end;
    while (end > 0) {
        size_t last = end - 1;  // the separator after this folder's name
        size_t first = last;
        while (first > 0 && !IsSeparator(path[first - 1])) --first;
        CMString folder(path.substr(first, last - first));
        for (const std::wstring& shipped : shippedLanguages) {
            if (!folder.EqualsNoCase(shipped)) continue;
            if (folder.EqualsNoCase(language.view())) return {};
            return CMString(path.substr(0, first) + language.str() + path.substr(last));
        }
        end = first;
    }
    return {};
}
