// The skinned windows as screen readers see them: the tree read through the
// system's own Active Accessibility calls, as a client in another program
// reads it, and the events a screen reader follows.
#include "uitest.h"

#include "gui/controls.h"
#include "ui/hostwnd.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <iterator>
#include <string>
#include <vector>

using namespace SkinEngine;

namespace {

struct Event {
    DWORD event;
    HWND hwnd;
    LONG object;
    LONG child;
};
std::vector<Event> g_events;

void CALLBACK RecordEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    g_events.push_back(Event{event, hwnd, object, child});
}

class SkinAccess : public SkinLayerTest {
protected:
    void SetUp() override
    {
        SkinLayerTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        RegisterApplicationControls(factory);
        source.AddImage(1, BmpFile(60, 20, [](int, int) { return 0x808080u; }));
    }
    void TearDown() override
    {
        wnd.Destroy();
        CoUninitialize();
    }
    HWND Open(const std::string& body)
    {
        source.AddXml(kXmlStrings, "<string/>");
        source.AddXml(kXmlSkins, "<skins><imglst name=\"btn\" src=\"1\" states=\"3\"/></skins>");
        source.AddXml(kXmlStyles, "<style/>");
        source.AddXml(kXmlObjAttr, "<objattr><imgbtn skin=\"btn\"/><myimgbtn skin=\"btn\"/></objattr>");
        EXPECT_TRUE(pools.Load(source));
        EXPECT_TRUE(doc.Load("<layer title=\"Access\" width=\"300\" height=\"200\"><body>" + body + "</body></layer>"));
        HWND hwnd = wnd.Create(doc, pools, source, nullptr, 0, factory);
        if (hwnd) SetWindowPos(hwnd, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return hwnd;
    }
    AccessibleSeen Tree() { return ReadWindowAccessible(wnd.Window()); }
    // A screen rectangle from the window's place and a client rectangle of the markup.
    RECT OnScreen(int left, int top, int right, int bottom)
    {
        RECT window;
        GetWindowRect(wnd.Window(), &window);
        return RECT{window.left + left, window.top + top, window.left + right, window.top + bottom};
    }

    SkinHostWnd wnd;
};

bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST_F(SkinAccess, EveryControlHasItsNameRoleStateValueAndPlace)
{
    ASSERT_TRUE(Open(u8"<text id=\"10\" pos=\"10,10,110,30\">Status</text>"
                     u8"<imgbtn id=\"2\" pos=\"200,10,220,30\" tip=\"关闭\"/>"
                     u8"<button id=\"3\" pos=\"10,40,90,64\">Start</button>"
                     u8"<imgbtn id=\"4\" pos=\"100,40,120,60\" tip=\"Hidden\" show=\"0\"/>"
                     u8"<progress id=\"5\" pos=\"10,70,210,80\" tip=\"Overall\"/>"
                     u8"<div pos=\"0,90,-0,150\"><check id=\"6\" pos=\"10,0,110,20\" state=\"4\">Remember</check>"
                     u8"<radio id=\"7\" pos=\"120,0,220,20\">Other</radio>"
                     u8"<text pos=\"230,0,260,20\">Port:</text><edit id=\"13\" pos=\"260,0,290,20\"/></div>"
                     u8"<edit id=\"8\" pos=\"10,120,150,140\" tip=\"Server\"/>"
                     u8"<imgbtn id=\"9\" pos=\"200,150,260,174\" name=\"btn_net\"><text pos=\"0,0,60,24\">Network</text></imgbtn>"
                     u8"<tabctrl id=\"12\" pos=\"0,180,-0,200\"><tab title=\"First\"><text>Inside</text></tab></tabctrl>"));
    wnd.FindControl(3)->SetEnabled(false);
    wnd.SetProgress(5, 40);
    wnd.SetControlText(8, L"10.0.0.1");

    const AccessibleSeen root = Tree();
    EXPECT_EQ(root.role, ROLE_SYSTEM_CLIENT);
    EXPECT_EQ(root.name, L"Access");
    RECT window;
    GetWindowRect(wnd.Window(), &window);
    EXPECT_TRUE(root.where == window);
    // The plain container gives way: its check box and radio are the client's own parts.
    ASSERT_EQ(root.parts.size(), 12u);

    struct Want {
        const wchar_t* name;
        long role;
        long state;  // of the bits below
        const wchar_t* value;
        RECT client;
    };
    const long bits = STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_CHECKED;
    const Want want[] = {
        {L"Status", ROLE_SYSTEM_STATICTEXT, 0, L"", {10, 10, 110, 30}},
        {L"关闭", ROLE_SYSTEM_PUSHBUTTON, 0, L"", {200, 10, 220, 30}},
        {L"Start", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_UNAVAILABLE, L"", {10, 40, 90, 64}},
        {L"Hidden", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_INVISIBLE, L"", {0, 0, 0, 0}},
        {L"Overall", ROLE_SYSTEM_PROGRESSBAR, 0, L"40%", {10, 70, 210, 80}},
        {L"Remember", ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_CHECKED, L"", {10, 90, 110, 110}},
        {L"Other", ROLE_SYSTEM_RADIOBUTTON, 0, L"", {120, 90, 220, 110}},
        // An edit box without a tip is read by the label before it.
        {L"Port:", ROLE_SYSTEM_STATICTEXT, 0, L"", {230, 90, 260, 110}},
        {L"Port:", ROLE_SYSTEM_TEXT, 0, L"", {260, 90, 290, 110}},
        {L"Server", ROLE_SYSTEM_TEXT, 0, L"10.0.0.1", {10, 120, 150, 140}},
        // Named by the label it holds rather than by its `name`.
        {L"Network", ROLE_SYSTEM_PUSHBUTTON, 0, L"", {200, 150, 260, 174}},
        // A container is not named after the first text it holds.
        {L"", ROLE_SYSTEM_PAGETABLIST, 0, L"", {0, 180, 300, 200}},
    };
    for (size_t i = 0; i < std::size(want); ++i) {
        const AccessibleSeen& part = root.parts[i];
        SCOPED_TRACE(testing::Message() << "part " << i);
        EXPECT_EQ(part.name, want[i].name);
        EXPECT_EQ(part.role, want[i].role);
        EXPECT_EQ(part.state & bits, want[i].state);
        EXPECT_EQ(part.value, want[i].value);
        if (part.state & STATE_SYSTEM_INVISIBLE) continue;  // a hidden control has no place
        const RECT& c = want[i].client;
        EXPECT_TRUE(part.where == OnScreen(c.left, c.top, c.right, c.bottom))
            << part.where.left << "," << part.where.top << " " << part.where.right << "," << part.where.bottom;
        RECT inside;
        EXPECT_TRUE(IntersectRect(&inside, &part.where, &window) && inside == part.where);
    }

    // The tab list's header is a page tab named by its page, then the page's text.
    const AccessibleSeen& tabs = root.parts[11];
    ASSERT_EQ(tabs.parts.size(), 2u);
    EXPECT_EQ(tabs.parts[0].role, ROLE_SYSTEM_PAGETAB);
    EXPECT_EQ(tabs.parts[0].name, L"First");
    EXPECT_TRUE(tabs.parts[0].state & STATE_SYSTEM_SELECTED);
    EXPECT_EQ(tabs.parts[1].name, L"Inside");

    // Text and values are read anew on every request.
    wnd.SetControlText(10, L"Done");
    wnd.SetProgress(5, 250);  // beyond the range: full
    const AccessibleSeen again = Tree();
    ASSERT_EQ(again.parts.size(), 12u);
    EXPECT_EQ(again.parts[0].name, L"Done");
    EXPECT_EQ(again.parts[4].value, L"100%");
}

TEST_F(SkinAccess, ListRowsAreItemsHoldingTheirTextsAndButtons)
{
    ASSERT_TRUE(Open("<mylistbox id=\"20\" pos=\"0,0,-0,40\" itemheight=\"40\" tip=\"Results\"/>"));
    auto* list = wnd.FindAs<CMyListBox>(20);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->AppendRow(std::wstring(L"<item><text pos=\"0,0,100,20\">Processor</text>"
                                           L"<text pos=\"100,0,200,20\">2 x CPU</text>"
                                           L"<myimgbtn id=\"3\" pos=\"250,5,270,25\" tip=\"Repair\"/></item>"),
                              pools, factory),
              0);
    ASSERT_EQ(list->AppendRow(std::wstring(L"<item><img pos=\"0,0,20,20\" skin=\"skin_check_warning\"/>"
                                           L"<text pos=\"20,0,100,20\">Memory</text>"
                                           L"<text pos=\"100,0,200,20\" show=\"0\">hidden note</text>"
                                           L"<myimgbtn id=\"4\" pos=\"250,5,270,25\" name=\"skin_item_watch\""
                                           L" skin=\"skin_item_watch\"/></item>"),
                              pools, factory),
              1);
    list->LayoutRows(wnd.Context());

    const AccessibleSeen root = Tree();
    const AccessibleSeen* seen = FindSeen(root, L"Results");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->role, ROLE_SYSTEM_LIST);
    ASSERT_EQ(seen->parts.size(), 2u);
    const AccessibleSeen& first = seen->parts[0];
    EXPECT_EQ(first.role, ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(first.name, L"Processor");
    EXPECT_TRUE(first.where == OnScreen(0, 0, 300, 40));
    EXPECT_FALSE(first.state & STATE_SYSTEM_OFFSCREEN);
    ASSERT_EQ(first.parts.size(), 3u);
    EXPECT_EQ(first.parts[1].name, L"2 x CPU");
    EXPECT_EQ(first.parts[1].role, ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(first.parts[2].name, L"Repair");
    EXPECT_EQ(first.parts[2].role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_TRUE(first.parts[2].where == OnScreen(250, 5, 270, 25));
    const AccessibleSeen& second = seen->parts[1];
    EXPECT_EQ(second.name, L"Memory");
    EXPECT_TRUE(second.where == OnScreen(0, 40, 300, 80));
    EXPECT_TRUE(second.state & STATE_SYSTEM_OFFSCREEN) << "below the box's bottom";
    ASSERT_EQ(second.parts.size(), 4u);
    EXPECT_TRUE(second.parts[2].state & STATE_SYSTEM_INVISIBLE);
    // Pictures without text or tip read as what they show: the row's state
    // icon as the state, its button as the words on its image.
    EXPECT_EQ(second.parts[0].role, ROLE_SYSTEM_GRAPHIC);
    EXPECT_EQ(second.parts[0].name, L"警告");
    EXPECT_EQ(second.parts[3].name, L"查看详情");

    // A client may hold a row's object while the rows are replaced: it then
    // answers that the row is gone, and the list has no items.
    IAccessible* client = ClientObject(wnd.Window());
    ASSERT_TRUE(client);
    VARIANT one;
    VariantInit(&one);
    one.vt = VT_I4;
    one.lVal = 1;
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(client->get_accChild(one, &dispatch), S_OK);
    IAccessible* listObject = nullptr;
    ASSERT_TRUE(SUCCEEDED(dispatch->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&listObject))));
    dispatch->Release();
    dispatch = nullptr;
    ASSERT_EQ(listObject->get_accChild(one, &dispatch), S_OK);
    IAccessible* row = nullptr;
    ASSERT_TRUE(SUCCEEDED(dispatch->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&row))));
    dispatch->Release();
    list->DeleteAllRows();
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    EXPECT_TRUE(FAILED(row->get_accName(self, &name)));
    SysFreeString(name);
    long count = -1;
    EXPECT_EQ(listObject->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    row->Release();
    listObject->Release();
    client->Release();
}

TEST_F(SkinAccess, EventsNameTheControlThatChanged)
{
    HWND hwnd = Open("<text id=\"10\" pos=\"10,10,110,30\">Status</text>"
                     "<button id=\"3\" pos=\"10,40,90,64\">Start</button>"
                     "<progress id=\"5\" pos=\"10,70,210,80\" tip=\"Overall\"/>"
                     "<edit id=\"8\" pos=\"10,120,150,140\" tip=\"Server\"/>");
    ASSERT_TRUE(hwnd);
    g_events.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, RecordEvent,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_TRUE(hook);
    // What the event's child id names, read the way a screen reader does.
    auto awaitAndRead = [&](DWORD event) {
        AccessibleSeen seen;
        const bool arrived = PumpUntil([&] {
            for (const Event& e : g_events)
                if (e.event == event && e.hwnd == hwnd) return true;
            return false;
        });
        EXPECT_TRUE(arrived) << "event " << std::hex << event << " never arrived";
        for (const Event& e : g_events)
            if (e.event == event && e.hwnd == hwnd) {
                EXPECT_EQ(e.object, OBJID_CLIENT);
                IAccessible* acc = nullptr;
                VARIANT child;
                VariantInit(&child);
                if (SUCCEEDED(AccessibleObjectFromEvent(hwnd, e.object, e.child, &acc, &child)) && acc) {
                    seen = ReadAccessible(acc, child.vt == VT_I4 ? child.lVal : CHILDID_SELF);
                    acc->Release();
                }
                break;
            }
        g_events.clear();
        return seen;
    };

    wnd.SetProgress(5, 70);
    AccessibleSeen seen = awaitAndRead(EVENT_OBJECT_VALUECHANGE);
    EXPECT_EQ(seen.role, ROLE_SYSTEM_PROGRESSBAR);
    EXPECT_EQ(seen.value, L"70%");

    wnd.SetControlText(10, L"Checking");
    seen = awaitAndRead(EVENT_OBJECT_NAMECHANGE);
    EXPECT_EQ(seen.role, ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(seen.name, L"Checking");

    // An edit box's text is its value.
    wnd.SetControlText(8, L"10.0.0.2");
    seen = awaitAndRead(EVENT_OBJECT_VALUECHANGE);
    EXPECT_EQ(seen.role, ROLE_SYSTEM_TEXT);
    EXPECT_EQ(seen.value, L"10.0.0.2");

    wnd.SetFocusTo(wnd.FindControl(3));
    seen = awaitAndRead(EVENT_OBJECT_FOCUS);
    EXPECT_EQ(seen.role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(seen.name, L"Start");

    UnhookWinEvent(hook);
}
