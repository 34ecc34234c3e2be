// Every dialog worked from the keyboard and read by a screen reader, in every language:
// access keys on labels and text buttons, the texts that must never carry one, the
// names of picture buttons, and focus rectangles that wait for the keyboard.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "conversion/ConvertPhonebookDlg.h"
#include "data/CPhonebook.h"
#include "dialogs/DuplicatesDlg.h"
#include "dialogs/NoticeDialog.h"
#include "dialogs/PhonebookEntryDlg.h"
#include "dialogs/PhonebookGroupDlg.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "importexport/ImportExportDlg.h"
#include "ListDialog.h"
#include "mainwindow/ListViewUIControl.h"
#include "printing/PrintListDlg.h"
#include "resources/resource.h"
#include "util/Handles.h"
#include "util/ResourceLoader.h"

namespace {

const wchar_t* const kLanguages[] = {L"en-US", L"de-DE", L"he-IL"};

enum class Kind { Entry, Notice, Group, Picker, Import, Export, Conversion, Duplicates, Print };
struct DialogKind {
    Kind kind;
    const char* name;
    int pictureButtons;
};
const DialogKind kKinds[] = {
    {Kind::Entry, "entry", 3},   {Kind::Notice, "notice", 0}, {Kind::Group, "group", 3},
    {Kind::Picker, "picker", 3}, {Kind::Import, "import", 4}, {Kind::Export, "export", 4},
    {Kind::Conversion, "conversion", 1}, {Kind::Duplicates, "duplicates", 1}, {Kind::Print, "print", 1},
};

// Runs body inside the modal loop of the dialog that has just become active (a timer
// fires once that loop runs), then ends the dialog with endId.
std::map<UINT_PTR, std::function<void(HWND)>> g_bodies;

void CALLBACK RunBody(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    auto it = g_bodies.find(id);
    if (it == g_bodies.end()) return;
    auto body = std::move(it->second);
    g_bodies.erase(it);
    body(hwnd);
}

harness::ModalDriver::Step Inside(std::function<void(HWND)> body, int endId = IDCANCEL) {
    return [body, endId](const harness::SeenWindow& seen) {
        static UINT_PTR next = 0x7100;
        const UINT_PTR id = ++next;
        g_bodies[id] = [body, endId](HWND dialog) {
            body(dialog);
            if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(endId, BN_CLICKED), 0);
        };
        SetTimer(seen.window, id, 0, RunBody);
    };
}

void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// A key as the keyboard delivers it to the focused control, through the dialog manager.
void Key(HWND dialog, UINT message, WPARAM key) {
    MSG msg = {GetFocus(), message, key, message == WM_SYSCHAR ? (1 << 29) : 0};
    if (!IsDialogMessageW(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

CMString ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> Children(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) children.push_back(child);
    return children;
}

bool IsField(HWND window) {
    if (!window) return false;
    const CMString cls = ClassOf(window);
    return cls.EqualsNoCase(L"Edit") || cls.EqualsNoCase(L"ComboBox") || cls.EqualsNoCase(L"ListBox") ||
           cls.EqualsNoCase(L"SysListView32");
}

bool IsTextStatic(HWND window) {
    if (!ClassOf(window).EqualsNoCase(L"Static")) return false;
    const LONG_PTR type = GetWindowLongPtrW(window, GWL_STYLE) & SS_TYPEMASK;
    return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP;
}

LONG_PTR ButtonType(HWND window) {
    return ClassOf(window).EqualsNoCase(L"Button") ? GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK : -1;
}

bool IsTextButton(HWND window) {
    switch (ButtonType(window)) {
        case BS_PUSHBUTTON: case BS_DEFPUSHBUTTON: case BS_CHECKBOX: case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: case BS_3STATE: case BS_AUTO3STATE:
            return true;
        default:
            return false;
    }
}

// The access key of a text: the character after a single "&" ("&&" is a plain "&");
// 0 for none, and every key it holds in *count.
wchar_t AccessKey(const CMString& text, int* count = nullptr) {
    wchar_t key = 0;
    int n = 0;
    const std::wstring& s = text.str();
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != L'&') continue;
        if (s[i + 1] == L'&') {
            ++i;
            continue;
        }
        if (n++ == 0) key = s[i + 1];
    }
    if (count) *count = n;
    return key;
}

// The dialogs over a book with two entries and a group, each opened as its opener
// opens it; the body runs inside the dialog's own modal loop.
class EveryDialog : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::MakeBook(path, L"mpb2"));
        {
            CPhonebook filler(nullptr);
            ASSERT_TRUE(filler.Database().Open(path, 0, 0));
            filler.AddFromFields(L"Anna Smith", L"0301", L"", L"", L"", L"", false, false);
            filler.AddFromFields(L"Bob Jones", L"0302", L"", L"", L"", L"", false, false);
            filler.CloseFile();
        }
        host.Route(&list);
        list.AttachToDialog(host.Window());
        model.AttachMainList(&list);
        ASSERT_TRUE(model.Database().Open(path, 0, 0));
    }
    void TearDown() override { testenv::UseLanguage(L"en-US"); }

    void Open(Kind kind, const std::function<void(HWND)>& body) {
        model.Refresh(true);
        harness::ModalDriver driver;
        switch (kind) {
            case Kind::Entry: {
                model.SelectRow(0);
                driver.Then(Inside(body));
                CPhonebookEntryDlg(model, false, false).DoModal(host.Window());
                break;
            }
            case Kind::Notice:
                driver.Then(Inside(body));
                ShowNotice(host.Window(), IDS_MISSING_CAPTION, IDS_NAME_MISSING, IDS_CLOSE,
                           LoadIconW(nullptr, IDI_WARNING));
                break;
            case Kind::Group:
            case Kind::Picker: {
                CPhonebookGroupDlg group(0);
                ASSERT_TRUE(group.Prepare(model, true));
                if (kind == Kind::Group) {
                    driver.Then(Inside(body));
                } else {
                    driver.Then(Inside([](HWND d) { Press(d, IDC_MEMBER_ADD); })).Then(Inside(body));
                }
                group.DoModal(host.Window());
                break;
            }
            case Kind::Import:
            case Kind::Export: {
                CImportExportDlg dialog;
                const int mode = kind == Kind::Import ? CImportExportDlg::kImport : CImportExportDlg::kExport;
                dialog.SetModel(&model);
                dialog.SetUtf8Available(true);
                dialog.SetCapacity(model.Database().Capacity());
                dialog.SetMode(mode);
                dialog.SetModeBitmap(kind == Kind::Import ? IDB_IMPORT : IDB_EXPORT);
                driver.Then(Inside(body));
                dialog.Run(host.Window());
                break;
            }
            case Kind::Conversion:
                // Only an answer ends the question.
                driver.Then(Inside(body, IDNO));
                CConvertPhonebookDlg(nullptr, &model).DoModal(host.Window());
                break;
            case Kind::Duplicates:
                driver.Then(Inside(body));
                CDuplicatesDlg(model).Run(host.Window());
                break;
            case Kind::Print:
                driver.Then(Inside(body));
                printing::CPrintListDlg(model.Database(), printing::PrintSource{path.str(), {}, {}}).Run(host.Window());
                break;
        }
        EXPECT_EQ(driver.PendingSteps(), 0u) << "a dialog never came up";
    }

    testenv::TempFolder folder;
    CMString path = folder.File(L"book.mpb2");
    ListDialog host;
    ListViewUIControl list{static_cast<uint16_t>(IDC_LIST)};
    CPhonebook model{host.Window()};
};

// Labels, check boxes and text buttons, in every dialog and language: each label just
// before a field and each text button but OK and Cancel has one key of its script, no
// key repeats within a dialog, and a label's key takes the focus to its field.
TEST_F(EveryDialog, LabelsAndTextButtonsHaveTheirOwnAccessKeys) {
    for (const wchar_t* language : kLanguages) {
        ASSERT_TRUE(testenv::UseLanguage(language));
        const bool hebrew = CMString(language) == L"he-IL";
        for (const auto& [kind, name, pictures] : kKinds) {
            SCOPED_TRACE(CMString(language).ToUtf8() + " " + name);
            bool ran = false;
            Open(kind, [&](HWND d) {
                ran = true;
                std::map<wchar_t, CMString> keys;
                std::vector<std::pair<HWND, wchar_t>> labels;
                for (HWND child : Children(d)) {
                    const CMString text = harness::WindowText(child);
                    const int id = GetDlgCtrlID(child);
                    int count = 0;
                    const wchar_t key = AccessKey(text, &count);
                    bool wanted = false;
                    if (IsTextStatic(child) && !text.IsEmpty()) {
                        HWND next = GetWindow(child, GW_HWNDNEXT);
                        wanted = IsField(next);
                        // A key on a text that precedes no field would lead nowhere.
                        if (!wanted) {
                            EXPECT_EQ(count, 0) << "static " << id << ": " << text.ToUtf8();
                        }
                        if (wanted && key) labels.emplace_back(next, key);
                    } else if (IsTextButton(child)) {
                        wanted = id != IDOK && id != IDCANCEL;
                    } else if (ButtonType(child) == BS_OWNERDRAW) {
                        // A picture button's text is its spoken name, not a hidden shortcut.
                        EXPECT_EQ(count, 0) << "picture button " << id << ": " << text.ToUtf8();
                    }
                    if (!wanted) continue;
                    EXPECT_EQ(count, 1) << id << ": " << text.ToUtf8();
                    if (!key) continue;
                    EXPECT_TRUE(IsCharAlphaW(key)) << id << ": " << text.ToUtf8();
                    EXPECT_EQ(key >= 0x05D0 && key <= 0x05EA, hebrew) << id << ": " << text.ToUtf8();
                    wchar_t upper[2] = {key, 0};
                    CharUpperW(upper);
                    auto [it, added] = keys.emplace(upper[0], text);
                    EXPECT_TRUE(added) << text.ToUtf8() << " shares its key with " << it->second.ToUtf8();
                }
                // Alt and the key, from a button far from the field.
                HWND away = GetDlgItem(d, IDCANCEL) ? GetDlgItem(d, IDCANCEL) : GetDlgItem(d, IDNO);
                for (const auto& [field, key] : labels) {
                    SetFocus(away);
                    Key(d, WM_SYSCHAR, key);
                    EXPECT_EQ(GetFocus(), field) << "Alt+" << CMString(std::wstring(1, key)).ToUtf8();
                }
            });
            EXPECT_TRUE(ran);
        }
    }
}

// What the import compares, what a message or summary formats and what goes into a
// file is never a control's text: only the texts below may carry an access key.
TEST(AccessKeys, OnlyControlTextsCarryThem) {
    const std::set<unsigned> controlTexts = {
        IDS_LABEL_NAME, IDS_LABEL_FAX, IDS_LABEL_ORGANIZATION, IDS_LABEL_PHONE, IDS_LABEL_EMAIL, IDS_LABEL_MAILBOX,
        IDS_PERSONAL_COPY_BOX, IDS_LABEL_GROUP_NAME, IDS_LABEL_FILE_NAME, IDS_LABEL_RECORD_DELIMITER,
        IDS_LABEL_FIELD_DELIMITER, IDS_LABEL_COLUMNS, IDS_USE_UTF8, IDS_EXPORT_HEADER, IDS_IMPORT_UPDATE, IDS_YES, IDS_NO,
        // menu items
        IDS_MENU_NEW, IDS_MENU_OPEN, IDS_MENU_SAVE_AS, IDS_MENU_IMPORT, IDS_MENU_EXPORT, IDS_ABOUT_MENU, IDS_MENU_DIRECTORY,
        IDS_MENU_DUPLICATES,
        // the directory dialog
        IDS_DIR_SERVER, IDS_DIR_BASE, IDS_DIR_FILTER, IDS_DIR_SECURITY, IDS_DIR_ANONYMOUS, IDS_DIR_LOGIN, IDS_DIR_PASSWORD,
        IDS_DIR_REMEMBER, IDS_DIR_GROUP, IDS_DIR_SYNC, IDS_DIR_TEST, IDS_DIR_IMPORT,
        IDS_SRV_KIND, IDS_DAV_URL, IDS_DAV_BOOK, IDS_DAV_USER, IDS_DAV_PASSWORD, IDS_DAV_REMEMBER,
        IDS_DAV_ADOPT, IDS_DAV_SYNC,
        // the duplicates dialog
        IDS_DUP_LIST, IDS_DUP_MERGE,
        // printing (a column's caption on paper goes without its key)
        IDS_MENU_PRINT, IDS_PRINT_SHOWN, IDS_PRINT_SELECTED_GROUPS, IDS_PRINT_BY_GROUP, IDS_PRINT_PREVIEW, IDS_PRINT_PRINT,
        IDS_PRINT_COL_NAME, IDS_PRINT_COL_FAX, IDS_PRINT_COL_ORGANIZATION, IDS_PRINT_COL_PHONE, IDS_PRINT_COL_EMAIL,
        IDS_PRINT_COL_MAILBOX, IDS_PRINT_COL_GROUPS, IDS_PREVIEW_PREVIOUS, IDS_PREVIEW_NEXT, IDS_PREVIEW_ZOOM_IN,
        IDS_PREVIEW_ZOOM_OUT,
    };
    struct Text {
        unsigned id;
        const char* name;
    };
#define TEXT_ARGS(id, kinds) {id, #id},
    const Text texts[] = {
#include "text_args.inc"
    };
#undef TEXT_ARGS
    for (const wchar_t* language : kLanguages) {
        ResourceLoader library;
        ASSERT_TRUE(library.LoadDll(testenv::LanguageLibrary(language)));
        for (const auto& t : texts) {
            if (controlTexts.count(t.id)) continue;
            const CMString text = library.LoadStringW(t.id);
            EXPECT_EQ(text.Find(L'&'), -1) << CMString(language).ToUtf8() << " " << t.name << ": " << text.ToUtf8();
        }
    }
}

VARIANT Child(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// What a screen reader asks of a window's client object; false when there is none.
bool Accessible(HWND window, CMString* name, long* state) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object))) ||
        !object)
        return false;
    BSTR text = nullptr;
    if (name && object->get_accName(Child(CHILDID_SELF), &text) == S_OK && text) *name = text;
    SysFreeString(text);
    VARIANT bits;
    VariantInit(&bits);
    if (state && SUCCEEDED(object->get_accState(Child(CHILDID_SELF), &bits)) && bits.vt == VT_I4) *state = bits.lVal;
    object->Release();
    return true;
}

// Every picture button has a tooltip and is read by the same words; the pictures the
// dialogs paint for their mode are hidden from readers.
TEST_F(EveryDialog, PictureButtonsAreReadAsTheirTooltips) {
    for (const wchar_t* language : {L"en-US", L"he-IL"}) {
        ASSERT_TRUE(testenv::UseLanguage(language));
        for (const auto& [kind, name, pictures] : kKinds) {
            SCOPED_TRACE(CMString(language).ToUtf8() + " " + name);
            int pictureButtons = 0;
            Open(kind, [&](HWND d) {
                for (HWND child : Children(d)) {
                    if (ButtonType(child) != BS_OWNERDRAW) continue;
                    ++pictureButtons;
                    const int id = GetDlgCtrlID(child);
                    CMString spoken;
                    // Without the system's accessibility, the window text it would read.
                    if (!Accessible(child, &spoken, nullptr)) spoken = harness::WindowText(child);
                    const CMString tip = harness::ToolTipOf(child);
                    EXPECT_FALSE(tip.IsEmpty()) << "picture button " << id << " has no tooltip";
                    EXPECT_EQ(spoken, tip) << "picture button " << id;
                }
                for (int picture : {IDC_IE_PICTURE, IDC_CONVERT_PICTURE}) {
                    HWND place = GetDlgItem(d, picture);
                    if (!place) continue;
                    CMString spoken;
                    long state = 0;
                    if (Accessible(place, &spoken, &state)) {
                        EXPECT_TRUE((state & STATE_SYSTEM_INVISIBLE) || !spoken.IsEmpty()) << picture;
                    } else {
                        EXPECT_FALSE(IsWindowVisible(place)) << picture;
                    }
                }
            });
            EXPECT_EQ(pictureButtons, pictures);
        }
    }
}

// A control's client area as it paints it now.
class Snapshot {
public:
    explicit Snapshot(HWND control) {
        RECT client = {};
        GetClientRect(control, &client);
        m_width = client.right;
        m_height = client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = m_width;
        info.bmiHeader.biHeight = -m_height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        MemoryDC dc(nullptr);
        dc.Select(bitmap.Get());
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT | PRF_ERASEBKGND);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits);
        m_pixels.assign(pixels, pixels + static_cast<size_t>(m_width) * m_height);
    }
    DWORD At(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width = 0, m_height = 0;
    std::vector<DWORD> m_pixels;
};

// What the dialog manager tells every control of a dialog about keyboard cues: hidden
// when a dialog starts from the mouse, shown once Tab is pressed. Windows sends these
// itself; Wine keeps no such state, so the test sends what Windows would.
void TellCues(HWND dialog, WORD action) {
    const WPARAM state = MAKEWPARAM(action, UISF_HIDEFOCUS | UISF_HIDEACCEL);
    SendMessageW(dialog, WM_UPDATEUISTATE, state, 0);
    for (HWND child : Children(dialog)) SendMessageW(child, WM_UPDATEUISTATE, state, 0);
}

// A focused picture button and the column list draw no focus rectangle after a mouse
// click, and draw one once the keyboard has brought the focus back to them.
TEST_F(EveryDialog, FocusRectanglesWaitForTheKeyboard) {
    for (int control : {IDC_IE_DOWN, IDC_IE_COLUMNS}) {
        SCOPED_TRACE(control);
        Open(Kind::Export, [&](HWND d) {
            HWND target = GetDlgItem(d, control);
            HWND columns = GetDlgItem(d, IDC_IE_COLUMNS);
            SendMessageW(columns, LB_SETCURSEL, 0, 0);
            SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_IE_COLUMNS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(columns));
            ASSERT_TRUE(IsWindowEnabled(target));
            TellCues(d, UIS_SET);

            // A click on the button, or on a column's name.
            RECT row = {};
            SendMessageW(columns, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
            const LPARAM at = control == IDC_IE_COLUMNS ? MAKELPARAM(row.left + 40, (row.top + row.bottom) / 2)
                                                        : MAKELPARAM(5, 5);
            SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageW(target, WM_LBUTTONUP, 0, at);
            harness::PumpUntilIdle(10);
            ASSERT_EQ(GetFocus(), target);
            const Snapshot clicked(target);

            // Round the dialog with Tab until the focus is back.
            for (int presses = 0; presses < 40; ++presses) {
                Key(d, WM_KEYDOWN, VK_TAB);
                if (presses == 0) TellCues(d, UIS_CLEAR);
                if (GetFocus() == target) break;
            }
            ASSERT_EQ(GetFocus(), target);
            const Snapshot tabbed(target);

            // The one difference is a rectangle's outline: the focus rectangle.
            RECT box = {clicked.Width(), clicked.Height(), -1, -1};
            std::vector<POINT> changed;
            for (int y = 0; y < clicked.Height(); ++y)
                for (int x = 0; x < clicked.Width(); ++x)
                    if (clicked.At(x, y) != tabbed.At(x, y)) {
                        changed.push_back({x, y});
                        box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x),
                               std::max<LONG>(box.bottom, y)};
                    }
            ASSERT_FALSE(changed.empty()) << "no focus rectangle after Tab, or one already after the click";
            EXPECT_GE(box.right - box.left, 4);
            EXPECT_GE(box.bottom - box.top, 4);
            for (const POINT& p : changed)
                EXPECT_TRUE(p.x == box.left || p.x == box.right || p.y == box.top || p.y == box.bottom)
                    << p.x << "," << p.y << " inside the rectangle";
        });
    }
}

}  // namespace
