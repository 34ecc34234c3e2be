#pragma once
// The main window: a modeless dialog showing one phone book, its search box, its list
// of entries and groups, and the picture buttons that act on them.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <vector>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "controls/ToolTip.h"
#include "data/core/Observer.h"
#include "mainwindow/BookLocation.h"
#include "mainwindow/FollowSource.h"
#include "util/CMString.h"

class CPhonebook;
class ListViewUIControl;

struct MainDialogStart {
    CMString currentPath;     // phone book to open at start
    CMString personalPath;    // phone book that receives copied entries
    bool lockFileCommands = false;
    bool forceReadOnly = false;
};

// Where a phone book path lies: drive letters G to Z and UNC paths are shared places.
BookLocation LocationOfPath(const CMString& path, bool forceReadOnly);
// The current-format twin of an older book: the path up to its last "." and "mpb2".

class CPhoneBookDlg : public Dialog, public Observer {
public:
    explicit CPhoneBookDlg(const MainDialogStart& start);
    ~CPhoneBookDlg() override;

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Update(int subjectId) override;

    BookLocation GetBookLocation() const { return m_bookLocation; }
    const CMString& CurrentPath() const { return m_currentPath; }
    const CMString& PersonalPath() const { return m_personalPath; }
    bool LockFileCommands() const { return m_lockFileCommands; }
    bool ForceReadOnly() const { return m_forceReadOnly; }
    bool IsEditable() const { return m_editable; }
    bool IsRightToLeft() const { return m_rightToLeft; }
    CPhonebook* Model() const { return m_model.get(); }
    ListViewUIControl* List() const { return m_list.get(); }
    // The balloon that tells of a book opened read-only while busy, or a list not read.
    const NoticeBalloon& Balloon() const { return m_notice; }
    const SourceFollower* Follower() const { return m_follower.get(); }

    void UpdateTitle();
    void SetControlTexts();
    // Opens a phone book in this window (offering to convert an older one); true when
    // a phone book from that path, or its converted copy, is open afterwards.
    bool OpenPhoneBookFile(const CMString& path);

    // File commands. The File menu's items with whether each is offered now.
    struct FileMenuItem {
        unsigned text;
        UINT command;
        bool enabled;
    };
    std::vector<FileMenuItem> FileMenuItems() const;
    void ShowFileMenu();
    void NewPhoneBook();
    bool OpenPhoneBook();
    void SaveAs();
    void Import();
    void Export();
    // The office's directory into the book (the Directory dialog).
    void ImportFromDirectory();
    // Entries that share a fax line, to merge (the Duplicates dialog).
    void FindDuplicates();
    // The phone list on paper (the print dialog, its preview).
    void Print();

    // Registry key (under HKEY_CURRENT_USER) that receives the window size on close.
    static CMString SizeKeyPath();

protected:
    // The editing dialogs and the conversion offer; each returns what the user chose.
    virtual void RunEntryDialog(bool newEntry, bool readOnly);
    virtual bool RunGroupDialog(int groupId, bool newGroup);
    virtual INT_PTR OfferConversion();
    virtual bool ConvertFile(const CMString& path);
    virtual void RunImportExport(int mode);

private:
    BOOL OnInitDialog();
    INT_PTR OnCommand(WORD id, WORD code);
    INT_PTR OnNotify(const NMHDR* header);
    void OnSize(int clientWidth);
    bool CanAddRecords() const;
    void OnDropFiles(HDROP drop);
    void OnClose();
    void StoreSize(const wchar_t* name, DWORD value);
    void ReleaseModel();

    void Search();
    void Edit();
    void NewEntry();
    void NewGroup();
    void Delete();
    void CopyToPersonal();
    void ReopenCurrent();
    void FollowOtherWriters();
    // What a refill of the list came to, and the notices it earns.
    void OnListing(int listing);
    enum class Notice : uint8_t { None, OpenedWhileBusy, ListNotRead };
    // Posted with a Notice: shown once the window stands where it will be seen.
    static constexpr UINT kShowNoticeMessage = WM_APP + 0x42;
    void ShowNotice(Notice notice);
    void UpdateEditing();
    BitmapButton* ButtonFor(int id);
    struct ButtonState {
        HWND window;
        int enabled;  // -1 until first set
    };
    void SetButtonEnabled(ButtonState& button, bool enabled);
    bool IsReadOnlyBook() const;

    CMString m_closeText;
    BookLocation m_bookLocation = BookLocation::None;
    HICON m_icon = nullptr;       // shared resource icons: never destroyed
    HICON m_smallIcon = nullptr;
    std::unique_ptr<CPhonebook> m_model;
    std::unique_ptr<ListViewUIControl> m_list;
    CMString m_currentPath;
    CMString m_personalPath;
    bool m_lockFileCommands = false;
    bool m_forceReadOnly = false;
    bool m_searchEnabled = false;
    bool m_editable = true;
    bool m_rightToLeft = false;
    ButtonState m_editState = {}, m_deleteState = {}, m_copyState = {};
    NoticeBalloon m_notice;
    // The book following its source by itself (settings/policy); made once the book is listed.
    std::unique_ptr<SourceFollower> m_follower;
    Notice m_noticeShown = Notice::None;
    int m_pendingListing = 0;
    Notice m_pendingNotice = Notice::None;
    // In member order: Edit, New entry, New group, Delete, File, Help, Copy.
    BitmapButton m_editButton, m_newEntryButton, m_newGroupButton, m_deleteButton, m_fileButton, m_helpButton,
        m_copyButton;
};
