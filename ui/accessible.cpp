#include "ui/accessible.h"

#include "base/log.h"

#include <algorithm>

namespace SkinEngine {

// What the objects of one window share with the server: cleared when the
// server goes, so that an object a client still holds answers "gone".
struct AccessLink {
    AccessTree* tree = nullptr;
};

namespace {

using Node = AccessTree::Node;

BSTR ToBstr(const std::wstring& text)
{
    return text.empty() ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// One node of the tree as a COM object. Objects are made afresh for every
// request; two for the same node answer alike.
class AccNode final : public IAccessible {
public:
    AccNode(std::shared_ptr<AccessLink> link, Node node) : m_link(std::move(link)), m_node(node) {}

    // --- IUnknown ---
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_refs);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // --- IDispatch: clients use the interface's own methods ---
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // --- IAccessible ---
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        AccessTree* tree = Tree();
        if (!tree) return CO_E_OBJNOTCONNECTED;
        if (!m_node) return AccessibleObjectFromWindow(tree->Window(), OBJID_WINDOW, IID_IDispatch,
                                                      reinterpret_cast<void**>(parent));
        AccessibleNode self;
        if (!tree->Describe(m_node, self)) return CO_E_OBJNOTCONNECTED;
        *parent = new AccNode(m_link, tree->ParentOf(m_node));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        std::vector<Node> parts;
        const HRESULT hr = PartsOf(m_node, parts);
        if (SUCCEEDED(hr)) *count = static_cast<long>(parts.size());
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        Node node;
        const HRESULT hr = Resolve(child, node);
        if (FAILED(hr)) return hr;
        if (IsSelf(child)) return E_INVALIDARG;
        *out = new AccNode(m_link, node);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return Text(child, name, &AccessibleNode::name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return Text(child, value, &AccessibleNode::value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override { return NoText(child, out); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override { return NoText(child, out); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override
    {
        if (file) *file = nullptr;
        if (topic) *topic = -1;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override { return NoText(child, out); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override { return NoText(child, out); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!role) return E_POINTER;
        VariantInit(role);
        AccessibleNode info;
        const HRESULT hr = Info(child, info);
        if (FAILED(hr)) return hr;
        role->vt = VT_I4;
        role->lVal = info.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        if (!state) return E_POINTER;
        VariantInit(state);
        AccessibleNode info;
        const HRESULT hr = Info(child, info);
        if (FAILED(hr)) return hr;
        state->vt = VT_I4;
        state->lVal = static_cast<long>(info.state);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* width, long* height, VARIANT child) override
    {
        if (!x || !y || !width || !height) return E_POINTER;
        *x = *y = *width = *height = 0;
        AccessibleNode info;
        const HRESULT hr = Info(child, info);
        if (FAILED(hr)) return hr;
        *x = info.screen.left;
        *y = info.screen.top;
        *width = info.screen.right - info.screen.left;
        *height = info.screen.bottom - info.screen.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        if (!focus) return E_POINTER;
        VariantInit(focus);
        AccessTree* tree = Tree();
        if (!tree) return CO_E_OBJNOTCONNECTED;
        if (Node node = tree->Focused()) {
            focus->vt = VT_DISPATCH;
            focus->pdispVal = new AccNode(m_link, node);
            return S_OK;
        }
        if (!m_node && GetFocus() == tree->Window()) {
            focus->vt = VT_I4;
            focus->lVal = CHILDID_SELF;
            return S_OK;
        }
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        if (!selection) return E_POINTER;
        VariantInit(selection);
        return Tree() ? S_FALSE : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        if (!end) return E_POINTER;
        VariantInit(end);
        Node from;
        HRESULT hr = Resolve(start, from);
        if (FAILED(hr)) return hr;
        AccessTree* tree = Tree();
        std::vector<Node> list;
        size_t at = 0;
        switch (direction) {
        case NAVDIR_FIRSTCHILD:
        case NAVDIR_LASTCHILD:
            hr = PartsOf(from, list);
            if (FAILED(hr) || list.empty()) return FAILED(hr) ? hr : S_FALSE;
            at = direction == NAVDIR_FIRSTCHILD ? 0 : list.size() - 1;
            break;
        case NAVDIR_NEXT:
        case NAVDIR_PREVIOUS: {
            if (!from) return S_FALSE;  // the client area's siblings are the window's
            hr = PartsOf(tree->ParentOf(from), list);
            if (FAILED(hr)) return hr;
            const auto it = std::find(list.begin(), list.end(), from);
            if (it == list.end()) return S_FALSE;
            const size_t index = static_cast<size_t>(it - list.begin());
            if (direction == NAVDIR_NEXT ? index + 1 >= list.size() : index == 0) return S_FALSE;
            at = direction == NAVDIR_NEXT ? index + 1 : index - 1;
            break;
        }
        default: return DISP_E_MEMBERNOTFOUND;  // spatial directions
        }
        end->vt = VT_DISPATCH;
        end->pdispVal = new AccNode(m_link, list[at]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override
    {
        if (!out) return E_POINTER;
        VariantInit(out);
        AccessTree* tree = Tree();
        if (!tree) return CO_E_OBJNOTCONNECTED;
        AccessibleNode info;
        if (!tree->Describe(m_node, info)) return CO_E_OBJNOTCONNECTED;
        const POINT pt = {x, y};
        if (!PtInRect(&info.screen, pt)) return S_FALSE;
        // The deepest shown node under the point; later parts lie on top.
        Node found = m_node;
        for (bool deeper = true; deeper;) {
            deeper = false;
            std::vector<Node> parts;
            tree->Parts(found, parts);
            for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
                AccessibleNode part;
                if (tree->Describe(*it, part) && !(part.state & STATE_SYSTEM_INVISIBLE) &&
                    PtInRect(&part.screen, pt)) {
                    found = *it;
                    deeper = true;
                    break;
                }
            }
        }
        if (found == m_node) {
            out->vt = VT_I4;
            out->lVal = CHILDID_SELF;
        } else {
            out->vt = VT_DISPATCH;
            out->pdispVal = new AccNode(m_link, found);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    AccessTree* Tree() const { return m_link ? m_link->tree : nullptr; }

    static bool IsSelf(const VARIANT& child) { return child.vt == VT_EMPTY || (child.vt == VT_I4 && child.lVal == CHILDID_SELF); }

    // The node a child id names: this one, its part (1 on), or any node of
    // the window by its event id (negative).
    HRESULT Resolve(const VARIANT& child, Node& node) const
    {
        AccessTree* tree = Tree();
        if (!tree || !tree->Window()) return CO_E_OBJNOTCONNECTED;
        if (IsSelf(child)) {
            node = m_node;
            return S_OK;
        }
        if (child.vt != VT_I4) return E_INVALIDARG;
        if (child.lVal < 0) return tree->FromEventId(child.lVal, node) ? S_OK : E_INVALIDARG;
        std::vector<Node> parts;
        if (!tree->Parts(m_node, parts)) return CO_E_OBJNOTCONNECTED;
        if (static_cast<size_t>(child.lVal) > parts.size()) return E_INVALIDARG;
        node = parts[static_cast<size_t>(child.lVal) - 1];
        return S_OK;
    }

    HRESULT PartsOf(Node node, std::vector<Node>& parts) const
    {
        AccessTree* tree = Tree();
        if (!tree || !tree->Window()) return CO_E_OBJNOTCONNECTED;
        return tree->Parts(node, parts) ? S_OK : CO_E_OBJNOTCONNECTED;
    }

    HRESULT Info(const VARIANT& child, AccessibleNode& info) const
    {
        Node node;
        const HRESULT hr = Resolve(child, node);
        if (FAILED(hr)) return hr;
        return Tree()->Describe(node, info) ? S_OK : (IsSelf(child) ? CO_E_OBJNOTCONNECTED : E_INVALIDARG);
    }

    HRESULT Text(const VARIANT& child, BSTR* out, std::wstring AccessibleNode::*field) const
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        AccessibleNode info;
        const HRESULT hr = Info(child, info);
        if (FAILED(hr)) return hr;
        *out = ToBstr(info.*field);
        return *out ? S_OK : S_FALSE;
    }

    HRESULT NoText(const VARIANT& child, BSTR* out) const
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        AccessibleNode info;
        const HRESULT hr = Info(child, info);
        return FAILED(hr) ? hr : S_FALSE;
    }

    LONG m_refs = 1;
    std::shared_ptr<AccessLink> m_link;
    Node m_node;
};

}  // namespace

// --- AccessibleServer ---

AccessibleServer::AccessibleServer(AccessTree& tree) : m_link(std::make_shared<AccessLink>())
{
    m_link->tree = &tree;
}

AccessibleServer::~AccessibleServer()
{
    m_link->tree = nullptr;
}

LRESULT AccessibleServer::Answer(WPARAM wParam, LPARAM lParam)
{
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !m_link->tree || !m_link->tree->Window()) return 0;
    auto* root = new AccNode(m_link, nullptr);
    const LRESULT result = LresultFromObject(IID_IAccessible, wParam, root);
    root->Release();
    return result;
}

void AccessibleServer::Raise(DWORD event, AccessTree::Node node)
{
    AccessTree* tree = m_link->tree;
    const HWND window = tree ? tree->Window() : nullptr;
    if (!window) return;
    NotifyWinEvent(event, window, OBJID_CLIENT, node ? tree->EventId(node) : CHILDID_SELF);
}

// --- ControlAccessTree ---

ControlAccessTree::ControlAccessTree(std::function<HWND()> window, std::function<CSkinControl*()> root,
                                     std::function<CSkinControl*()> focused)
    : m_window(std::move(window)), m_root(std::move(root)), m_focused(std::move(focused))
{
}

namespace {

// The text a person reads on a control without one of its own (an image
// button with a label inside).
const std::wstring* FirstShownText(const CSkinControl& control)
{
    for (const auto& child : control.Children()) {
        if (!child->Visible()) continue;
        if (!child->Text().empty()) return &child->Text();
        if (const std::wstring* found = FirstShownText(*child)) return found;
    }
    return nullptr;
}

// Roles a person names by the label on them; containers (a list, a page
// tab list) are not named after whatever text they happen to hold first.
bool NamedByLabel(long role)
{
    return role == ROLE_SYSTEM_PUSHBUTTON || role == ROLE_SYSTEM_CHECKBUTTON || role == ROLE_SYSTEM_RADIOBUTTON ||
           role == ROLE_SYSTEM_LINK || role == ROLE_SYSTEM_LISTITEM || role == ROLE_SYSTEM_PAGETAB;
}

// The text of the label standing just before `control` among its siblings:
// an edit box without a name of its own is read by it, as the system reads
// its own edit controls.
const std::wstring* LabelBefore(const CSkinControl& control)
{
    const CSkinControl* parent = control.Parent();
    if (!parent) return nullptr;
    const std::wstring* label = nullptr;
    for (const auto& sibling : parent->Children()) {
        if (sibling.get() == &control) return label;
        label = sibling->Text().empty() ? nullptr : &sibling->Text();
    }
    return nullptr;
}

// What `control` says of itself, and what a control keeping it as an item
// (a list, a tree) says of it.
void DescribeWithItems(const CSkinControl& control, AccessibleDescription& out)
{
    control.DescribeForAccess(out);
    for (const CSkinControl* above = control.Parent(); above; above = above->Parent())
        if (above->DescribeItem(control, out)) return;
}

long RoleOf(const CSkinControl& control)
{
    AccessibleDescription d;
    DescribeWithItems(control, d);
    return d.role;
}

}  // namespace

AccessibleDescription ControlAccessTree::DescribeControl(const CSkinControl& control)
{
    AccessibleDescription out;
    out.name = !control.Text().empty() ? control.Text() : control.Tip();
    DescribeWithItems(control, out);
    if (out.name.empty() && NamedByLabel(out.role))
        if (const std::wstring* inner = FirstShownText(control)) out.name = *inner;
    if (out.name.empty() && out.role == ROLE_SYSTEM_TEXT)
        if (const std::wstring* label = LabelBefore(control)) out.name = *label;
    if (out.name.empty()) out.name = Utf8ToWide(control.Name());
    if (!control.IsShown()) out.state |= STATE_SYSTEM_INVISIBLE;
    if (!control.Enabled()) out.state |= STATE_SYSTEM_UNAVAILABLE;
    if (control.Focusable()) out.state |= STATE_SYSTEM_FOCUSABLE;
    return out;
}

void ControlAccessTree::Collect(const CSkinControl& control, std::vector<Node>& out) const
{
    std::vector<CSkinControl*> parts;
    control.AccessibleParts(parts);
    for (CSkinControl* part : parts) {
        if (!part) continue;
        if (RoleOf(*part)) out.push_back(part);
        else Collect(*part, out);
    }
}

bool ControlAccessTree::Reaches(const CSkinControl& from, const CSkinControl* control) const
{
    std::vector<CSkinControl*> parts;
    from.AccessibleParts(parts);
    for (CSkinControl* part : parts)
        if (part && (part == control || Reaches(*part, control))) return true;
    return false;
}

bool ControlAccessTree::Contains(const CSkinControl* control)
{
    CSkinControl* root = m_root();
    return control && root && Reaches(*root, control) && RoleOf(*control) != 0;
}

bool ControlAccessTree::Describe(Node node, AccessibleNode& out)
{
    const HWND window = m_window();
    if (!window) return false;
    RECT rect = {};
    if (!node) {
        out.role = RootRole();
        const int length = GetWindowTextLengthW(window);
        std::wstring title(static_cast<size_t>(std::max(0, length)) + 1, L'\0');
        title.resize(static_cast<size_t>(std::max(0, GetWindowTextW(window, &title[0], length + 1))));
        out.name = title;
        out.value.clear();
        out.state = STATE_SYSTEM_FOCUSABLE;
        if (!IsWindowVisible(window)) out.state |= STATE_SYSTEM_INVISIBLE;
        if (!m_focused() && GetFocus() == window) out.state |= STATE_SYSTEM_FOCUSED;
        GetClientRect(window, &rect);
    } else {
        const auto* control = static_cast<const CSkinControl*>(node);
        if (!Contains(control)) return false;
        const AccessibleDescription d = DescribeControl(*control);
        out.role = d.role;
        out.name = d.name;
        out.value = d.value;
        out.state = d.state;
        if (control == m_focused()) out.state |= STATE_SYSTEM_FOCUSED;
        rect = ToRect<RECT>(control->Rect());
    }
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    out.screen = rect;
    return true;
}

bool ControlAccessTree::Parts(Node node, std::vector<Node>& out)
{
    out.clear();
    CSkinControl* root = m_root();
    if (!root || !m_window()) return false;
    const auto* control = node ? static_cast<const CSkinControl*>(node) : root;
    if (node && !Contains(control)) return false;
    Collect(*control, out);
    return true;
}

Node ControlAccessTree::ParentOf(Node node)
{
    const CSkinControl* root = m_root();
    if (!node) return nullptr;
    for (const CSkinControl* c = static_cast<const CSkinControl*>(node)->Parent(); c && c != root; c = c->Parent())
        if (RoleOf(*c)) return c;
    return nullptr;
}

Node ControlAccessTree::Focused()
{
    CSkinControl* focused = m_focused();
    return Contains(focused) ? focused : nullptr;
}

long ControlAccessTree::EventId(Node node)
{
    const auto* control = static_cast<const CSkinControl*>(node);
    auto found = m_ids.find(control);
    if (found != m_ids.end()) return found->second;
    const long id = m_nextId--;
    m_ids[control] = id;
    m_byId[id] = control;
    return id;
}

bool ControlAccessTree::FromEventId(long id, Node& node)
{
    auto found = m_byId.find(id);
    if (found == m_byId.end() || !Contains(found->second)) return false;
    node = found->second;
    return true;
}

void ControlAccessTree::Forget(const CSkinControl* control)
{
    auto found = m_ids.find(control);
    if (found == m_ids.end()) return;
    m_byId.erase(found->second);
    m_ids.erase(found);
}

}  // namespace SkinEngine
