#include "base/textconv.h"
#include "pages/checkrow.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>
#include <vector>

namespace {

CheckItem Record(int kind, int state, const std::string& title, const std::string& description,
                 const std::string& optimal)
{
    CheckItem item;
    item.kind = kind;
    item.state = state;
    item.title = title;
    item.description = description;
    item.optimal = optimal;
    return item;
}

// One control of a parsed row: its tag, its id ("" without one), its text.
struct Control {
    std::string tag, id, text;
    bool operator==(const Control& o) const { return tag == o.tag && id == o.id && text == o.text; }
};
std::ostream& operator<<(std::ostream& os, const Control& c)
{
    return os << c.tag << "#" << c.id << "[" << c.text << "]";
}

// Parses row markup (UTF-8) the way the list box's loader does.
std::vector<Control> ParseRow(const std::string& markup)
{
    std::vector<Control> controls;
    TiXmlDocument doc;
    doc.Parse(markup.c_str(), nullptr, TIXML_ENCODING_UTF8);
    EXPECT_FALSE(doc.Error()) << doc.ErrorDesc() << " in " << markup;
    const TiXmlElement* root = doc.RootElement();
    if (!root) return controls;
    EXPECT_STREQ("item", root->Value());
    EXPECT_EQ(nullptr, root->NextSiblingElement()) << "more than one row";
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        EXPECT_EQ(nullptr, e->FirstChildElement()) << "nested element in " << markup;
        const char* id = e->Attribute("id");
        const char* text = e->GetText();
        controls.push_back({e->Value(), id ? id : "", text ? text : ""});
    }
    return controls;
}

// Narrow row markup as the list box receives it: wide through the active
// code page, then UTF-8 for the XML loader.
std::string MarkupAsLoaded(const std::string& markup)
{
    std::wstring wide = AnsiToWide(markup);
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
    return utf8;
}

} // namespace

TEST(Catalogue, TextsByLanguageAndProfile)
{
    EXPECT_STREQ("Browser(IE)", CheckItemTitle(kItemBrowserVersion, true));
    EXPECT_STREQ("浏览器(IE)", CheckItemTitle(kItemBrowserVersion, false));
    EXPECT_STREQ("IE 8 or later(32bit)", OptimalText(kItemBrowserVersion, kCheckProfile, true));
    EXPECT_STREQ("IE 8以上(32位)", OptimalText(kItemBrowserVersion, kCheckProfile, false));
    EXPECT_STREQ(" Server will be able to connect", CheckItemDescription(kItemConnectivity, true));
    EXPECT_STREQ("两路双核cpu 2.0以上", OptimalText(kItemCpu, 5, false));
    EXPECT_STREQ("2G以上", OptimalText(kItemMemory, 1, false));
    EXPECT_STREQ("8G以上", OptimalText(kItemMemory, 2, false));
    EXPECT_STREQ("4G Upper", OptimalText(kItemMemory, 5, true));
    for (int profile : {0, 6})
        for (int kind : {kItemCpu, kItemMemory, kItemBrowserVersion})
            EXPECT_STREQ("", OptimalText(kind, profile, false)) << kind << "/" << profile;
    for (int kind : {3, 4, 6, 7, 8, 9, 10})
        EXPECT_STREQ("", OptimalText(kind, 1, true)) << kind;
}

TEST(Catalogue, ResetRecordHasTheDefaults)
{
    CheckItem item = Record(kItemPatch, kStateWarning, "t", "d", "o");
    item.installed = item.progress = item.row = 5;
    item = CheckItem();
    EXPECT_EQ(std::vector<int>({1, 0, 0, 1, 0}),
              std::vector<int>({item.kind, item.installed, item.progress, item.state, item.row}));
    EXPECT_TRUE(item.title.empty() && item.description.empty() && item.optimal.empty());
}

TEST(CheckRow, ControlIdentifiersAndSkins)
{
    EXPECT_EQ(10506, RowControlId(kItemBrowserVersion, kSlotProgressBar));
    EXPECT_EQ(10605, RowControlId(kItemBrowserSettings, kSlotActionButton));
    EXPECT_EQ(11007, RowControlId(kItemPatch, kSlotStatusText));
    for (int kind : {9, 0, 11, -1, 1000})
        EXPECT_EQ(-1, RowControlId(kind, kSlotStateIcon)) << kind;

    // States outside the table look passed and offer nothing.
    EXPECT_STREQ("skin_check_right", StateIconSkin(0));
    EXPECT_STREQ("skin_check_right", StateIconSkin(4));
    EXPECT_STREQ("", ActionSkin(4));
}

TEST(CheckRow, MarkupByteForByte)
{
    EXPECT_EQ("<item><img\t\tid\t= \"10501\"\t\t\tpos=\"15,15,35,35\"\t\t\tskin=\"skin_check_right\"\t\t/>"
              "<text\t\tpos=\"40,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\">Browser(IE)</text>"
              "<text\t\tpos=\"160,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\">Internet Explorer 9.0</text>"
              "<text\t\tpos=\"|100,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\">IE 8 or later(32bit)</text>"
              "<img\t\tpos=\"0,58,-0,59\"\t\t\tskin=\"skin_split_horz\"\t\t/></item>",
              BuildCheckRowMarkup(Record(kItemBrowserVersion, kStatePassed, "Browser(IE)", "Internet Explorer 9.0",
                                         "IE 8 or later(32bit)")));

    EXPECT_EQ("<item><img\t\tid\t= \"10801\"\t\t\tpos=\"15,15,35,35\"\t\t\tskin=\"skin_check_wrong\"\t\t/>"
              "<text\t\tpos=\"40,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\">Third Party</text>"
              "<text\t\tpos=\"160,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\">Third Party Tools</text>"
              "<text\t\tpos=\"|100,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\"></text>"
              "<myimgbtn\tid=\"10805\"\tpos=\"-150,10\"\tname=\"skin_item_repair\"\t\tskin=\"skin_item_repair\""
              "\tanimate=\"0\"/>"
              "<text\t\t\t\tid=\"10807\"\tpos=\"-130,40\"\tcrtext=\"767273\"\t\tfont=\"0202\"></text>"
              "<progress id=\"10806\" pos=\"-160,20,-60,30\" bgskin=\"prog_bg\" posskin=\"prog_bar\"  value=\"0\""
              " min=\"0\" max=\"100\"/>"
              "<img\t\tpos=\"0,58,-0,59\"\t\t\tskin=\"skin_split_horz\"\t\t/></item>",
              BuildCheckRowMarkup(Record(kItemComponents, kStateFailed, "Third Party", "Third Party Tools", "")));

    EXPECT_EQ("<item><img\t\tid\t= \"11001\"\t\t\tpos=\"15,15,35,35\"\t\t\tskin=\"skin_check_warning\"\t\t/>"
              "<text\t\tpos=\"40,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\">System/IE Patch</text>"
              "<text\t\tpos=\"160,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\">KB2416400-IE8 missing</text>"
              "<text\t\tpos=\"|100,20\"\t\t\tcrtext=\"767273\"\t\tfont=\"0202\"></text>"
              "<myimgbtn\tid=\"11005\"\tpos=\"-150,10\"\tname=\"skin_item_watch\"\t\tskin=\"skin_item_watch\""
              "\tanimate=\"0\"/>"
              "<text\t\t\t\tid=\"11007\"\tpos=\"-130,40\"\tcrtext=\"767273\"\t\tfont=\"0202\"></text>"
              "<img\t\tpos=\"0,58,-0,59\"\t\t\tskin=\"skin_split_horz\"\t\t/></item>",
              BuildCheckRowMarkup(Record(kItemPatch, kStateWarning, "System/IE Patch", "KB2416400-IE8 missing", "")));
}

TEST(CheckRow, RowParsesToTheControlsOfItsState)
{
    const Control separator{"img", "", ""};
    auto texts = [](const char* id) {
        return std::vector<Control>{{"img", id, ""}, {"text", "", "T"}, {"text", "", "D"}, {"text", "", "O"}};
    };
    struct Case {
        int kind, state;
        std::vector<Control> tail;
    };
    const Case cases[] = {
        {kItemCpu, kStatePassed, {separator}},
        {kItemComponents, kStateFailed,
         {{"myimgbtn", "10805", ""}, {"text", "10807", ""}, {"progress", "10806", ""}, separator}},
        {kItemPatch, kStateWarning, {{"myimgbtn", "11005", ""}, {"text", "11007", ""}, separator}},
        {kItemConnectivity, kStateFailed,
         {{"myimgbtn", "10705", ""}, {"text", "10707", ""}, {"progress", "10706", ""}, separator}},
        // No identifiers for kind 9, so no button either.
        {9, kStateFailed, {separator}},
        {kItemMemory, 7, {separator}},
    };
    for (const Case& c : cases) {
        const std::string iconId = std::to_string(RowControlId(c.kind, kSlotStateIcon));
        std::vector<Control> expected = texts(iconId.c_str());
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(expected, ParseRow(BuildCheckRowMarkup(Record(c.kind, c.state, "T", "D", "O"))))
            << "kind " << c.kind << " state " << c.state;
    }
}

TEST(CheckRow, MarkupCharactersInTextsComeBackUnchanged)
{
    const std::string title = "Intel(R) <Xeon> & \"Core\"";
    const std::string description = "</text><myimgbtn id=\"10505\" name=\"skin_item_repair\"/><text>";
    const std::string optimal = "&amp; &lt; 8' \"/><img id=\"1\"/>";
    const std::string markup = BuildCheckRowMarkup(Record(kItemBrowserVersion, kStatePassed, title, description, optimal));
    EXPECT_EQ(std::vector<Control>({{"img", "10501", ""},
                                    {"text", "", title},
                                    {"text", "", description},
                                    {"text", "", optimal},
                                    {"img", "", ""}}),
              ParseRow(markup));
    EXPECT_EQ("a&amp;b&lt;c&gt;d&quot;e'f", EscapeRowText("a&b<c>d\"e'f"));
}

TEST(CheckRow, TextIsCutAtAZeroByte)
{
    const std::string description("Pentium\0<broken", 15);
    EXPECT_EQ("Pentium", EscapeRowText(description));
    std::vector<Control> row = ParseRow(BuildCheckRowMarkup(Record(kItemCpu, kStatePassed, "T", description, "O")));
    ASSERT_EQ(5u, row.size());
    EXPECT_EQ("Pentium", row[2].text);
}

TEST(CheckRow, ChineseRowSurvivesTheCodePageConversion)
{
    if (GetACP() != 936) GTEST_SKIP() << "needs code page 936, active is " << GetACP();
    // Texts cut in the middle of a double-byte character, as bounded probe
    // buffers leave them: the conversion would swallow the "<" of "</text>".
    const std::string cut = std::string("内存") + "\xC4";
    const std::string beforeMarkup = std::string("版本\xB0") + "<9>";
    CheckItem item = Record(kItemBrowserVersion, kStateFailed, CheckItemTitle(kItemBrowserVersion, false), cut,
                            beforeMarkup);
    std::vector<Control> row = ParseRow(MarkupAsLoaded(BuildCheckRowMarkup(item)));
    ASSERT_EQ(8u, row.size());
    EXPECT_EQ(AnsiToUtf8("浏览器(IE)"), row[1].text);
    EXPECT_EQ(AnsiToUtf8("内存?"), row[2].text);
    EXPECT_EQ(AnsiToUtf8("版本?<9>"), row[3].text);
    EXPECT_EQ("10505", row[4].id);
    EXPECT_EQ("10506", row[6].id);

    // Whole characters whose trail byte is an ASCII letter stay as they are.
    EXPECT_EQ("\xB0\x40\xD6\x5A", EscapeRowText("\xB0\x40\xD6\x5A"));
}
