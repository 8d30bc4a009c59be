#pragma once
// Active Accessibility for windows that draw their controls themselves. A
// window describes what it shows through an AccessTree; an AccessibleServer
// answers the window's WM_GETOBJECT with IAccessible objects over that tree
// and raises the events that tell screen readers what changed.
//
// Every node is an object of its own (a client walks the tree with
// accChild), and every node also has a negative child id, unique in its
// window while the node lives, under which its events are raised: any
// object of the window answers for those ids, the client area's included.
#include "ui/control.h"

#include <windows.h>
#include <oleacc.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace SkinEngine {

// One node as a client reads it.
struct AccessibleNode {
    long role = 0;      // ROLE_SYSTEM_*
    std::wstring name;
    std::wstring value;
    unsigned state = 0; // STATE_SYSTEM_*
    RECT screen = {};   // in screen pixels
};

class AccessTree {
public:
    // An opaque key of the tree; null is the window's client area.
    using Node = const void*;
    virtual ~AccessTree() = default;
    // Null once the window is gone: every object then answers that it is
    // no longer connected.
    virtual HWND Window() const = 0;
    // The role of the client area itself.
    virtual long RootRole() const { return ROLE_SYSTEM_CLIENT; }
    // False when `node` is not (or no longer) in the tree.
    virtual bool Describe(Node node, AccessibleNode& out) = 0;
    virtual bool Parts(Node node, std::vector<Node>& out) = 0;
    virtual Node ParentOf(Node node) = 0;
    // The node holding the keyboard focus, null when none does.
    virtual Node Focused() = 0;
    virtual long EventId(Node node) = 0;
    // False for an id that names no node of the tree now.
    virtual bool FromEventId(long id, Node& node) = 0;
};

struct AccessLink;

class AccessibleServer {
public:
    explicit AccessibleServer(AccessTree& tree);
    // Objects clients still hold answer CO_E_OBJNOTCONNECTED from now on.
    ~AccessibleServer();
    AccessibleServer(const AccessibleServer&) = delete;
    AccessibleServer& operator=(const AccessibleServer&) = delete;

    // WM_GETOBJECT: the client area's object for OBJID_CLIENT; 0 for
    // anything else, which the system answers itself.
    LRESULT Answer(WPARAM wParam, LPARAM lParam);
    // Raises `event` (EVENT_OBJECT_FOCUS, …) about `node` under its event id
    // (the client area itself under CHILDID_SELF).
    void Raise(DWORD event, AccessTree::Node node);

private:
    std::shared_ptr<AccessLink> m_link;
};

// The accessible tree of a control tree shown in a window. A control is a
// node when its description gives it a role; one without a role gives way
// to its parts, which stand in its place.
class ControlAccessTree : public AccessTree {
public:
    ControlAccessTree(std::function<HWND()> window, std::function<CSkinControl*()> root,
                      std::function<CSkinControl*()> focused);

    HWND Window() const override { return m_window(); }
    bool Describe(Node node, AccessibleNode& out) override;
    bool Parts(Node node, std::vector<Node>& out) override;
    Node ParentOf(Node node) override;
    Node Focused() override;
    long EventId(Node node) override;
    bool FromEventId(long id, Node& node) override;

    // The control's description named by its text, else its tip, else (a
    // button, a list item, …) the first shown text inside it, else its
    // `name`, with the engine's states added (invisible, unavailable,
    // focusable).
    static AccessibleDescription DescribeControl(const CSkinControl& control);
    // True when `control` is a node of this tree now.
    bool Contains(const CSkinControl* control);
    // A control that went away keeps no id.
    void Forget(const CSkinControl* control);

private:
    void Collect(const CSkinControl& control, std::vector<Node>& out) const;
    bool Reaches(const CSkinControl& from, const CSkinControl* control) const;

    std::function<HWND()> m_window;
    std::function<CSkinControl*()> m_root;
    std::function<CSkinControl*()> m_focused;
    std::map<const CSkinControl*, long> m_ids;
    std::map<long, const CSkinControl*> m_byId;
    long m_nextId = -1;
};

}  // namespace SkinEngine
