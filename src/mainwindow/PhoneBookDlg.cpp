#include "mainwindow/PhoneBookDlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/AppGlobals.h"
#include "controls/Dpi.h"
#include "controls/ToolTip.h"
#include "data/CPhonebook.h"
#include "dialogs/PersonalPhonebook.h"
#include "mainwindow/HelpAbout.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/resource.h"
#include "undo/UndoCommand.h"
#include "util/RegistryKey.h"
#include "util/TextResourceLoader.h"

namespace {

constexpr int kInitialWidth = 364;
constexpr int kInitialHeight = 268;
constexpr int kMinTrackWidth = 580;
constexpr int kMinTrackHeight = 362;
// Groups with this id are never opened for editing from here.
constexpr int kUneditableGroupId = 255;
// A book this window only reads may be changed by others: it looks this often.
constexpr UINT_PTR kFollowTimer = 0x5042;
constexpr UINT kFollowMilliseconds = 1000;
// A notice is shown this long after it is asked for, once the window stands where it
// will be seen (a window just opened is still being placed).
constexpr UINT_PTR kNoticeTimer = 0x5043;
constexpr UINT kNoticeDelayMilliseconds = 400;
// Busy reads the list has retried, for those who watch the program from outside.
const wchar_t kRetriesProperty[] = L"PbeListingRetries";

// Owner-drawn buttons with their window and tooltip texts, in tooltip order.
struct ButtonText {
    int control;
    unsigned text;
};
constexpr ButtonText kButtonTexts[] = {
    {IDC_EDIT_BUTTON, IDS_TIP_EDIT},   {IDC_NEW_ENTRY, IDS_TIP_NEW_ENTRY}, {IDC_NEW_GROUP, IDS_TIP_NEW_GROUP},
    {IDC_DELETE, IDS_TIP_DELETE},      {IDC_HELP_BUTTON, IDS_TIP_HELP},    {IDC_FILE, IDS_TIP_FILE},
    {IDC_COPY_PERSONAL, IDS_TIP_COPY_PERSONAL},
};

}  // namespace

BookLocation LocationOfPath(const CMString& path, bool forceReadOnly) {
    if (forceReadOnly) return BookLocation::Shared;
    wchar_t drive = mrv::ToUpperChar(path.GetAt(0));
    if (drive >= L'G' && drive <= L'Z' && path.GetAt(1) == L':') return BookLocation::Shared;
    if (path.Left(2) == CMString(L"\\\\")) return BookLocation::Shared;
    return BookLocation::Local;
}

CPhoneBookDlg::CPhoneBookDlg(const MainDialogStart& start)
    : m_currentPath(start.currentPath),
      m_personalPath(start.personalPath),
      m_lockFileCommands(start.lockFileCommands),
      m_forceReadOnly(start.forceReadOnly),
      m_rightToLeft(TextResourceLoader::IsRightToLeftLanguage()) {
    // One resource, drawn at both sizes rather than one image scaled.
    m_icon = static_cast<HICON>(LoadImageW(app::Instance(), MAKEINTRESOURCEW(IDI_PHONEBOOK), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    m_smallIcon = static_cast<HICON>(LoadImageW(app::Instance(), MAKEINTRESOURCEW(IDI_PHONEBOOK), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                LR_SHARED));
}

CPhoneBookDlg::~CPhoneBookDlg() { ReleaseModel(); }

void CPhoneBookDlg::ReleaseModel() {
    // The model refers to the list; it goes first.
    m_model.reset();
    m_list.reset();
}

CMString CPhoneBookDlg::SizeKeyPath() { return CMString(L"Software\\Morva\\") + app::Text(IDS_APP_CLASS); }

// Before the model exists nothing is open, and nothing open counts as read-only (as a
// fresh storage wrapper does).
bool CPhoneBookDlg::IsReadOnlyBook() const { return !m_model || m_model->Database().IsReadOnly(); }

void CPhoneBookDlg::UpdateTitle() {
    // The wrapper starts read-only; that counts only while a book is open.
    bool readOnly = m_model && m_model->HasOpenFile() && m_model->Database().IsReadOnly();
    SetWindowTextW(m_hwnd, app::Text(readOnly ? IDS_TITLE_READONLY : IDS_TITLE).c_str());
}

void CPhoneBookDlg::SetControlTexts() {
    m_searchEnabled = false;
    SetDlgItemTextW(m_hwnd, IDC_SEARCH, app::Text(IDS_SEARCH_PROMPT).c_str());
    for (const auto& button : kButtonTexts) SetDlgItemTextW(m_hwnd, button.control, app::Text(button.text).c_str());
    m_searchEnabled = true;
}

BitmapButton* CPhoneBookDlg::ButtonFor(int id) {
    switch (id) {
        case IDC_EDIT_BUTTON: return &m_editButton;
        case IDC_NEW_ENTRY: return &m_newEntryButton;
        case IDC_NEW_GROUP: return &m_newGroupButton;
        case IDC_DELETE: return &m_deleteButton;
        case IDC_FILE: return &m_fileButton;
        case IDC_HELP_BUTTON: return &m_helpButton;
        case IDC_COPY_PERSONAL: return &m_copyButton;
        default: return nullptr;
    }
}

BOOL CPhoneBookDlg::OnInitDialog() {
    SendDlgItemMessageW(m_hwnd, IDC_SEARCH, EM_LIMITTEXT, 100, 0);

    BitmapButton::AttachAll(m_hwnd, {
        {&m_editButton, IDC_EDIT_BUTTON, IDB_EDIT, IDB_EDIT_DISABLED},
        {&m_newEntryButton, IDC_NEW_ENTRY, IDB_NEW_ENTRY, IDB_NEW_ENTRY_DISABLED},
        {&m_newGroupButton, IDC_NEW_GROUP, IDB_NEW_GROUP, IDB_NEW_GROUP_DISABLED},
        {&m_deleteButton, IDC_DELETE, IDB_DELETE, IDB_DELETE_DISABLED},
        {&m_fileButton, IDC_FILE, IDB_FILE_MENU, IDB_FILE_MENU_DISABLED},
        {&m_helpButton, IDC_HELP_BUTTON, IDB_HELP, 0},
        {&m_copyButton, IDC_COPY_PERSONAL, IDB_COPY_PERSONAL, IDB_COPY_PERSONAL_DISABLED},
    });

    CMString about = app::Text(IDS_ABOUT_MENU);
    if (!about.IsEmpty()) {
        HMENU system = GetSystemMenu(m_hwnd, FALSE);
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system, MF_STRING, IDM_SYS_ABOUT, about.c_str());
    }

    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));

    // Never smaller than the template itself: with a wider dialog font (another
    // language, another system) a fixed size would cut off the buttons on the right.
    RECT natural = {};
    GetWindowRect(m_hwnd, &natural);
    SetWindowPos(m_hwnd, nullptr, 0, 0,
                 std::max<int>(ScalePixels(m_hwnd, kInitialWidth), natural.right - natural.left),
                 std::max<int>(ScalePixels(m_hwnd, kInitialHeight), natural.bottom - natural.top),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_editState = {GetDlgItem(m_hwnd, IDC_EDIT_BUTTON), -1};
    m_deleteState = {GetDlgItem(m_hwnd, IDC_DELETE), -1};
    m_copyState = {GetDlgItem(m_hwnd, IDC_COPY_PERSONAL), -1};
    m_list = std::make_unique<ListViewUIControl>(static_cast<uint16_t>(IDC_LIST));
    m_list->AttachToDialog(m_hwnd);
    m_list->Attach(this);
    m_model = std::make_unique<CPhonebook>(m_hwnd);
    m_model->Database().SetWindowThread(true);
    m_model->AttachMainList(m_list.get());
    m_model->SetListingListener([this](CPhonebook::Listing listing) { OnListing(static_cast<int>(listing)); });
    // The list now has its columns: share the width out as a resize would.
    RECT client;
    GetClientRect(m_hwnd, &client);
    OnSize(client.right - client.left);

    for (const auto& button : kButtonTexts) {
        HWND control = GetDlgItem(m_hwnd, button.control);
        AddToolTip(CreateToolTipWindow(control), control, app::Text(button.text));
    }

    m_closeText = app::Text(IDS_CLOSE);
    SetDlgItemTextW(m_hwnd, IDC_CLOSE, m_closeText.c_str());
    SetControlTexts();

    if (!m_currentPath.IsEmpty()) {
        m_bookLocation = BookLocation::Local;
        CMString path = m_currentPath;
        m_currentPath.Empty();
        if (OpenPhoneBookFile(path)) {
            m_model->ToggleSort(0);
            if (ListViewUIControl* active = m_model->ActiveList()) active->ClearSelection();
        }
    } else {
        m_bookLocation = BookLocation::None;
        EnableWindow(GetDlgItem(m_hwnd, IDC_NEW_ENTRY), FALSE);
        EnableWindow(GetDlgItem(m_hwnd, IDC_NEW_GROUP), FALSE);
    }
    UpdateTitle();
    SetTimer(m_hwnd, kFollowTimer, kFollowMilliseconds, nullptr);
    m_follower = std::make_unique<SourceFollower>(SourceFollower::Host{
        m_hwnd, [this] { return m_model.get(); },
        [this] { return m_model && m_model->HasOpenFile() ? m_currentPath : CMString(); },
        [this](const CMString& title, const CMString& text) {
            if (m_list) m_notice.Show(m_list->ListWindow(), title, text);
            m_noticeShown = Notice::None;
        }});
    m_follower->Start();
    return TRUE;
}

void CPhoneBookDlg::FollowOtherWriters() {
    // Only a book this window cannot change has writers elsewhere worth following; a
    // list whose last read failed is read again whatever the book. While a dialog of its
    // own is open over it (the window is disabled), that dialog works on the list: the
    // refill waits for the window's activation.
    if (!m_model || !m_model->HasOpenFile() || !(IsReadOnlyBook() || m_model->IsListStale()) ||
        !IsWindowVisible(m_hwnd) || IsIconic(m_hwnd) || !IsWindowEnabled(m_hwnd))
        return;
    m_model->FollowOtherWriters();
}

void CPhoneBookDlg::OnListing(int listing) {
    SetPropW(m_hwnd, kRetriesProperty,
             reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(m_model ? m_model->Database().ReadsRetried() : 0)));
    if (static_cast<CPhonebook::Listing>(listing) == CPhonebook::Listing::Read) {
        // The book is shown again: a notice about the list has had its day.
        if (m_noticeShown == Notice::ListNotRead) {
            m_notice.Hide();
            m_noticeShown = Notice::None;
        }
        return;
    }
    // The balloon speaks of this window's list, not of a dialog's that stands in for it.
    if (!m_model || m_model->MainList() != m_list.get()) return;
    // Once per spell of failed reads, not at every retry; but a word that is no longer
    // true (rows kept where none were, or the other way round) is put right.
    if (m_noticeShown == Notice::ListNotRead && m_notice.IsShown() && m_pendingListing == listing) return;
    m_pendingListing = listing;
    PostMessageW(m_hwnd, kShowNoticeMessage, static_cast<WPARAM>(Notice::ListNotRead), 0);
}

void CPhoneBookDlg::ShowNotice(Notice notice) {
    if (!m_list || notice == Notice::None) return;
    HWND list = m_list->ListWindow();
    if (notice == Notice::OpenedWhileBusy) {
        m_notice.Show(list, app::Text(IDS_OPENED_WHILE_BUSY_TITLE), app::Text(IDS_OPENED_WHILE_BUSY));
    } else {
        // Read again since it was asked for: nothing to tell.
        if (!m_model || !m_model->IsListStale()) return;
        const bool kept = static_cast<CPhonebook::Listing>(m_pendingListing) == CPhonebook::Listing::KeptLastRows;
        m_notice.Show(list, app::Text(IDS_LIST_NOT_READ_TITLE), app::Text(kept ? IDS_LIST_NOT_REFRESHED : IDS_LIST_NOT_READ));
    }
    m_noticeShown = notice;
}

void CPhoneBookDlg::Update(int subjectId) {
    if (!m_list || subjectId != m_list->subjectId) return;
    if (m_list->IsDoubleClickEvent()) {
        if (m_list->GetSelectedCount() > 0) Edit();
    } else if (m_list->IsSelectionEvent()) {
        // The buttons already follow the selection (WM_NOTIFY).
    } else if (m_list->IsColumnEvent()) {
        if (m_model) m_model->ToggleSort(m_list->ClickedColumn());
    }
}

void CPhoneBookDlg::SetButtonEnabled(ButtonState& button, bool enabled) {
    // A refill notifies per row: only real changes reach the window.
    if (!button.window || button.enabled == static_cast<int>(enabled)) return;
    button.enabled = enabled;
    EnableWindow(button.window, enabled);
}

INT_PTR CPhoneBookDlg::OnNotify(const NMHDR* header) {
    if (!header || header->idFrom != IDC_LIST || !m_list) return FALSE;
    // Asked for every painted cell: nothing else to do then.
    if (m_list->IsDataRequest(header)) return m_list->OnNotify(WM_NOTIFY, header->idFrom, header) ? TRUE : FALSE;
    int selected = m_list->GetSelectedCount();
    SetButtonEnabled(m_editState, selected == 1 && m_editable);
    SetButtonEnabled(m_deleteState, selected > 0 && m_editable);
    if (m_copyState.window) {
        SetButtonEnabled(m_copyState, selected > 0);
        // Copying into the personal book is for books the user cannot change here.
        if (!IsReadOnlyBook()) {
            DestroyWindow(m_copyState.window);
            m_copyState.window = nullptr;
        }
    }
    return m_list->OnNotify(WM_NOTIFY, header->idFrom, header) ? TRUE : FALSE;
}

void CPhoneBookDlg::Search() {
    if (!m_model) return;
    int length = GetWindowTextLengthW(GetDlgItem(m_hwnd, IDC_SEARCH));
    CMString text;
    GetDlgItemTextW(m_hwnd, IDC_SEARCH, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer();
    m_model->SetSearchText(text);
    m_model->Database().SetSearchText(text);
    m_model->Refresh(true);
}

void CPhoneBookDlg::Edit() {
    if (!m_model) return;
    int row = m_model->GetSelectedRow();
    if (row == -1) return;
    if (m_model->IsEntryRow(row)) {
        RunEntryDialog(false, IsReadOnlyBook() || !m_editable);
    } else {
        ListViewUIControl* active = m_model->ActiveList();
        int groupId = active ? active->GetItemData(row) : kUneditableGroupId;
        if (groupId == kUneditableGroupId) return;
        RunGroupDialog(groupId, false);
    }
    m_model->AttachMainList(m_list.get());
    m_model->Refresh(true);
}

// The shortcuts reach here with the buttons greyed. A shared book still takes new
// records that way; no book, or one open only for reading, cannot (and without a book
// the capacity check would report a "full" book of 0).
bool CPhoneBookDlg::CanAddRecords() const {
    return m_model && m_model->HasOpenFile() && !m_model->Database().IsReadOnly();
}

void CPhoneBookDlg::NewEntry() {
    if (!CanAddRecords()) return;
    if (!m_model || m_model->Database().IsFull(m_model->GetItemCount(), true)) return;
    RunEntryDialog(true, false);
    m_model->AttachMainList(m_list.get());
    m_model->Refresh(true);
}

void CPhoneBookDlg::NewGroup() {
    if (!CanAddRecords()) return;
    if (!m_model || m_model->Database().IsFull(m_model->GetItemCount(), true)) return;
    RunGroupDialog(0, true);
    m_model->AttachMainList(m_list.get());
    m_model->Refresh(true);
}

void CPhoneBookDlg::Delete() {
    if (!m_model || !m_editable || !m_list || m_list->GetSelectedCount() == 0) return;
    m_model->DeleteSelected();
}

void CPhoneBookDlg::CopyToPersonal() {
    if (!m_model || !m_list || m_list->GetSelectedCount() == 0) return;
    // Without "-p" the user's own personal phone book receives the entries.
    CMString target = PersonalPhonebookPath(m_personalPath);
    if (target.IsEmpty()) return;
    m_model->CopySelectedTo(m_currentPath, target);
}

INT_PTR CPhoneBookDlg::OnCommand(WORD id, WORD code) {
    switch (id) {
        case IDC_HELP_BUTTON:
        case ID_HELP_TOPIC: ShowHelpTopic(helptopic::kMainDialog); return TRUE;
        case IDC_SEARCH:
            if (code == EN_CHANGE && m_searchEnabled) Search();
            return TRUE;
        case IDC_EDIT_BUTTON:
        case ID_EDIT_ENTRY: Edit(); return TRUE;
        case IDC_NEW_ENTRY:
        case ID_NEW_ENTRY: NewEntry(); return TRUE;
        case IDC_NEW_GROUP:
        case ID_NEW_GROUP: NewGroup(); return TRUE;
        case IDC_DELETE:
        case ID_DELETE_ENTRY: Delete(); return TRUE;
        case IDC_CLOSE:
        case ID_FILE_CLOSE: SendMessageW(m_hwnd, WM_CLOSE, 0, 0); return TRUE;
        case IDC_FILE: ShowFileMenu(); return TRUE;
        case IDC_COPY_PERSONAL: CopyToPersonal(); return TRUE;
        case ID_FILE_NEW: NewPhoneBook(); return TRUE;
        case ID_FILE_EXPORT: Export(); return TRUE;
        case ID_FILE_OPEN: OpenPhoneBook(); return TRUE;
        case ID_FILE_SAVE_AS: SaveAs(); return TRUE;
        case ID_FILE_IMPORT: Import(); return TRUE;
        case ID_FILE_DIRECTORY: ImportFromDirectory(); return TRUE;
        case ID_FILE_DUPLICATES: FindDuplicates(); return TRUE;
        case ID_FILE_PRINT: Print(); return TRUE;
        case ID_FILE_UNDO:
            if (m_model && m_editable) undo::RunUndoCommand(m_hwnd, *m_model);
            return TRUE;
        case ID_ABOUT: ShowAboutBox(m_hwnd); return TRUE;
        default: return FALSE;
    }
}

void CPhoneBookDlg::OnSize(int) {
    if (!m_list || !m_list->ListWindow()) return;
    int columns = m_list->GetColumnCount();
    if (columns > 0) {
        // The columns share the list's own width, with room kept for its vertical
        // scroll bar: a share of the dialog's width would overhang the list and give it
        // a horizontal scroll bar for nothing.
        HWND listWindow = m_list->ListWindow();
        RECT inside = {};
        GetClientRect(listWindow, &inside);
        int room = inside.right - inside.left;
        if (!(GetWindowLongPtrW(listWindow, GWL_STYLE) & WS_VSCROLL)) room -= GetSystemMetrics(SM_CXVSCROLL);
        int width = std::max(room, 0) / columns;
        for (int i = 0; i < columns; ++i) ListView_SetColumnWidth(m_list->ListWindow(), i, width);
    }
    int first = m_list->GetNextSelected(-1);
    if (m_list->GetItemCount() > 0) ListView_EnsureVisible(m_list->ListWindow(), first < 0 ? 0 : first, FALSE);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CPhoneBookDlg::OnDropFiles(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    if (count == 1) {
        UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        if (length > 0) {
            CMString path;
            DragQueryFileW(drop, 0, path.GetBuffer(static_cast<int>(length) + 1), length + 1);
            path.ReleaseBuffer();
            OpenPhoneBookFile(path);
        }
    }
    DragFinish(drop);
}

void CPhoneBookDlg::StoreSize(const wchar_t* name, DWORD value) {
    RegistryKey key;
    LONG rc = key.OpenRegistryKey(HKEY_CURRENT_USER, SizeKeyPath(), KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (rc == ERROR_FILE_NOT_FOUND) rc = key.CreateRegistryKey(HKEY_CURRENT_USER, SizeKeyPath(), KEY_ALL_ACCESS);
    if (rc == ERROR_SUCCESS) key.SetDWordValue(name, value);
}

void CPhoneBookDlg::OnClose() {
    KillTimer(m_hwnd, kFollowTimer);
    KillTimer(m_hwnd, kNoticeTimer);
    ReleaseModel();
    RECT rect = {};
    GetWindowRect(m_hwnd, &rect);
    StoreSize(L"InitSize_X", static_cast<DWORD>(rect.right - rect.left));
    StoreSize(L"InitSize_Y", static_cast<DWORD>(rect.bottom - rect.top));
    PostMessageW(GetWindow(m_hwnd, GW_OWNER), WM_CLOSE, 0, 0);
    EndDialog(m_hwnd, 1);
}

INT_PTR CPhoneBookDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_NOTIFY: return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_SYS_ABOUT) ShowAboutBox(hwnd);
            return FALSE;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (wParam == IDC_COPY_PERSONAL && !IsReadOnlyBook()) return TRUE;
            if (BitmapButton* button = ButtonFor(static_cast<int>(wParam))) {
                button->Draw(*item);
                return TRUE;
            }
            return FALSE;
        }
        case WM_SIZE: OnSize(LOWORD(lParam)); return FALSE;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = ScalePixels(hwnd, kMinTrackWidth);
            info->ptMinTrackSize.y = ScalePixels(hwnd, kMinTrackHeight);
            return FALSE;
        }
        case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); return TRUE;
        case WM_TIMER:
            if (wParam == kNoticeTimer) {
                KillTimer(hwnd, kNoticeTimer);
                if (IsWindowVisible(hwnd) && !IsIconic(hwnd)) ShowNotice(m_pendingNotice);
                return TRUE;
            }
            if (wParam == SourceFollower::kTimer && m_follower) {
                m_follower->OnTimer();
                return TRUE;
            }
            if (wParam != kFollowTimer) return FALSE;
            FollowOtherWriters();
            return TRUE;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) FollowOtherWriters();
            return FALSE;
        case SourceFollower::kLandedMessage:
            if (m_follower) m_follower->OnLanded();
            return TRUE;
        case kShowNoticeMessage:
            m_pendingNotice = static_cast<Notice>(wParam);
            SetTimer(hwnd, kNoticeTimer, kNoticeDelayMilliseconds, nullptr);
            return TRUE;
        case WM_MOVE:
            // The balloon points at the list: it goes where the list goes.
            if (m_notice.IsShown()) {
                m_pendingNotice = m_noticeShown;
                SetTimer(hwnd, kNoticeTimer, kNoticeDelayMilliseconds, nullptr);
            }
            return FALSE;
        case WM_CLOSE: OnClose(); return TRUE;
        case WM_DESTROY:
            m_notice.Hide();
            RemovePropW(hwnd, kRetriesProperty);
            m_follower.reset();
            m_model.reset();
            return FALSE;
        default: return FALSE;
    }
}
