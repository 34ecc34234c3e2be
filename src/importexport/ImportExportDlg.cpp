#include "importexport/ImportExportDlg.h"

#include <commdlg.h>

#include <algorithm>

#include "app/AppGlobals.h"
#include "controls/ToolTip.h"
#include "data/CPhonebook.h"
#include "importexport/DelimitedTextFile.h"
#include "intake/Applier.h"
#include "numbers/HomeCountry.h"
#include "importexport/UIFileSelectionDialog.h"
#include "importexport/core/VCard.h"
#include "mainwindow/HelpAbout.h"
#include "resources/resource.h"

using delimited::Column;

namespace {

constexpr int kCustomDelimiterChars = 4;
// A typed file name is looked at once typing pauses, not at every key (a network path
// being typed would be looked up at each one).
constexpr UINT_PTR kNoteTimer = 1;
constexpr UINT kNoteDelay = 250;

// The combo boxes' items in order, each with the delimiter it stands for; the last
// item of each is the custom one, which has its own edit.
struct DelimiterChoice {
    unsigned text;
    const wchar_t* delimiter;
};
constexpr DelimiterChoice kRecordChoices[] = {
    {IDS_RECORD_DELIM_CR, L"\r"},
    {IDS_RECORD_DELIM_CRLF, L"\r\n"},
    {IDS_RECORD_DELIM_FF, L"\f"},
    {IDS_RECORD_DELIM_CUSTOM, nullptr},
};
constexpr DelimiterChoice kFieldChoices[] = {
    {IDS_FIELD_DELIM_COMMA, L","},
    {IDS_FIELD_DELIM_TAB, L"\t"},
    {IDS_FIELD_DELIM_CUSTOM, nullptr},
};
constexpr int kDefaultRecordChoice = 1;
constexpr int kDefaultFieldChoice = 0;

struct ControlText {
    int control;
    unsigned text;
};
constexpr ControlText kControlTexts[] = {
    {IDC_IE_FILE_LABEL, IDS_LABEL_FILE_NAME},
    {IDC_IE_BROWSE, IDS_BROWSE},
    {IDC_IE_RECORD_LABEL, IDS_LABEL_RECORD_DELIMITER},
    {IDC_IE_FIELD_LABEL, IDS_LABEL_FIELD_DELIMITER},
    {IDC_IE_COLUMNS_LABEL, IDS_LABEL_COLUMNS},
    {IDC_IE_UP, IDS_MOVE_UP},
    {IDC_IE_DOWN, IDS_MOVE_DOWN},
    {IDC_IE_UTF8, IDS_USE_UTF8},
    {IDC_IE_HEADER, IDS_EXPORT_HEADER},
    {IDC_IE_UPDATE, IDS_IMPORT_UPDATE},
    {IDOK, IDS_OK},
    {IDCANCEL, IDS_CANCEL},
    {IDC_IE_HELP, IDS_TIP_HELP},
};
// The picture buttons and their tooltips.
constexpr ControlText kToolTips[] = {
    {IDC_IE_BROWSE, IDS_BROWSE},
    {IDC_IE_UP, IDS_MOVE_UP},
    {IDC_IE_DOWN, IDS_MOVE_DOWN},
    {IDC_IE_HELP, IDS_TIP_HELP},
};

CMString ControlTextOf(HWND control) {
    const int length = GetWindowTextLengthW(control);
    CMString text;
    GetWindowTextW(control, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer();
    return text;
}

template <size_t N>
void FillCombo(HWND combo, const DelimiterChoice (&choices)[N], int selected) {
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const auto& choice : choices)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(app::Text(choice.text).c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// The item that shows this delimiter: a fixed one, or else the custom one.
template <size_t N>
int ChoiceOf(const CMString& delimiter, const DelimiterChoice (&choices)[N]) {
    for (size_t i = 0; i + 1 < N; ++i)
        if (delimiter == choices[i].delimiter) return static_cast<int>(i);
    return static_cast<int>(N - 1);
}

// Handles a choice in a delimiter combo box: a fixed delimiter is taken at once; the
// custom item opens its edit on the delimiter in force.
template <size_t N>
void ChooseDelimiter(HWND dialog, int comboId, int editId, const DelimiterChoice (&choices)[N], CMString& delimiter) {
    const int item = static_cast<int>(SendDlgItemMessageW(dialog, comboId, CB_GETCURSEL, 0, 0));
    HWND edit = GetDlgItem(dialog, editId);
    if (item == static_cast<int>(N - 1)) {
        // Line ends, tabs and form feeds can be neither seen nor typed in a one-line
        // edit: such a delimiter starts it empty (and stays in force if left so).
        const bool visible = std::none_of(delimiter.str().begin(), delimiter.str().end(),
                                          [](wchar_t ch) { return ch < L' '; });
        SetWindowTextW(edit, visible ? delimiter.c_str() : L"");
        ShowWindow(edit, SW_SHOW);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SetFocus(edit);
        return;
    }
    // No selection reads as the first item.
    delimiter = choices[item > 0 && item < static_cast<int>(N) ? item : 0].delimiter;
    ShowWindow(edit, SW_HIDE);
}

// Takes the custom edit's text as the delimiter. An empty edit is not taken: the
// combo box goes back to the item of the delimiter still in force, so what it shows is
// what the file gets.
template <size_t N>
void TakeCustomDelimiter(HWND dialog, int comboId, int editId, const DelimiterChoice (&choices)[N],
                         CMString& delimiter) {
    HWND edit = GetDlgItem(dialog, editId);
    CMString text = ControlTextOf(edit);
    if (!text.IsEmpty()) {
        delimiter = text;
        return;
    }
    const int item = ChoiceOf(delimiter, choices);
    SendDlgItemMessageW(dialog, comboId, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    if (item == static_cast<int>(N - 1)) {
        // An earlier custom delimiter stays in force, and in view.
        SetWindowTextW(edit, delimiter.c_str());
    } else {
        ShowWindow(edit, SW_HIDE);
    }
}

}  // namespace

CImportExportDlg::CImportExportDlg(CheckListBox::Style boxStyle) : m_columns(boxStyle) {
    m_browseButton.LoadImages(IDB_BROWSE, IDB_BROWSE_DISABLED);
    m_upButton.LoadImages(IDB_UP, IDB_UP_DISABLED);
    m_downButton.LoadImages(IDB_DOWN, IDB_DOWN_DISABLED);
    m_helpButton.LoadImages(IDB_HELP, IDB_HELP);
    for (BitmapButton* button : {&m_browseButton, &m_upButton, &m_downButton, &m_helpButton})
        button->SetMetrics(BitmapButton::kImportExportMetrics);
    m_picture.Load(IDB_IMPORT_EXPORT);
}

INT_PTR CImportExportDlg::Run(HWND owner) { return RunModal(owner, IDD_IMPORTEXPORT, IDD_IMPORTEXPORT_RTL); }

INT_PTR CImportExportDlg::HandleMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (!item) return FALSE;
            switch (item->CtlID) {
                case IDC_IE_COLUMNS: m_columns.DrawItem(*item); return TRUE;
                case IDC_IE_BROWSE: m_browseButton.Draw(*item); return TRUE;
                case IDC_IE_UP: m_upButton.Draw(*item); return TRUE;
                case IDC_IE_DOWN: m_downButton.Draw(*item); return TRUE;
                case IDC_IE_HELP: m_helpButton.Draw(*item); return TRUE;
                default: return FALSE;
            }
        }
        case WM_PAINT: Paint(); return TRUE;
        case WM_HELP: ShowHelp(); return TRUE;
        case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); return TRUE;
        case WM_TIMER:
            if (wParam != kNoteTimer) return FALSE;
            UpdateFileNote();
            return TRUE;
        case WM_CLOSE: EndDialog(m_hwnd, kCancelled); return TRUE;
        default: return FALSE;
    }
}

BOOL CImportExportDlg::OnInitDialog() {
    if (m_mode != kImport && m_mode != kExport) return FALSE;
    const bool import = m_mode == kImport;

    m_columns.Attach(GetDlgItem(m_hwnd, IDC_IE_COLUMNS));
    for (const auto& tip : kToolTips) {
        HWND control = GetDlgItem(m_hwnd, tip.control);
        AddToolTip(CreateToolTipWindow(control), control, app::Text(tip.text));
    }

    SetWindowTextW(m_hwnd, app::Text(import ? IDS_IMPORT_CAPTION : IDS_EXPORT_CAPTION).c_str());
    for (const auto& text : kControlTexts) SetDlgItemTextW(m_hwnd, text.control, app::Text(text.text).c_str());
    FillCombo(GetDlgItem(m_hwnd, IDC_IE_RECORD_DELIMITER), kRecordChoices, kDefaultRecordChoice);
    FillCombo(GetDlgItem(m_hwnd, IDC_IE_FIELD_DELIMITER), kFieldChoices, kDefaultFieldChoice);
    FillColumns();

    KeepLeftToRight(m_hwnd, {IDC_IE_FILE});
    SendDlgItemMessageW(m_hwnd, IDC_IE_RECORD_CUSTOM, EM_LIMITTEXT, kCustomDelimiterChars, 0);
    SendDlgItemMessageW(m_hwnd, IDC_IE_FIELD_CUSTOM, EM_LIMITTEXT, kCustomDelimiterChars, 0);

    m_browseButton.Attach(m_hwnd, GetDlgItem(m_hwnd, IDC_IE_BROWSE));
    m_upButton.Attach(m_hwnd, GetDlgItem(m_hwnd, IDC_IE_UP));
    m_downButton.Attach(m_hwnd, GetDlgItem(m_hwnd, IDC_IE_DOWN));
    m_helpButton.Attach(m_hwnd, GetDlgItem(m_hwnd, IDC_IE_HELP));

    UpdateMoveButtons();

    HWND utf8 = GetDlgItem(m_hwnd, IDC_IE_UTF8);
    CheckDlgButton(m_hwnd, IDC_IE_UTF8, m_utf8Available && m_utf8On ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(utf8, m_utf8Available);
    ShowWindow(utf8, m_utf8Available ? SW_SHOW : SW_HIDE);

    CheckDlgButton(m_hwnd, IDC_IE_HEADER, m_headerLine ? BST_CHECKED : BST_UNCHECKED);
    ShowWindow(GetDlgItem(m_hwnd, IDC_IE_FILE_NOTE), import ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(m_hwnd, IDC_IE_HEADER), import ? SW_HIDE : SW_SHOW);
    EnableWindow(GetDlgItem(m_hwnd, IDC_IE_HEADER), !import);
    CheckDlgButton(m_hwnd, IDC_IE_UPDATE, m_update ? BST_CHECKED : BST_UNCHECKED);
    ShowWindow(GetDlgItem(m_hwnd, IDC_IE_UPDATE), import ? SW_SHOW : SW_HIDE);
    EnableWindow(GetDlgItem(m_hwnd, IDC_IE_UPDATE), import);
    if (!import) CloseUpBelowHeaderBox();
    DragAcceptFiles(m_hwnd, TRUE);
    return TRUE;
}

void CImportExportDlg::FillColumns() {
    HWND list = m_columns.Window();
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const auto& item : delimited::InitialColumns(m_mode == kImport))
        m_columns.AddItem(ColumnLabel(item.column), item.selected);
}

INT_PTR CImportExportDlg::OnCommand(WORD id, WORD code) {
    switch (id) {
        case IDOK: OnOk(); return TRUE;
        case IDCANCEL: EndDialog(m_hwnd, kCancelled); return TRUE;
        case IDC_IE_BROWSE: Browse(); return TRUE;
        case IDC_IE_UP: MoveUp(); return TRUE;
        case IDC_IE_DOWN: MoveDown(); return TRUE;
        case IDC_IE_HELP: ShowHelp(); return TRUE;
        case IDC_IE_UTF8:
            if (code == BN_CLICKED) {
                m_utf8On = IsDlgButtonChecked(m_hwnd, IDC_IE_UTF8) == BST_CHECKED;
                UpdateFileNote();
            }
            return TRUE;
        case IDC_IE_HEADER:
            if (code == BN_CLICKED) m_headerLine = IsDlgButtonChecked(m_hwnd, IDC_IE_HEADER) == BST_CHECKED;
            return TRUE;
        case IDC_IE_UPDATE:
            if (code == BN_CLICKED) m_update = IsDlgButtonChecked(m_hwnd, IDC_IE_UPDATE) == BST_CHECKED;
            return TRUE;
        case IDC_IE_FILE:
            if (code == EN_CHANGE) SetTimer(m_hwnd, kNoteTimer, kNoteDelay, nullptr);
            return TRUE;
        // Delimiters and columns decide whether the first line could be a record.
        case IDC_IE_RECORD_DELIMITER:
            if (code == CBN_SELENDOK) {
                OnRecordDelimiterChosen();
                UpdateFileNote();
            }
            return TRUE;
        case IDC_IE_FIELD_DELIMITER:
            if (code == CBN_SELENDOK) {
                OnFieldDelimiterChosen();
                UpdateFileNote();
            }
            return TRUE;
        case IDC_IE_RECORD_CUSTOM:
            if (code == EN_KILLFOCUS) {
                TakeCustomRecordDelimiter();
                UpdateFileNote();
            }
            return TRUE;
        case IDC_IE_FIELD_CUSTOM:
            if (code == EN_KILLFOCUS) {
                TakeCustomFieldDelimiter();
                UpdateFileNote();
            }
            return TRUE;
        case IDC_IE_COLUMNS:
            if (code == LBN_SELCHANGE) UpdateMoveButtons();
            if (code == CheckListBox::kCheckChanged) UpdateFileNote();
            return TRUE;
        default: return FALSE;
    }
}

void CImportExportDlg::UpdateMoveButtons() {
    HWND list = m_columns.Window();
    const int selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    const bool up = selected != LB_ERR && selected > 0;
    const bool down = selected != LB_ERR && selected < count - 1;
    HWND focus = GetFocus();
    for (const auto& [id, enabled] : {std::pair{IDC_IE_UP, up}, std::pair{IDC_IE_DOWN, down}}) {
        HWND button = GetDlgItem(m_hwnd, id);
        // A button that goes grey under the keyboard's focus would leave the focus
        // nowhere: it goes back to the list it moves in.
        if (!enabled && button == focus) SetFocus(list);
        EnableWindow(button, enabled);
    }
}

void CImportExportDlg::MoveUp() {
    const int selected = static_cast<int>(SendMessageW(m_columns.Window(), LB_GETCURSEL, 0, 0));
    if (selected == LB_ERR || selected <= 0) return;
    m_columns.MoveItem(selected, selected - 1);
    UpdateMoveButtons();
    UpdateFileNote();
}

void CImportExportDlg::MoveDown() {
    HWND list = m_columns.Window();
    const int selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    if (selected == LB_ERR || selected >= count - 1) return;
    m_columns.MoveItem(selected, selected + 1);
    UpdateMoveButtons();
    UpdateFileNote();
}

void CImportExportDlg::OnRecordDelimiterChosen() {
    ChooseDelimiter(m_hwnd, IDC_IE_RECORD_DELIMITER, IDC_IE_RECORD_CUSTOM, kRecordChoices, m_recordDelimiter);
}

void CImportExportDlg::OnFieldDelimiterChosen() {
    ChooseDelimiter(m_hwnd, IDC_IE_FIELD_DELIMITER, IDC_IE_FIELD_CUSTOM, kFieldChoices, m_fieldDelimiter);
}

void CImportExportDlg::TakeCustomRecordDelimiter() {
    TakeCustomDelimiter(m_hwnd, IDC_IE_RECORD_DELIMITER, IDC_IE_RECORD_CUSTOM, kRecordChoices, m_recordDelimiter);
}

void CImportExportDlg::TakeCustomFieldDelimiter() {
    TakeCustomDelimiter(m_hwnd, IDC_IE_FIELD_DELIMITER, IDC_IE_FIELD_CUSTOM, kFieldChoices, m_fieldDelimiter);
}

void CImportExportDlg::Browse() {
    const bool import = m_mode == kImport;
    ByteBuffer filter =
        BuildFilter({{IDS_FILTER_CSV, L"*.csv"}, {IDS_FILTER_TXT, L"*.txt"}, {IDS_FILTER_VCARD, L"*.vcf"},
                     {IDS_FILTER_ALL_FILES, L"*.*"}});
    const DWORD flags = import ? OFN_HIDEREADONLY
                               : OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
    UIFileSelectionDialog chooser(false, L".csv", CMString(), flags, filter, m_hwnd);
    chooser.SetTitle(app::Text(import ? IDS_IMPORT_BROWSE_TITLE : IDS_EXPORT_BROWSE_TITLE));
    // A new file starts from the encoding the book offers; the box shows it.
    m_utf8On = m_utf8Available;
    if (m_utf8Available) CheckDlgButton(m_hwnd, IDC_IE_UTF8, m_utf8On ? BST_CHECKED : BST_UNCHECKED);
    DWORD error = 0;
    if (chooser.Run(error)) SetDlgItemTextW(m_hwnd, IDC_IE_FILE, chooser.GetFileName().c_str());
    UpdateFileNote();
}

void CImportExportDlg::OnDropFiles(HDROP drop) {
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        CMString path;
        DragQueryFileW(drop, 0, path.GetBuffer(static_cast<int>(length) + 1), length + 1);
        path.ReleaseBuffer();
        if (!path.IsEmpty()) SetDlgItemTextW(m_hwnd, IDC_IE_FILE, path.c_str());
    }
    DragFinish(drop);
    UpdateFileNote();
}

void CImportExportDlg::UpdateFileNote() {
    if (!m_model || !m_hwnd) return;
    KillTimer(m_hwnd, kNoteTimer);
    const CMString path = ControlTextOf(GetDlgItem(m_hwnd, IDC_IE_FILE));
    if (m_mode == kExport) {
        // A vCard export writes every field: columns and delimiters have no say.
        EnableLayoutControls(!vcard::HasVCardExtension(path));
        return;
    }
    if (m_mode != kImport) return;
    CMString note;
    // The file is read once for its name (and again only when it changed): delimiter and
    // column changes judge the bytes already read.
    WIN32_FILE_ATTRIBUTE_DATA stamp = {};
    const bool exists = !path.IsBlank() && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &stamp);
    if (path != m_glancePath || !exists || CompareFileTime(&stamp.ftLastWriteTime, &m_glanceStamp.ftLastWriteTime) != 0 ||
        stamp.nFileSizeLow != m_glanceStamp.nFileSizeLow || stamp.nFileSizeHigh != m_glanceStamp.nFileSizeHigh) {
        m_glance = exists ? DelimitedTextFile::Look(path) : DelimitedTextFile::Glance();
        m_glancePath = path;
        m_glanceStamp = stamp;
    }
    EnableLayoutControls(!m_glance.cards);
    if (m_glance.cards) {
        const auto cards = static_cast<unsigned>(m_glance.cardCount);
        note = cards == 1 ? app::Text(IDS_IMPORT_VCARD_ONE)
                          : CMString::Formatted(app::Text(IDS_IMPORT_VCARD_FILE).c_str(), cards);
    } else if (!path.IsBlank()) {
        DelimitedTextFile file(*m_model, m_hwnd);
        file.Settings().layout = CurrentLayout();
        file.Settings().utf8 = m_utf8On;
        const delimited::Header header = file.Examine(m_glance);
        if (header.named) {
            const std::vector<Column> taken = delimited::FieldsTaken(header, file.Settings().layout.columns);
            CMString fields;
            for (Column column : taken) {
                if (!fields.IsEmpty()) fields += app::Text(IDS_LIST_SEPARATOR);
                fields += ColumnLabel(column);
            }
            note = CMString::Formatted(app::Text(IDS_IMPORT_NAMED_FILE).c_str(), static_cast<unsigned>(header.columnCount),
                                       static_cast<unsigned>(taken.size()), fields.c_str());
        }
    }
    SetDlgItemTextW(m_hwnd, IDC_IE_FILE_NOTE, note.c_str());
}

void CImportExportDlg::EnableLayoutControls(bool enable) {
    if (enable == m_layoutEnabled) return;
    m_layoutEnabled = enable;
    for (int id : {IDC_IE_RECORD_LABEL, IDC_IE_RECORD_DELIMITER, IDC_IE_RECORD_CUSTOM, IDC_IE_FIELD_LABEL,
                   IDC_IE_FIELD_DELIMITER, IDC_IE_FIELD_CUSTOM, IDC_IE_COLUMNS_LABEL, IDC_IE_COLUMNS}) {
        HWND control = GetDlgItem(m_hwnd, id);
        // The keyboard's focus does not stay on a control that goes grey.
        if (!enable && GetFocus() == control) SendMessageW(m_hwnd, WM_NEXTDLGCTL, 0, FALSE);
        EnableWindow(control, enable);
    }
    if (enable) {
        UpdateMoveButtons();
    } else {
        for (int id : {IDC_IE_UP, IDC_IE_DOWN}) EnableWindow(GetDlgItem(m_hwnd, id), FALSE);
    }
}

void CImportExportDlg::CloseUpBelowHeaderBox() {
    auto clientRect = [&](int id) {
        RECT rect = {};
        GetWindowRect(GetDlgItem(m_hwnd, id), &rect);
        MapWindowPoints(HWND_DESKTOP, m_hwnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    const int shift = clientRect(IDC_IE_FILE_NOTE).bottom - clientRect(IDC_IE_HEADER).bottom;
    if (shift <= 0) return;
    for (int id : {IDC_IE_UTF8, IDC_IE_HELP, IDOK, IDCANCEL}) {
        const RECT rect = clientRect(id);
        SetWindowPos(GetDlgItem(m_hwnd, id), nullptr, rect.left, rect.top - shift, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT window = {};
    GetWindowRect(m_hwnd, &window);
    SetWindowPos(m_hwnd, nullptr, window.left, window.top + shift / 2, window.right - window.left,
                 window.bottom - window.top - shift, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CImportExportDlg::ShowHelp() { ShowHelpTopic(m_mode == kImport ? helptopic::kImport : helptopic::kExport); }

bool CImportExportDlg::ItemColumn(int index, Column& column) {
    HWND list = m_columns.Window();
    const int length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0));
    if (length < 0) return false;
    CMString label;
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(label.GetBuffer(length + 1)));
    label.ReleaseBuffer();
    return ColumnFromLabel(label, column);
}

bool CImportExportDlg::IsColumnChecked(Column column, int* index) {
    const int count = static_cast<int>(SendMessageW(m_columns.Window(), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        Column found;
        if (!ItemColumn(i, found) || found != column) continue;
        if (index) *index = i;
        return m_columns.GetCheck(i) == 1;
    }
    if (index) *index = -1;
    return false;
}

delimited::Layout CImportExportDlg::CurrentLayout() {
    delimited::Layout layout;
    layout.recordDelimiter = m_recordDelimiter;
    layout.fieldDelimiter = m_fieldDelimiter;
    const int count = static_cast<int>(SendMessageW(m_columns.Window(), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        Column column;
        if (m_columns.GetCheck(i) == 1 && ItemColumn(i, column)) layout.columns.push_back(column);
    }
    return layout;
}

void CImportExportDlg::ShowMessage(unsigned captionId, unsigned textId) {
    m_message = {app::Text(textId), app::Text(captionId), app::Text(IDS_CLOSE)};
    ShowMessageDialog(m_hwnd, &m_message, MessageDialogKind::Notice);
}

void CImportExportDlg::OnOk() {
    if (!m_model || (m_mode != kImport && m_mode != kExport)) return;
    const bool import = m_mode == kImport;
    // Enter in a custom delimiter's edit presses OK without the edit losing the focus:
    // what it holds counts as if the user had left it.
    if (IsWindowVisible(GetDlgItem(m_hwnd, IDC_IE_RECORD_CUSTOM))) TakeCustomRecordDelimiter();
    if (IsWindowVisible(GetDlgItem(m_hwnd, IDC_IE_FIELD_CUSTOM))) TakeCustomFieldDelimiter();

    const CMString path = ControlTextOf(GetDlgItem(m_hwnd, IDC_IE_FILE));
    if (path.IsEmpty()) {
        ShowMessage(import ? IDS_IMPORT_CAPTION : IDS_EXPORT_CAPTION, IDS_FILE_NAME_MISSING);
        SetFocus(GetDlgItem(m_hwnd, IDC_IE_FILE));
        return;
    }

    HWND list = m_columns.Window();
    // A vCard file's cards say what each value is: the column list does not apply.
    if (import && !DelimitedTextFile::IsVCard(path)) {
        int item = -1;
        if (!IsColumnChecked(Column::Name) && !IsColumnChecked(Column::FirstNamePart, &item) &&
            !IsColumnChecked(Column::SecondNamePart)) {
            ShowMessage(IDS_IMPORT_CAPTION, IDS_NAME_COLUMN_MISSING);
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
            SetFocus(list);
            UpdateMoveButtons();
            return;
        }
        if (!IsColumnChecked(Column::Fax, &item)) {
            ShowMessage(IDS_IMPORT_CAPTION, IDS_FAX_COLUMN_MISSING);
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
            SetFocus(list);
            UpdateMoveButtons();
            return;
        }
    }

    // A book another program is changing is waited for briefly while this dialog paints.
    UserReads patient(m_model->Database());
    DelimitedTextFile file(*m_model, m_hwnd);
    file.Settings().layout = CurrentLayout();
    file.Settings().utf8 = m_utf8On;
    file.Settings().header = !import && m_headerLine;
    bool done;
    if (import) {
        // Read once, planned against the book, carried out in one batch; a read that
        // fails part-way keeps what it read, and the summary says where it stopped.
        intake::SourceRead read;
        done = file.Read(path, read);
        if (done) {
            intake::Options options;
            options.mode = m_update ? intake::Mode::Update : intake::Mode::Add;
            options.home = HomeCountry();
            intake::Applier applier(*m_model, m_hwnd);
            applier.SetSourceName(path);
            const intake::Outcome outcome = applier.Run(read, options);
            m_counters = outcome.counts;
            const MessageSource summary = applier.ShowSummary(outcome, static_cast<unsigned>(m_capacity));
            if (!summary.message.IsEmpty()) m_message = summary;
            // A busy book keeps the dialog open with the user's choices, to try again.
            done = read.complete && outcome.bookRead && !outcome.busy;
        }
    } else {
        done = file.ExportToFile(path);
    }
    if (done) EndDialog(m_hwnd, kDone);
}

void CImportExportDlg::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hwnd, &paint);
    if (dc) m_picture.DrawAt(dc, m_hwnd, GetDlgItem(m_hwnd, IDC_IE_PICTURE));
    EndPaint(m_hwnd, &paint);
}
