#include "conversion/ConvertPhonebookDlg.h"

#include "app/AppGlobals.h"
#include "controls/ToolTip.h"
#include "mainwindow/HelpAbout.h"
#include "resources/resource.h"

CConvertPhonebookDlg::CConvertPhonebookDlg(CPhoneBookDlg* owner, CPhonebook* model) : m_model(model), m_owner(owner) {
    m_picture.Load(IDB_CONVERT);
}

INT_PTR CConvertPhonebookDlg::DoModal(HWND owner) { return RunModal(owner, IDD_CONVERT, IDD_CONVERT_RTL); }

void CConvertPhonebookDlg::OnYes() { EndDialog(m_hwnd, IDYES); }
void CConvertPhonebookDlg::OnNo() { EndDialog(m_hwnd, IDNO); }

BOOL CConvertPhonebookDlg::OnInitDialog() {
    SetWindowTextW(m_hwnd, app::Text(IDS_CONVERT_CAPTION).c_str());
    SetDlgItemTextW(m_hwnd, IDC_CONVERT_INTRO, app::Text(IDS_CONVERT_INTRO).c_str());
    SetDlgItemTextW(m_hwnd, IDC_CONVERT_QUESTION, app::Text(IDS_CONVERT_QUESTION).c_str());
    SetDlgItemTextW(m_hwnd, IDYES, app::Text(IDS_YES).c_str());
    SetDlgItemTextW(m_hwnd, IDNO, app::Text(IDS_NO).c_str());
    m_helpButton.LoadImages(IDB_HELP, 0);
    m_helpButton.SetMetrics(BitmapButton::kDefaultMetrics);
    HWND help = GetDlgItem(m_hwnd, IDC_HELP_BUTTON);
    m_helpButton.Attach(m_hwnd, help);
    // A picture alone tells a reader nothing: the button's text names it.
    SetWindowTextW(help, app::Text(IDS_TIP_HELP).c_str());
    AddToolTip(CreateToolTipWindow(help), help, app::Text(IDS_TIP_HELP));
    return TRUE;
}

INT_PTR CConvertPhonebookDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        m_picture.DrawAt(dc, hwnd, GetDlgItem(hwnd, IDC_CONVERT_PICTURE));
        EndPaint(hwnd, &paint);
        return TRUE;
    }
    case WM_DRAWITEM:
        if (wParam != IDC_HELP_BUTTON) return FALSE;
        m_helpButton.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES: OnYes(); return TRUE;
        case IDNO: OnNo(); return TRUE;
        case IDC_HELP_BUTTON: ShowHelpTopic(helptopic::kConvert); return TRUE;
        default: return FALSE;  // IDCANCEL included: only an answer ends the question
        }
    default: return FALSE;
    }
}
