#include "printing/PrintListDlg.h"

#include <commctrl.h>
#include <cderr.h>
#include <commdlg.h>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "controls/ToolTip.h"
#include "data/PhonebookDB.h"
#include "mainwindow/HelpAbout.h"
#include "printing/PageRenderer.h"
#include "printing/PreviewDlg.h"
#include "printing/PrintJob.h"
#include "resources/resource.h"
#include "util/RegistryKey.h"

namespace printing {

namespace {

const unsigned kColumnTexts[kColumnCount] = {IDS_PRINT_COL_NAME,  IDS_PRINT_COL_FAX,   IDS_PRINT_COL_ORGANIZATION,
                                             IDS_PRINT_COL_PHONE, IDS_PRINT_COL_EMAIL, IDS_PRINT_COL_MAILBOX,
                                             IDS_PRINT_COL_GROUPS};

// Beside the window's size, under the user's settings of the program.
CMString SettingsKey() { return CMString(L"Software\\Morva\\") + app::Text(IDS_APP_CLASS) + L"\\Print"; }

// The progress of a print, with Cancel; the owner is disabled while it shows.
class ProgressWindow : public Dialog {
public:
    explicit ProgressWindow(HWND owner) : m_owner(owner) {
        CreateModeless(owner, IDD_PRINT_PROGRESS, IDD_PRINT_PROGRESS_RTL);
        EnableWindow(owner, FALSE);
        if (m_hwnd) ShowWindow(m_hwnd, SW_SHOW);
    }
    ~ProgressWindow() override {
        EnableWindow(m_owner, TRUE);
        if (m_hwnd) DestroyWindow(m_hwnd);
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Shows the page about to be printed and lets the window answer; false once the
    // user cancelled.
    bool Step(int page, int pages) {
        if (!m_hwnd) return true;
        SetDlgItemTextW(m_hwnd, IDC_PROGRESS_TEXT,
                        CMString::Formatted(app::Text(IDS_PRINT_PROGRESS).c_str(), page, pages).c_str());
        HWND bar = GetDlgItem(m_hwnd, IDC_PROGRESS_BAR);
        SendMessageW(bar, PBM_SETRANGE32, 0, pages);
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(page - 1), 0);
        MSG msg;
        while (!m_cancelled && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                m_cancelled = true;
                break;
            }
            if (!IsDialogMessageW(m_hwnd, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        return !m_cancelled;
    }
    bool Cancelled() const { return m_cancelled; }

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM) override {
        m_hwnd = hwnd;
        if (message == WM_INITDIALOG) {
            SetWindowTextW(hwnd, app::Text(IDS_PRINT_PROGRESS_CAPTION).c_str());
            SetDlgItemTextW(hwnd, IDCANCEL, app::Text(IDS_CANCEL).c_str());
            return TRUE;
        }
        if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
            m_cancelled = true;
            EnableWindow(GetDlgItem(hwnd, IDCANCEL), FALSE);
            return TRUE;
        }
        return FALSE;
    }

private:
    HWND m_owner;
    bool m_cancelled = false;
};

}  // namespace

PrintSettings PrintSettings::Load() {
    PrintSettings settings;
    RegistryKey key;
    if (key.OpenRegistryKey(HKEY_CURRENT_USER, SettingsKey(), KEY_QUERY_VALUE) != ERROR_SUCCESS) return settings;
    std::vector<Column> columns;
    if (ParseColumnList(key.GetStringValue(L"Columns").str(), &columns)) settings.columns = columns;
    DWORD value = 0;
    if (key.GetDWordValue(L"SelectedGroups", value)) settings.selectedGroups = value != 0;
    if (key.GetDWordValue(L"ByGroup", value)) settings.byGroup = value != 0;
    return settings;
}

void PrintSettings::Save() const {
    RegistryKey key;
    if (key.CreateRegistryKey(HKEY_CURRENT_USER, SettingsKey(), KEY_SET_VALUE | KEY_QUERY_VALUE) != ERROR_SUCCESS) return;
    key.SetStringValue(L"Columns", CMString(ColumnList(columns)));
    key.SetDWordValue(L"SelectedGroups", selectedGroups ? 1 : 0);
    key.SetDWordValue(L"ByGroup", byGroup ? 1 : 0);
}

INT_PTR CPrintListDlg::Run(HWND owner) { return RunModal(owner, IDD_PRINT, IDD_PRINT_RTL); }

BOOL CPrintListDlg::OnInitDialog() {
    SetWindowTextW(m_hwnd, app::Text(IDS_PRINT_CAPTION).c_str());
    const std::pair<int, unsigned> texts[] = {
        {IDC_PRINT_ENTRIES, IDS_PRINT_ENTRIES},    {IDC_PRINT_SHOWN, IDS_PRINT_SHOWN},
        {IDC_PRINT_GROUPS, IDS_PRINT_SELECTED_GROUPS}, {IDC_PRINT_COLUMNS, IDS_PRINT_COLUMNS},
        {IDC_PRINT_BY_GROUP, IDS_PRINT_BY_GROUP},  {IDC_PRINT_PREVIEW, IDS_PRINT_PREVIEW},
        {IDC_PRINT_PRINT, IDS_PRINT_PRINT},        {IDCANCEL, IDS_CANCEL},
        {IDC_HELP_BUTTON, IDS_TIP_HELP},
    };
    for (const auto& [id, text] : texts) SetDlgItemTextW(m_hwnd, id, app::Text(text).c_str());
    for (size_t i = 0; i < kColumnCount; ++i)
        SetDlgItemTextW(m_hwnd, IDC_PRINT_COL_FIRST + static_cast<int>(i), app::Text(kColumnTexts[i]).c_str());

    m_settings = PrintSettings::Load();
    // Members of groups only when groups are selected.
    const bool groups = !m_source.selectedGroups.empty();
    EnableWindow(GetDlgItem(m_hwnd, IDC_PRINT_GROUPS), groups);
    CheckRadioButton(m_hwnd, IDC_PRINT_SHOWN, IDC_PRINT_GROUPS,
                     groups && m_settings.selectedGroups ? IDC_PRINT_GROUPS : IDC_PRINT_SHOWN);
    for (Column c : m_settings.columns) CheckDlgButton(m_hwnd, IDC_PRINT_COL_FIRST + static_cast<int>(c), BST_CHECKED);
    CheckDlgButton(m_hwnd, IDC_PRINT_BY_GROUP, m_settings.byGroup ? BST_CHECKED : BST_UNCHECKED);

    m_helpButton.LoadImages(IDB_HELP, 0);
    m_helpButton.SetMetrics(BitmapButton::kDefaultMetrics);
    HWND help = GetDlgItem(m_hwnd, IDC_HELP_BUTTON);
    m_helpButton.Attach(m_hwnd, help);
    AddToolTip(CreateToolTipWindow(help), help, app::Text(IDS_TIP_HELP));
    UpdateButtons();
    SetFocus(GetDlgItem(m_hwnd, IsDlgButtonChecked(m_hwnd, IDC_PRINT_GROUPS) ? IDC_PRINT_GROUPS : IDC_PRINT_SHOWN));
    return FALSE;
}

void CPrintListDlg::ReadChoices() {
    // The columns in the page's reading order, which is theirs in the dialog.
    m_settings.columns.clear();
    for (size_t i = 0; i < kColumnCount; ++i)
        if (IsDlgButtonChecked(m_hwnd, IDC_PRINT_COL_FIRST + static_cast<int>(i)) == BST_CHECKED)
            m_settings.columns.push_back(static_cast<Column>(i));
    m_settings.selectedGroups = IsDlgButtonChecked(m_hwnd, IDC_PRINT_GROUPS) == BST_CHECKED;
    m_settings.byGroup = IsDlgButtonChecked(m_hwnd, IDC_PRINT_BY_GROUP) == BST_CHECKED;
}

void CPrintListDlg::UpdateButtons() {
    ReadChoices();
    const bool any = !m_settings.columns.empty();
    HWND print = GetDlgItem(m_hwnd, IDC_PRINT_PRINT);
    if (!any && (GetFocus() == print || GetFocus() == GetDlgItem(m_hwnd, IDC_PRINT_PREVIEW)))
        SetFocus(GetDlgItem(m_hwnd, IDC_PRINT_COL_NAME));
    EnableWindow(print, any);
    EnableWindow(GetDlgItem(m_hwnd, IDC_PRINT_PREVIEW), any);
    SendMessageW(m_hwnd, DM_SETDEFID, any ? IDC_PRINT_PRINT : IDCANCEL, 0);
}

bool CPrintListDlg::MakeDocument(Document& document) {
    ReadChoices();
    Book book;
    const int code = ReadBook(m_db, book);
    if (code != pbabi::kOk) {
        OwnerScope owner(m_db, m_hwnd);
        m_db.ShowReadFailed(code);
        return false;
    }
    Choice choice;
    choice.byGroup = m_settings.byGroup;
    choice.ungroupedHeading = app::Text(IDS_PRINT_NO_GROUP).str();
    choice.order = m_source.listOrder;
    if (m_settings.selectedGroups && !m_source.selectedGroups.empty()) {
        choice.groups = m_source.selectedGroups;
        // Members the search hides follow those it shows, in name order.
        const std::vector<uint16_t> rest = NameOrder(book);
        choice.order.insert(choice.order.end(), rest.begin(), rest.end());
    }
    document = Document();
    document.columns = m_settings.columns;
    SetPageTexts(document, m_source.bookPath);
    Select(book, choice, document);
    return true;
}

void CPrintListDlg::Preview() {
    Document document;
    if (!MakeDocument(document)) return;
    m_settings.Save();
    // Laid out for the printer the list would go to, so the preview's pages are its.
    HDC printer = CreatePrinterDc(std::wstring());
    Paper paper;
    Layout layout;
    if (printer) {
        paper = PaperOf(printer);
        GdiMeasure measure(printer, paper.dpiX, paper.dpiY);
        layout = LayOut(document, paper, measure);
        DeleteDC(printer);
    } else {
        paper = A4(600);
        PagePicture scratch(1, 1);
        GdiMeasure measure(scratch.Dc(), paper.dpiX, paper.dpiY);
        layout = LayOut(document, paper, measure);
    }
    CPreviewDlg preview(document, paper, std::move(layout));
    if (preview.Run(m_hwnd) == IDC_PREVIEW_PRINT) Print();
}

bool CPrintListDlg::PrintTo(HDC printer, const Document& document) {
    ProgressWindow progress(m_hwnd);
    DWORD error = 0;
    const JobResult result = PrintDocument(printer, document, document.title, std::wstring(),
                                           [&](int page, int pages) { return progress.Step(page, pages); }, &error);
    if (result == JobResult::Failed) {
        ShowMessageBox(m_hwnd, CMString::Formatted(app::Text(IDS_PRINT_FAILED).c_str(), static_cast<unsigned>(error)),
                       app::Text(IDS_PRINT_CAPTION), MB_ICONEXCLAMATION);
    }
    return result == JobResult::Printed;
}

void CPrintListDlg::Print() {
    Document document;
    if (!MakeDocument(document)) return;
    m_settings.Save();
    if (document.entries.empty()) {
        ShowMessageBox(m_hwnd, app::Text(IDS_PRINT_NOTHING), app::Text(IDS_PRINT_CAPTION), MB_ICONINFORMATION);
        return;
    }
    PRINTDLGW pd = {};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = m_hwnd;
    pd.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE | PD_USEDEVMODECOPIESANDCOLLATE;
    pd.nCopies = 1;
    if (!PrintDlgW(&pd)) {
        if (CommDlgExtendedError() == PDERR_NODEFAULTPRN)
            ShowMessageBox(m_hwnd, app::Text(IDS_PRINT_NO_PRINTER), app::Text(IDS_PRINT_CAPTION), MB_ICONEXCLAMATION);
        return;
    }
    const bool printed = pd.hDC && PrintTo(pd.hDC, document);
    if (pd.hDC) DeleteDC(pd.hDC);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
    if (printed) EndDialog(m_hwnd, IDOK);
}

INT_PTR CPrintListDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_DRAWITEM:
            if (wParam == IDC_HELP_BUTTON) {
                m_helpButton.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            }
            return FALSE;
        case WM_HELP: ShowHelpTopic(helptopic::kPrint); return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_HELP_BUTTON: ShowHelpTopic(helptopic::kPrint); return TRUE;
                case IDC_PRINT_PREVIEW: Preview(); return TRUE;
                case IDC_PRINT_PRINT: Print(); return TRUE;
                case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
                default:
                    if (HIWORD(wParam) == BN_CLICKED) UpdateButtons();
                    return FALSE;
            }
        default: return FALSE;
    }
}

}  // namespace printing
