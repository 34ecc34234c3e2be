#include "dialogs/PersonalPhonebook.h"

#include <windows.h>

#include "util/Handles.h"

CMString FindPersonalPhonebookPath() {
    UniqueModule userenv(LoadLibraryExW(L"userenv.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!userenv) return {};
    using GetProfileDirectoryFn = BOOL(WINAPI*)(HANDLE, LPWSTR, LPDWORD);
    auto getProfileDirectory = reinterpret_cast<GetProfileDirectoryFn>(
        reinterpret_cast<void*>(GetProcAddress(userenv.Get(), "GetUserProfileDirectoryW")));
    if (!getProfileDirectory) return {};
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return {};
    UniqueKernelHandle token(rawToken);
    wchar_t buffer[260] = {};
    DWORD size = 260;
    getProfileDirectory(token.Get(), buffer, &size);
    size_t length = 0;
    while (length < 260 && buffer[length]) ++length;
    if (length == 0 || length == 260) return {};
    return CMString(buffer, length) + L"\\My Documents\\default.pb";
}
