#pragma once
// The office's directory as the administrator sets it up once: server, base DN, filter,
// security and login, the managed group and whether the book follows the directory.
// Test connects and counts; Import reads the directory into the book through the one
// path every source takes, and asks before a sync removes anything. The settings are
// remembered for the user, the password only when asked and then encrypted for them.
#include <windows.h>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "directory/LdapReader.h"

class CPhonebook;

class CDirectoryDlg : public Dialog {
public:
    explicit CDirectoryDlg(CPhonebook& model) : m_model(model) {}
    // IDOK when the book took the directory's entries (or they were planned and the
    // user said no to the removals: IDCANCEL then), IDCANCEL when closed.
    INT_PTR Run(HWND owner);
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Where the settings live, under HKEY_CURRENT_USER.
    static const wchar_t kSettingsKey[];

private:
    BOOL OnInitDialog();
    // The connection the fields describe; false (and the field focused) when the server
    // is neither a name nor an LDAP URL.
    bool Gather(directory::Connection& connection);
    void Test();
    void Import();
    void ShowStatus(const CMString& text);
    void UpdateLogin();
    void Load();
    // False when the password was to be remembered and could not be (none is kept then).
    bool Save() const;

    CPhonebook& m_model;
    BitmapButton m_helpButton;
    bool m_done = false;
};
