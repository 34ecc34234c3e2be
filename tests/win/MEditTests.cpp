// The filtering edit control on a real edit of a real dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "PrintCMString.h"
#include "dialogs/MEdit.h"
#include "harness/GuiHarness.h"
#include "util/Handles.h"

namespace {

constexpr int kField = 101, kOther = 102, kButton = 103;

// Two edits and a button, built in memory so the test needs no template of the program.
std::vector<WORD> MakeTemplate() {
    std::vector<WORD> t;
    auto dword = [&t](DWORD v) { t.push_back(LOWORD(v)); t.push_back(HIWORD(v)); };
    auto align = [&t] { if (t.size() % 2) t.push_back(0); };
    dword(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME);
    dword(0);
    t.push_back(3);                                  // items
    for (short v : {0, 0, 200, 80}) t.push_back(static_cast<WORD>(v));
    t.insert(t.end(), {0, 0, 0});                    // no menu, default class, no title
    struct { int id; WORD cls; DWORD style; short y; } items[] = {
        {kField, 0x0081, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 5},
        {kOther, 0x0081, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 25},
        {kButton, 0x0080, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 45},
    };
    for (const auto& item : items) {
        align();
        dword(item.style);
        dword(0);
        for (short v : {short(5), item.y, short(150), short(14)}) t.push_back(static_cast<WORD>(v));
        t.push_back(static_cast<WORD>(item.id));
        t.insert(t.end(), {0xFFFF, item.cls, 0, 0});  // class atom, empty title, no data
    }
    return t;
}

// What the parent heard from the field.
struct ParentLog {
    int changes = 0;
    std::vector<CMString> killFocusTexts;
};

INT_PTR CALLBACK TestDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        return TRUE;
    }
    auto* log = reinterpret_cast<ParentLog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_COMMAND && LOWORD(wParam) == kField && log) {
        if (HIWORD(wParam) == EN_CHANGE) ++log->changes;
        if (HIWORD(wParam) == EN_KILLFOCUS) log->killFocusTexts.push_back(harness::ItemText(hwnd, kField));
        return TRUE;
    }
    return FALSE;
}

int g_beeps = 0;
void CountBeep() { ++g_beeps; }

// A dialog with a filtered field; beeps are counted instead of sounded.
class FilteredDialog {
public:
    FilteredDialog() {
        std::vector<WORD> t = MakeTemplate();
        m_dialog.Reset(CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                                  nullptr, TestDialogProc, reinterpret_cast<LPARAM>(&log)));
        m_previousBeep = MEdit::SetBeep(CountBeep);
        g_beeps = 0;
    }
    ~FilteredDialog() { MEdit::SetBeep(m_previousBeep); }

    HWND Dialog() const { return m_dialog.Get(); }
    HWND Field() const { return GetDlgItem(m_dialog.Get(), kField); }
    CMString Text() const { return harness::ItemText(m_dialog.Get(), kField); }
    void Type(const wchar_t* text) const {
        for (const wchar_t* p = text; *p; ++p) SendMessageW(Field(), WM_CHAR, *p, 1);
    }
    void Destroy() { m_dialog.Reset(); }

    ParentLog log;

private:
    UniqueWindow m_dialog;
    MEdit::BeepFunction m_previousBeep = nullptr;
};

bool PutOnClipboard(HWND owner, const wchar_t* text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool placed = false;
    if (memory) {
        memcpy(GlobalLock(memory), text, bytes);
        GlobalUnlock(memory);
        placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!placed) GlobalFree(memory);
    }
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

// nullptr as allowed: every code, then `refused` taken out.
struct FieldSetup { const wchar_t* allowed; const wchar_t* refused; };
constexpr FieldSetup kFax = {L"0-9 +()\\-/", nullptr};
constexpr FieldSetup kName = {nullptr, L"|[]"};

TEST(MEdit, TypedCharactersOutsideTheSetBeepAndAreDropped) {
    struct {
        FieldSetup setup;
        const wchar_t* typed;
        const wchar_t* text;
        int beeps;
    } cases[] = {
        {kFax, L"+49 (30) 1234-5", L"+49 (30) 1234-5", 0},
        {kFax, L"12a3", L"123", 1},
        {kFax, L"x|y", L"", 3},
        {kFax, L"12\b", L"1", 0},                 // backspace always works
        {kFax, L"\u0130\u0231", L"", 2},           // low bytes of '0' and '1', but no digits
        {kName, L"Anna [Sales] | 2", L"Anna Sales  2", 3},
        {kName, L"Ku\u015b \u017c\u00f3\u0142\u0107", L"Ku\u015b \u017c\u00f3\u0142\u0107", 0},    // letters whose low bytes are '[' and '|'
        {kName, L"\u05e9\u05dc\u05d5\u05dd", L"\u05e9\u05dc\u05d5\u05dd", 0},
        {{L"0-9", L"5"}, L"12345", L"1234", 1},
    };
    for (const auto& c : cases) {
        FilteredDialog dialog;
        ASSERT_NE(dialog.Dialog(), nullptr);
        MEdit edit;
        ASSERT_TRUE(edit.Attach(c.setup.allowed, kField, dialog.Dialog()));
        if (c.setup.refused) edit.SetChars(c.setup.refused, false);
        dialog.Type(c.typed);
        EXPECT_EQ(dialog.Text(), CMString(c.text)) << CMString(c.typed).ToUtf8();
        EXPECT_EQ(g_beeps, c.beeps) << CMString(c.typed).ToUtf8();
    }
}

TEST(MEdit, ClipboardKeysExceptPasteAlwaysWork) {
    for (FieldSetup setup : {kFax, kName, FieldSetup{L"", nullptr}}) {
        FilteredDialog dialog;
        MEdit edit;
        ASSERT_TRUE(edit.Attach(setup.allowed, kField, dialog.Dialog()));
        if (setup.refused) edit.SetChars(setup.refused, false);
        HWND field = dialog.Field();
        SetWindowTextW(field, L"0301");
        ASSERT_TRUE(PutOnClipboard(dialog.Dialog(), L"999"));

        // Ctrl+V: nothing pasted, one beep.
        SendMessageW(field, EM_SETSEL, 4, 4);
        dialog.Type(L"\x16");
        EXPECT_EQ(dialog.Text(), CMString(L"0301"));
        EXPECT_EQ(g_beeps, 1);

        // Ctrl+C copies, Ctrl+X cuts, Ctrl+Z undoes the cut.
        SendMessageW(field, EM_SETSEL, 0, 2);
        dialog.Type(L"\x03");
        EXPECT_EQ(ClipboardText(dialog.Dialog()), CMString(L"03"));
        SendMessageW(field, EM_SETSEL, 2, 4);
        dialog.Type(L"\x18");
        EXPECT_EQ(dialog.Text(), CMString(L"03"));
        EXPECT_EQ(ClipboardText(dialog.Dialog()), CMString(L"01"));
        dialog.Type(L"\x1a");
        EXPECT_EQ(dialog.Text(), CMString(L"0301"));
        EXPECT_EQ(g_beeps, 1);
    }
}

TEST(MEdit, PastedTextIsCleanedWhenTheFieldLosesFocus) {
    struct { const wchar_t* pasted; const wchar_t* cleaned; int beeps; } cases[] = {
        {L"030 [12] 34|56", L"030 12 3456", 1},
        {L"[|]", L"", 1},
        {L"030 1234", L"030 1234", 0},
    };
    for (const auto& c : cases) {
        FilteredDialog dialog;
        MEdit edit;
        ASSERT_TRUE(edit.Attach(kFax.allowed, kField, dialog.Dialog()));
        SetFocus(dialog.Field());
        ASSERT_EQ(GetFocus(), dialog.Field());
        ASSERT_TRUE(PutOnClipboard(dialog.Dialog(), c.pasted));
        SendMessageW(dialog.Field(), WM_PASTE, 0, 0);
        // Pasting goes past the filter until the field is left.
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

TEST(MEdit, TextFromTheFileSurvivesLeavingTheField) {
    // A stored name with letters beyond Latin-1 is left as it is.
    FilteredDialog dialog;
    MEdit edit;
    ASSERT_TRUE(edit.Attach(kName.allowed, kField, dialog.Dialog()));
    edit.SetChars(kName.refused, false);
    SetDlgItemTextW(dialog.Dialog(), kField, L"\u0141ukasz Ku\u015b");
    SendMessageW(dialog.Field(), WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(dialog.Text(), CMString(L"\u0141ukasz Ku\u015b"));
    EXPECT_EQ(g_beeps, 0);
}

TEST(MEdit, AttachReportsAMissingDialogOrControlButFillsTheSet) {
    FilteredDialog dialog;
    MEdit noDialog, noControl;
    EXPECT_FALSE(noDialog.Attach(L"0-9", kField, nullptr));
    EXPECT_TRUE(noDialog.IsValidChar(L'5'));
    EXPECT_FALSE(noDialog.IsValidChar(L'a'));
    EXPECT_FALSE(noControl.Attach(nullptr, 999, dialog.Dialog()));
    EXPECT_TRUE(noControl.IsValidChar(L'a'));
    EXPECT_TRUE(noControl.IsValidChar(L'\x03'));
    EXPECT_FALSE(noControl.IsValidChar(L'\x16'));
    EXPECT_EQ(noControl.Window(), nullptr);
}

TEST(MEdit, DestructionGivesTheControlItsProcedureBack) {
    FilteredDialog dialog;
    HWND field = dialog.Field();
    const LONG_PTR original = GetWindowLongPtrW(field, GWLP_WNDPROC);
    {
        MEdit edit;
        ASSERT_TRUE(edit.Attach(L"0-9", kField, dialog.Dialog()));
        EXPECT_NE(GetWindowLongPtrW(field, GWLP_WNDPROC), original);
        EXPECT_EQ(GetWindowLongPtrW(field, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&edit));
    }
    EXPECT_EQ(GetWindowLongPtrW(field, GWLP_WNDPROC), original);
    EXPECT_EQ(GetWindowLongPtrW(field, GWLP_USERDATA), 0);
    dialog.Type(L"a1");
    EXPECT_EQ(dialog.Text(), CMString(L"a1"));
    EXPECT_EQ(g_beeps, 0);
}

TEST(MEdit, OutlivingItsControlIsHarmless) {
    auto dialog = std::make_unique<FilteredDialog>();
    MEdit edit;
    ASSERT_TRUE(edit.Attach(L"0-9", kField, dialog->Dialog()));
    EXPECT_EQ(edit.Window(), dialog->Field());
    dialog->Destroy();
    EXPECT_EQ(edit.Window(), nullptr);
    // The filter stays usable as a set; its destructor has no window to touch.
    EXPECT_TRUE(edit.IsValidChar(L'7'));
}

}  // namespace
