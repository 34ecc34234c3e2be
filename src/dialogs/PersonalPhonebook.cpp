#include "dialogs/PersonalPhonebook.h"

#include <windows.h>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "data/CPhonebook.h"
#include "resources/resource.h"
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

CMString PersonalPhonebookPath(const CMString& given) {
    return given.IsEmpty() ? FindPersonalPhonebookPath() : given;
}

void CopyToPersonalPhonebook(HWND owner, const CMString& personalPath, const CMString& name, const CMString& fax,
                             const CMString& organization, const CMString& phone, const CMString& email,
                             const CMString& mailbox) {
    CPhonebook model(owner);
    const CMString path = PersonalPhonebookPath(personalPath);
    if (path.IsEmpty()) return;
    PhonebookDB& database = model.Database();
    database.SetWideMode(true);
    database.SetCurrentFormat(true);
    // Called from a dialog: a busy personal book is waited for while the windows paint.
    database.SetWindowThread(true);
    if (!database.Open(path, 0, 0)) return;
    if (database.IsReadOnly()) {
        // Opened only for reading (write-protected, or another program holds it): the
        // addition would fail without a word, and the user asked for the copy.
        database.ShowNotWritable(path);
    } else {
        model.AddFromFields(name, fax, organization, phone, email, mailbox, true, true);
    }
    model.CloseFile();
}
