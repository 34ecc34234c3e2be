#pragma once
// Drives the entry dialog from inside its own modal loop: the dialog is found as it
// becomes active, and the test's body runs from a message that loop dispatches, so the
// dialog is fully up, focus moves as a user's would, and anything modal the body opens
// is answered by the same ModalDriver's later steps.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "data/CPhonebook.h"
#include "harness/GuiHarness.h"
#include "resources/resource.h"
#include "util/CMString.h"

namespace entrytest {

class InDialog {
public:
    using Body = std::function<void(HWND dialog)>;
    explicit InDialog(Body body) : m_body(std::move(body)) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PbeEntryScript";
        RegisterClassW(&wc);
        m_runner = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_runner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~InDialog() { DestroyWindow(m_runner); }
    InDialog(const InDialog&) = delete;
    InDialog& operator=(const InDialog&) = delete;

    // The driver's step for the entry dialog itself.
    harness::ModalDriver::Step Start() {
        return [this](const harness::SeenWindow& seen) {
            m_dialog = seen.window;
            // A timer fires only once the loop has nothing else to do, by which time it
            // has shown the dialog.
            SetTimer(m_runner, 1, 10, nullptr);
        };
    }
    bool Ran() const { return m_ran; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<InDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message != WM_TIMER || !self) return DefWindowProcW(hwnd, message, wParam, lParam);
        if (!IsWindowVisible(self->m_dialog) && IsWindow(self->m_dialog)) return 0;
        KillTimer(hwnd, 1);
        self->m_ran = true;
        self->m_body(self->m_dialog);
        // A body that leaves the dialog open ends it as Cancel would, so no test hangs.
        if (IsWindow(self->m_dialog)) PostMessageW(self->m_dialog, WM_CLOSE, 0, 0);
        return 0;
    }

    Body m_body;
    HWND m_runner = nullptr;
    HWND m_dialog = nullptr;
    bool m_ran = false;
};

// A driver whose first step is the entry dialog, where the body runs; later steps
// answer what the body opens.
struct Script {
    explicit Script(InDialog::Body body) : in(std::move(body)) { driver.Then(in.Start()); }
    ~Script() { EXPECT_TRUE(in.Ran()) << "the entry dialog never came up"; }
    Script& Then(harness::ModalDriver::Step step) {
        driver.Then(std::move(step));
        return *this;
    }
    harness::ModalDriver driver;
    InDialog in;
};

// Puts the focus into the field, selects its text and types over it (nothing: the
// selection is deleted), one WM_CHAR per character as the keyboard sends them.
inline void Type(HWND dialog, int id, const wchar_t* text) {
    HWND edit = GetDlgItem(dialog, id);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    if (!*text) SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (const wchar_t* p = text; *p; ++p) SendMessageW(edit, WM_CHAR, *p, 0);
}

inline void Focus(HWND dialog, int id) {
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
}

inline bool HasFocus(HWND dialog, int id) { return GetFocus() == GetDlgItem(dialog, id); }

// A mouse click: the button takes the focus first, as it does on the screen.
inline void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

struct Fields {
    const wchar_t* name;
    const wchar_t* fax;
    const wchar_t* organization = L"";
    const wchar_t* phone = L"";
    const wchar_t* email = L"";
    const wchar_t* mailbox = L"";
};

inline void TypeFields(HWND dialog, const Fields& f) {
    Type(dialog, IDC_ENTRY_NAME, f.name);
    Type(dialog, IDC_ENTRY_FAX, f.fax);
    Type(dialog, IDC_ENTRY_ORGANIZATION, f.organization);
    Type(dialog, IDC_ENTRY_PHONE, f.phone);
    Type(dialog, IDC_ENTRY_EMAIL, f.email);
    Type(dialog, IDC_ENTRY_MAILBOX, f.mailbox);
}

// A record as the file holds it, read through a separate read-only open.
struct Stored {
    CMString name, fax, organization, phone, email;
    unsigned mailbox = 0;
    bool group = false;
};

inline std::vector<Stored> ReadBook(const CMString& path) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    std::vector<Stored> out;
    if (!db.Open(path, 0, 1)) return out;
    RecordList records;
    db.Enumerate(records, true);
    for (const auto& r : records)
        out.push_back({r->name, r->fax, r->organization, r->phone, r->email, r->mailbox, r->IsGroup()});
    return out;
}

inline const Stored* Find(const std::vector<Stored>& book, const wchar_t* name) {
    for (const auto& s : book)
        if (s.name == name) return &s;
    return nullptr;
}

// Adds entries (and groups, with an empty fax number) straight to a book file.
inline void AddToBook(const CMString& path, std::initializer_list<Fields> entries) {
    CPhonebook model(nullptr);
    if (!model.Database().Open(path, 0, 0)) return;
    for (const auto& e : entries)
        model.AddFromFields(e.name, e.fax, e.organization, e.phone, e.email, e.mailbox, false, false);
    model.CloseFile();
}

// The notice dialog's parts, read while it is up; then its button ends it.
struct Notice {
    CMString caption, text, button;
    bool hasIcon = false;
    bool rightToLeft = false;
};

inline harness::ModalDriver::Step ReadNotice(Notice* notice) {
    return [notice](const harness::SeenWindow& seen) {
        notice->caption = seen.caption;
        notice->text = harness::ItemText(seen.window, IDC_NOTICE_TEXT);
        notice->button = harness::ItemText(seen.window, IDCANCEL);
        notice->hasIcon = SendDlgItemMessageW(seen.window, IDC_NOTICE_ICON, STM_GETICON, 0, 0) != 0;
        notice->rightToLeft = (seen.exStyle & WS_EX_LAYOUTRTL) != 0;
        harness::ModalDriver::Press(IDCANCEL)(seen);
    };
}

}  // namespace entrytest
