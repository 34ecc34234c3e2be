#pragma once
// A list box with a check box in front of every item: an owner-drawn list box
// (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS) whose procedure this object takes over.
// The space key and a click on the box toggle the item; each toggle is reported to
// the parent as WM_COMMAND with the list's id and kCheckChanged.
//
// Use from the dialog that owns the object:
//   WM_INITDIALOG Attach(GetDlgItem(dialog, id))
//   WM_DRAWITEM   DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) for that id
#include <windows.h>

#include "controls/FocusCues.h"
#include "controls/TransparentPicture.h"
#include "util/CMString.h"
#include "util/Handles.h"

class CheckListBox {
public:
    static constexpr WORD kCheckChanged = 0x28;

    // How the boxes are drawn: as the system has it, or one way regardless (for tests).
    enum class Style { System, Classic, Themed };

    explicit CheckListBox(Style style = Style::System);
    ~CheckListBox();
    CheckListBox(const CheckListBox&) = delete;
    CheckListBox& operator=(const CheckListBox&) = delete;

    void Attach(HWND list);
    HWND Window() const { return m_list; }
    // The object serving this list window, or none.
    static CheckListBox* Of(HWND list);

    // Appends an item; its index, or LB_ERR.
    int AddItem(const CMString& text, bool checked);
    // Removes an item and puts it back at another place with its check and enabled state.
    bool MoveItem(int from, int to);

    void SetCheck(int index, int state);
    int GetCheck(int index) const;
    void SetItemEnabled(int index, bool enabled);
    bool IsItemEnabled(int index) const;
    // Checks or unchecks an enabled item and tells the parent.
    void Toggle(int index);

    void DrawItem(const DRAWITEMSTRUCT& item);

    // Width of a check box frame in pixels; a click up to two pixels past it toggles.
    int BoxWidth() const;

private:
    static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CallPrevious(UINT message, WPARAM wParam, LPARAM lParam);
    void OnButtonDown(LPARAM lParam);
    void Detach();
    void UseTheme(bool wanted);
    void MeasureText();
    void InvalidateBox(int index);
    // The item's state bits; an item never set has none: unchecked and enabled.
    LRESULT ItemBits(int index) const;
    void SetItemBits(int index, LRESULT bits);
    // Draws the box with the theme; false when the theme cannot draw it.
    bool DrawThemedBox(HDC dc, const RECT& item, int state, int& boxWidth);
    void DrawClassicBox(HDC dc, const RECT& item, int state);

    Style m_style;
    HWND m_list = nullptr;
    WNDPROC m_previousProc = nullptr;
    int m_textHeight = 0;
    // Where the text area starts in a row; set by the last drawing.
    int m_textOffset = 0;
    bool m_themed = false;
    // The focused item's rectangle waits for the keyboard, as in the system's lists.
    FocusCues m_focusCues;
    UniqueModule m_themeLibrary;
    // Three frames side by side: unchecked, checked, greyed.
    TransparentPicture m_boxes;
};
