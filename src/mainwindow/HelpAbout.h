#pragma once
// Help topics opened through the shell, and the about box.
#include <windows.h>

#include "controls/Dialog.h"
#include "util/CMString.h"
#include "util/Handles.h"

// Help topic names, one per dialog state.
namespace helptopic {
inline constexpr wchar_t kMainDialog[] = L"wi_fax_phonebook";
inline constexpr wchar_t kNewEntry[] = L"db_new_book_entry";
inline constexpr wchar_t kEntry[] = L"db_book_entry";
inline constexpr wchar_t kNewGroup[] = L"db_new_book_group";
inline constexpr wchar_t kGroup[] = L"db_book_group";
inline constexpr wchar_t kAddToGroup[] = L"db_add_to_group";
inline constexpr wchar_t kConvert[] = L"db_convert_book";
inline constexpr wchar_t kImport[] = L"db_import_book";
inline constexpr wchar_t kExport[] = L"db_export_book";
inline constexpr wchar_t kDirectory[] = L"db_directory";
inline constexpr wchar_t kDuplicates[] = L"db_duplicates";
inline constexpr wchar_t kPrint[] = L"db_print";
inline constexpr wchar_t kAddressBook[] = L"db_address_book";
}  // namespace helptopic

// Opens the topic through the process-wide help path (app::HelpPath). Help on the web
// without internet access shows a message instead; an empty path opens nothing. A local
// page in a language folder opens in the program's own language where it is installed.
void ShowHelpTopic(const CMString& topic);

// The version line's fixed part, after the language's "Version" text and a blank: the
// version in every shipped file's version resource and the build's date.
extern const wchar_t kProgramVersion[];

// The about box: program name, version and legal notices in white over a picture. Its
// fonts (Arial, sized for the screen's DPI) and picture live as long as the box.
class CAboutDlg : public Dialog {
public:
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    BOOL OnInitDialog(HWND hwnd);
    void FitNameToText(HWND hwnd);
    void ApplyFonts(HWND hwnd);
    HFONT FontFor(int controlId, HDC dc);
    void ReleaseState();

    UniqueGdiObject m_picture;
    UniqueGdiObject m_titleFont;
    UniqueGdiObject m_versionFont;
    UniqueGdiObject m_otherFont;
};

// Runs the about box modally over owner; 1 when it ends, -1 when it cannot be made.
INT_PTR ShowAboutBox(HWND owner);
