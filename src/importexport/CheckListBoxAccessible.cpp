#include "importexport/CheckListBoxAccessible.h"

#include "app/AppGlobals.h"
#include "importexport/CheckListBox.h"
#include "resources/text_ids.h"
#include "util/CMString.h"

namespace {

int ItemCount(HWND list) {
    if (!IsWindow(list)) return 0;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

VARIANT Int(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

}  // namespace

LRESULT CheckListBoxAccessible::Answer(HWND list, WPARAM wParam) {
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(list, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard))) ||
        !standard)
        return 0;
    auto* object = new CheckListBoxAccessible(list, standard);
    const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, object);
    object->Release();
    return SUCCEEDED(result) ? result : 0;
}

CheckListBoxAccessible::CheckListBoxAccessible(HWND list, IAccessible* standard) : m_list(list), m_standard(standard) {}

CheckListBoxAccessible::~CheckListBoxAccessible() { m_standard->Release(); }

int CheckListBoxAccessible::ItemOf(const VARIANT& child) const {
    if (child.vt != VT_I4 || child.lVal <= CHILDID_SELF) return -1;
    const int index = static_cast<int>(child.lVal) - 1;
    return index < ItemCount(m_list) ? index : -1;
}

HRESULT CheckListBoxAccessible::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CheckListBoxAccessible::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }

ULONG CheckListBoxAccessible::Release() {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT CheckListBoxAccessible::GetTypeInfoCount(UINT* count) { return m_standard->GetTypeInfoCount(count); }
HRESULT CheckListBoxAccessible::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    return m_standard->GetTypeInfo(index, lcid, info);
}
HRESULT CheckListBoxAccessible::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    return m_standard->GetIDsOfNames(riid, names, count, lcid, ids);
}
HRESULT CheckListBoxAccessible::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                       VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    return m_standard->Invoke(id, riid, lcid, flags, params, result, exception, argError);
}

HRESULT CheckListBoxAccessible::get_accParent(IDispatch** parent) { return m_standard->get_accParent(parent); }

HRESULT CheckListBoxAccessible::get_accChildCount(long* count) {
    if (!count) return E_POINTER;
    *count = ItemCount(m_list);
    return S_OK;
}

HRESULT CheckListBoxAccessible::get_accChild(VARIANT child, IDispatch** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    // Items are simple elements of the list, reached by their child id.
    return ItemOf(child) >= 0 ? S_FALSE : E_INVALIDARG;
}

HRESULT CheckListBoxAccessible::get_accName(VARIANT child, BSTR* name) {
    const int item = ItemOf(child);
    if (item < 0) return m_standard->get_accName(child, name);
    if (!name) return E_POINTER;
    const LRESULT length = SendMessageW(m_list, LB_GETTEXTLEN, static_cast<WPARAM>(item), 0);
    CMString text;
    if (length > 0) {
        SendMessageW(m_list, LB_GETTEXT, static_cast<WPARAM>(item),
                     reinterpret_cast<LPARAM>(text.GetBuffer(static_cast<int>(length) + 1)));
        text.ReleaseBuffer();
    }
    *name = SysAllocString(text.c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT CheckListBoxAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (ItemOf(child) < 0) return m_standard->get_accValue(child, value);
    if (!value) return E_POINTER;
    *value = nullptr;
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT CheckListBoxAccessible::get_accDescription(VARIANT child, BSTR* description) {
    return m_standard->get_accDescription(child, description);
}

HRESULT CheckListBoxAccessible::get_accRole(VARIANT child, VARIANT* role) {
    if (ItemOf(child) < 0) return m_standard->get_accRole(child, role);
    if (!role) return E_POINTER;
    // Read as a check box, a reader announces the check with the name.
    *role = Int(ROLE_SYSTEM_CHECKBUTTON);
    return S_OK;
}

HRESULT CheckListBoxAccessible::get_accState(VARIANT child, VARIANT* state) {
    const int item = ItemOf(child);
    if (item < 0) return m_standard->get_accState(child, state);
    if (!state) return E_POINTER;
    long bits = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (SendMessageW(m_list, LB_GETSEL, static_cast<WPARAM>(item), 0) > 0) bits |= STATE_SYSTEM_SELECTED;
    if (GetFocus() == m_list && SendMessageW(m_list, LB_GETCARETINDEX, 0, 0) == item) bits |= STATE_SYSTEM_FOCUSED;
    if (const CheckListBox* box = CheckListBox::Of(m_list)) {
        const int check = box->GetCheck(item);
        if (check == 1) bits |= STATE_SYSTEM_CHECKED;
        if (check == 2) bits |= STATE_SYSTEM_MIXED;
        if (!box->IsItemEnabled(item)) bits |= STATE_SYSTEM_UNAVAILABLE;
    }
    if (!IsWindowEnabled(m_list)) bits |= STATE_SYSTEM_UNAVAILABLE;
    *state = Int(bits);
    return S_OK;
}

HRESULT CheckListBoxAccessible::get_accHelp(VARIANT child, BSTR* help) { return m_standard->get_accHelp(child, help); }

HRESULT CheckListBoxAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    return m_standard->get_accHelpTopic(file, child, topic);
}

HRESULT CheckListBoxAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return m_standard->get_accKeyboardShortcut(child, shortcut);
}

HRESULT CheckListBoxAccessible::get_accFocus(VARIANT* child) {
    if (!child) return E_POINTER;
    if (GetFocus() != m_list) return m_standard->get_accFocus(child);
    const LRESULT caret = SendMessageW(m_list, LB_GETCARETINDEX, 0, 0);
    *child = Int(caret >= 0 && caret < ItemCount(m_list) ? static_cast<long>(caret) + 1 : CHILDID_SELF);
    return S_OK;
}

HRESULT CheckListBoxAccessible::get_accSelection(VARIANT* children) {
    if (!children) return E_POINTER;
    const LRESULT selected = SendMessageW(m_list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) {
        VariantInit(children);
        return S_FALSE;
    }
    *children = Int(static_cast<long>(selected) + 1);
    return S_OK;
}

HRESULT CheckListBoxAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    const int item = ItemOf(child);
    if (item < 0) return m_standard->get_accDefaultAction(child, action);
    if (!action) return E_POINTER;
    *action = nullptr;
    // What a press of the item's box would do, as a check box names it.
    const CheckListBox* box = CheckListBox::Of(m_list);
    if (!box || !box->IsItemEnabled(item) || !IsWindowEnabled(m_list)) return DISP_E_MEMBERNOTFOUND;
    *action = SysAllocString(app::Text(box->GetCheck(item) == 1 ? IDS_ACTION_UNCHECK : IDS_ACTION_CHECK).c_str());
    return *action ? S_OK : E_OUTOFMEMORY;
}

HRESULT CheckListBoxAccessible::accSelect(long flags, VARIANT child) { return m_standard->accSelect(flags, child); }

HRESULT CheckListBoxAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    const int item = ItemOf(child);
    if (item < 0) return m_standard->accLocation(left, top, width, height, child);
    if (!left || !top || !width || !height) return E_POINTER;
    RECT rect = {};
    if (SendMessageW(m_list, LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)) == LB_ERR)
        return E_FAIL;
    // Through both corners, so a mirrored list gives the screen's left edge.
    MapWindowPoints(m_list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    *left = rect.left < rect.right ? rect.left : rect.right;
    *top = rect.top;
    *width = rect.left < rect.right ? rect.right - rect.left : rect.left - rect.right;
    *height = rect.bottom - rect.top;
    return S_OK;
}

HRESULT CheckListBoxAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    return m_standard->accNavigate(direction, start, end);
}

HRESULT CheckListBoxAccessible::accHitTest(long x, long y, VARIANT* child) { return m_standard->accHitTest(x, y, child); }

HRESULT CheckListBoxAccessible::accDoDefaultAction(VARIANT child) {
    const int item = ItemOf(child);
    if (item < 0) return m_standard->accDoDefaultAction(child);
    // The list box's own action would only select the item: the box is toggled, as a
    // click on it does, and the dialog hears of it the same way.
    CheckListBox* box = CheckListBox::Of(m_list);
    if (!box || !box->IsItemEnabled(item) || !IsWindowEnabled(m_list)) return DISP_E_MEMBERNOTFOUND;
    box->Toggle(item);
    return S_OK;
}

HRESULT CheckListBoxAccessible::put_accName(VARIANT child, BSTR name) { return m_standard->put_accName(child, name); }

HRESULT CheckListBoxAccessible::put_accValue(VARIANT child, BSTR value) { return m_standard->put_accValue(child, value); }
