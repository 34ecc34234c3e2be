#pragma once
// The office's servers as the administrator sets them up once: a directory (server, base
// DN, filter, security and login) or an address book on a CardDAV server (the server's or
// the book's URL, the login, the book picked from those Test finds), the managed group and
// whether the book follows the source. Test connects and counts; Import reads the source
// into the book through the one path every source takes, and asks before a sync removes
// anything. The reading runs on a worker thread, so the window keeps answering. The
// settings are remembered for the user, a password only when asked and then encrypted
// for them.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "util/CMString.h"

class CPhonebook;

namespace directory {
struct Connection;
}
namespace carddav {
struct Connection;
}

// A login as the dialog keeps it: the password is remembered only when asked.
struct ServerLogin {
    CMString user;
    std::wstring password;
    bool remember = false;
};

// Everything the dialog shows, as it is remembered; the one value its controls are filled
// from and read into.
struct ServerSettings {
    enum Kind : DWORD { kDirectory = 0, kAddressBook = 1 };
    enum Security : DWORD { kNone = 0, kStartTls = 1, kLdaps = 2 };
    Kind kind = kDirectory;
    // The directory: a name or an LDAP URL; an empty login is anonymous.
    CMString server, baseDn, filter;
    Security security = kNone;
    ServerLogin directoryLogin;
    // The address book: the URL typed (a server, an account or one book), and the book
    // picked among those it leads to (empty: the URL itself).
    CMString url, bookUrl, bookName;
    ServerLogin addressBookLogin;
    // Either kind.
    CMString group;
    bool update = true, sync = false, adopt = false;

    // The remembered settings (the defaults where none are).
    static ServerSettings Load();
    // False when a password was to be remembered and could not be (none is kept then).
    bool Save() const;
};

class CDirectoryDlg : public Dialog {
public:
    explicit CDirectoryDlg(CPhonebook& model);
    ~CDirectoryDlg() override;
    // IDOK when the book took the source's entries (or they were planned and the user said
    // no to the removals: IDCANCEL then), IDCANCEL when closed.
    INT_PTR Run(HWND owner);
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Where the settings live, under HKEY_CURRENT_USER; the address book's in a key below.
    static const wchar_t kSettingsKey[];
    static const wchar_t kAddressBookKey[];

    // A worker's progress and its end, posted to the dialog.
    static constexpr UINT kProgressMessage = WM_APP + 0x61;
    static constexpr UINT kDoneMessage = WM_APP + 0x62;

    struct Work;

private:
    BOOL OnInitDialog();
    // The one place the controls take their values and states from.
    void Fill(const ServerSettings& settings);
    ServerSettings Collect() const;
    void ShowKind();
    void UpdateStates();
    ServerSettings::Kind Kind() const;
    // The connection the fields describe; false (and the field focused) when they
    // describe none.
    bool Gather(directory::Connection& connection);
    bool Gather(carddav::Connection& connection, bool chosenBook);
    void Start(bool import);
    void Finish();
    void FinishDirectory(Work& work);
    void FinishAddressBook(Work& work);
    void ListBooks(const Work& work);
    void ShowProgress(size_t done, size_t total);
    void Apply(Work& work);
    void ShowStatus(const CMString& text);
    void SetBusy(bool busy);

    CPhonebook& m_model;
    BitmapButton m_helpButton;
    bool m_done = false;
    bool m_filling = false;
    std::shared_ptr<Work> m_work;
    // The address books the book list offers: URL and display name.
    std::vector<std::pair<CMString, CMString>> m_books;
};
