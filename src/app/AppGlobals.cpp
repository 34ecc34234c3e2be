#include "app/AppGlobals.h"

#include "util/TextResourceLoader.h"

namespace app {
namespace {
HINSTANCE g_instance = nullptr;
HWND g_hidden = nullptr;
HWND g_main = nullptr;
CMString& HelpPathStore() {
    static CMString path;
    return path;
}
}  // namespace

HINSTANCE Instance() { return g_instance ? g_instance : GetModuleHandleW(nullptr); }
void SetInstance(HINSTANCE instance) { g_instance = instance; }
HWND HiddenWindow() { return g_hidden; }
void SetHiddenWindow(HWND window) { g_hidden = window; }
HWND MainDialog() { return g_main; }
void SetMainDialog(HWND window) { g_main = window; }
const CMString& HelpPath() { return HelpPathStore(); }
void SetHelpPath(const CMString& path) { HelpPathStore() = path; }

CMString Text(unsigned id) { return TextResourceLoader::LoadStringW(id); }

int DialogTemplate(int leftToRight, int rightToLeft) {
    return TextResourceLoader::IsRightToLeftLanguage() ? rightToLeft : leftToRight;
}
}  // namespace app
