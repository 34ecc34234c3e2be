#include "settings/SettingsStore.h"

#include <windows.h>
#include <dpapi.h>

#include <vector>

namespace settings {
namespace {

HKEY RootOf(Store store) {
    return store == Store::PolicyMachine || store == Store::MachineDefault ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}
const wchar_t* KeyOf(Store store) {
    return store == Store::PolicyMachine || store == Store::PolicyUser ? kPolicyKey : kSettingsKey;
}

bool ReadText(HKEY root, const wchar_t* key, const wchar_t* name, std::wstring& text) {
    DWORD size = 0;
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, buffer.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
    text = buffer;
    return true;
}

bool ReadNumber(HKEY root, const wchar_t* key, const wchar_t* name, uint32_t& number) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) return false;
    number = value;
    return true;
}

// The dialog keeps an address book's settings in a key of their own, under the kind it shows.
const wchar_t kAddressBookKey[] = L"Software\\Morva\\PhoneBookEditor\\Directory\\AddressBook";

bool UserChoseAddressBook() {
    uint32_t kind = 0;
    return ReadNumber(HKEY_CURRENT_USER, kSettingsKey, L"Kind", kind) && kind == 1;
}

}  // namespace

Raw ReadRegistry(Store store, const std::wstring& name, Type type) {
    Raw raw;
    const HKEY root = RootOf(store);
    const wchar_t* key = KeyOf(store);
    // The user's address book: the book picked (else the URL typed) and its login.
    if (store == Store::User && UserChoseAddressBook()) {
        const bool server = name == DefinitionOf(Id::Server).name, user = name == DefinitionOf(Id::User).name;
        const bool login = name == DefinitionOf(Id::Login).name;
        if (server) {
            raw.present = (ReadText(root, kAddressBookKey, L"Book", raw.text) && !raw.text.empty()) ||
                          ReadText(root, kAddressBookKey, L"Url", raw.text);
            return raw;
        }
        if (user || login) {
            std::wstring name_;
            raw.present = ReadText(root, kAddressBookKey, L"User", name_);
            if (user) raw.text = name_;
            else raw.number = name_.empty() ? 0 : 1;
            return raw;
        }
    }
    raw.present = type == Type::Text ? ReadText(root, key, name.c_str(), raw.text) : ReadNumber(root, key, name.c_str(), raw.number);
    // The package writes its defaults as text (a property not given: empty, no default).
    if (!raw.present && store == Store::MachineDefault && type == Type::Number) {
        std::wstring text;
        if (ReadText(root, key, name.c_str(), text) && !text.empty() && text.size() <= 9 &&
            text.find_first_not_of(L"0123456789") == std::wstring::npos) {
            raw.present = true;
            raw.number = static_cast<uint32_t>(std::stoul(text));
        }
    }
    // The dialog keeps a login as its name alone: an empty name is anonymous.
    if (!raw.present && store == Store::User && name == DefinitionOf(Id::Login).name) {
        std::wstring user;
        if (ReadText(root, key, DefinitionOf(Id::User).name, user)) {
            raw.present = true;
            raw.number = user.empty() ? 0 : 1;
        }
    }
    return raw;
}

Effective ReadEffective() { return Resolve(ReadRegistry); }

bool RememberedPassword(std::wstring& password, SourceKind kind) {
    password.clear();
    const wchar_t* key = kind == SourceKind::AddressBook ? kAddressBookKey : kSettingsKey;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"Password", RRF_RT_REG_BINARY, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0)
        return false;
    std::vector<BYTE> secret(size);
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"Password", RRF_RT_REG_BINARY, nullptr, secret.data(), &size) !=
        ERROR_SUCCESS)
        return false;
    DATA_BLOB in = {size, secret.data()};
    DATA_BLOB out = {};
    const bool read = CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out);
    SecureZeroMemory(secret.data(), secret.size());
    if (!read) return false;
    password.assign(reinterpret_cast<wchar_t*>(out.pbData), out.cbData / sizeof(wchar_t));
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return !password.empty();
}

uint64_t NowSeconds() {
    FILETIME ft = {};
    GetSystemTimeAsFileTime(&ft);
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    constexpr uint64_t kUnixEpochTicks = 116444736000000000ULL;
    return ticks > kUnixEpochTicks ? (ticks - kUnixEpochTicks) / 10000000ULL : 0;
}

namespace {
std::wstring RecordKey(const std::wstring& bookPath) {
    return std::wstring(kFollowStateKey) + L"\\" + FollowStateName(bookPath);
}
}  // namespace

FollowRecord ReadFollowRecord(const std::wstring& bookPath) {
    FollowRecord r;
    const std::wstring key = RecordKey(bookPath);
    ULONGLONG last = 0;
    DWORD size = sizeof last;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Last", RRF_RT_REG_QWORD, nullptr, &last, &size) != ERROR_SUCCESS)
        return r;
    r.lastSeconds = last;
    uint32_t ok = 0;
    ReadNumber(HKEY_CURRENT_USER, key.c_str(), L"Ok", ok);
    r.ok = ok != 0;
    ReadNumber(HKEY_CURRENT_USER, key.c_str(), L"Added", r.added);
    ReadNumber(HKEY_CURRENT_USER, key.c_str(), L"Updated", r.updated);
    ReadNumber(HKEY_CURRENT_USER, key.c_str(), L"Removed", r.removed);
    ReadText(HKEY_CURRENT_USER, key.c_str(), L"Fault", r.fault);
    ReadNumber(HKEY_CURRENT_USER, key.c_str(), L"ReadMs", r.readMs);
    ReadNumber(HKEY_CURRENT_USER, key.c_str(), L"PlanMs", r.planMs);
    ReadNumber(HKEY_CURRENT_USER, key.c_str(), L"ApplyMs", r.applyMs);
    ReadNumber(HKEY_CURRENT_USER, key.c_str(), L"LandMs", r.landMs);
    return r;
}

void WriteFollowRecord(const std::wstring& bookPath, const FollowRecord& r) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RecordKey(bookPath).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    const ULONGLONG last = r.lastSeconds;
    RegSetValueExW(key, L"Last", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&last), sizeof last);
    auto number = [&](const wchar_t* name, DWORD value) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    };
    number(L"Ok", r.ok);
    number(L"Added", r.added);
    number(L"Updated", r.updated);
    number(L"Removed", r.removed);
    number(L"ReadMs", r.readMs);
    number(L"PlanMs", r.planMs);
    number(L"ApplyMs", r.applyMs);
    number(L"LandMs", r.landMs);
    RegSetValueExW(key, L"Fault", 0, REG_SZ, reinterpret_cast<const BYTE*>(r.fault.c_str()),
                   static_cast<DWORD>((r.fault.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

}  // namespace settings
