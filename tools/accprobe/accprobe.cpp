// accprobe: prints the accessible tree of a top-level window as JSON, the
// way a screen reader reads it (Active Accessibility, from another process).
//
//   accprobe.exe [--shown] TITLE
//   accprobe.exe [--shown] --class CLASS
//
// TITLE is the window's exact title, CLASS its window class (for untitled
// windows such as popup menus); a visible window wins over a hidden one.
// --shown leaves invisible nodes out, with everything below them. Every node is an object with the fields, in this
// order: name, role, state (a list of words), value, location {x, y, w, h}
// in screen pixels, children. Names and values are null where the node has
// none. The output is UTF-8, one line.
//
// Exit codes: 0 printed; 1 no window has that title or class; 2 usage; 3 the window
// gave no accessible object.
#include <windows.h>
#include <oleacc.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Deep enough for any window of ours; guards against a tree that loops.
const int kMaxDepth = 32;
const int kMaxNodes = 5000;

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::string JsonString(const std::wstring& text)
{
    std::string out = "\"";
    for (const char c : Utf8(text)) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                char escaped[8];
                snprintf(escaped, sizeof(escaped), "\\u%04x", u);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// Role words in English whatever the system's language, so that scripts
// can rely on them; a role not listed here gets the system's own text.
std::wstring RoleText(long role)
{
    static const struct {
        long role;
        const wchar_t* text;
    } kRoles[] = {
        {ROLE_SYSTEM_CLIENT, L"client"},           {ROLE_SYSTEM_WINDOW, L"window"},
        {ROLE_SYSTEM_PUSHBUTTON, L"push button"},  {ROLE_SYSTEM_PAGETAB, L"page tab"},
        {ROLE_SYSTEM_PAGETABLIST, L"page tab list"}, {ROLE_SYSTEM_PROGRESSBAR, L"progress bar"},
        {ROLE_SYSTEM_LIST, L"list"},               {ROLE_SYSTEM_LISTITEM, L"list item"},
        {ROLE_SYSTEM_STATICTEXT, L"static text"},  {ROLE_SYSTEM_TEXT, L"editable text"},
        {ROLE_SYSTEM_RADIOBUTTON, L"radio button"}, {ROLE_SYSTEM_CHECKBUTTON, L"check box"},
        {ROLE_SYSTEM_MENUITEM, L"menu item"},      {ROLE_SYSTEM_MENUPOPUP, L"popup menu"},
        {ROLE_SYSTEM_SEPARATOR, L"separator"},     {ROLE_SYSTEM_GRAPHIC, L"graphic"},
        {ROLE_SYSTEM_LINK, L"link"},               {ROLE_SYSTEM_GROUPING, L"grouping"},
        {ROLE_SYSTEM_TITLEBAR, L"title bar"},      {ROLE_SYSTEM_SCROLLBAR, L"scroll bar"},
        {ROLE_SYSTEM_ANIMATION, L"animation"},     {ROLE_SYSTEM_PANE, L"pane"},
    };
    for (const auto& known : kRoles)
        if (known.role == role) return known.text;
    wchar_t text[128] = {};
    if (GetRoleTextW(static_cast<DWORD>(role), text, 128) > 0) return text;
    return L"role " + std::to_wstring(role);
}

std::string StateWords(long state)
{
    static const struct {
        long bit;
        const char* word;
    } kStates[] = {
        {STATE_SYSTEM_UNAVAILABLE, "unavailable"}, {STATE_SYSTEM_SELECTED, "selected"},
        {STATE_SYSTEM_FOCUSED, "focused"},         {STATE_SYSTEM_PRESSED, "pressed"},
        {STATE_SYSTEM_CHECKED, "checked"},         {STATE_SYSTEM_READONLY, "read only"},
        {STATE_SYSTEM_HOTTRACKED, "hot tracked"},  {STATE_SYSTEM_INVISIBLE, "invisible"},
        {STATE_SYSTEM_OFFSCREEN, "offscreen"},     {STATE_SYSTEM_FOCUSABLE, "focusable"},
        {STATE_SYSTEM_SELECTABLE, "selectable"},   {STATE_SYSTEM_PROTECTED, "protected"},
        {STATE_SYSTEM_BUSY, "busy"},
    };
    std::string out = "[";
    for (const auto& known : kStates)
        if (state & known.bit) {
            if (out.size() > 1) out += ",";
            out += "\"" + std::string(known.word) + "\"";
        }
    return out + "]";
}

std::string OptionalText(HRESULT hr, BSTR text)
{
    std::string out = "null";
    if (hr == S_OK && text) out = JsonString(std::wstring(text, SysStringLen(text)));
    SysFreeString(text);
    return out;
}

class Printer {
public:
    // `shownOnly`: invisible nodes are left out with everything below them.
    Printer(std::string& out, bool shownOnly) : m_out(out), m_shownOnly(shownOnly) {}

    // Node `child` of `acc` (CHILDID_SELF: `acc` itself) and everything
    // below; false when it was left out.
    bool Node(IAccessible* acc, long child, int depth, bool comma = false)
    {
        VARIANT self;
        VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = child;
        VARIANT v;
        VariantInit(&v);
        long state = 0;
        if (SUCCEEDED(acc->get_accState(self, &v)) && v.vt == VT_I4) state = v.lVal;
        VariantClear(&v);
        if (m_shownOnly && (state & STATE_SYSTEM_INVISIBLE)) return false;
        ++m_nodes;
        if (comma) m_out += ",";
        BSTR text = nullptr;
        HRESULT hr = acc->get_accName(self, &text);
        m_out += "{\"name\":" + OptionalText(hr, text);
        long role = 0;
        if (SUCCEEDED(acc->get_accRole(self, &v)) && v.vt == VT_I4) role = v.lVal;
        VariantClear(&v);
        m_out += ",\"role\":" + JsonString(RoleText(role));
        m_out += ",\"state\":" + StateWords(state);
        text = nullptr;
        hr = acc->get_accValue(self, &text);
        m_out += ",\"value\":" + OptionalText(hr, text);
        long x = 0, y = 0, w = 0, h = 0;
        acc->accLocation(&x, &y, &w, &h, self);
        m_out += ",\"location\":{\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) +
                 ",\"w\":" + std::to_string(w) + ",\"h\":" + std::to_string(h) + "}";
        m_out += ",\"children\":[";
        if (child == CHILDID_SELF && depth < kMaxDepth) Children(acc, depth);
        m_out += "]}";
        return true;
    }

private:
    void Children(IAccessible* acc, int depth)
    {
        long count = 0;
        if (FAILED(acc->get_accChildCount(&count)) || count <= 0) return;
        std::vector<VARIANT> kids(static_cast<size_t>(count));
        long got = 0;
        if (FAILED(AccessibleChildren(acc, 0, count, kids.data(), &got))) return;
        bool first = true;
        for (long i = 0; i < got; ++i) {
            VARIANT& kid = kids[static_cast<size_t>(i)];
            if (m_nodes < kMaxNodes) {
                IAccessible* part = nullptr;
                if (kid.vt == VT_DISPATCH && kid.pdispVal &&
                    SUCCEEDED(kid.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&part)))) {
                    if (Node(part, CHILDID_SELF, depth + 1, !first)) first = false;
                    part->Release();
                } else if (kid.vt == VT_I4) {
                    if (Node(acc, kid.lVal, depth + 1, !first)) first = false;
                }
            }
            VariantClear(&kid);
        }
    }

    std::string& m_out;
    bool m_shownOnly;
    int m_nodes = 0;
};

struct Search {
    const wchar_t* text;
    bool byClass = false;
    HWND visible = nullptr;
    HWND hidden = nullptr;
};

BOOL CALLBACK MatchTitle(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    wchar_t text[512] = {};
    if (search->byClass) GetClassNameW(hwnd, text, 512);
    else GetWindowTextW(hwnd, text, 512);
    if (wcscmp(text, search->text) != 0) return TRUE;
    HWND& slot = IsWindowVisible(hwnd) ? search->visible : search->hidden;
    if (!slot) slot = hwnd;
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // --shown: what is on the screen only (invisible nodes left out).
    const bool shownOnly = argc > 1 && wcscmp(argv[1], L"--shown") == 0;
    if (shownOnly) {
        --argc;
        ++argv;
    }
    const bool byClass = argc == 3 && wcscmp(argv[1], L"--class") == 0;
    if (argc != 2 && !byClass) {
        fputs("usage: accprobe.exe [--shown] TITLE | [--shown] --class CLASS\n", stderr);
        return 2;
    }
    Search search{argv[argc - 1], byClass};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    const HWND hwnd = search.visible ? search.visible : search.hidden;
    if (!hwnd) {
        fprintf(stderr, "accprobe: no window %s \"%s\"\n", byClass ? "of class" : "titled", Utf8(argv[argc - 1]).c_str());
        return 1;
    }
    CoInitialize(nullptr);
    IAccessible* acc = nullptr;
    const HRESULT hr =
        AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, reinterpret_cast<void**>(&acc));
    if (FAILED(hr) || !acc) {
        fprintf(stderr, "accprobe: the window gave no accessible object (0x%08lx)\n", static_cast<unsigned long>(hr));
        CoUninitialize();
        return 3;
    }
    std::string out;
    Printer(out, shownOnly).Node(acc, CHILDID_SELF, 0);
    acc->Release();
    CoUninitialize();
    out += "\n";
    // Bytes as they are: no text-mode translation of the UTF-8.
    _setmode(_fileno(stdout), _O_BINARY);
    fwrite(out.data(), 1, out.size(), stdout);
    fflush(stdout);
    return 0;
}
