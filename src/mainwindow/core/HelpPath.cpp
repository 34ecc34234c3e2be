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
