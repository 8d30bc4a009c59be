// The program's own window documents and images, read from the built
// PylonixClient.exe: they hang together, and the main window's controls
// keep their places at the window's own size and maximised.
#include "testutil.h"

#include "gui/controls.h"
#include "pages/checkrow.h"
#include "ui/layer.h"

#include <gtest/gtest.h>

#include "ui/animate.h"
#include "ui/menu.h"
#include "ui/tabctrl.h"

#include <tinyxml.h>

#include <algorithm>
#include <climits>
#include <set>

using namespace SkinEngine;

namespace {

const unsigned kWindowDocs[] = {105, 107, 108, 115};

// Every image id the skins draw from.
std::set<unsigned> ImageIds()
{
    std::set<unsigned> ids = {1, 3, 4, 5, 6, 7, 8, 51, 52, 53, 54, 80, 81, 82, 83, 84,
                              103, 104, 105, 106, 107, 108, 110, 200, 201, 202, 203, 204};
    for (unsigned id = 546; id <= 567; ++id) ids.insert(id);
    return ids;
}

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
    auto* ids = reinterpret_cast<std::multiset<unsigned>*>(param);
    if (IS_INTRESOURCE(name)) ids->insert(static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// The skin-valued attributes of a document's elements, with the element's
// tag, recursively.
void CollectSkinRefs(const TiXmlElement& element, std::vector<std::pair<std::string, std::string>>& refs)
{
    static const char* const kSkinAttrs[] = {"skin",    "ncskin",  "bgskin",   "posskin", "tabskin",  "iconskin",
                                             "skinsep", "itemskin", "sbskin",  "checkskin", "sepskin"};
    for (const char* attr : kSkinAttrs)
        if (const char* value = element.Attribute(attr)) refs.emplace_back(element.Value(), value);
    for (const TiXmlElement* child = element.FirstChildElement(); child; child = child->NextSiblingElement())
        CollectSkinRefs(*child, refs);
}

class ProgramResources : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gdiplus.ok());
        ASSERT_NE(ProgramModule(), nullptr) << "PylonixClient.exe is built beside the tests";
        source = std::make_unique<ResourceSource>(ProgramModule());
        ASSERT_TRUE(pools.Load(*source));
        RegisterApplicationControls(SkinControls());
    }

    std::string Xml(unsigned id)
    {
        std::string text;
        EXPECT_TRUE(source->Xml(id, text)) << "XML " << id;
        return text;
    }

    CGdiplusSession gdiplus;
    std::unique_ptr<ResourceSource> source;
    ResourcePools pools;
};

TEST_F(ProgramResources, TheManifestAsksForAdministratorAndNamesTodaysSystems)
{
    HRSRC found = FindResourceW(ProgramModule(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, found);
    const char* data = static_cast<const char*>(LockResource(LoadResource(ProgramModule(), found)));
    const std::string manifest(data, SizeofResource(ProgramModule(), found));
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    // Windows 8.1 and Windows 10/11: without them the version call answers 6.2.
    EXPECT_NE(std::string::npos, manifest.find("{1f676c76-80e1-4239-95bb-83d0f6d0da78}"));
    EXPECT_NE(std::string::npos, manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"));
}

TEST_F(ProgramResources, EveryDocumentParsesWithTheTitleAndSizeOfItsWindow)
{
    ASSERT_NE(pools.strings.Find(0), nullptr);
    EXPECT_EQ(*pools.strings.Find(0), u8"宋体");
    EXPECT_EQ(pools.strings.Size(), 4u);

    struct Expected {
        unsigned id;
        const char* title;
        int width, height, resize;
    };
    for (const Expected& e : {Expected{105, "PylonixClient", 800, 500, 1}, Expected{107, u8"系统设置", 400, 250, 1},
                              Expected{108, u8"关闭提示", 300, 200, 0}, Expected{115, "", 300, 200, 0}}) {
        LayerDocument doc;
        ASSERT_TRUE(doc.Load(Xml(e.id))) << e.id;
        EXPECT_EQ(doc.Header().title, e.title) << e.id;
        EXPECT_EQ(doc.Header().width, e.width) << e.id;
        EXPECT_EQ(doc.Header().height, e.height) << e.id;
        EXPECT_EQ(doc.Header().resize, e.resize) << e.id;
    }

    SkinMenu menu;
    ASSERT_TRUE(LoadSkinMenu(*source, 602, menu));
    ASSERT_EQ(menu.items.size(), 5u);
    EXPECT_EQ(menu.items[0].id, 1);
    EXPECT_TRUE(menu.items[0].disabled);
    EXPECT_EQ(menu.items[1].text, L"更新日志");
    EXPECT_TRUE(menu.items[2].separator);
    EXPECT_EQ(menu.items[3].id, 3);
    EXPECT_TRUE(menu.items[4].separator);
    EXPECT_EQ(menu.itemHeight, 26);
    EXPECT_EQ(menu.bgSkin, "skin_menubg");
}

TEST_F(ProgramResources, EverySkinALayoutARowOrTheMenuNamesExistsForItsWindow)
{
    std::vector<std::pair<unsigned, std::string>> names;  // window document, skin
    for (unsigned id : kWindowDocs) {
        TiXmlDocument doc;
        ASSERT_TRUE(ParseXml(Xml(id), doc));
        std::vector<std::pair<std::string, std::string>> refs;
        CollectSkinRefs(*doc.RootElement(), refs);
        for (auto& ref : refs) names.emplace_back(id, ref.second);
    }
    // Rows are built in the main window; the menu and the object defaults
    // serve every window.
    for (int state = 1; state <= 3; ++state) {
        names.emplace_back(105, StateIconSkin(state));
        if (*ActionSkin(state)) names.emplace_back(105, ActionSkin(state));
    }
    for (const char* row : {"prog_bg", "prog_bar", "skin_split_horz", "skin_item_bg"}) names.emplace_back(105, row);
    TiXmlDocument other;
    for (unsigned id : {602u, 104u}) {
        ASSERT_TRUE(ParseXml(Xml(id), other));
        std::vector<std::pair<std::string, std::string>> refs;
        CollectSkinRefs(*other.RootElement(), refs);
        for (unsigned window : kWindowDocs)
            for (auto& ref : refs) names.emplace_back(window, ref.second);
    }
    for (auto& name : names) {
        LayerDocument doc;
        ASSERT_TRUE(doc.Load(Xml(name.first)));
        EXPECT_NE(pools.skins.Find(name.second, doc.Header().title), nullptr)
            << "skin " << name.second << " for XML " << name.first;
    }
    // Only the main window's own skins are owned, and by its title; and the
    // pool holds no skin that none of them names.
    std::set<std::string> named;
    for (auto& name : names) named.insert(name.second);
    EXPECT_EQ(pools.skins.Entries().size(), 49u);
    for (const SkinEntry& entry : pools.skins.Entries()) {
        if (entry.owned) EXPECT_EQ(entry.owner, "PylonixClient") << entry.name;
        EXPECT_TRUE(named.count(entry.name)) << "skin " << entry.name << " is named by nothing";
    }
}

TEST_F(ProgramResources, EveryImageIsStoredOnceAndDecodesAndEverySkinDrawsOneOfItsOwn)
{
    std::multiset<unsigned> stored;
    EnumResourceNamesW(ProgramModule(), kImageResourceType, CountName, reinterpret_cast<LONG_PTR>(&stored));
    const std::set<unsigned> expected = ImageIds();
    ASSERT_EQ(expected.size(), 50u);
    EXPECT_EQ(stored, std::multiset<unsigned>(expected.begin(), expected.end()));

    std::set<unsigned> drawn;
    for (const SkinEntry& entry : pools.skins.Entries()) {
        const std::string* src = FindAttr(entry.attrs, "src");
        ASSERT_TRUE(src) << entry.name << " draws no image";
        const ImageRef ref = ParseImageRef(*src);
        EXPECT_EQ(ref.type, "IMGX") << entry.name;
        EXPECT_TRUE(expected.count(ref.id)) << entry.name << " draws from image " << ref.id;
        EXPECT_TRUE(drawn.insert(ref.id).second) << entry.name << " shares image " << ref.id;
    }
    // Each skin draws an image of its own; the network page's illustration
    // (559) stays with the pool's images though no window shows it.
    std::set<unsigned> shown = expected;
    shown.erase(559);
    EXPECT_EQ(drawn, shown);

    for (unsigned id : expected) {
        std::string bytes;
        ASSERT_TRUE(source->Image(id, bytes)) << id;
        auto image = CSkinImage::FromBytes(bytes.data(), bytes.size());
        ASSERT_TRUE(image) << "image " << id << " does not decode";
        if (id == 8) {
            EXPECT_EQ(bytes.compare(0, 2, "BM"), 0);
            EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24) << "a 24-bit bitmap";
        } else if (id == 560) {
            EXPECT_EQ(bytes.compare(0, 6, "GIF89a"), 0);
        } else {
            EXPECT_EQ(bytes.compare(1, 3, "PNG"), 0) << id;
        }
    }
    CSkinGif spinner;
    std::string gif;
    ASSERT_TRUE(source->Image(560, gif));
    ASSERT_TRUE(spinner.LoadImageBytes(gif));
    EXPECT_GT(spinner.FrameCount(), 1);
}

// Control id, the tag that builds it, and its name where it has one.
struct ControlSpec {
    int id;
    const char* tag;
    const char* name;
};

TEST_F(ProgramResources, EveryControlTheWindowsDriveIsInItsLayoutWithItsTag)
{
    const std::vector<std::pair<unsigned, std::vector<ControlSpec>>> tables = {
        {105,
         {{1, "imgbtn", "btn_close"}, {2, "imgbtn", "btn_maximize"}, {3, "imgbtn", "btn_restore"},
          {4, "imgbtn", "btn_minimize"}, {5, "imgbtn", "btn_setup"}, {6, "imgbtn", "btn_check_client"},
          {7, "imgbtn", "btn_check_net"}, {8, "imgbtn", "btn_clear_data"}, {103, "tabctrl", ""},
          {113, "tab", ""}, {114, "tab", ""}, {115, "tab", ""}, {9, "imgbtn", "btn_now_check"},
          {11, "imgbtn", "btn_once_repair"}, {13, "imgbtn", "btn_once_repair_stop"}, {1130, "progress", ""},
          {1131, "mylistbox", "checkitem"}, {1132, "img", ""}, {1133, "text", ""}, {1134, "text", ""},
          {1135, "text", ""}, {1136, "text", ""}, {1137, "text", ""}, {1138, "img", ""}, {1139, "div", ""},
          {1140, "animateimg", "checking"}, {10, "imgbtn", "btn_now_check"}, {1141, "text", ""},
          {1142, "text", ""}, {1143, "text", ""}, {1144, "text", ""}, {1145, "text", ""}, {1146, "text", ""},
          {1147, "text", ""}, {1148, "text", ""}, {1149, "text", ""}, {11411, "text", ""}, {11412, "text", ""},
          {14, "splitcol", ""}, {16, "progress", ""}, {18, "text", ""}, {20, "imgbtn", "skin_btn_retest"},
          {17, "progress", ""}, {19, "text", ""}, {21, "imgbtn", "skin_btn_uploadtest"},
          {15, "imgbtn", "btn_now_check"}, {22, "realwnd", ""}, {23, "imgbtn", "btn_now_check"}}},
        {107,
         {{1, "imgbtn", ""}, {1110, "richedit", ""}, {1111, "richedit", ""}, {1112, "richedit", ""},
          {1113, "imgbtn", ""}, {1114, "imgbtn", ""}, {1120, "text", ""}}},
        {108,
         {{1, "imgbtn", ""}, {1001, "radio", ""}, {1002, "radio", ""}, {1004, "imgbtn", ""},
          {1005, "imgbtn", ""}}},
        {115,
         {{1, "imgbtn", ""}, {101, "text", ""}, {102, "text", ""}, {103, "imgbtn", "btn_ok"},
          {104, "imgbtn", "btn_cancle"}}},
    };
    for (const auto& table : tables) {
        LayerDocument doc;
        ASSERT_TRUE(doc.Load(Xml(table.first)));
        CSkinLayer layer;
        ASSERT_TRUE(layer.Build(doc, pools, *source));
        for (const ControlSpec& spec : table.second) {
            CSkinControl* control = layer.FindById(spec.id);
            ASSERT_NE(control, nullptr) << "control " << spec.id << " of XML " << table.first;
            EXPECT_EQ(control->Tag(), spec.tag) << spec.id;
            if (*spec.name) EXPECT_EQ(control->Name(), spec.name) << spec.id;
        }
    }
    CSkinLayer main;
    LayerDocument doc;
    ASSERT_TRUE(doc.Load(Xml(105)));
    ASSERT_TRUE(main.Build(doc, pools, *source));
    auto* tabs = dynamic_cast<CSkinTabCtrl*>(main.FindById(103));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->PageCount(), 3);
    EXPECT_EQ(main.FindById(3)->Visible(), false) << "restore starts hidden";

    // The close prompt chooses "关闭程序" on opening.
    ASSERT_TRUE(doc.Load(Xml(108)));
    CSkinLayer prompt;
    ASSERT_TRUE(prompt.Build(doc, pools, *source));
    EXPECT_FALSE(prompt.FindById(1001)->Checked());
    EXPECT_TRUE(prompt.FindById(1002)->Checked());
}

// --- The main window's places ---

bool Overlap(const SkinRect& a, const SkinRect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool IsAncestor(const CSkinControl* above, const CSkinControl* below)
{
    for (const CSkinControl* c = below->Parent(); c; c = c->Parent())
        if (c == above) return true;
    return false;
}

// What a person sees as one thing: texts with text, images, buttons, bars,
// the list, the browser slot. Containers only hold them.
void VisibleParts(CSkinControl& control, std::vector<CSkinControl*>& out)
{
    if (!control.Visible()) return;
    static const std::set<std::string> kParts = {"img", "imgbtn", "progress", "animateimg", "mylistbox", "realwnd"};
    if (kParts.count(control.Tag()) || (control.Tag() == "text" && !control.Text().empty()))
        out.push_back(&control);
    for (const auto& child : control.Children()) VisibleParts(*child, out);
}

std::string Describe(const CSkinControl& c)
{
    char text[160];
    snprintf(text, sizeof text, "%s id %d [%d,%d,%d,%d]", c.Tag().c_str(), c.Id(), c.Rect().left, c.Rect().top,
             c.Rect().right, c.Rect().bottom);
    return text;
}

class MainWindowPlaces : public ProgramResources, public testing::WithParamInterface<SIZE> {
protected:
    void SetUp() override
    {
        ProgramResources::SetUp();
        ASSERT_TRUE(doc.Load(Xml(105)));
        ASSERT_TRUE(layer.Build(doc, pools, *source));
        // The connection texts as long as they come.
        for (int id : {1147, 1149, 11412})
            layer.FindById(id)->SetText(L"222.222.222.222 中华人民共和国北京市 中国电信 ADSL 宽带连接");
    }

    void Show(std::initializer_list<int> ids, bool shown)
    {
        for (int id : ids) {
            ASSERT_NE(layer.FindById(id), nullptr) << id;
            layer.FindById(id)->SetVisible(shown);
        }
    }

    // Lays the window out at the parameter's size and checks that nothing
    // seen at the same time overlaps, and that everything stays inside the
    // window and inside its container.
    void ExpectClearLayout(const char* state)
    {
        const SIZE size = GetParam();
        layer.Layout(size.cx, size.cy);
        std::vector<CSkinControl*> parts;
        VisibleParts(*layer.Body(), parts);
        ASSERT_GT(parts.size(), 10u);
        const SkinRect window{0, 0, size.cx, size.cy};
        for (size_t i = 0; i < parts.size(); ++i) {
            const SkinRect& r = parts[i]->Rect();
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= window.right && r.bottom <= window.bottom &&
                        r.Width() > 0 && r.Height() > 0)
                << state << ": " << Describe(*parts[i]) << " leaves the window";
            const SkinRect& p = parts[i]->Parent()->Rect();
            EXPECT_TRUE(r.left >= p.left && r.top >= p.top && r.right <= p.right && r.bottom <= p.bottom)
                << state << ": " << Describe(*parts[i]) << " leaves its container " << Describe(*parts[i]->Parent());
            for (size_t j = i + 1; j < parts.size(); ++j) {
                if (IsAncestor(parts[i], parts[j]) || IsAncestor(parts[j], parts[i])) continue;
                EXPECT_FALSE(Overlap(r, parts[j]->Rect()))
                    << state << ": " << Describe(*parts[i]) << " overlaps " << Describe(*parts[j]);
            }
        }
    }

    CSkinTabCtrl& Tabs() { return *dynamic_cast<CSkinTabCtrl*>(layer.FindById(103)); }

    LayerDocument doc;
    CSkinLayer layer;
};

TEST_P(MainWindowPlaces, NothingSeenTogetherOverlapsOnAnyPageInAnyState)
{
    ExpectClearLayout("check page, introduction");

    // A check running, then ended (11 takes the place of 13).
    Show({9, 1132, 1133, 1134, 1135, 1136, 1137}, false);
    Show({1130, 1140, 13, 1139, 1138, 1131}, true);
    ExpectClearLayout("check page, running");
    Show({13, 1140}, false);
    Show({11}, true);
    ExpectClearLayout("check page, ended");

    ASSERT_TRUE(Tabs().SelectTab(1));
    ExpectClearLayout("network page, introduction");
    Show({10, 1141, 1142, 1143, 1144, 1145, 1146, 1147, 1148, 1149, 11411, 11412}, false);
    Show({14}, true);
    ExpectClearLayout("network page, speed test");
    Show({22}, true);
    ExpectClearLayout("network page, speed test and browser pane");

    ASSERT_TRUE(Tabs().SelectTab(2));
    ExpectClearLayout("cache page");

    // The caption buttons: maximised, restore stands where maximise stood.
    Show({2}, false);
    Show({3}, true);
    ExpectClearLayout("cache page, maximised");
    EXPECT_EQ(layer.FindById(3)->Rect(), (SkinRect{GetParam().cx - 1 - 83, 1, GetParam().cx - 1 - 45, 29}));
}

TEST_P(MainWindowPlaces, TheCheckListScrollsToItsLastRow)
{
    Show({1131}, true);
    layer.Layout(GetParam().cx, GetParam().cy);
    auto* list = dynamic_cast<CMyListBox*>(layer.FindById(1131));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ItemHeight(), 60);
    for (int row = 0; row < 9; ++row) {
        CheckItem item;
        item.kind = row == 8 ? kItemComponents : kItemCpu;
        item.title = "第三方组件检测";
        item.state = row == 8 ? kStateFailed : kStatePassed;
        item.row = row;
        ASSERT_EQ(list->AppendRow(BuildCheckRowMarkup(item), pools), row);
    }
    // The window hides a repairable row's progress bar, which shares the
    // button's place, until a repair runs.
    ASSERT_TRUE(list->ShowInRow(8, RowControlId(kItemComponents, kSlotProgressBar), false));
    list->ScrollTo(INT_MAX);
    list->LayoutRows(layer.Context());
    const SkinRect view = list->Rect();
    const int rows = 9 * 60;
    if (rows > view.Height()) {
        EXPECT_EQ(list->ScrollOffset(), rows - view.Height());
        EXPECT_EQ(list->RowRect(8).bottom, view.bottom) << "the last row ends at the list's bottom edge";
    } else {
        EXPECT_EQ(list->ScrollOffset(), 0) << "nine rows fit: nothing to scroll";
    }
    // The last row's repair button is inside the view, where a click finds it.
    CSkinControl* button = list->FindInRow(8, RowControlId(kItemComponents, kSlotActionButton));
    ASSERT_NE(button, nullptr);
    const SkinRect& r = button->Rect();
    EXPECT_TRUE(r.top >= view.top && r.bottom <= view.bottom && r.right <= view.right) << Describe(*button);
    EXPECT_EQ(list->HitTest(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}), button);
}

INSTANTIATE_TEST_SUITE_P(AtItsOwnSizeAndMaximised, MainWindowPlaces,
                         testing::Values(SIZE{800, 500}, SIZE{1280, 800}),
                         [](const testing::TestParamInfo<SIZE>& info) {
                             return std::to_string(info.param.cx) + "x" + std::to_string(info.param.cy);
                         });

}  // namespace
