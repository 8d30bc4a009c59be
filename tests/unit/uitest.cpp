#include "uitest.h"

#include "ui/menu.h"

#include <cstdio>
#include <cstring>

using namespace SkinEngine;

bool PumpUntil(const std::function<bool()>& done, DWORD deadlineMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= deadlineMs) return false;
        // Woken early by anything arriving (a timer, a paint).
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {

// Time enough for the slowest machine to show a popup.
const DWORD kPopupDeadlineMs = 10000;
PopupScript* g_script = nullptr;

void CALLBACK RunPopupScript(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND popup = FindWindowW(kSkinMenuClass, nullptr);
    if (!popup || !IsWindowVisible(popup)) {
        if (GetTickCount() - g_script->started > kPopupDeadlineMs) {  // never shown: end the test, do not hang
            ADD_FAILURE() << "menu popup not found";
            KillTimer(nullptr, timer);
        }
        return;
    }
    KillTimer(nullptr, timer);
    GetWindowRect(popup, &g_script->popupRect);
    if (g_script->inspect) g_script->inspect(popup);
    for (const MSG& m : g_script->steps) PostMessageW(m.hwnd ? m.hwnd : popup, m.message, m.wParam, m.lParam);
    if (g_script->activate) SetForegroundWindow(g_script->activate);
}

}  // namespace

void StartPopupScript(PopupScript& script)
{
    g_script = &script;
    script.started = GetTickCount();
    SetTimer(nullptr, 0, 20, RunPopupScript);
}

MSG Step(UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG m = {};
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    return m;
}

bool PressKey(SkinHostWnd& wnd, UINT vk, std::initializer_list<int> held, UINT message)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE down[256] = {};
    memcpy(down, keys, sizeof(down));
    for (int k : {VK_SHIFT, VK_CONTROL, VK_MENU}) down[k] = 0;
    for (int k : held) down[k] = 0x80;
    SetKeyboardState(down);
    MSG msg = {};
    msg.hwnd = GetFocus() ? GetFocus() : wnd.Window();
    msg.message = message;
    msg.wParam = vk;
    const bool used = wnd.TranslateKey(msg);
    SetKeyboardState(keys);
    return used;
}

std::string SolidSkin(const char* name, const char* colour, const char* extra)
{
    return std::string("<gradation name=\"") + name + "\" from=\"" + colour + "\" to=\"" + colour + "\" " + extra +
           "/>";
}

std::string SolidSkin(const char* name, uint32_t rgb)
{
    char colour[8];
    snprintf(colour, sizeof(colour), "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return SolidSkin(name, colour);
}

void SkinLayerTest::Build(const std::string& layerXml, const std::string& skins, const std::string& objattr,
                          const std::string& styles)
{
    source.AddXml(kXmlStrings, "<string/>");
    source.AddXml(kXmlSkins, "<skins>" + skins + "</skins>");
    source.AddXml(kXmlStyles, styles);
    source.AddXml(kXmlObjAttr, objattr);
    ASSERT_TRUE(pools.Load(source));
    ASSERT_TRUE(doc.Load(layerXml));
    ASSERT_TRUE(layer.Build(doc, pools, source, factory));
}

void SkinLayerTest::Render()
{
    dib = layer.Render(RGB(255, 255, 255));
    ASSERT_TRUE(dib);
}

int SkinLayerTest::InkIn(const SkinRect& r) const
{
    int ink = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) ink += Px(x, y) != 0xFFFFFFu;
    return ink;
}

void RecordingHost::MoveTo(CSkinControl& root, POINT pt)
{
    CSkinControl* now = root.HitTest(pt);
    if (now == hover) return;
    if (hover) hover->OnMouseLeave(*this);
    hover = now;
    if (hover) hover->OnMouseEnter(*this);
}

void RecordingHost::Click(CSkinControl& root, POINT pt)
{
    MoveTo(root, pt);
    CSkinControl* pressed = hover;
    if (!pressed) return;
    pressed->OnMouseDown(pt, *this);
    pressed->OnMouseUp(pt, *this);
}

static std::wstring TakeBstr(BSTR text)
{
    std::wstring out = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return out;
}

AccessibleSeen ReadAccessible(IAccessible* acc, long child, int depth)
{
    AccessibleSeen seen;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = child;
    BSTR text = nullptr;
    if (SUCCEEDED(acc->get_accName(self, &text))) seen.name = TakeBstr(text);
    text = nullptr;
    if (SUCCEEDED(acc->get_accValue(self, &text))) seen.value = TakeBstr(text);
    VARIANT v;
    VariantInit(&v);
    if (SUCCEEDED(acc->get_accRole(self, &v)) && v.vt == VT_I4) seen.role = v.lVal;
    VariantInit(&v);
    if (SUCCEEDED(acc->get_accState(self, &v)) && v.vt == VT_I4) seen.state = v.lVal;
    long x = 0, y = 0, w = 0, h = 0;
    if (SUCCEEDED(acc->accLocation(&x, &y, &w, &h, self))) seen.where = RECT{x, y, x + w, y + h};
    long count = 0;
    if (child != CHILDID_SELF || depth > 8 || FAILED(acc->get_accChildCount(&count)) || count <= 0) return seen;
    std::vector<VARIANT> kids(static_cast<size_t>(count));
    long got = 0;
    if (FAILED(AccessibleChildren(acc, 0, count, kids.data(), &got))) return seen;
    for (long i = 0; i < got; ++i) {
        VARIANT& kid = kids[static_cast<size_t>(i)];
        IAccessible* part = nullptr;
        if (kid.vt == VT_DISPATCH && kid.pdispVal &&
            SUCCEEDED(kid.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&part)))) {
            seen.parts.push_back(ReadAccessible(part, CHILDID_SELF, depth + 1));
            part->Release();
        } else if (kid.vt == VT_I4) {
            seen.parts.push_back(ReadAccessible(acc, kid.lVal, depth + 1));
        }
        VariantClear(&kid);
    }
    return seen;
}


IAccessible* ClientObject(HWND hwnd)
{
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&acc))))
        return nullptr;
    return acc;
}

AccessibleSeen ReadWindowAccessible(HWND hwnd)
{
    IAccessible* acc = ClientObject(hwnd);
    EXPECT_TRUE(acc) << "WM_GETOBJECT gave no object";
    if (!acc) return AccessibleSeen{};
    AccessibleSeen root = ReadAccessible(acc, CHILDID_SELF);
    acc->Release();
    return root;
}

const AccessibleSeen* FindSeen(const AccessibleSeen& node, const std::wstring& name, long role)
{
    if (node.name == name && (!role || node.role == role)) return &node;
    for (const AccessibleSeen& part : node.parts)
        if (const AccessibleSeen* found = FindSeen(part, name, role)) return found;
    return nullptr;
}
