#pragma once
// A small picture button: an owner-drawn push button that shows its normal or disabled
// image, drawn through the visual-styles theme when themes are on (with a hover look)
// and with a classic frame otherwise.
//
// Use from a dialog that owns the object:
//   construction  LoadImages(normal, disabled)   (before or after Attach)
//   optional      SetMetrics(...) for non-default sizes, before Attach
//   WM_INITDIALOG Attach(dialog, GetDlgItem(dialog, id))
//   WM_DRAWITEM   Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) for that id
#include <windows.h>

#include <initializer_list>

#include "controls/FocusCues.h"
#include "controls/TransparentPicture.h"
#include "util/Handles.h"

class BitmapButton {
public:
    // Button size in pixels at 96 DPI, image box in dialog units of the parent.
    struct Metrics {
        int buttonWidth;
        int buttonHeight;
        int imageBoxWidth;
        int imageBoxHeight;
    };
    static constexpr Metrics kDefaultMetrics = {21, 22, 14, 13};       // main window, group dialogs, help
    static constexpr Metrics kImportExportMetrics = {24, 25, 14, 13};  // import/export dialog
    static constexpr Metrics kEntryStepMetrics = {24, 23, 14, 11};     // entry dialog, previous and next

    // How the frame is drawn: as the system has it, or one way regardless (for tests).
    enum class Style { System, Classic, Themed };

    explicit BitmapButton(Style style = Style::System);
    ~BitmapButton();
    BitmapButton(const BitmapButton&) = delete;
    BitmapButton& operator=(const BitmapButton&) = delete;

    // The normal image and, when disabledId is not 0, the disabled one; true when every
    // requested image loaded.
    bool LoadImages(UINT normalId, UINT disabledId);
    void SetMetrics(const Metrics& metrics) { m_metrics = metrics; }
    void SetMetrics(int buttonWidth, int buttonHeight, int imageBoxWidth, int imageBoxHeight) {
        m_metrics = {buttonWidth, buttonHeight, imageBoxWidth, imageBoxHeight};
    }
    // Takes over the button control of parent: sizes it and tracks the mouse over it.
    void Attach(HWND parent, HWND button);
    void Draw(const DRAWITEMSTRUCT& item);

    HWND Window() const { return m_button; }
    // WM_INITDIALOG for a dialog with several picture buttons of the default size: each
    // loads its images and attaches to its control.
    struct Setup {
        BitmapButton* button;
        int control;
        UINT normalId;
        UINT disabledId;
    };
    static void AttachAll(HWND dialog, std::initializer_list<Setup> buttons);
    // WM_DRAWITEM for a dialog with several picture buttons: the one the item is for
    // draws it; false when none of them is.
    static bool DrawOwned(const DRAWITEMSTRUCT& item, std::initializer_list<BitmapButton*> buttons);
    bool IsThemed() const { return m_themed; }
    bool IsHot() const { return m_hot; }
    // Where the image goes inside the button (unpressed), in pixels; valid after Attach.
    RECT ImageRect() const { return {m_imageX, m_imageY, m_imageX + m_imageWidth, m_imageY + m_imageHeight}; }
    const TransparentPicture& NormalImage() const { return m_normal; }
    const TransparentPicture& DisabledImage() const { return m_disabled; }

private:
    static LRESULT CALLBACK HoverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnHoverMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CallPrevious(UINT message, WPARAM wParam, LPARAM lParam);
    void Invalidate();
    void Detach();
    bool UseTheme(bool wanted);
    void DrawFace(HDC dc, const RECT& rect, UINT state);
    void DrawThemedFace(HDC dc, const RECT& rect, UINT state);
    static void DrawClassicFace(HDC dc, RECT rect, UINT state);

    Style m_style;
    TransparentPicture m_normal;
    TransparentPicture m_disabled;
    HWND m_button = nullptr;
    HWND m_parent = nullptr;
    Metrics m_metrics = kDefaultMetrics;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_imageX = 0;
    int m_imageY = 0;
    bool m_hot = false;
    // The focus rectangle waits for the keyboard, as on the system's own buttons.
    FocusCues m_focusCues;
    bool m_themed = false;
    UniqueModule m_themeLibrary;
    WNDPROC m_previousProc = nullptr;
};
