// The check box column list on the import/export dialog's own templates: toggling by
// the space key and by clicks on the box, what the parent and accessibility clients
// are told and can ask, moving items, and how rows are drawn in both reading directions.
#include <windows.h>
#include <oleacc.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "controls/Dialog.h"
#include "controls/TransparentPicture.h"
#include "harness/GuiHarness.h"
#include "importexport/CheckListBox.h"
#include "resources/resource.h"

namespace {

// A 32-bit top-down surface with its own memory device context.
class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0));
        m_dc->Select(m_bitmap.Get());
        RECT all = {0, 0, width, height};
        UniqueGdiObject brush(CreateSolidBrush(RGB(255, 0, 255)));
        FillRect(Dc(), &all, static_cast<HBRUSH>(brush.Get()));
    }
    HDC Dc() const { return m_dc->Get(); }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const DWORD p = m_bits[y * m_width + x];
        return RGB((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    }
    int Count(COLORREF colour, int x0, int x1) const {
        int n = 0;
        for (int y = 0; y < m_height; ++y)
            for (int x = x0; x < x1; ++x) n += At(x, y) == colour;
        return n;
    }

private:
    int m_width, m_height;
    UniqueGdiObject m_bitmap;
    std::unique_ptr<MemoryDC> m_dc = std::make_unique<MemoryDC>(nullptr);
    DWORD* m_bits = nullptr;
};

// The import/export template with its column list served by a CheckListBox, and a log
// of the commands the list sends its parent.
class Host : public Dialog {
public:
    explicit Host(CheckListBox::Style style, int templateId = IDD_IMPORTEXPORT) : list(style) {
        CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(templateId), nullptr, DialogProc,
                           reinterpret_cast<LPARAM>(static_cast<Dialog*>(this)));
    }
    ~Host() override {
        if (m_hwnd) DestroyWindow(m_hwnd);
    }
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_INITDIALOG:
                list.Attach(GetDlgItem(hwnd, IDC_IE_COLUMNS));
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDC_IE_COLUMNS && reinterpret_cast<HWND>(lParam) == list.Window())
                    commands.push_back(HIWORD(wParam));
                return TRUE;
            case WM_DRAWITEM:
                if (wParam == IDC_IE_COLUMNS) list.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            default: return FALSE;
        }
    }
    int Toggles() const {
        int n = 0;
        for (WORD code : commands) n += code == CheckListBox::kCheckChanged;
        return n;
    }

    CheckListBox list;
    std::vector<WORD> commands;
};

// Accessibility state-change events of this thread, as a screen reader hears them.
class StateEvents {
public:
    StateEvents() {
        s_current = this;
        m_hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, Proc, GetCurrentProcessId(),
                                 GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
    }
    ~StateEvents() {
        if (m_hook) UnhookWinEvent(m_hook);
        s_current = nullptr;
    }
    struct Event {
        HWND window;
        LONG object;
        LONG child;
    };
    std::vector<Event> events;

private:
    static void CALLBACK Proc(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
        if (s_current) s_current->events.push_back({window, object, child});
    }
    static inline StateEvents* s_current = nullptr;
    HWINEVENTHOOK m_hook = nullptr;
};

RECT ItemRect(HWND list, int index) {
    RECT rect = {};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

void Click(HWND list, UINT down, int x, int y) {
    SendMessageW(list, down, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

TEST(CheckListBox, SpaceAndClicksOnTheBoxToggleEnabledItems) {
    enum class Act { Space, ClickBox, ClickText, ClickBelow, DoubleClickBox };
    struct Case {
        const char* name;
        int selected;  // before the action; -1 none
        Act act;
        int target;
        int checks[3];  // afterwards
        int toggles;
        int selectedAfter;
    } cases[] = {
        {"space on a checked item", 0, Act::Space, 0, {0, 0, 0}, 1, 0},
        {"space on an unchecked item", 1, Act::Space, 1, {1, 1, 0}, 1, 1},
        // The list box itself then selects the item at its caret, without a toggle.
        {"space without a selection", -1, Act::Space, 0, {1, 0, 0}, 0, 0},
        {"space on a disabled item", 2, Act::Space, 2, {1, 0, 0}, 0, 2},
        {"click on a box", -1, Act::ClickBox, 1, {1, 1, 0}, 1, 1},
        {"click on a text", -1, Act::ClickText, 1, {1, 0, 0}, 0, 1},
        {"click on a disabled box", -1, Act::ClickBox, 2, {1, 0, 0}, 0, 2},
        {"click below the rows", 0, Act::ClickBelow, 0, {1, 0, 0}, 0, 0},
        {"two quick clicks on a box", -1, Act::DoubleClickBox, 0, {1, 0, 0}, 2, 0},
    };
    for (int templateId : {IDD_IMPORTEXPORT, IDD_IMPORTEXPORT_RTL}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (templateId == IDD_IMPORTEXPORT_RTL ? ", right to left" : ""));
            Host host(CheckListBox::Style::Classic, templateId);
            ASSERT_NE(host.Window(), nullptr);
            ShowWindow(host.Window(), SW_SHOW);
            HWND list = host.list.Window();
            host.list.AddItem(L"Name", true);
            host.list.AddItem(L"Fax number", false);
            host.list.AddItem(L"Mailbox", false);
            host.list.SetItemEnabled(2, false);
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(c.selected), 0);
            harness::PumpUntilIdle(10);
            StateEvents events;
            host.commands.clear();

            // Mouse positions are in the list's own coordinates: mirrored lists measure
            // from the right, where their boxes are drawn.
            const RECT row = ItemRect(list, c.target);
            const int boxX = row.left + 3, textX = row.left + host.list.BoxWidth() + 12;
            const int y = (row.top + row.bottom) / 2;
            switch (c.act) {
                case Act::Space: SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0); break;
                case Act::ClickBox: Click(list, WM_LBUTTONDOWN, boxX, y); break;
                case Act::ClickText: Click(list, WM_LBUTTONDOWN, textX, y); break;
                case Act::ClickBelow: Click(list, WM_LBUTTONDOWN, boxX, ItemRect(list, 2).bottom + 4); break;
                case Act::DoubleClickBox:
                    Click(list, WM_LBUTTONDOWN, boxX, y);
                    Click(list, WM_LBUTTONDBLCLK, boxX, y);
                    break;
            }
            harness::PumpUntilIdle(10);

            for (int i = 0; i < 3; ++i) EXPECT_EQ(host.list.GetCheck(i), c.checks[i]) << "item " << i;
            EXPECT_EQ(host.Toggles(), c.toggles);
            EXPECT_EQ(static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)), c.selectedAfter);
            if (c.act != Act::Space) {
                EXPECT_EQ(GetFocus(), list);
            }
            // Each toggle is heard as a state change of its item (children count from 1).
            ASSERT_EQ(events.events.size(), static_cast<size_t>(c.toggles));
            for (const auto& e : events.events) {
                EXPECT_EQ(e.window, list);
                EXPECT_EQ(e.object, OBJID_CLIENT);
                EXPECT_EQ(e.child, c.target + 1);
            }
        }
    }
}

TEST(CheckListBox, SetCheckStoresTheStateAndMovesKeepIt) {
    Host host(CheckListBox::Style::Classic);
    HWND list = host.list.Window();
    // Items added by the list box itself have no state yet: unchecked and enabled.
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"plain"));
    host.list.AddItem(L"checked", true);
    host.list.AddItem(L"off", false);
    host.list.SetItemEnabled(2, false);
    EXPECT_EQ(host.list.GetCheck(0), 0);
    EXPECT_TRUE(host.list.IsItemEnabled(0));
    EXPECT_EQ(host.list.GetCheck(7), 0);

    StateEvents events;
    host.list.SetCheck(0, 1);
    host.list.SetCheck(9, 1);  // no such item: nothing happens, nothing is announced
    harness::PumpUntilIdle(10);
    EXPECT_EQ(host.list.GetCheck(0), 1);
    ASSERT_EQ(events.events.size(), 1u);
    EXPECT_EQ(events.events[0].child, 1);
    // Setting it does not notify the parent: only the user's toggles do.
    EXPECT_TRUE(host.commands.empty());

    ASSERT_TRUE(host.list.MoveItem(2, 0));
    ASSERT_TRUE(host.list.MoveItem(2, 1));
    EXPECT_FALSE(host.list.MoveItem(3, 0));
    const struct { const wchar_t* text; int check; bool enabled; } expected[] = {
        {L"off", 0, false}, {L"checked", 1, true}, {L"plain", 1, true}};
    for (int i = 0; i < 3; ++i) {
        wchar_t text[32] = {};
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        EXPECT_EQ(CMString(text), CMString(expected[i].text)) << i;
        EXPECT_EQ(host.list.GetCheck(i), expected[i].check) << i;
        EXPECT_EQ(host.list.IsItemEnabled(i), expected[i].enabled) << i;
    }
    EXPECT_EQ(static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)), 1);
}

VARIANT Child(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// What a screen reader learns of each item: its text, that it is a check box, whether it
// is checked, greyed or unavailable, and whether it is selected; read afresh after a
// toggle, and nothing dangling once the list has gone.
TEST(CheckListBox, ReadersHearEachItemsNameAndCheck) {
    auto host = std::make_unique<Host>(CheckListBox::Style::Classic);
    HWND list = host->list.Window();
    host->list.AddItem(L"Name", true);
    host->list.AddItem(L"Fax number", false);
    host->list.AddItem(L"Mailbox", false);
    host->list.SetItemEnabled(2, false);
    host->list.SetCheck(2, 2);
    SendMessageW(list, LB_SETCURSEL, 1, 0);

    IAccessible* object = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(list, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object)),
              S_OK);
    ASSERT_NE(object, nullptr);
    long count = -1;
    EXPECT_EQ(object->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 3);

    auto read = [&](long child, CMString& name, long& state) {
        BSTR text = nullptr;
        ASSERT_EQ(object->get_accName(Child(child), &text), S_OK);
        name = text;
        SysFreeString(text);
        VARIANT role, bits;
        ASSERT_EQ(object->get_accRole(Child(child), &role), S_OK);
        EXPECT_EQ(role.lVal, ROLE_SYSTEM_CHECKBUTTON);
        ASSERT_EQ(object->get_accState(Child(child), &bits), S_OK);
        state = bits.lVal;
    };
    const long kShown = STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED | STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_SELECTED;
    const struct { const wchar_t* name; long state; } expected[] = {
        {L"Name", STATE_SYSTEM_CHECKED},
        {L"Fax number", STATE_SYSTEM_SELECTED},
        {L"Mailbox", STATE_SYSTEM_MIXED | STATE_SYSTEM_UNAVAILABLE},
    };
    for (long i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        CMString name;
        long state = 0;
        read(i + 1, name, state);
        EXPECT_EQ(name, CMString(expected[i].name));
        EXPECT_EQ(state & kShown, expected[i].state);
    }
    CMString name;
    long state = 0;
    host->list.Toggle(1);
    read(2, name, state);
    EXPECT_EQ(state & kShown, STATE_SYSTEM_CHECKED | STATE_SYSTEM_SELECTED);
    BSTR text = nullptr;
    EXPECT_NE(object->get_accName(Child(4), &text), S_OK);
    SysFreeString(text);

    host.reset();
    EXPECT_EQ(object->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    VARIANT bits;
    VariantInit(&bits);
    object->get_accState(Child(1), &bits);
    object->Release();
}

// A row drawn as the list draws it, into the list's own window (mirrored in a
// right-to-left dialog), read back as the screen shows it.
struct Drawn {
    std::unique_ptr<Canvas> canvas;
    int width, height;
};
Drawn DrawRow(CheckListBox& list, int index, UINT state) {
    HWND window = list.Window();
    RECT client = {};
    GetClientRect(window, &client);
    const int width = client.right, height = 18;
    Drawn drawn{std::make_unique<Canvas>(width, height), width, height};
    {
        ScopedGetDC dc(window);
        ScopedSelectObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_LISTBOX;
        item.itemID = static_cast<UINT>(index);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = window;
        item.hDC = dc.Get();
        item.rcItem = {0, 0, width, height};
        list.DrawItem(item);
    }
    ScopedGetDC reader(window);
    SetLayout(reader.Get(), 0);
    BitBlt(drawn.canvas->Dc(), 0, 0, width, height, reader.Get(), 0, 0, SRCCOPY);
    return drawn;
}

TEST(CheckListBox, ClassicRowsShowTheStripsFrameAndTheTextColours) {
    TransparentPicture strip;
    ASSERT_TRUE(strip.Load(IDB_CHECKBOXES));
    const SIZE size = strip.Size();
    const int frame = size.cx / 3;
    Canvas reference(size.cx, size.cy);
    {
        MemoryDC source(reference.Dc());
        source.Select(strip.Bitmap());
        BitBlt(reference.Dc(), 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
    }

    struct Case {
        const char* name;
        int index;
        UINT state;
        int frame;
        COLORREF textBack;
        COLORREF textColour;
    } cases[] = {
        {"checked", 0, 0, 1, GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)},
        {"unchecked, selected", 1, ODS_SELECTED, 0, GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT)},
        // A disabled item is never highlighted and its text is grey.
        {"disabled, selected", 2, ODS_SELECTED, 0, GetSysColor(COLOR_WINDOW), RGB(128, 128, 128)},
    };
    for (bool rightToLeft : {false, true}) {
        Host host(CheckListBox::Style::Classic, rightToLeft ? IDD_IMPORTEXPORT_RTL : IDD_IMPORTEXPORT);
        ShowWindow(host.Window(), SW_SHOWNOACTIVATE);
        host.list.AddItem(L"Fax number", true);
        host.list.AddItem(L"Mailbox", false);
        host.list.AddItem(L"Phone", false);
        host.list.SetItemEnabled(2, false);
        harness::PumpUntilIdle(10);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (rightToLeft ? ", right to left" : ""));
            Drawn row = DrawRow(host.list, c.index, c.state);
            const Canvas& px = *row.canvas;
            // The box one pixel in from the reading side, centred, never mirrored. A
            // mirrored device context may put it one pixel further in.
            const int top = (row.height - size.cy) / 2;
            auto mismatchesAt = [&](int left) {
                int n = 0;
                for (int y = 0; y < size.cy; ++y)
                    for (int x = 0; x < frame; ++x) n += px.At(left + x, top + y) != reference.At(c.frame * frame + x, y);
                return n;
            };
            const int mismatches = rightToLeft ? std::min(mismatchesAt(row.width - 1 - frame), mismatchesAt(row.width - 2 - frame))
                                               : mismatchesAt(1);
            EXPECT_EQ(mismatches, 0);
            // The text area behind and around the text.
            const int textEdge = rightToLeft ? 2 : row.width - 3;
            EXPECT_EQ(px.At(textEdge, 1), c.textBack);
            const int x0 = rightToLeft ? 0 : frame + 3, x1 = rightToLeft ? row.width - frame - 3 : row.width;
            EXPECT_GT(px.Count(c.textColour, x0, x1), 5) << "no text drawn in its colour";
            EXPECT_EQ(px.Count(RGB(255, 0, 255), 0, row.width), 0) << "part of the row was left unpainted";
        }
    }
}

TEST(CheckListBox, ThemedRowsShowTheThemesCheckBox) {
    Host host(CheckListBox::Style::Themed);
    ShowWindow(host.Window(), SW_SHOWNOACTIVATE);
    host.list.AddItem(L"Fax number", true);
    host.list.AddItem(L"Mailbox", false);
    UniqueModule library(LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    auto find = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(library.Get(), name)); };
    auto open = reinterpret_cast<HANDLE(WINAPI*)(HWND, LPCWSTR)>(find("OpenThemeData"));
    auto draw = reinterpret_cast<HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*)>(
        find("DrawThemeBackground"));
    auto partSize =
        reinterpret_cast<HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, int, SIZE*)>(find("GetThemePartSize"));
    auto close = reinterpret_cast<HRESULT(WINAPI*)(HANDLE)>(find("CloseThemeData"));
    HANDLE theme = open && draw && partSize && close ? open(host.list.Window(), L"Button") : nullptr;
    if (!theme) {
        // Without visual styles the boxes still show: the classic strip stands in.
        Host classic(CheckListBox::Style::Classic);
        ShowWindow(classic.Window(), SW_SHOWNOACTIVATE);
        classic.list.AddItem(L"Fax number", true);
        Drawn themed = DrawRow(host.list, 0, 0);
        Drawn plain = DrawRow(classic.list, 0, 0);
        int differences = 0;
        for (int y = 0; y < themed.height; ++y)
            for (int x = 0; x < themed.width; ++x) differences += themed.canvas->At(x, y) != plain.canvas->At(x, y);
        EXPECT_EQ(differences, 0);
        GTEST_SKIP() << "no visual styles here";
    }
    Host mirrored(CheckListBox::Style::Themed, IDD_IMPORTEXPORT_RTL);
    ShowWindow(mirrored.Window(), SW_SHOWNOACTIVATE);
    mirrored.list.AddItem(L"Fax number", true);
    mirrored.list.AddItem(L"Mailbox", false);
    for (bool rightToLeft : {false, true}) {
        for (int index : {0, 1}) {
            SCOPED_TRACE(std::string(index == 0 ? "checked" : "unchecked") + (rightToLeft ? ", right to left" : ""));
            const int part = index == 0 ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL;
            Drawn row = DrawRow(rightToLeft ? mirrored.list : host.list, index, 0);
            Canvas expected(row.width, row.height);
            SIZE size = {};
            ASSERT_HRESULT_SUCCEEDED(partSize(theme, expected.Dc(), BP_CHECKBOX, part, nullptr, TS_DRAW, &size));
            RECT all = {0, 0, row.width, row.height};
            FillRect(expected.Dc(), &all, GetSysColorBrush(COLOR_WINDOW));
            const int top = std::max<int>(0, (row.height - size.cy) / 2);
            RECT box = {1, top, 1 + size.cx, top + size.cy};
            draw(theme, expected.Dc(), BP_CHECKBOX, part, &box, nullptr);
            // The theme's box as drawn left to right, at the reading side, its mark never
            // mirrored (a mirrored device context may put it one pixel further in).
            auto mismatchesAt = [&](int left) {
                int n = 0;
                for (int y = 0; y < row.height; ++y)
                    for (int x = 0; x < size.cx; ++x) n += row.canvas->At(left + x, y) != expected.At(1 + x, y);
                return n;
            };
            EXPECT_EQ(rightToLeft ? std::min(mismatchesAt(row.width - 1 - size.cx), mismatchesAt(row.width - 2 - size.cx))
                                  : mismatchesAt(1),
                      0);
        }
    }
    close(theme);
}

}  // namespace
