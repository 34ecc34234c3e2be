#include "dialogs/PhonebookEntryDlg.h"

#include <utility>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "controls/ToolTip.h"
#include "data/CPhonebook.h"
#include "dialogs/BookLines.h"
#include "dialogs/NoticeDialog.h"
#include "dialogs/PersonalPhonebook.h"
#include "dialogs/core/EntryFields.h"
#include "mainwindow/HelpAbout.h"
#include "mainwindow/ListViewUIControl.h"
#include "numbers/HomeCountry.h"
#include "resources/resource.h"
#include "util/MorvaUtilities.h"

namespace {

// Longest text read back from a field; the limits keep typed text far shorter.
constexpr int kReadLength = 259;

struct FieldLayout {
    int edit;
    int label;
    unsigned labelText;
    int limit;
};
constexpr FieldLayout kFields[] = {
    {IDC_ENTRY_NAME, IDC_ENTRY_NAME_LABEL, IDS_LABEL_NAME, 31},
    {IDC_ENTRY_FAX, IDC_ENTRY_FAX_LABEL, IDS_LABEL_FAX, 46},
    {IDC_ENTRY_ORGANIZATION, IDC_ENTRY_ORGANIZATION_LABEL, IDS_LABEL_ORGANIZATION, 59},
    {IDC_ENTRY_PHONE, IDC_ENTRY_PHONE_LABEL, IDS_LABEL_PHONE, 46},
    {IDC_ENTRY_EMAIL, IDC_ENTRY_EMAIL_LABEL, IDS_LABEL_EMAIL, 59},
    {IDC_ENTRY_MAILBOX, IDC_ENTRY_MAILBOX_LABEL, IDS_LABEL_MAILBOX, 3},
};

}  // namespace

CPhonebookEntryDlg::CPhonebookEntryDlg(CPhonebook& model, bool newEntry, bool readOnly, EntryDialogOpener opener)
    : m_model(model), m_newEntry(newEntry), m_readOnly(readOnly), m_opener(std::move(opener)) {
    m_previousButton.LoadImages(IDB_PREVIOUS, 0);
    m_nextButton.LoadImages(IDB_NEXT, 0);
    m_helpButton.LoadImages(IDB_HELP, 0);
    m_previousButton.SetMetrics(BitmapButton::kEntryStepMetrics);
    m_nextButton.SetMetrics(BitmapButton::kEntryStepMetrics);
    m_helpButton.SetMetrics(BitmapButton::kDefaultMetrics);
}

CPhonebookEntryDlg::~CPhonebookEntryDlg() = default;

INT_PTR CPhonebookEntryDlg::DoModal(HWND owner) { return RunModal(owner, IDD_ENTRY, IDD_ENTRY_RTL); }

INT_PTR CPhonebookEntryDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            BitmapButton* button = nullptr;
            switch (wParam) {
                case IDC_ENTRY_PREVIOUS: button = &m_previousButton; break;
                case IDC_ENTRY_NEXT: button = &m_nextButton; break;
                case IDC_HELP_BUTTON: button = &m_helpButton; break;
                default: return FALSE;
            }
            button->Draw(item);
            return TRUE;
        }
        default: return FALSE;
    }
}

BOOL CPhonebookEntryDlg::OnInitDialog() {
    m_placeholder = app::Text(IDS_REQUIRED);
    SetWindowTextW(m_hwnd, app::Text(m_newEntry && !m_readOnly ? IDS_TIP_NEW_ENTRY : IDS_ENTRY_TITLE).c_str());
    for (const auto& field : kFields) SetDlgItemTextW(m_hwnd, field.label, app::Text(field.labelText).c_str());
    SetDlgItemTextW(m_hwnd, IDOK, app::Text(IDS_OK).c_str());
    SetDlgItemTextW(m_hwnd, IDCANCEL, app::Text(IDS_CANCEL).c_str());
    SetDlgItemTextW(m_hwnd, IDC_ENTRY_PERSONAL_COPY, app::Text(IDS_PERSONAL_COPY_BOX).c_str());
    SetDlgItemTextW(m_hwnd, IDC_ENTRY_PREVIOUS, app::Text(IDS_PREVIOUS_ENTRY).c_str());
    SetDlgItemTextW(m_hwnd, IDC_ENTRY_NEXT, app::Text(IDS_NEXT_ENTRY).c_str());
    SetItem(IDC_ENTRY_NAME, m_placeholder);
    SetItem(IDC_ENTRY_FAX, m_placeholder);

    m_previousButton.Attach(m_hwnd, GetDlgItem(m_hwnd, IDC_ENTRY_PREVIOUS));
    m_nextButton.Attach(m_hwnd, GetDlgItem(m_hwnd, IDC_ENTRY_NEXT));
    m_helpButton.Attach(m_hwnd, GetDlgItem(m_hwnd, IDC_HELP_BUTTON));
    SetDlgItemTextW(m_hwnd, IDC_HELP_BUTTON, app::Text(IDS_TIP_HELP).c_str());

    if (m_readOnly) {
        for (const auto& field : kFields) SendDlgItemMessageW(m_hwnd, field.edit, EM_SETREADONLY, TRUE, 0);
    } else {
        for (const auto& field : kFields) SendDlgItemMessageW(m_hwnd, field.edit, EM_LIMITTEXT, field.limit, 0);
        SetFilters();
    }

    // Numbers and addresses read left to right in every language: in a mirrored dialog
    // their fields are not mirrored, or "+49 30" would show as "49 30+".
    if (GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) {
        for (int id : {IDC_ENTRY_FAX, IDC_ENTRY_PHONE, IDC_ENTRY_EMAIL, IDC_ENTRY_MAILBOX}) {
            HWND edit = GetDlgItem(m_hwnd, id);
            SetWindowLongPtrW(edit, GWL_EXSTYLE, GetWindowLongPtrW(edit, GWL_EXSTYLE) & ~WS_EX_LAYOUTRTL);
        }
    }

    if (OffersPersonalCopy()) ShowWindow(GetDlgItem(m_hwnd, IDC_ENTRY_PERSONAL_COPY), SW_SHOW);

    ReadBook();
    if (m_newEntry) {
        ShowWindow(GetDlgItem(m_hwnd, IDC_ENTRY_PREVIOUS), SW_HIDE);
        ShowWindow(GetDlgItem(m_hwnd, IDC_ENTRY_NEXT), SW_HIDE);
    } else {
        const int row = m_model.GetSelectedRow();
        if (row != -1) FillFromRow(row);
    }

    // Each picture button's tooltip is its window text too, which readers announce.
    struct { int control; unsigned text; } tips[] = {
        {IDC_ENTRY_NEXT, IDS_NEXT_ENTRY},
        {IDC_ENTRY_PREVIOUS, IDS_PREVIOUS_ENTRY},
        {IDC_HELP_BUTTON, IDS_TIP_HELP},
    };
    for (const auto& tip : tips) {
        HWND control = GetDlgItem(m_hwnd, tip.control);
        AddToolTip(CreateToolTipWindow(control), control, app::Text(tip.text));
    }

    UpdateOk(false);
    return TRUE;
}

void CPhonebookEntryDlg::SetFilters() {
    const CMString& faxChars = m_model.AllowedFaxChars();
    m_faxFilter.Attach(faxChars.c_str(), IDC_ENTRY_FAX, m_hwnd);
    m_nameFilter.Attach(nullptr, IDC_ENTRY_NAME, m_hwnd);
    // Square brackets mark a group's name in the list; "|" separates fields in files.
    m_nameFilter.SetChars(L"|[]", false);
    m_organizationFilter.Attach(nullptr, IDC_ENTRY_ORGANIZATION, m_hwnd);
    m_organizationFilter.SetChars(L"|", false);
    m_phoneFilter.Attach(faxChars.c_str(), IDC_ENTRY_PHONE, m_hwnd);
    m_phoneFilter.SetChars(L"|", false);
    m_emailFilter.Attach(nullptr, IDC_ENTRY_EMAIL, m_hwnd);
    m_emailFilter.SetChars(L"|", false);
    m_mailboxFilter.Attach(m_model.AllowedMailboxChars().c_str(), IDC_ENTRY_MAILBOX, m_hwnd);
}

bool CPhonebookEntryDlg::OffersPersonalCopy() const {
    return m_opener.location == BookLocation::Shared;
}

INT_PTR CPhonebookEntryDlg::OnCommand(WORD id, WORD code) {
    switch (id) {
        case IDOK: OnOk(); return TRUE;
        case IDCANCEL: EndDialog(m_hwnd, IDCANCEL); return TRUE;
        case IDC_HELP_BUTTON:
            ShowHelpTopic(m_newEntry ? helptopic::kNewEntry : helptopic::kEntry);
            return TRUE;
        case IDC_ENTRY_NAME:
        case IDC_ENTRY_FAX:
            if (code == EN_CHANGE) UpdateOk(false);
            else if (code == EN_KILLFOCUS) UpdateOk(true);
            if (id == IDC_ENTRY_FAX && code == EN_CHANGE) ShowSameLine();
            return TRUE;
        case IDC_ENTRY_MAILBOX:
            if (code == EN_KILLFOCUS) NormaliseMailbox();
            return TRUE;
        case IDC_ENTRY_PREVIOUS: Step(false); return TRUE;
        case IDC_ENTRY_NEXT: Step(true); return TRUE;
        default: return FALSE;
    }
}

CMString CPhonebookEntryDlg::ReadItem(int id) const {
    wchar_t buffer[kReadLength + 1] = {};
    GetDlgItemTextW(m_hwnd, id, buffer, kReadLength + 1);
    return CMString(buffer);
}

void CPhonebookEntryDlg::SetItem(int id, const CMString& text) { SetDlgItemTextW(m_hwnd, id, text.c_str()); }

void CPhonebookEntryDlg::FocusItem(int id) {
    SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(m_hwnd, id)), TRUE);
}

void CPhonebookEntryDlg::ReadFields() {
    m_name = ReadItem(IDC_ENTRY_NAME);
    m_fax = ReadItem(IDC_ENTRY_FAX);
    m_organization = ReadItem(IDC_ENTRY_ORGANIZATION);
    m_phone = ReadItem(IDC_ENTRY_PHONE);
    m_email = ReadItem(IDC_ENTRY_EMAIL);
    m_mailbox = ReadItem(IDC_ENTRY_MAILBOX);
}

void CPhonebookEntryDlg::ReadBook() {
    // A book that cannot be read now only goes without the note.
    if (ReadBookLines(m_model.Database(), m_book) != pbabi::kOk) m_book = faxnum::Book();
}

uint16_t CPhonebookEntryDlg::ShownId() const {
    const ListViewUIControl* list = m_model.ActiveList();
    const int row = m_model.GetSelectedRow();
    if (m_newEntry || !list || row < 0) return pbabi::kNoId;
    return static_cast<uint16_t>(list->GetItemData(row));
}

void CPhonebookEntryDlg::ShowSameLine() {
    std::wstring names;
    for (const faxnum::BookEntry* other : faxnum::SameLineAs(m_book, ReadItem(IDC_ENTRY_FAX).view(), ShownId(), HomeCountry()))
        names += (names.empty() ? L"" : L", ") + other->name;
    SetItem(IDC_ENTRY_SAME_LINE,
            names.empty() ? CMString() : CMString::Formatted(app::Text(IDS_ENTRY_SAME_LINE).c_str(), names.c_str()));
}

void CPhonebookEntryDlg::FillFromRow(int row) {
    SetItem(IDC_ENTRY_NAME, m_model.GetRowName(row));
    SetItem(IDC_ENTRY_FAX, m_model.GetRowFax(row));
    SetItem(IDC_ENTRY_ORGANIZATION, m_model.GetRowOrganization(row));
    SetItem(IDC_ENTRY_PHONE, m_model.GetRowPhone(row));
    SetItem(IDC_ENTRY_EMAIL, m_model.GetRowEmail(row));
    SetItem(IDC_ENTRY_MAILBOX, m_model.GetRowMailbox(row));
}

void CPhonebookEntryDlg::UpdateOk(bool restore) {
    m_name = ReadItem(IDC_ENTRY_NAME);
    m_fax = ReadItem(IDC_ENTRY_FAX);
    bool enable = !entryfields::IsUnfilled(m_name, m_placeholder) && !entryfields::IsUnfilled(m_fax, m_placeholder);
    if (restore) {
        if (m_fax.IsBlank()) SetItem(IDC_ENTRY_FAX, m_placeholder);
        if (m_name.IsBlank()) SetItem(IDC_ENTRY_NAME, m_placeholder);
    }
    // "()" is what is left of a number typed into a bracket pair: nothing.
    if (m_fax.EqualsNoCase(L"()")) {
        SetItem(IDC_ENTRY_FAX, m_placeholder);
        HWND fax = GetDlgItem(m_hwnd, IDC_ENTRY_FAX);
        // Whatever is typed next replaces the placeholder.
        if (GetFocus() == fax) SendMessageW(fax, EM_SETSEL, 0, -1);
        enable = false;
    }
    EnableWindow(GetDlgItem(m_hwnd, IDOK), enable);
}

void CPhonebookEntryDlg::NormaliseMailbox() {
    m_mailbox = ReadItem(IDC_ENTRY_MAILBOX);
    if (m_mailbox.IsEmpty()) return;
    const CMString normal = entryfields::NormalisedMailbox(m_mailbox);
    if (!(normal == m_mailbox)) SetItem(IDC_ENTRY_MAILBOX, normal);
}

bool CPhonebookEntryDlg::Validate() {
    m_name = ReadItem(IDC_ENTRY_NAME);
    m_fax = ReadItem(IDC_ENTRY_FAX);
    m_email = ReadItem(IDC_ENTRY_EMAIL);
    // The placeholder is not a name or a number: stepping away from a cleared field
    // puts it back, and it must not be stored as the entry's text.
    if (entryfields::IsUnfilled(m_name, m_placeholder)) {
        ShowNotice(m_hwnd, IDS_MISSING_CAPTION, IDS_NAME_MISSING, IDS_CLOSE, LoadIconW(nullptr, IDI_WARNING));
        FocusItem(IDC_ENTRY_NAME);
        return false;
    }
    if (entryfields::IsUnfilled(m_fax, m_placeholder)) {
        ShowNotice(m_hwnd, IDS_MISSING_CAPTION, IDS_FAX_MISSING, IDS_CLOSE, LoadIconW(nullptr, IDI_WARNING));
        FocusItem(IDC_ENTRY_FAX);
        return false;
    }
    if (!m_email.IsEmpty() && !MorvaUtilities::IsEmailAddressValid(m_email.view())) {
        // The address is only a format argument, never the format.
        const int answer = ShowMessageBox(nullptr, CMString::Formatted(app::Text(IDS_EMAIL_INVALID).c_str(), m_email.c_str()),
                                          app::Text(IDS_EMAIL_CAPTION), MB_YESNO | MB_ICONQUESTION);
        if (answer != IDYES) {
            SetItem(IDC_ENTRY_EMAIL, CMString());
            FocusItem(IDC_ENTRY_EMAIL);
            return false;
        }
    }
    return true;
}

bool CPhonebookEntryDlg::Save() {
    if (m_readOnly || !Validate()) return false;
    ReadFields();
    // The wrapper's messages (in use, not written) belong over this dialog, which stays
    // open after them with what was typed.
    OwnerScope owner(m_model.Database(), m_hwnd);
    if (m_newEntry)
        return m_model.AddFromFields(m_name, m_fax, m_organization, m_phone, m_email, m_mailbox, true, true) == 0;
    return m_model.ModifySelected(m_name, m_fax, m_organization, m_phone, m_email, m_mailbox);
}

bool CPhonebookEntryDlg::IsRowChanged(int row) {
    if (m_readOnly) return false;
    ReadFields();
    if (m_newEntry) return true;
    return !m_model.IsSameAsRow(row, m_name, m_fax, m_organization, m_phone, m_email, m_mailbox);
}

void CPhonebookEntryDlg::Step(bool forward) {
    const int start = m_model.GetSelectedRow();
    if (start == -1) return;
    if (!m_readOnly && IsRowChanged(start)) {
        if (!Save()) {
            FocusItem(IDC_ENTRY_NAME);
            return;
        }
        ReadBook();
    }
    const int count = m_model.GetItemCount();
    int row = start;
    do {
        row = forward ? (row + 1 >= count ? 0 : row + 1) : (row <= 0 ? count - 1 : row - 1);
    } while (row != start && !m_model.IsEntryRow(row));
    m_model.SelectRow(row);
    FillFromRow(row);
}

void CPhonebookEntryDlg::OnOk() {
    if (OffersPersonalCopy() && IsDlgButtonChecked(m_hwnd, IDC_ENTRY_PERSONAL_COPY) == BST_CHECKED) {
        // A failed check stops here, with its field focused: an address answered No has
        // been emptied, and the entry must not be stored without it before OK again.
        if (!Validate()) return;
        ReadFields();
        CopyToPersonalPhonebook(m_hwnd, m_opener.personalPath, m_name, m_fax, m_organization, m_phone, m_email,
                                m_mailbox);
    }
    if (!m_newEntry && m_readOnly) {
        EndDialog(m_hwnd, IDOK);
        return;
    }
    if (Save()) EndDialog(m_hwnd, IDOK);
    else FocusItem(IDC_ENTRY_NAME);
}
