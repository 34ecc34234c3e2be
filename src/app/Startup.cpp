#include "app/Startup.h"

#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "app/AppGlobals.h"
#include "app/core/CommandLine.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"
#include "util/Printer.h"
#include "util/RegistryKey.h"
#include "util/ResourceLoader.h"
#include "util/TextResourceLoader.h"

namespace {

LRESULT CALLBACK HiddenWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // Not destroyed: the window stays until the process ends.
            PostQuitMessage(0);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            if (app::MainDialog()) DestroyWindow(app::MainDialog());
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void LoadLanguage(const CommandLineOptions& options, ResourceLoader& language) {
    if (!options.printerName.IsEmpty()) {
        Printer printer;
        printer.CreateHandle(options.printerName);
        HANDLE handle = printer.GetPrinterHandle(false);
        TextResourceLoader::Initialize(handle, false);
        language.LoadDll(TextResourceLoader::GenerateTextDllFilePath(handle));
        return;
    }
    // Below the program's own folder by its full path, however long.
    CMString path = TextResourceLoader::LibraryPathFor(TextResourceLoader::GetCurrentUserUILanguage());
    TextResourceLoader::Initialize(path, false);
    language.LoadDll(path);
}

void InitCommonControlClasses() {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                  ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
}

// The UI thread's COM apartment: our own controls hand their accessibility objects to
// screen readers through COM.
class ComApartment {
public:
    ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};

}  // namespace

CMString ResolveHelpPath(const CommandLineOptions& options) {
    if (options.phonebookPath.IsEmpty()) return {};
    if (!options.helpPath.IsBlank()) return options.helpPath;
    RegistryKey key;
    if (key.OpenRegistryKey(HKEY_LOCAL_MACHINE, L"Software\\Morva\\PhoneBookAppHelpPath", KEY_READ) != ERROR_SUCCESS)
        return options.helpPath;
    return key.GetStringValue(L"HelpPath", CMString());
}

int RunApplication(HINSTANCE instance, const wchar_t* commandLine) {
    app::SetInstance(instance);
    ComApartment apartment;
    CommandLineOptions options = ParseCommandLine(CMString(commandLine ? commandLine : L""));
    app::SetHelpPath(ResolveHelpPath(options));

    ResourceLoader language;
    LoadLanguage(options, language);
    CMString className = language.LoadStringW(IDS_APP_CLASS);

    // The manifest's activation context is the process default, so the version 6
    // common controls serve every window made from here on.
    InitCommonControlClasses();

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
    wc.lpfnWndProc = HiddenWindowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PHONEBOOK), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PHONEBOOK), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className.c_str();
    RegisterClassExW(&wc);

    HWND hidden = CreateWindowExW(0, className.c_str(), className.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (!hidden) return 0;
    ShowWindow(hidden, SW_HIDE);
    UpdateWindow(hidden);
    app::SetHiddenWindow(hidden);

    MainDialogStart start;
    start.currentPath = options.phonebookPath;
    start.personalPath = options.personalPath;
    start.lockFileCommands = options.lockFileCommands;
    start.forceReadOnly = options.forceReadOnly;
    auto dialog = std::make_unique<CPhoneBookDlg>(start);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_MAIN));

    HWND main = dialog->CreateModeless(hidden, IDD_MAIN, IDD_MAIN_RTL);
    app::SetMainDialog(main);
    if (main) ShowWindow(main, SW_SHOW);

    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        if (main && accelerators && TranslateAcceleratorW(main, accelerators, &msg)) continue;
        if (main && IsDialogMessageW(main, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    // The window outlives its object; nothing may reach the freed object through it.
    if (main) SetWindowLongPtrW(main, GWLP_USERDATA, 0);
    dialog.reset();
    if (accelerators) DestroyAcceleratorTable(accelerators);
    return 0;
}
