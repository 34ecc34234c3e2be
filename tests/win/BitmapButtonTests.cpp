// Picture buttons and transparent pictures, drawn from the real resources on real
// owner-drawn buttons of the main window's template.
#include <windows.h>
#include <commctrl.h>
#include <vssym32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/AppGlobals.h"
#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "controls/Dpi.h"
#include "controls/ToolTip.h"
#include "controls/TransparentPicture.h"
#include "harness/GuiHarness.h"
#include "resources/image_ids.h"
#include "resources/resource.h"

namespace {

constexpr COLORREF kGreen = TransparentPicture::kTransparentColour;
constexpr COLORREF kSentinel = RGB(255, 0, 255);

// A 32-bit top-down surface with its own memory device context.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = kSentinel) : m_width(width), m_height(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0));
        m_dc->Select(m_bitmap.Get());
        Fill(fill);
    }
    HDC Dc() const { return m_dc->Get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Fill(COLORREF colour) {
        UniqueGdiObject brush(CreateSolidBrush(colour));
        RECT all = {0, 0, m_width, m_height};
        FillRect(Dc(), &all, static_cast<HBRUSH>(brush.Get()));
        GdiFlush();
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const DWORD p = m_bits[y * m_width + x];
        return RGB((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    }
    int Count(COLORREF colour) const {
        int n = 0;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x) n += At(x, y) == colour;
        return n;
    }

private:
    int m_width, m_height;
    UniqueGdiObject m_bitmap;
    std::unique_ptr<MemoryDC> m_dc = std::make_unique<MemoryDC>(nullptr);
    DWORD* m_bits = nullptr;
};

// The artwork as the button should show it: stretched by whole pixels to the image box.
Canvas StretchedArtwork(UINT bitmapId, int width, int height) {
    Canvas canvas(width, height);
    UniqueGdiObject bitmap(LoadImageW(app::Instance(), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info = {};
    GetObjectW(bitmap.Get(), sizeof info, &info);
    MemoryDC source(canvas.Dc());
    source.Select(bitmap.Get());
    SetStretchBltMode(canvas.Dc(), COLORONCOLOR);
    StretchBlt(canvas.Dc(), 0, 0, width, height, source.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    return canvas;
}

// The main window's template with some of its owner-drawn buttons served by BitmapButtons,
// as the main dialog does it; counts the WM_DRAWITEM each button receives.
class Host : public Dialog {
public:
    struct Button {
        int id;
        UINT normal;
        UINT disabled;
        std::unique_ptr<BitmapButton> object;
        int draws = 0;
    };

    explicit Host(BitmapButton::Style style, int templateId = IDD_MAIN) : m_style(style) {
        Add(IDC_NEW_ENTRY, IDB_NEW_ENTRY, IDB_NEW_ENTRY_DISABLED);
        Add(IDC_NEW_GROUP, 0, 0);  // no pictures: shows the bare frame
        Add(IDC_HELP_BUTTON, IDB_HELP, 0);
        Add(IDC_FILE, IDB_FILE_MENU, IDB_FILE_MENU_DISABLED);
        CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(templateId), nullptr, DialogProc,
                           reinterpret_cast<LPARAM>(static_cast<Dialog*>(this)));
    }
    ~Host() override {
        if (m_hwnd) DestroyWindow(m_hwnd);
    }

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_INITDIALOG:
                for (auto& b : m_buttons) {
                    if (b.normal) b.object->LoadImages(b.normal, b.disabled);
                    if (beforeAttach) beforeAttach(GetDlgItem(hwnd, b.id));
                    b.object->Attach(hwnd, GetDlgItem(hwnd, b.id));
                }
                return TRUE;
            case WM_COMMAND:
                if (HIWORD(wParam) == BN_CLICKED) clicks.push_back(LOWORD(wParam));
                return FALSE;
            case WM_DRAWITEM:
                for (auto& b : m_buttons) {
                    if (static_cast<int>(wParam) == b.id) {
                        ++b.draws;
                        b.object->Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                        return TRUE;
                    }
                }
                return FALSE;
            default:
                return FALSE;
        }
    }

    Button& operator[](int id) {
        for (auto& b : m_buttons)
            if (b.id == id) return b;
        throw std::out_of_range("no such button");
    }

    inline static std::function<void(HWND)> beforeAttach;
    std::vector<int> clicks;

private:
    void Add(int id, UINT normal, UINT disabled) {
        m_buttons.push_back({id, normal, disabled, std::make_unique<BitmapButton>(m_style)});
    }
    BitmapButton::Style m_style;
    std::vector<Button> m_buttons;
};

Canvas DrawInState(BitmapButton& button, UINT state) {
    RECT client = {};
    GetClientRect(button.Window(), &client);
    Canvas canvas(client.right, client.bottom);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(button.Window()));
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = button.Window();
    item.hDC = canvas.Dc();
    item.rcItem = client;
    button.Draw(item);
    return canvas;
}

// Sets the hover look the way the mouse does; the dialog must be active.
void MakeHot(BitmapButton& button) {
    SendMessageW(button.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
}

void Activate(HWND dialog) {
    ShowWindow(dialog, SW_SHOW);
    SetActiveWindow(dialog);
    SetFocus(dialog);
}

// The button part as the theme draws it on the dialog face; false when there is no theme.
bool ThemeReference(HWND button, int partState, Canvas* canvas) {
    UniqueModule library(LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    auto find = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(library.Get(), name)); };
    auto open = reinterpret_cast<HANDLE(WINAPI*)(HWND, LPCWSTR)>(find("OpenThemeData"));
    auto draw = reinterpret_cast<HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*)>(find("DrawThemeBackground"));
    auto close = reinterpret_cast<HRESULT(WINAPI*)(HANDLE)>(find("CloseThemeData"));
    HANDLE theme = open && draw && close ? open(button, L"BUTTON") : nullptr;
    if (!theme) return false;
    RECT all = {0, 0, canvas->Width(), canvas->Height()};
    FillRect(canvas->Dc(), &all, GetSysColorBrush(COLOR_BTNFACE));
    draw(theme, canvas->Dc(), BP_PUSHBUTTON, partState, &all, nullptr);
    close(theme);
    return true;
}

int Differences(const Canvas& a, const Canvas& b) {
    int n = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x) n += a.At(x, y) != b.At(x, y);
    return n;
}

std::string StateName(UINT state, bool hot) {
    std::string name;
    if (state & ODS_SELECTED) name += "pressed ";
    if (state & ODS_DISABLED) name += "disabled ";
    if (state & ODS_FOCUS) name += "focused ";
    if (hot) name += "hot ";
    return name.empty() ? "normal" : name;
}

TEST(BitmapButton, ImageLeavesOutItsGreenAndMovesDownWhenPressed) {
    struct Case {
        UINT state;
        bool hot;
        UINT expectedImage;
        int drop;
    } cases[] = {
        {0, false, IDB_NEW_ENTRY, 0},
        {ODS_SELECTED, false, IDB_NEW_ENTRY, 1},
        {ODS_DISABLED, false, IDB_NEW_ENTRY_DISABLED, 0},
        {ODS_FOCUS, false, IDB_NEW_ENTRY, 0},
        {ODS_SELECTED | ODS_FOCUS, false, IDB_NEW_ENTRY, 1},
        {0, true, IDB_NEW_ENTRY, 0},
        {ODS_SELECTED | ODS_FOCUS, true, IDB_NEW_ENTRY, 1},
    };
    for (auto style : {BitmapButton::Style::Classic, BitmapButton::Style::Themed}) {
        Host host(style);
        ASSERT_NE(host.Window(), nullptr);
        Activate(host.Window());
        BitmapButton& pictured = *host[IDC_NEW_ENTRY].object;
        BitmapButton& bare = *host[IDC_NEW_GROUP].object;
        const RECT image = pictured.ImageRect();
        ASSERT_GT(image.right - image.left, 0);
        for (const auto& c : cases) {
            if (c.hot && style == BitmapButton::Style::Classic) continue;
            SCOPED_TRACE((style == BitmapButton::Style::Themed ? "themed, " : "classic, ") + StateName(c.state, c.hot));
            SendMessageW(pictured.Window(), WM_MOUSELEAVE, 0, 0);
            SendMessageW(bare.Window(), WM_MOUSELEAVE, 0, 0);
            if (c.hot) {
                MakeHot(pictured);
                MakeHot(bare);
                ASSERT_TRUE(pictured.IsHot());
            }
            const Canvas frame = DrawInState(bare, c.state);
            const Canvas drawn = DrawInState(pictured, c.state);
            const Canvas art = StretchedArtwork(c.expectedImage, image.right - image.left, image.bottom - image.top);
            ASSERT_EQ(drawn.Width(), frame.Width());

            EXPECT_EQ(drawn.Count(kGreen), 0);
            EXPECT_EQ(drawn.Count(kSentinel), 0) << "part of the button was left unpainted";
            // Every pixel is the artwork's where it is not green, and the bare frame elsewhere;
            // the focus rectangle's dots are left out, being drawn over either.
            const RECT focus = {image.left, image.top, drawn.Width() - image.left, drawn.Height() - image.top};
            int mismatches = 0, artPixels = 0;
            for (int y = 0; y < drawn.Height(); ++y) {
                for (int x = 0; x < drawn.Width(); ++x) {
                    const bool onFocus = (c.state & ODS_FOCUS) &&
                                         ((x == focus.left || x == focus.right - 1) || (y == focus.top || y == focus.bottom - 1)) &&
                                         x >= focus.left && x < focus.right && y >= focus.top && y < focus.bottom;
                    if (onFocus) continue;
                    COLORREF expected = frame.At(x, y);
                    const int ax = x - image.left, ay = y - image.top - c.drop;
                    if (ax >= 0 && ay >= 0 && ax < art.Width() && ay < art.Height() && art.At(ax, ay) != kGreen) {
                        expected = art.At(ax, ay);
                        ++artPixels;
                    }
                    if (drawn.At(x, y) != expected && mismatches++ < 3)
                        ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << drawn.At(x, y)
                                      << ", expected " << expected;
                }
            }
            EXPECT_EQ(mismatches, 0);
            EXPECT_GT(artPixels, 20);
        }
    }
}

TEST(BitmapButton, ThemedFrameFollowsHoverBeforePressAndFocus) {
    Host host(BitmapButton::Style::Themed);
    Activate(host.Window());
    BitmapButton& bare = *host[IDC_NEW_GROUP].object;
    auto reference = [&](int partState) {
        Canvas canvas = DrawInState(bare, 0);
        return ThemeReference(bare.Window(), partState, &canvas) ? std::optional<Canvas>(std::move(canvas)) : std::nullopt;
    };
    if (!reference(PBS_NORMAL)) GTEST_SKIP() << "no visual styles here";
    // The states the cases tell apart must look different in this theme.
    for (auto [a, b] : {std::pair{PBS_HOT, PBS_PRESSED}, {PBS_NORMAL, PBS_DEFAULTED}, {PBS_NORMAL, PBS_DISABLED},
                        {PBS_NORMAL, PBS_PRESSED}, {PBS_NORMAL, PBS_HOT}})
        ASSERT_GT(Differences(*reference(a), *reference(b)), 0) << "theme states " << a << " and " << b << " look alike";

    struct Case {
        UINT state;
        bool hot;
        int partState;
    } cases[] = {
        {0, false, PBS_NORMAL},
        {ODS_DISABLED, false, PBS_DISABLED},
        {ODS_SELECTED, false, PBS_PRESSED},
        {0, true, PBS_HOT},
        {ODS_SELECTED, true, PBS_HOT},  // pressed under the mouse: only the image moves
        {ODS_FOCUS, false, PBS_DEFAULTED},
        {ODS_FOCUS | ODS_SELECTED, false, PBS_DEFAULTED},
        {ODS_FOCUS, true, PBS_HOT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(StateName(c.state, c.hot));
        SendMessageW(bare.Window(), WM_MOUSELEAVE, 0, 0);
        if (c.hot) MakeHot(bare);
        ASSERT_EQ(bare.IsHot(), c.hot);
        // The focus look without its dots.
        EXPECT_EQ(Differences(DrawInState(bare, c.state | ODS_NOFOCUSRECT), *reference(c.partState)), 0);
    }
}

TEST(BitmapButton, ClassicFrameShowsRaisedSunkenAndDisabledLooks) {
    Host host(BitmapButton::Style::Classic);
    BitmapButton& bare = *host[IDC_NEW_GROUP].object;
    ASSERT_FALSE(bare.IsThemed());
    const COLORREF black = RGB(0, 0, 0), light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
    struct Probe {
        UINT state;
        int x, y;  // negative: from the right or bottom edge
        COLORREF colour;
    } probes[] = {
        {0, 8, 0, black},                 // outline
        {0, 8, 1, light},                 // lit top
        {0, 8, -2, dark},                 // shaded bottom
        {ODS_FOCUS, 8, 1, black},         // focus: a second, inner outline
        {ODS_SELECTED, 8, 1, dark},       // pressed: shadow on top and left only
        {ODS_SELECTED, 8, -2, GetSysColor(COLOR_BTNFACE)},
        {ODS_DISABLED, 8, 0, GetSysColor(COLOR_3DLIGHT)},  // raised edge, no outline
        {ODS_DISABLED, 8, -1, GetSysColor(COLOR_3DDKSHADOW)},
    };
    for (const auto& p : probes) {
        Canvas drawn = DrawInState(bare, p.state);
        const int x = p.x < 0 ? drawn.Width() + p.x : p.x, y = p.y < 0 ? drawn.Height() + p.y : p.y;
        EXPECT_EQ(drawn.At(x, y), p.colour) << StateName(p.state, false) << " at " << x << "," << y;
    }
}

// Records which messages get through to the button's own procedure.
struct MessageLog {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        seen.push_back(message);
        return CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    static void Install(HWND button) {
        original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    static bool Saw(UINT message) { return std::find(seen.begin(), seen.end(), message) != seen.end(); }
    inline static WNDPROC original = nullptr;
    inline static std::vector<UINT> seen;
};

TEST(BitmapButton, MouseMovesLightThemedButtonsOnlyInAnActiveApplication) {
    struct Case {
        const char* name;
        BitmapButton::Style style;
        UINT message;
        bool active, hotBefore, leftButton;
        bool passedOn, hotAfter;
    } cases[] = {
        {"themed, enters", BitmapButton::Style::Themed, WM_MOUSEMOVE, true, false, false, false, true},
        {"themed, moves on it", BitmapButton::Style::Themed, WM_MOUSEMOVE, true, true, false, true, true},
        {"themed, enters pressed", BitmapButton::Style::Themed, WM_MOUSEMOVE, true, false, true, true, false},
        {"themed, inactive, was hot", BitmapButton::Style::Themed, WM_MOUSEMOVE, false, true, false, false, false},
        {"themed, inactive", BitmapButton::Style::Themed, WM_MOUSEMOVE, false, false, false, true, false},
        {"themed, leaves", BitmapButton::Style::Themed, WM_MOUSELEAVE, true, true, false, true, false},
        {"themed, loses focus", BitmapButton::Style::Themed, WM_KILLFOCUS, true, true, false, true, false},
        {"classic", BitmapButton::Style::Classic, WM_MOUSEMOVE, true, false, false, true, false},
    };
    Host::beforeAttach = [](HWND button) {
        if (GetDlgCtrlID(button) == IDC_HELP_BUTTON) MessageLog::Install(button);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(c.style);
        BitmapButton& button = *host[IDC_HELP_BUTTON].object;
        Activate(host.Window());
        ASSERT_EQ(GetActiveWindow(), host.Window());
        if (c.hotBefore) MakeHot(button);
        ASSERT_EQ(button.IsHot(), c.hotBefore);
        if (!c.active) {
            ShowWindow(host.Window(), SW_HIDE);
            SetActiveWindow(nullptr);
            ASSERT_EQ(GetActiveWindow(), nullptr);
        }
        MessageLog::seen.clear();
        SendMessageW(button.Window(), c.message, c.leftButton ? MK_LBUTTON : 0, MAKELPARAM(4, 4));
        EXPECT_EQ(MessageLog::Saw(c.message), c.passedOn);
        EXPECT_EQ(button.IsHot(), c.hotAfter);
    }
    Host::beforeAttach = nullptr;
}

TEST(BitmapButton, QuickSecondClickIsAClickToo) {
    Host host(BitmapButton::Style::Themed);
    Activate(host.Window());
    HWND button = host[IDC_FILE].object->Window();
    const LPARAM inside = MAKELPARAM(5, 5);
    for (UINT down : {static_cast<UINT>(WM_LBUTTONDOWN), static_cast<UINT>(WM_LBUTTONDBLCLK)}) {
        SendMessageW(button, down, MK_LBUTTON, inside);
        SendMessageW(button, WM_LBUTTONUP, 0, inside);
    }
    EXPECT_EQ(host.clicks, (std::vector<int>{IDC_FILE, IDC_FILE}));
}

TEST(BitmapButton, RealButtonsAreSizedAndDrawnThroughTheirDialog) {
    for (auto style : {BitmapButton::Style::Classic, BitmapButton::Style::Themed}) {
        Host host(style);
        ASSERT_NE(host.Window(), nullptr);
        ShowWindow(host.Window(), SW_SHOW);
        UpdateWindow(host.Window());
        harness::PumpUntilIdle();
        for (int id : {IDC_NEW_ENTRY, IDC_NEW_GROUP, IDC_HELP_BUTTON, IDC_FILE}) {
            SCOPED_TRACE(id);
            auto& b = host[id];
            RECT client = {};
            GetClientRect(b.object->Window(), &client);
            EXPECT_EQ(client.right, ScalePixels(host.Window(), 21));
            EXPECT_EQ(client.bottom, ScalePixels(host.Window(), 22));
            EXPECT_GT(b.draws, 0) << "never asked to draw";
        }
        // What the button paints through WM_DRAWITEM is the picture in the button's state:
        // New entry starts disabled, so it shows its disabled image.
        for (int id : {IDC_NEW_ENTRY, IDC_FILE}) {
            SCOPED_TRACE(id);
            BitmapButton& button = *host[id].object;
            const int before = host[id].draws;
            RECT client = {};
            GetClientRect(button.Window(), &client);
            Canvas printed(client.right, client.bottom);
            SendMessageW(button.Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(printed.Dc()), PRF_CLIENT);
            EXPECT_EQ(host[id].draws, before + 1);
            const UINT state = IsWindowEnabled(button.Window()) ? 0 : ODS_DISABLED;
            EXPECT_EQ(state, id == IDC_NEW_ENTRY ? static_cast<UINT>(ODS_DISABLED) : 0u);
            EXPECT_EQ(Differences(printed, DrawInState(button, state)), 0);
            EXPECT_EQ(printed.Count(kGreen), 0);
        }
    }
}

// Live GDI objects of this process. Wine answers GetGuiResources with 0, but finds its
// objects by the low word of the handle alone, so there they are counted by asking.
DWORD GdiObjectCount() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
    DWORD count = 0;
    for (ULONG_PTR index = 1; index <= 0xffff; ++index)
        count += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    return count;
}

TEST(BitmapButton, GivesBackTheProcedureAndReleasesItsImages) {
    Host host(BitmapButton::Style::Themed);
    HWND control = GetDlgItem(host.Window(), IDC_COPY_PERSONAL);
    const LONG_PTR original = GetWindowLongPtrW(control, GWLP_WNDPROC);
    // The theme may keep its part images once drawn: let it do so before counting.
    for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED), static_cast<UINT>(ODS_DISABLED), static_cast<UINT>(ODS_FOCUS)})
        DrawInState(*host[IDC_NEW_GROUP].object, state);
    const DWORD gdiBefore = GdiObjectCount();

    HGDIOBJ normal = nullptr, disabled = nullptr;
    {
        BitmapButton button;
        ASSERT_TRUE(button.LoadImages(IDB_COPY_PERSONAL, IDB_COPY_PERSONAL_DISABLED));
        EXPECT_FALSE(button.LoadImages(IDB_COPY_PERSONAL, 4242)) << "a missing disabled image is a failure";
        ASSERT_TRUE(button.LoadImages(IDB_COPY_PERSONAL, IDB_COPY_PERSONAL_DISABLED));
        button.Attach(host.Window(), control);
        EXPECT_NE(GetWindowLongPtrW(control, GWLP_WNDPROC), original);
        normal = button.NormalImage().Bitmap();
        disabled = button.DisabledImage().Bitmap();
        EXPECT_EQ(GdiObjectCount(), gdiBefore + 2) << "the two images, nothing else";
        for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED), static_cast<UINT>(ODS_DISABLED), static_cast<UINT>(ODS_FOCUS)})
            for (int i = 0; i < 5; ++i) DrawInState(button, state);
        EXPECT_EQ(GdiObjectCount(), gdiBefore + 2) << "drawing keeps nothing";
        EXPECT_NE(GetObjectType(normal), 0u);
    }
    EXPECT_EQ(GetWindowLongPtrW(control, GWLP_WNDPROC), original);
    EXPECT_EQ(GetWindowLongPtrW(control, GWLP_USERDATA), 0);
    EXPECT_EQ(GetObjectType(normal), 0u);
    EXPECT_EQ(GetObjectType(disabled), 0u);
    EXPECT_EQ(GdiObjectCount(), gdiBefore);
}

TEST(BitmapButton, ButtonWindowMayGoFirst) {
    // The main window destroys its Copy button while the object lives on.
    Host host(BitmapButton::Style::Themed);
    BitmapButton& button = *host[IDC_FILE].object;
    DestroyWindow(button.Window());
    EXPECT_EQ(button.Window(), nullptr);
}

TEST(BitmapButton, OutlivedByItsButtonUnderATooltip) {
    // The dialogs add tooltips after attaching; those subclass the button above us.
    Host host(BitmapButton::Style::Themed);
    HWND control = GetDlgItem(host.Window(), IDC_COPY_PERSONAL);
    MessageLog::Install(control);
    {
        BitmapButton button;
        button.Attach(host.Window(), control);
        AddToolTip(CreateToolTipWindow(control), control, L"Copy");
    }
    MessageLog::seen.clear();
    SendMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(MessageLog::Saw(WM_MOUSEMOVE)) << "messages still reach the button";
    EXPECT_TRUE(DestroyWindow(control));
}

TEST(TransparentPicture, DrawsOnItsControlInBothReadingDirections) {
    TransparentPicture picture;
    ASSERT_TRUE(picture.Load(IDB_HELP));
    const HGDIOBJ first = picture.Bitmap();
    ASSERT_TRUE(picture.Load(IDB_CONVERT));
    EXPECT_EQ(GetObjectType(first), 0u) << "loading again deletes the picture held before";
    const SIZE size = picture.Size();
    ASSERT_EQ(size.cx, 64);

    const Canvas art = StretchedArtwork(IDB_CONVERT, size.cx, size.cy);
    int artPixels = 0;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) artPixels += art.At(x, y) != kGreen;
    ASSERT_GT(artPixels, 0);
    ASSERT_LT(artPixels, size.cx * size.cy) << "the test needs a picture with transparent parts";

    for (int templateId : {IDD_MAIN, IDD_MAIN_RTL}) {
        SCOPED_TRACE(templateId);
        Host host(BitmapButton::Style::Classic, templateId);
        HWND control = GetDlgItem(host.Window(), IDC_LIST);
        WINDOWINFO dialogInfo = {sizeof dialogInfo};
        GetWindowInfo(host.Window(), &dialogInfo);
        RECT controlRect = {};
        GetWindowRect(control, &controlRect);
        const int clientWidth = dialogInfo.rcClient.right - dialogInfo.rcClient.left;
        Canvas canvas(clientWidth, dialogInfo.rcClient.bottom - dialogInfo.rcClient.top);
        const bool mirrored = (GetWindowLongPtrW(host.Window(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
        EXPECT_EQ(mirrored, templateId == IDD_MAIN_RTL);
        if (mirrored) SetLayout(canvas.Dc(), LAYOUT_RTL);  // as the mirrored dialog's own context is
        picture.DrawAt(canvas.Dc(), host.Window(), control);

        // The picture covers the control's corner: its leading corner in the reading direction.
        const int top = controlRect.top - dialogInfo.rcClient.top;
        const int left = mirrored ? controlRect.right - dialogInfo.rcClient.left - size.cx
                                  : controlRect.left - dialogInfo.rcClient.left;
        EXPECT_EQ(canvas.Count(kGreen), 0);
        EXPECT_EQ(canvas.Count(kSentinel), canvas.Width() * canvas.Height() - artPixels);
        int inside = 0;
        for (int y = top; y < top + size.cy && y < canvas.Height(); ++y)
            for (int x = std::max(left, 0); x < left + size.cx && x < canvas.Width(); ++x) inside += canvas.At(x, y) != kSentinel;
        EXPECT_EQ(inside, artPixels);
    }
}

}  // namespace
