// The check-row list box and its image button: rows built from the markup
// of real check records, rendered and changed the way the row operations do.
#include "uitest.h"

#include "gui/controls.h"
#include "pages/checkrow.h"
#include "ui/layer.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>

using namespace SkinEngine;

namespace {

const uint32_t kWhitePx = 0xFFFFFF;
const uint32_t kEvenBg = 0xF0F0F0, kOddBg = 0xE0E0FF, kSplit = 0x808080;
const uint32_t kRight = 0x00C000, kWrong = 0xC00000, kWarning = 0xC0C000;
const uint32_t kRepair = 0x102030, kRepairHover = 0x405060, kWatch = 0x0000C0;



CheckItem Item(int kind, int state, const char* description)
{
    CheckItem item;
    item.kind = kind;
    item.state = state;
    item.title = "Title";
    item.description = description;
    return item;
}

class SkinAppControls : public SkinLayerTest {
protected:
    void SetUp() override
    {
        SkinLayerTest::SetUp();
        RegisterApplicationControls(factory);
        // Two 76-pixel button states side by side.
        source.AddImage(1, BmpFile(152, 20, [](int x, int) { return x < 76 ? kRepair : kRepairHover; }));
        source.AddImage(2, BmpFile(152, 20, [](int, int) { return kWatch; }));
        // The box ends at 150, half-way through the third row.
        Build("<layer title=\"PylonixClient\" width=\"400\" height=\"200\"><body>"
              "<mylistbox id=\"1131\" pos=\"0,0,-0,150\" itemheight=\"60\" critembg=\"F0F0F0\""
              " critembg2=\"E0E0FF\"/></body></layer>",
              SolidSkin("skin_check_right", kRight) + SolidSkin("skin_check_wrong", kWrong) +
                  SolidSkin("skin_check_warning", kWarning) + SolidSkin("skin_split_horz", kSplit) +
                  "<imglst name=\"skin_item_repair\" src=\"1\" subwidth=\"76\"/>"
                  "<imglst name=\"skin_item_watch\" src=\"2\" subwidth=\"76\"/>");
        list = dynamic_cast<CMyListBox*>(layer.FindById(1131));
        ASSERT_TRUE(list);
    }

    CMyListBox* list = nullptr;
};

TEST_F(SkinAppControls, CheckRowsStackWithAlternatingBackgroundsAndTheirControls)
{
    EXPECT_EQ(list->ItemHeight(), 60);
    EXPECT_EQ(list->AppendRow(BuildCheckRowMarkup(Item(kItemCpu, kStatePassed, "2 x CPU")), pools, factory), 0);
    EXPECT_EQ(list->AppendRow(BuildCheckRowMarkup(Item(kItemConnectivity, kStateFailed,
                                                       " Server will be able to connect")),
                              pools, factory),
              1);
    EXPECT_EQ(list->AppendRow(BuildCheckRowMarkup(Item(kItemPatch, kStateWarning, "KB")), pools, factory), 2);
    EXPECT_EQ(list->AppendRow(std::string("<item><text>unclosed</item>"), pools, factory), -1);
    ASSERT_EQ(list->RowCount(), 3);
    EXPECT_TRUE(TiXmlBase::IsWhiteSpaceCondensed());  // layouts still parse condensed

    // The title, description and optimal texts follow the state icon; blanks stay.
    ASSERT_GE(list->Row(1)->Children().size(), 3u);
    EXPECT_EQ(list->Row(1)->Children()[2]->Text(), L" Server will be able to connect");
    EXPECT_EQ(list->FindInRow(0, RowControlId(kItemCpu, kSlotActionButton)), nullptr);
    EXPECT_EQ(list->FindInRow(3, RowControlId(kItemPatch, kSlotStateIcon)), nullptr);
    EXPECT_NE(list->FindInRow(1, RowControlId(kItemConnectivity, kSlotProgressBar)), nullptr);
    EXPECT_EQ(layer.FindById(RowControlId(kItemConnectivity, kSlotActionButton)), nullptr);

    Render();
    EXPECT_EQ(Px(5, 5), kEvenBg);
    EXPECT_EQ(Px(5, 65), kOddBg);
    EXPECT_EQ(Px(5, 125), kEvenBg);
    EXPECT_EQ(Px(5, 149), kEvenBg);
    EXPECT_EQ(Px(5, 150), kWhitePx);  // cut at the box's edge
    EXPECT_EQ(Px(5, 58), kSplit);
    EXPECT_EQ(Px(5, 118), kSplit);
    EXPECT_EQ(Px(20, 20), kRight);
    EXPECT_EQ(Px(20, 80), kWrong);
    EXPECT_EQ(Px(20, 140), kWarning);
    // Buttons at "-150,10" in their rows, one 76 x 20 state wide.
    EXPECT_EQ(Px(250, 70), kRepair);
    EXPECT_EQ(Px(325, 75), kRepair);
    EXPECT_EQ(Px(326, 75), kOddBg);
    EXPECT_EQ(Px(260, 135), kWatch);
    EXPECT_EQ(Px(260, 15), kEvenBg);

    list->DeleteAllRows();
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(list->Row(0), nullptr);
    Render();
    EXPECT_EQ(Px(5, 5), kWhitePx);
    EXPECT_EQ(Px(20, 20), kWhitePx);
}

TEST_F(SkinAppControls, RowButtonIsRenamedReskinnedAndHiddenLikeAFailedRepair)
{
    list->AppendRow(BuildCheckRowMarkup(Item(kItemCpu, kStatePassed, "")), pools, factory);
    list->AppendRow(BuildCheckRowMarkup(Item(kItemComponents, kStateFailed, "")), pools, factory);
    const int buttonId = RowControlId(kItemComponents, kSlotActionButton);
    auto* button = dynamic_cast<CMyImgBtn*>(list->FindInRow(1, buttonId));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->Name(), "skin_item_repair");
    EXPECT_FALSE(button->Animate());
    ASSERT_TRUE(list->ShowInRow(1, RowControlId(kItemComponents, kSlotProgressBar), false));

    button->SetSkinStateIndex(1);
    Render();
    EXPECT_EQ(Px(260, 75), kRepairHover);

    button->SetSkinStateIndex(0);
    EXPECT_TRUE(list->SetSkinInRow(1, RowControlId(kItemComponents, kSlotStateIcon), "skin_check_right"));
    EXPECT_TRUE(list->SetSkinInRow(1, buttonId, "skin_item_watch"));
    EXPECT_TRUE(list->SetNameInRow(1, buttonId, "skin_item_watch"));
    EXPECT_TRUE(list->SetTextInRow(1, RowControlId(kItemComponents, kSlotStatusText), "failed"));
    EXPECT_FALSE(list->SetNameInRow(0, buttonId, "x"));  // the passed row has no button
    EXPECT_EQ(button->Name(), "skin_item_watch");
    Render();
    EXPECT_EQ(Px(20, 80), kRight);
    EXPECT_EQ(Px(260, 75), kWatch);
    const SkinRect status = list->FindInRow(1, RowControlId(kItemComponents, kSlotStatusText))->Rect();
    EXPECT_EQ(status.left, 270);
    EXPECT_EQ(status.top, 100);
    int ink = 0;
    for (int y = status.top; y < status.bottom; ++y)
        for (int x = status.left; x < status.right; ++x) ink += Px(x, y) != kOddBg && Px(x, y) != kSplit;
    EXPECT_GT(ink, 5);

    button->SetName("skin_item_repair");
    EXPECT_EQ(button->Name(), "skin_item_repair");
    EXPECT_TRUE(list->ShowInRow(1, buttonId, false));
    Render();
    EXPECT_EQ(Px(260, 75), kOddBg);
}

TEST_F(SkinAppControls, ApplicationTagsAndTheGifSkinAreRegisteredAndRowsScrollWithinTheList)
{
    EXPECT_TRUE(dynamic_cast<CMyImgBtn*>(factory.Create("myimgbtn").get()));
    EXPECT_TRUE(dynamic_cast<CMyImgWnd*>(factory.Create("myimg").get()));
    EXPECT_TRUE(dynamic_cast<CMyRichEdit*>(factory.Create("search").get()));
    EXPECT_TRUE(CreateSkin("gif"));

    // Four 60-pixel rows in a 150-pixel box: at most 90 pixels to scroll.
    for (int i = 0; i < 4; ++i) ASSERT_EQ(list->AppendRow(std::string("<div/>"), pools, factory), i);
    list->ScrollTo(1000);
    EXPECT_EQ(list->ScrollOffset(), 90);
    EXPECT_EQ(list->RowRect(3), (SkinRect{0, 90, 400, 150}));
    list->ScrollTo(-5);
    EXPECT_EQ(list->ScrollOffset(), 0);
    list->DeleteAllRows();
    layer.Layout(400, 200);
    EXPECT_EQ(list->ScrollOffset(), 0);
}

class ChatTree : public SkinLayerTest {
protected:
    void SetUp() override
    {
        SkinLayerTest::SetUp();
        RegisterApplicationControls(factory);
        Build("<layer title=\"t\" width=\"200\" height=\"100\"><body>"
              "<chattreectrl id=\"5\" pos=\"0,0,-0,-0\" itemheight=\"20\" indent=\"30\" crtext=\"000000\">"
              "<group>Team<member>Ann</member><member>Bo</member></group><group>Others<member>Cy</member></group>"
              "</chattreectrl></body></layer>",
              "");
        tree = dynamic_cast<CChatTreeCtrl*>(layer.FindById(5));
        ASSERT_TRUE(tree);
    }
    // The texts of the rows shown, from the top.
    std::vector<std::wstring> Shown() const
    {
        std::vector<std::wstring> texts;
        for (int row = 0; row < tree->RowCount(); ++row) texts.push_back(tree->RowItem(row)->Text());
        return texts;
    }
    void ClickRow(int row)
    {
        RecordingHost host(layer.Context());
        host.Click(*layer.Body(), POINT{50, row * 20 + 10});
        layer.Layout(200, 100);
    }

    CChatTreeCtrl* tree = nullptr;
};

TEST_F(ChatTree, GroupsUnfoldAndFoldByClickAndMembersAreSelectedAndIndented)
{
    EXPECT_EQ((std::vector<std::wstring>{L"Team", L"Others"}), Shown()) << "groups start folded";
    ClickRow(1);
    EXPECT_EQ((std::vector<std::wstring>{L"Team", L"Others", L"Cy"}), Shown());
    ClickRow(0);
    EXPECT_EQ((std::vector<std::wstring>{L"Team", L"Ann", L"Bo", L"Others", L"Cy"}), Shown());

    ClickRow(0);
    EXPECT_EQ(nullptr, tree->SelectedItem()) << "a group is folded, not selected";
    ClickRow(0);
    ClickRow(2);
    ASSERT_NE(nullptr, tree->SelectedItem());
    EXPECT_EQ(L"Bo", tree->SelectedItem()->Text());
    // Members are drawn one indent in; the selected one on its highlight.
    Render();
    EXPECT_EQ(0, InkIn(SkinRect{0, 22, 30, 38})) << "a member's text left of its indent";
    EXPECT_GT(InkIn(SkinRect{30, 22, 100, 38}), 0);
    EXPECT_NE(kWhitePx, Px(150, 50)) << "the selected member's row is not highlighted";
    EXPECT_EQ(kWhitePx, Px(150, 30));

    // Folding the group drops its selection; a click below the rows does nothing.
    ClickRow(0);
    EXPECT_EQ(nullptr, tree->SelectedItem());
    EXPECT_EQ((std::vector<std::wstring>{L"Team", L"Others", L"Cy"}), Shown());
    ClickRow(4);
    EXPECT_EQ(3u, Shown().size());
}

}  // namespace
