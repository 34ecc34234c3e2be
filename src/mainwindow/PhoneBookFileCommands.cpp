// The main window's file commands: the File menu, new, open, save as, import and
// export, and the one routine that opens a phone book.
#include <windows.h>
#include <commdlg.h>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "conversion/ConvertPhonebookDlg.h"
#include "data/CPhonebook.h"
#include "importexport/UIFileSelectionDialog.h"
#include "mainwindow/BusyIndicator.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "directory/DirectoryDlg.h"
#include "dialogs/DuplicatesDlg.h"
#include "resources/resource.h"
#include "undo/UndoCommand.h"

namespace {

struct BookKind {
    const wchar_t* pattern;
    const wchar_t* extension;
};

BookKind KindOf(const PhonebookDB& db) {
    if (!db.IsWideMode()) return {L"*.pb", L".pb"};
    if (!db.IsCurrentFormat()) return {L"*.mpb", L".mpb"};
    return {L"*.mpb2", L".mpb2"};
}

bool FileFound(const CMString& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

}  // namespace

std::vector<CPhoneBookDlg::FileMenuItem> CPhoneBookDlg::FileMenuItems() const {
    bool open = m_model && m_model->HasOpenFile();
    bool hasItems = m_model && m_model->GetItemCount() > 0;
    return {
        {IDS_MENU_NEW, ID_FILE_NEW, !m_lockFileCommands && m_editable},
        {IDS_MENU_OPEN, ID_FILE_OPEN, !m_lockFileCommands},
        {IDS_MENU_SAVE_AS, ID_FILE_SAVE_AS, !m_lockFileCommands && open},
        {IDS_MENU_IMPORT, ID_FILE_IMPORT, m_editable && open},
        {IDS_MENU_EXPORT, ID_FILE_EXPORT, open && hasItems},
        {IDS_MENU_DIRECTORY, ID_FILE_DIRECTORY, m_editable && open},
        {IDS_MENU_DUPLICATES, ID_FILE_DUPLICATES, m_editable && open},
        {IDS_MENU_PRINT, ID_FILE_PRINT, open && hasItems},
    };
}

void CPhoneBookDlg::ShowFileMenu() {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    for (const auto& item : FileMenuItems())
        AppendMenuW(menu, MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED), item.command, app::Text(item.text).c_str());
    // The step back is named by the change it takes back.
    const undo::MenuItem undoItem = undo::UndoMenuItem(m_model.get(), m_editable);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | (undoItem.enabled ? MF_ENABLED : MF_GRAYED), ID_FILE_UNDO, undoItem.text.c_str());
    RECT button = {};
    GetWindowRect(GetDlgItem(m_hwnd, IDC_FILE), &button);
    UINT flags = TPM_RETURNCMD | TPM_LEFTBUTTON | (m_rightToLeft ? TPM_LAYOUTRTL | TPM_RIGHTALIGN : TPM_LEFTALIGN);
    int x = m_rightToLeft ? button.right : button.left;
    UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, flags, x, button.bottom, 0, m_hwnd, nullptr));
    DestroyMenu(menu);
    if (chosen) SendMessageW(m_hwnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
}

void CPhoneBookDlg::ReopenCurrent() {
    PhonebookDB& db = m_model->Database();
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    db.Open(m_currentPath, 0, 0);
    m_model->Refresh(true);
}

void CPhoneBookDlg::UpdateEditing() {
    m_editable = !m_model->Database().IsReadOnly() && m_bookLocation != BookLocation::Shared;
    EnableWindow(GetDlgItem(m_hwnd, IDC_NEW_ENTRY), m_editable);
    EnableWindow(GetDlgItem(m_hwnd, IDC_NEW_GROUP), m_editable);
}

void CPhoneBookDlg::NewPhoneBook() {
    if (m_lockFileCommands || !m_editable || !m_model) return;
    ByteBuffer filter = BuildFilter({{IDS_FILTER_PHONEBOOKS, L"*.mpb2;*.mpb; *.pb"}, {IDS_FILTER_ALL_FILES, L"*.*"}});
    // The save form, so that choosing an existing book asks before it is replaced
    // (the open form would ignore OFN_OVERWRITEPROMPT and the book would be lost).
    UIFileSelectionDialog dialog(true, L".mpb2", CMString(),
                                 OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN,
                                 filter, m_hwnd);
    dialog.SetTitle(app::Text(IDS_NEW_BOOK_TITLE));
    DWORD error = 0;
    if (dialog.Run(error)) {
        CMString file = dialog.GetFileName();
        m_model->CloseFile();
        if (m_model->Database().Create(file)) {
            m_currentPath = file;
            m_model->SetSearchText(CMString());
            m_model->Database().SetSearchText(CMString());
            m_model->Refresh(true);
        } else {
            ReopenCurrent();
        }
    }
    SetControlTexts();
    UpdateTitle();
    m_bookLocation = BookLocation::Local;
    UpdateEditing();
}

bool CPhoneBookDlg::OpenPhoneBook() {
    if (m_lockFileCommands || !m_model) return false;
    ByteBuffer filter = BuildFilter({{IDS_FILTER_PHONEBOOKS, L"*.mpb2; *.mpb; *.pb"}, {IDS_FILTER_ALL_FILES, L"*.*"}});
    UIFileSelectionDialog dialog(false, L".mpb2", CMString(), OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                                 filter, m_hwnd);
    dialog.SetTitle(app::Text(IDS_OPEN_BOOK_TITLE));
    dialog.SetDefaultExtension(L".mpb2");
    DWORD error = 0;
    if (!dialog.Run(error)) return false;
    return OpenPhoneBookFile(dialog.GetFileName());
}

INT_PTR CPhoneBookDlg::OfferConversion() {
    CConvertPhonebookDlg offer(this, m_model.get());
    return offer.DoModal(m_hwnd);
}

bool CPhoneBookDlg::ConvertFile(const CMString& path) { return m_model && m_model->ConvertFile(path); }

bool CPhoneBookDlg::OpenPhoneBookFile(const CMString& path) {
    if (!m_model) return false;
    PhonebookDB& db = m_model->Database();
    m_model->CloseFile();
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    bool result = db.Open(path, 0, m_forceReadOnly ? 1 : 0);
    if (!result) {
        if (!m_currentPath.IsEmpty()) ReopenCurrent();
        UpdateTitle();
        return false;
    }
    CMString remembered = path;
    // Only a book opened for writing can be converted.
    if (!db.IsCurrentFormat() && !m_forceReadOnly && !db.IsReadOnly()) {
        CMString twin = CurrentFormatName(path);
        if (!FileFound(twin) && OfferConversion() == IDYES) {
            BusyIndicator busy(m_hwnd, LoadCursorW(nullptr, IDC_WAIT));
            busy.Start(app::Text(IDS_CONVERTING_TITLE), CMString());
            result = ConvertFile(path);
            if (result) remembered = twin;
            busy.Stop();
            if (!result) {
                // As after a failed open: the book that was open before comes back.
                if (!m_currentPath.IsEmpty()) ReopenCurrent();
                UpdateTitle();
                return false;
            }
        }
    }
    m_model->Refresh(true);
    m_currentPath = remembered;
    m_bookLocation = LocationOfPath(remembered, m_forceReadOnly);
    UpdateEditing();
    UpdateTitle();
    // Read-only for a while rather than refused: said once, without a question.
    if (db.OpenedReadOnlyWhileBusy() && !m_forceReadOnly)
        PostMessageW(m_hwnd, kShowNoticeMessage, static_cast<WPARAM>(Notice::OpenedWhileBusy), 0);
    return result;
}

void CPhoneBookDlg::SaveAs() {
    if (m_lockFileCommands || !m_model || !m_model->HasOpenFile()) return;
    BookKind kind = KindOf(m_model->Database());
    ByteBuffer filter = BuildSingleFilter(kind.pattern);
    UIFileSelectionDialog dialog(true, CMString(), CMString(),
                                 OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN,
                                 filter, m_hwnd);
    dialog.SetTitle(app::Text(IDS_SAVE_AS_TITLE));
    dialog.SetDefaultExtension(kind.extension);
    DWORD error = 0;
    if (!dialog.Run(error)) return;
    CMString target = dialog.GetFileName();
    m_model->CloseFile();
    if (CopyFileW(m_currentPath.c_str(), target.c_str(), FALSE)) {
        m_currentPath = target;
        ReopenCurrent();
        UpdateTitle();
        return;
    }
    DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ShowMessageBox(m_hwnd, text ? CMString(text) : CMString(), CMString(), MB_ICONEXCLAMATION);
    if (text) LocalFree(text);
    ReopenCurrent();
}

void CPhoneBookDlg::Import() {
    if (!m_model) return;
    PhonebookDB& db = m_model->Database();
    if (m_model->GetItemCount() == db.Capacity()) {
        ShowMessageBox(m_hwnd, CMString::Formatted(app::Text(IDS_BOOK_FULL).c_str(), static_cast<unsigned>(db.Capacity())),
                       app::Text(IDS_BOOK_FULL_CAPTION), MB_ICONEXCLAMATION, false);
        return;
    }
    RunImportExport(1);
    m_model->Refresh(true);
}

void CPhoneBookDlg::ImportFromDirectory() {
    if (!m_model || !m_editable) return;
    CDirectoryDlg dialog(*m_model);
    dialog.Run(m_hwnd);
    m_model->Refresh(true);
}

void CPhoneBookDlg::FindDuplicates() {
    if (!m_model || !m_editable || !m_model->HasOpenFile()) return;
    CDuplicatesDlg dialog(*m_model);
    dialog.Run(m_hwnd);
    m_model->Refresh(true);
}

void CPhoneBookDlg::Export() {
    if (!m_model) return;
    RunImportExport(2);
    m_model->Refresh(true);
}
