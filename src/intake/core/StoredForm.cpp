#include "intake/core/StoredForm.h"

#include "core/Text.h"
#include "util/core/Utf.h"

namespace intake {

namespace {

constexpr bool kWideUnits = sizeof(wchar_t) == 2;

bool IsHigh(char32_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c < 0xE000; }

}  // namespace

int StoredWidth(Field field) {
    switch (field) {
        case Field::Name: return 31;
        case Field::Fax: return 46;
        case Field::Organization: return 59;
        case Field::Phone: return 46;
        case Field::Email: return 59;
        case Field::Mailbox: return 3;
        case Field::GroupName: break;
    }
    return 29;
}

CMString CutToUnits(std::wstring_view text, int units) {
    size_t used = 0, at = 0;
    const size_t limit = units > 0 ? static_cast<size_t>(units) : 0;
    while (at < text.size()) {
        const char32_t c = static_cast<char32_t>(text[at]);
        size_t take = 1, width = 1;
        if (kWideUnits && IsHigh(c) && at + 1 < text.size() && IsLow(static_cast<char32_t>(text[at + 1]))) take = width = 2;
        else if (!kWideUnits && c > 0xFFFF) width = 2;
        if (used + width > limit) break;
        used += width;
        at += take;
    }
    // A lone high surrogate at the cut is what the engine drops too.
    if (kWideUnits && at > 0 && at < text.size() && IsHigh(static_cast<char32_t>(text[at - 1]))) --at;
    return CMString(text.substr(0, at));
}

CMString Stored(std::wstring_view text, Field field, const TextForm& form) {
    CMString value(text);
    if (field == Field::GroupName && value.view().find_first_of(L"[]") != std::wstring_view::npos) {
        value.Replace(L"[", L"");
        value.Replace(L"]", L"");
    }
    const int width = StoredWidth(field);
    if (form.ansi) return form.ansi(value.view(), static_cast<size_t>(width));
    return value.GetLength() <= width / 2 ? value : CutToUnits(value.view(), width);
}

entry::Fields StoredFields(const entry::Fields& f, const TextForm& form) {
    entry::Fields out;
    out.name = Stored(f.name.view(), Field::Name, form);
    out.fax = Stored(f.fax.view(), Field::Fax, form);
    out.organization = Stored(f.organization.view(), Field::Organization, form);
    out.phone = Stored(f.phone.view(), Field::Phone, form);
    out.email = Stored(f.email.view(), Field::Email, form);
    out.mailbox = Stored(f.mailbox.view(), Field::Mailbox, form);
    return out;
}

std::u32string NameKey(std::wstring_view stored) {
    std::u32string key;
    key.reserve(stored.size());
    for (size_t i = 0; i < stored.size();) key.push_back(pbcore::FoldCase(mrv::NextCodePoint(stored, i)));
    return key;
}

bool SameMailbox(const CMString& a, const CMString& b) {
    auto digits = [](const CMString& text) {
        std::wstring_view v = text.view();
        while (!v.empty() && v.front() == L'0') v.remove_prefix(1);
        return v;
    };
    return digits(a) == digits(b);
}

}  // namespace intake
