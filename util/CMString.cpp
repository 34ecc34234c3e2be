#include "util/CMString.h"

#include <algorithm>

#include "util/core/Format.h"
#include "util/core/Utf.h"

namespace mrv {
bool IsWhiteSpace(wchar_t ch) {
    unsigned c = static_cast<unsigned>(ch);
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000 || c == 0xFEFF;
}
}  // namespace mrv

bool CMString::IsBlank() const {
    return std::all_of(m_text.begin(), m_text.end(), mrv::IsWhiteSpace);
}

wchar_t CMString::GetAt(int index) const {
    return index >= 0 && index < GetLength() ? m_text[static_cast<size_t>(index)] : L'\0';
}

int CMString::Find(wchar_t ch, int start) const {
    if (start < 0) start = 0;
    if (start > GetLength()) return -1;
    size_t pos = m_text.find(ch, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CMString::Find(std::wstring_view sub, int start) const {
    if (start < 0) start = 0;
    if (start > GetLength()) return -1;
    size_t pos = m_text.find(sub, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CMString::ReverseFind(wchar_t ch) const {
    size_t pos = m_text.rfind(ch);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CMString CMString::Left(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CMString(m_text.substr(0, static_cast<size_t>(count)));
}

CMString CMString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CMString(m_text.substr(m_text.size() - static_cast<size_t>(count)));
}

CMString CMString::Mid(int first) const { return Mid(first, GetLength()); }

CMString CMString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CMString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CMString& CMString::TrimLeft() {
    auto it = std::find_if_not(m_text.begin(), m_text.end(), mrv::IsWhiteSpace);
    m_text.erase(m_text.begin(), it);
    return *this;
}

CMString& CMString::TrimRight() {
    auto it = std::find_if_not(m_text.rbegin(), m_text.rend(), mrv::IsWhiteSpace);
    m_text.erase(it.base(), m_text.end());
    return *this;
}

CMString& CMString::Trim() { return TrimRight().TrimLeft(); }

CMString& CMString::MakeLower() {
    for (auto& ch : m_text) ch = mrv::ToLowerChar(ch);
    return *this;
}

CMString& CMString::MakeUpper() {
    for (auto& ch : m_text) ch = mrv::ToUpperChar(ch);
    return *this;
}

int CMString::Replace(std::wstring_view from, std::wstring_view to) {
    if (from.empty()) return 0;
    int count = 0;
    for (size_t pos = 0; (pos = m_text.find(from, pos)) != std::wstring::npos; pos += to.size()) {
        m_text.replace(pos, from.size(), to);
        ++count;
    }
    return count;
}

int CMString::Compare(std::wstring_view other) const {
    int r = std::wstring_view(m_text).compare(other);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int CMString::CompareNoCase(std::wstring_view other) const {
    size_t n = std::min(m_text.size(), other.size());
    for (size_t i = 0; i < n; ++i) {
        wchar_t a = mrv::ToUpperChar(m_text[i]), b = mrv::ToUpperChar(other[i]);
        if (a != b) return a < b ? -1 : 1;
    }
    return m_text.size() < other.size() ? -1 : m_text.size() > other.size() ? 1 : 0;
}

void CMString::FormatV(const wchar_t* format, va_list args) { m_text = mrv::FormatV(format, args); }

void CMString::Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    m_text = mrv::FormatV(format, args);
    va_end(args);
}

void CMString::AppendFormat(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    m_text += mrv::FormatV(format, args);
    va_end(args);
}

CMString CMString::Formatted(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    CMString result(mrv::FormatV(format, args));
    va_end(args);
    return result;
}

std::string CMString::ToUtf8() const { return mrv::WideToUtf8(m_text); }

CMString CMString::FromUtf8(std::string_view utf8) { return CMString(mrv::Utf8ToWide(utf8)); }

wchar_t* CMString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_text.resize(static_cast<size_t>(minLength));
    return m_text.data();
}

void CMString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        size_t end = m_text.find(L'\0');
        if (end != std::wstring::npos) m_text.resize(end);
    } else if (newLength <= GetLength()) {
        m_text.resize(static_cast<size_t>(newLength));
    }
}
