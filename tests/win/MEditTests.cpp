// The filtering edit control on a real edit of a real dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "PrintCMString.h"
#include "dialogs/MEdit.h"
#include "harness/GuiHarness.h"
#include "util/Handles.h"

namespace {

constexpr int kField = 101, kOther = 102;

// Two edits, built in memory so the test needs no template of the program.
std::vector<WORD> MakeTemplate() {
    std::vector<WORD> t;
    auto dword = [&t](DWORD v) { t.insert(t.end(), {LOWORD(v), HIWORD(v)}); };
    dword(WS_POPUP | WS_CAPTION | WS_VISIBLE);
    dword(0);
    t.insert(t.end(), {2, 0, 0, 200, 60, 0, 0, 0});  // items, rectangle, no menu, class, title
    for (int id : {kField, kOther}) {
        if (t.size() % 2) t.push_back(0);
        dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL);
        dword(0);
        t.insert(t.end(), {5, static_cast<WORD>(id == kField ? 5 : 25), 150, 14, static_cast<WORD>(id),
                           0xFFFF, 0x0081, 0, 0});  // edit class, no title, no data
    }
    return t;
}

// What the parent heard from the field.
struct ParentLog {
    int changes = 0;
    std::vector<CMString> killFocusTexts;
};

INT_PTR CALLBACK LoggingDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
    auto* log = reinterpret_cast<ParentLog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_COMMAND && LOWORD(wParam) == kField) {
        if (HIWORD(wParam) == EN_CHANGE) ++log->changes;
        if (HIWORD(wParam) == EN_KILLFOCUS) log->killFocusTexts.push_back(harness::ItemText(hwnd, kField));
    }
    return message == WM_INITDIALOG;
}

int g_beeps = 0;

// nullptr as allowed: every code, then `refused` taken out.
struct FieldSetup { const wchar_t* allowed; const wchar_t* refused; };
constexpr FieldSetup kFax = {L"0-9 +()\\-/", nullptr};
constexpr FieldSetup kName = {nullptr, L"|[]"};

// A dialog whose field is filtered; beeps are counted instead of sounded.
class FilteredDialog {
public:
    explicit FilteredDialog(FieldSetup setup) {
        std::vector<WORD> t = MakeTemplate();
        m_dialog.Reset(CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                                  nullptr, LoggingDialogProc, reinterpret_cast<LPARAM>(&log)));
        m_previousBeep = MEdit::SetBeep([] { ++g_beeps; });
        g_beeps = 0;
        attached = edit.Attach(setup.allowed, kField, m_dialog.Get());
        if (setup.refused) edit.SetChars(setup.refused, false);
    }
    ~FilteredDialog() { MEdit::SetBeep(m_previousBeep); }

    HWND Dialog() const { return m_dialog.Get(); }
    HWND Field() const { return GetDlgItem(m_dialog.Get(), kField); }
    CMString Text() const { return harness::ItemText(m_dialog.Get(), kField); }
    void Type(const wchar_t* text) const {
        for (const wchar_t* p = text; *p; ++p) SendMessageW(Field(), WM_CHAR, *p, 1);
    }

    ParentLog log;
    MEdit edit;
    bool attached = false;

private:
    UniqueWindow m_dialog;
    MEdit::BeepFunction m_previousBeep = nullptr;
};

bool PutOnClipboard(HWND owner, const wchar_t* text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!placed) GlobalFree(memory);
    CloseClipboard();
    return placed;
}

CMString ClipboardText(HWND owner) {
    CMString text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

TEST(MEdit, TypedCharactersOutsideTheSetBeepAndAreDropped) {
    struct { FieldSetup setup; const wchar_t* typed; const wchar_t* text; int beeps; } cases[] = {
        {kFax, L"+49 (30) 1234-5", L"+49 (30) 1234-5", 0},
        {kFax, L"12a3|", L"123", 2},
        {kFax, L"12\b", L"1", 0},                  // backspace always works
        {kFax, L"\u0130\u0231", L"", 2},           // low bytes of '0' and '1', but no digits
        {kName, L"Anna [Sales] | 2", L"Anna Sales  2", 3},
        {kName, L"Ku\u015b \u017c\u00f3\u0142\u0107", L"Ku\u015b \u017c\u00f3\u0142\u0107", 0},  // low bytes '[' and '|'
        {{L"0-9", L"5"}, L"12345", L"1234", 1},
    };
    for (const auto& c : cases) {
        FilteredDialog dialog(c.setup);
        ASSERT_TRUE(dialog.attached);
        dialog.Type(c.typed);
        EXPECT_EQ(dialog.Text(), CMString(c.text)) << CMString(c.typed).ToUtf8();
        EXPECT_EQ(g_beeps, c.beeps) << CMString(c.typed).ToUtf8();
    }
}

TEST(MEdit, ClipboardKeysExceptPasteAlwaysWork) {
    for (FieldSetup setup : {kFax, kName, FieldSetup{L"", nullptr}}) {
        FilteredDialog dialog(setup);
        HWND field = dialog.Field();
        SetWindowTextW(field, L"0301");
        ASSERT_TRUE(PutOnClipboard(dialog.Dialog(), L"999"));
        SendMessageW(field, EM_SETSEL, 4, 4);
        dialog.Type(L"\x16");  // Ctrl+V
        EXPECT_EQ(dialog.Text(), CMString(L"0301"));
        EXPECT_EQ(g_beeps, 1);

        SendMessageW(field, EM_SETSEL, 0, 2);
        dialog.Type(L"\x03");  // Ctrl+C
        EXPECT_EQ(ClipboardText(dialog.Dialog()), CMString(L"03"));
        SendMessageW(field, EM_SETSEL, 2, 4);
        dialog.Type(L"\x18");  // Ctrl+X
        EXPECT_EQ(dialog.Text(), CMString(L"03"));
        dialog.Type(L"\x1a");  // Ctrl+Z
        EXPECT_EQ(dialog.Text(), CMString(L"0301"));
        EXPECT_EQ(g_beeps, 1);
    }
}

TEST(MEdit, PastedTextIsCleanedWhenTheFieldLosesFocus) {
    struct { FieldSetup setup; const wchar_t* pasted; const wchar_t* cleaned; int beeps; } cases[] = {
        {kFax, L"030 [12] 34|56", L"030 12 3456", 1},
        {kFax, L"[|]", L"", 1},
        {kFax, L"030 1234", L"030 1234", 0},
        {kName, L"\u0141ukasz Ku\u015b", L"\u0141ukasz Ku\u015b", 0},
    };
    for (const auto& c : cases) {
        FilteredDialog dialog(c.setup);
        SetFocus(dialog.Field());
        ASSERT_EQ(GetFocus(), dialog.Field());
        ASSERT_TRUE(PutOnClipboard(dialog.Dialog(), c.pasted));
        SendMessageW(dialog.Field(), WM_PASTE, 0, 0);
        EXPECT_EQ(dialog.Text(), CMString(c.pasted));
        EXPECT_EQ(g_beeps, 0);
        const int changesBefore = dialog.log.changes;

        SetFocus(GetDlgItem(dialog.Dialog(), kOther));
        EXPECT_EQ(dialog.Text(), CMString(c.cleaned));
        EXPECT_EQ(g_beeps, c.beeps);
        // The parent's EN_KILLFOCUS already sees the cleaned text; a clean field is not rewritten.
        ASSERT_EQ(dialog.log.killFocusTexts.size(), 1u);
        EXPECT_EQ(dialog.log.killFocusTexts[0], CMString(c.cleaned));
        EXPECT_EQ(dialog.log.changes > changesBefore, c.beeps > 0) << CMString(c.pasted).ToUtf8();
    }
}

TEST(MEdit, AttachingAndDestroyingLeaveTheControlAsItWas) {
    FilteredDialog dialog(kName);
    MEdit noDialog, noControl;
    EXPECT_FALSE(noDialog.Attach(L"0-9", kField, nullptr));
    EXPECT_FALSE(noControl.Attach(nullptr, 999, dialog.Dialog()));
    EXPECT_TRUE(noDialog.IsValidChar(L'5'));  // the set is filled all the same
    EXPECT_FALSE(noDialog.IsValidChar(L'a'));

    HWND other = GetDlgItem(dialog.Dialog(), kOther);
    const LONG_PTR original = GetWindowLongPtrW(other, GWLP_WNDPROC);
    {
        MEdit edit;
        ASSERT_TRUE(edit.Attach(L"0-9", kOther, dialog.Dialog()));
        EXPECT_NE(GetWindowLongPtrW(other, GWLP_WNDPROC), original);
    }
    EXPECT_EQ(GetWindowLongPtrW(other, GWLP_WNDPROC), original);
    EXPECT_EQ(GetWindowLongPtrW(other, GWLP_USERDATA), 0);

    // An MEdit that outlives its control forgets it and leaves the handle alone.
    MEdit outliving;
    ASSERT_TRUE(outliving.Attach(L"0-9", kOther, dialog.Dialog()));
    DestroyWindow(other);
    EXPECT_EQ(outliving.Window(), nullptr);
}

}  // namespace
