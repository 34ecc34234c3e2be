#pragma once
// The program's text type: wide text (UTF-16 on Windows) with the handful of
// operations the dialogs and the storage wrapper need.
#include <cstdarg>
#include <string>
#include <string_view>

class CMString {
public:
    CMString() = default;
    CMString(const wchar_t* text) : m_text(text ? text : L"") {}
    CMString(const wchar_t* text, size_t length) : m_text(text ? std::wstring(text, length) : std::wstring()) {}
    CMString(std::wstring_view text) : m_text(text) {}
    CMString(std::wstring text) : m_text(std::move(text)) {}

    const wchar_t* GetString() const { return m_text.c_str(); }
    const wchar_t* c_str() const { return m_text.c_str(); }
    const std::wstring& str() const { return m_text; }
    std::wstring& str() { return m_text; }
    std::wstring_view view() const { return m_text; }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    // Empty or white space only.
    bool IsBlank() const;
    void Empty() { m_text.clear(); }

    wchar_t GetAt(int index) const;
    wchar_t operator[](int index) const { return GetAt(index); }

    // Positions are character indexes; -1 when not found.
    int Find(wchar_t ch, int start = 0) const;
    int Find(std::wstring_view sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;

    CMString Left(int count) const;
    CMString Right(int count) const;
    CMString Mid(int first) const;
    CMString Mid(int first, int count) const;

    CMString& Trim();
    CMString& TrimLeft();
    CMString& TrimRight();
    CMString& MakeLower();
    CMString& MakeUpper();
    int Replace(std::wstring_view from, std::wstring_view to);

    int Compare(std::wstring_view other) const;
    // Ordinal comparison after simple case mapping (the whole of Unicode on Windows).
    int CompareNoCase(std::wstring_view other) const;
    bool EqualsNoCase(std::wstring_view other) const { return CompareNoCase(other) == 0; }

    // printf-style; "%s" takes a wide string (see util/core/Format.h).
    void Format(const wchar_t* format, ...);
    void FormatV(const wchar_t* format, va_list args);
    void AppendFormat(const wchar_t* format, ...);
    static CMString Formatted(const wchar_t* format, ...);

    std::string ToUtf8() const;
    static CMString FromUtf8(std::string_view utf8);
#ifdef _WIN32
    // The ANSI code page of the system (CP_ACP); characters it lacks become '?'.
    std::string ToAnsi() const;
    static CMString FromAnsi(std::string_view ansi);
#endif

    // Fixed-size writable buffer for APIs that fill one; ReleaseBuffer trims at the terminator.
    wchar_t* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    CMString& operator+=(std::wstring_view other) { m_text += other; return *this; }
    CMString& operator+=(const CMString& other) { m_text += other.m_text; return *this; }
    CMString& operator+=(const wchar_t* other) { if (other) m_text += other; return *this; }
    CMString& operator+=(wchar_t ch) { m_text += ch; return *this; }
    friend CMString operator+(CMString a, const CMString& b) { a += b; return a; }
    friend CMString operator+(CMString a, const wchar_t* b) { a += b; return a; }
    friend CMString operator+(const wchar_t* a, const CMString& b) { return CMString(a) + b; }
    friend bool operator==(const CMString& a, const CMString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CMString& a, const wchar_t* b) { return a.m_text == (b ? b : L""); }
    friend bool operator<(const CMString& a, const CMString& b) { return a.m_text < b.m_text; }

private:
    std::wstring m_text;
};

namespace mrv {
bool IsWhiteSpace(wchar_t ch);
// Simple (one-to-one) case mapping of one character.
wchar_t ToLowerChar(wchar_t ch);
wchar_t ToUpperChar(wchar_t ch);
}  // namespace mrv
