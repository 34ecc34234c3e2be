#include "data/EngineCalls.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <windows.h>

using namespace pbabi;

CMString WideText(const WChar* field, size_t width) {
    if (!field) return {};
    size_t n = 0;
    while (n < width && field[n]) ++n;
    return CMString(reinterpret_cast<const wchar_t*>(field), n);
}

CMString AnsiText(const char* field, size_t width) {
    if (!field) return {};
    size_t n = 0;
    while (n < width && field[n]) ++n;
    return CMString::FromAnsi(std::string_view(field, n));
}

void PutWide(WChar* field, size_t width, const CMString& text) {
    if (!field || width == 0) return;
    const size_t n = std::min(static_cast<size_t>(text.GetLength()), width - 1);
    for (size_t i = 0; i < n; ++i) field[i] = static_cast<WChar>(text.c_str()[i]);
    for (size_t i = n; i < width; ++i) field[i] = 0;
}

std::string AnsiCut(const CMString& text, size_t maxBytes) {
    std::string bytes = text.ToAnsi();
    if (bytes.size() <= maxBytes) return bytes;
    // Converted once, then cut where a whole character ends: never the lead byte of a
    // double-byte character (or of a UTF-8 sequence) without the rest.
    const UINT codePage = GetACP();
    CPINFO info = {};
    const bool utf8 = codePage == CP_UTF8;
    const bool single = !utf8 && GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
    size_t at = 0;
    while (at < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[at]);
        size_t length = 1;
        if (utf8) length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        else if (!single && IsDBCSLeadByteEx(codePage, lead)) length = 2;
        if (at + length > maxBytes) break;
        at += length;
    }
    bytes.resize(at);
    return bytes;
}

void PutAnsi(char* field, size_t width, const CMString& text) {
    if (!field || width == 0) return;
    std::memset(field, 0, width);
    const std::string bytes = AnsiCut(text, width - 1);
    std::memcpy(field, bytes.data(), bytes.size());
}

CMString NameOf(const EngineRecord& record) {
    if (record.wide) return WideText(record.wide->Get().name, kNameWidth);
    if (record.ansi) return AnsiText(record.ansi->Get().name, kNameWidth);
    return {};
}

CMString FaxOf(const EngineRecord& record) {
    if (record.wide) return WideText(record.wide->Get().fax, kFaxWidth);
    if (record.ansi) return AnsiText(record.ansi->Get().fax, kFaxWidth);
    return {};
}

CMString ExtensionOf(const EngineRecord& record, int slot) {
    if (record.wide) return WideText(record.wide->Extension(slot), kExtensionWidth);
    if (record.ansi) return AnsiText(record.ansi->Extension(slot), kExtensionWidth);
    return {};
}

CMString WithoutBrackets(CMString name) {
    name.Replace(L"[", L"");
    name.Replace(L"]", L"");
    return name;
}

void WriteFields(EngineRecord& record, const CMString& name, const CMString& fax, const CMString& organization,
                 const CMString& phone, const CMString& email, const CMString& mailbox) {
    // The ANSI set keeps the phone number and the mailbox in full extension slots.
    constexpr size_t kAnsiPhoneWidth = kExtensionWidth;
    constexpr size_t kAnsiMailboxWidth = kExtensionWidth;
    constexpr size_t kWideMailboxWidth = kMailboxMaxLength + 1;
    const CMString storedName = record.Kind() == kKindGroup ? WithoutBrackets(name) : name;
    if (record.wide) {
        PBEW& e = record.wide->Get();
        PutWide(e.name, storedName);
        PutWide(e.fax, fax);
        PutWide(record.wide->Extension(kExtOrganization), kExtensionWidth, organization);
        PutWide(record.wide->Extension(kExtPhone), kPhoneWidth, phone);
        PutWide(record.wide->Extension(kExtEmail), kExtensionWidth, email);
        PutWide(record.wide->Extension(kExtMailbox), kWideMailboxWidth, mailbox);
    } else if (record.ansi) {
        PBEA& e = record.ansi->Get();
        PutAnsi(e.name, kNameWidth, storedName);
        PutAnsi(e.fax, kFaxWidth, fax);
        PutAnsi(record.ansi->Extension(kExtOrganization), kExtensionWidth, organization);
        PutAnsi(record.ansi->Extension(kExtPhone), kAnsiPhoneWidth, phone);
        PutAnsi(record.ansi->Extension(kExtEmail), kExtensionWidth, email);
        PutAnsi(record.ansi->Extension(kExtMailbox), kAnsiMailboxWidth, mailbox == L"0" ? CMString() : mailbox);
    }
}
