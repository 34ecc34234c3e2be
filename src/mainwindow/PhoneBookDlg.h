#pragma once
// The main window: a modeless dialog showing one phone book.
#include <windows.h>

#include "controls/Dialog.h"
#include "util/CMString.h"

enum class BookLocation { None = 0, Local = 1, Shared = 2 };

struct MainDialogStart {
    CMString currentPath;     // phone book to open at start
    CMString personalPath;    // phone book that receives copied entries
    bool lockFileCommands = false;
    bool forceReadOnly = false;
};

class CPhoneBookDlg : public Dialog {
public:
    explicit CPhoneBookDlg(const MainDialogStart& start);
    ~CPhoneBookDlg() override;

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    BookLocation GetBookLocation() const { return m_bookLocation; }
    const CMString& CurrentPath() const { return m_currentPath; }
    const CMString& PersonalPath() const { return m_personalPath; }
    bool LockFileCommands() const { return m_lockFileCommands; }
    bool ForceReadOnly() const { return m_forceReadOnly; }
    bool IsEditable() const { return m_editable; }
    bool IsRightToLeft() const { return m_rightToLeft; }

    void UpdateTitle();
    // Opens a phone book in this window; false when nothing was opened.
    bool OpenPhoneBookFile(const CMString& path);

    // Registry key (under HKEY_CURRENT_USER) that receives the window size on close.
    static CMString SizeKeyPath();

private:
    BOOL OnInitDialog();
    void SetControlTexts();
    void OnClose();
    void StoreSize(const wchar_t* name, DWORD value);

    CMString m_closeText;
    BookLocation m_bookLocation = BookLocation::None;
    HICON m_icon = nullptr;       // shared resource icons: never destroyed
    HICON m_smallIcon = nullptr;
    CMString m_currentPath;
    CMString m_personalPath;
    bool m_lockFileCommands = false;
    bool m_forceReadOnly = false;
    bool m_searchEnabled = false;
    bool m_editable = true;
    bool m_rightToLeft = false;
    bool m_readOnly = false;
};
