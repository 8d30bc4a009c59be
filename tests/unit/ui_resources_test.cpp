#include "testutil.h"

#include "base/textconv.h"
#include "base/utf8.h"
#include "ui/resources.h"
#include "ui/system.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

using namespace SkinEngine;

namespace {

const char kStrings[] =
    "\xEF\xBB\xBF<string><!-- table --><s id=\"0\">\xE5\xAE\x8B\xE4\xBD\x93</s><s id=\"1\">1.0</s>"
    "<s id=\"2\">velmora</s><s id=\"x\">bad</s><s id=\"3\"/></string>";
const char kStyles[] =
    "<style><class name=\"title\" font=\"0004\" crtext=\"FFFFFF\" align=\"center\"/>"
    "<class name=\"dim\" crtext=\"808080\"/></style>";
const char kDefaults[] =
    "<objattr><divex sbskin=\"sb_common\" sbwid=\"16\" crtext=\"000000\"/>"
    "<edit baseClass=\"divex\" transparent=\"1\" crtext=\"111111\"/>"
    "<text class=\"dim\" tip=\"%str1%\"/>"
    "<a baseClass=\"b\" x=\"a\"/><b baseClass=\"a\" x=\"b\"/><self baseClass=\"self\" y=\"1\"/></objattr>";
const char kSkins[] =
    "<skins><imglst name=\"btn_close\" src=\"3\" subwidth=\"45\"/>"
    "<imgframe name=\"bg\" owner=\"PylonixClient\" src=\"1\" left=\"5\"/>"
    "<imgframe name=\"bg\" src=\"4\"/>"
    "<imglst name=\"tabs\" owner=\"\xE7\xB3\xBB\xE7\xBB\x9F\xE8\xAE\xBE\xE7\xBD\xAE\" src=\"5\"/>"
    "<button src=\"9\"/></skins>";

MemorySource AllDocuments()
{
    MemorySource source;
    source.AddXml(kXmlStrings, kStrings);
    source.AddXml(kXmlStyles, kStyles);
    source.AddXml(kXmlObjAttr, kDefaults);
    source.AddXml(kXmlSkins, kSkins);
    return source;
}

// Attributes for the root element of `xml`, flattened to "name=value;..."
std::string AttrsFor(const ResourcePools& pools, const std::string& xml)
{
    TiXmlDocument doc;
    EXPECT_TRUE(ParseXml(xml, doc)) << xml;
    std::string out;
    if (doc.RootElement())
        for (const Attr& a : pools.ControlAttributes(*doc.RootElement())) out += a.name + "=" + a.value + ";";
    return out;
}

}  // namespace

TEST(SkinResources, MalformedUtf8ReadsAsReplacementCharacters)
{
    // A character cut short before markup, or at the very end of a
    // document, once made the XML reader step over the markup or past the text.
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ("a" + fffd + "<b>" + fffd + fffd + "\xE5\xAE\x8B" + fffd, WellFormedUtf8("a\xE5<b>\xC0\xAF\xE5\xAE\x8B\xF4"));
    EXPECT_EQ(fffd + fffd + fffd, WellFormedUtf8("\xED\xA0\x80"));  // a surrogate
    StringTable strings;
    ASSERT_TRUE(strings.Load("<string><s id=\"1\">a\xE5</s><s id=\"2\">b</s></string>"));
    ASSERT_NE(nullptr, strings.Find(1));
    EXPECT_EQ("a" + fffd, *strings.Find(1));
    ASSERT_NE(nullptr, strings.Find(2));
    TiXmlDocument doc;
    EXPECT_FALSE(ParseXml("<string><s\xE5", doc));
}

TEST(SkinResources, StringReferencesInTipAndHref)
{
    StringTable table;
    ASSERT_TRUE(table.Load(kStrings)) << "a BOM and a comment do not stop the table";
    ASSERT_NE(nullptr, table.Find(0));
    EXPECT_EQ("\xE5\xAE\x8B\xE4\xBD\x93", *table.Find(0));
    EXPECT_EQ("", *table.Find(3));
    EXPECT_EQ(4u, table.Size()) << "an entry without a decimal id is skipped";

    // The reference syntax itself is tested with the other value parsers;
    // here the table is its lookup. Entry 0 exists (the default face) but is
    // never a reference; a missing entry stays as written.
    EXPECT_EQ("velmora 1.0 velmora", table.Expand("%str2% %str1% %str2%"));
    for (const char* kept : {"%str9%", "%str0%"}) EXPECT_EQ(kept, table.Expand(kept));
}

TEST(SkinResources, ControlAttributesInApplyOrder)
{
    MemorySource source = AllDocuments();
    ResourcePools pools;
    ASSERT_TRUE(pools.Load(source));

    // Defaults base first, then own attributes; the class expands where it stands.
    EXPECT_EQ("sbskin=sb_common;sbwid=16;crtext=000000;transparent=1;crtext=111111;"
              "crtext=222222;font=0004;crtext=FFFFFF;align=center;align=left;",
              AttrsFor(pools, "<edit crtext=\"222222\" class=\"title\" align=\"left\"/>"));
    // A class inside the defaults expands too; tip and href take string references,
    // other values do not; an unknown class adds nothing.
    EXPECT_EQ("crtext=808080;tip=1.0;name=%str2%;href=http://velmora/%str7%;tip=velmora;",
              AttrsFor(pools, "<text name=\"%str2%\" class=\"nosuch\" href=\"http://%str2%/%str7%\" "
                              "tip=\"%str2%\"/>"));
    EXPECT_EQ("id=5;", AttrsFor(pools, "<unknowntag id=\"5\"/>"));
    EXPECT_EQ("crtext=808080;", AttrsFor(pools, "<div class=\"dim\"/>"));
}

TEST(SkinResources, BaseClassCyclesEnd)
{
    ObjectDefaults defaults;
    ASSERT_TRUE(defaults.Load(kDefaults));
    AttrList a = defaults.Resolve("a");
    ASSERT_EQ(2u, a.size());
    EXPECT_EQ("b", a[0].value) << "the base comes first";
    EXPECT_EQ("a", a[1].value);
    EXPECT_EQ(1u, defaults.Resolve("self").size());
    EXPECT_TRUE(defaults.Resolve("nosuch").empty());
}

TEST(SkinResources, SkinOwnersAndPools)
{
    SkinPool skins;
    ASSERT_TRUE(skins.Load(kSkins));
    ASSERT_EQ(4u, skins.Entries().size()) << "a skin without a name is dropped";

    std::vector<std::string> main;
    for (const SkinEntry* s : skins.ForLayer("PylonixClient")) main.push_back(s->name + "@" + s->attrs[0].value);
    EXPECT_EQ((std::vector<std::string>{"btn_close@3", "bg@1", "bg@4"}), main);
    EXPECT_EQ(2u, skins.ForLayer("").size()) << "only the shared skins";

    const SkinEntry* bg = skins.Find("bg", "PylonixClient");
    ASSERT_NE(nullptr, bg);
    EXPECT_EQ("imgframe", bg->kind);
    EXPECT_EQ((AttrList{{"src", "1"}, {"left", "5"}}), bg->attrs) << "name and owner are not skin attributes";
    EXPECT_EQ("4", *FindAttr(skins.Find("bg", "other")->attrs, "src")) << "other layers get the shared one";
    EXPECT_EQ(nullptr, skins.Find("tabs", "PylonixClient"));
    EXPECT_NE(nullptr, skins.Find("tabs", "\xE7\xB3\xBB\xE7\xBB\x9F\xE8\xAE\xBE\xE7\xBD\xAE"));

    // A wrong root, broken XML or a missing document fails and keeps what was loaded.
    EXPECT_FALSE(skins.Load("<style/>"));
    EXPECT_FALSE(skins.Load("<skins><imglst name=\"x\"></skins>"));
    EXPECT_EQ(4u, skins.Entries().size());
    MemorySource partial;
    partial.AddXml(kXmlStrings, kStrings);
    ResourcePools pools;
    EXPECT_FALSE(pools.Load(partial));
}

TEST(SkinResources, LayerHeaderAndBody)
{
    LayerDocument layer;
    ASSERT_TRUE(layer.Load("\xEF\xBB\xBF<layer title=\"PylonixClient\" width=\"800\" height=\"500\" "
                           "ncRect=\"5,5,5,5\" minsize=\"800,500\" translucent=\"1\" appwin=\"1\" resize=\"1\" "
                           "nomaxsize=\"0\"><!-- x --><body pos=\"0,0,-0,-0\"><dlg id=\"9\"/></body></layer>"));
    const LayerHeader& h = layer.Header();
    EXPECT_EQ("PylonixClient", h.title);
    EXPECT_EQ(800, h.width);
    EXPECT_EQ(500, h.height);
    EXPECT_EQ("5,5,5,5", h.ncRect);
    EXPECT_EQ("800,500", h.minsize);
    EXPECT_EQ(3, h.translucent + h.appwin + h.resize);
    EXPECT_EQ(9u, h.attrs.size());
    ASSERT_NE(nullptr, layer.Body());
    EXPECT_STREQ("dlg", layer.Body()->FirstChildElement()->Value());

    ASSERT_TRUE(layer.Load("<layer title=\"\" width=\"wide\"><body/></layer>"));
    EXPECT_EQ(0, layer.Header().width);
    EXPECT_EQ(0, layer.Header().resize);
    EXPECT_FALSE(layer.Load("<layer title=\"x\"/>")) << "no body";
    EXPECT_FALSE(layer.Load("<skins><body/></skins>"));
    EXPECT_EQ(nullptr, layer.Body());
}

TEST(SkinResources, FolderSourceSkipsBomAndReportsMissingFiles)
{
    std::string folder = MakeScratchFolder("skinres");
    ASSERT_TRUE(WriteFileBytes(folder + "\\102.xml", kStrings));
    ASSERT_TRUE(WriteFileBytes(folder + "\\560.gif", std::string("GIF89a\0\x01", 8)));
    FolderSource source(AnsiToWide(folder));

    std::string text;
    ASSERT_TRUE(source.Xml(kXmlStrings, text));
    EXPECT_EQ(0u, text.find("<string>")) << "the BOM is gone";
    std::string bytes;
    ASSERT_TRUE(source.Image(560, bytes));
    EXPECT_EQ(std::string("GIF89a\0\x01", 8), bytes);

    EXPECT_FALSE(source.Xml(kXmlSkins, text));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(source.Image(56, bytes)) << "560.gif is not image 56";
    EXPECT_FALSE(LoadFileBytes(AnsiToWide(folder) + L"\\nosuch\\x.xml", bytes));
    EXPECT_FALSE(LoadResourceBytes(kXmlResourceType, 9999, bytes));
    EXPECT_FALSE(ResourceSource().Image(9999, bytes));
}

TEST(SkinResources, ProgramResourcesAreReadInSimplifiedChineseOnly)
{
    ResourceSource source;
    std::string text, bytes;
    ASSERT_TRUE(source.Xml(901, text));
    EXPECT_EQ(text, "<string><s id=\"0\">Song</s></string>\n") << "the BOM is gone";
    ASSERT_TRUE(source.Image(901, bytes));
    EXPECT_EQ(bytes, "\xEF\xBB\xBF" + text) << "images keep every byte";
    EXPECT_FALSE(source.Xml(902, text)) << "stored under English only";
}

// --- The engine's system object ---

namespace {

TEST(SkinSystem, LoadsEveryPoolAndAnAntialiasedDefaultFontOrNamesTheDocumentMissing)
{
    AppScope scope;  // a scratch data folder for the log
    auto source = std::make_unique<MemorySource>();
    MemorySource* docs = source.get();
    docs->AddXml(kXmlStrings, kStrings);
    docs->AddXml(kXmlSkins, kSkins);
    docs->AddXml(kXmlObjAttr, kDefaults);

    CSkinSystem system(nullptr);
    EXPECT_EQ(CSkinSystem::Current(), &system);
    system.SetResourceProvider(std::move(source));
    // The style pool is missing: the engine cannot start.
    EXPECT_FALSE(system.LoadResources());
    EXPECT_NE(ReadTodaysLog().find("SkinEngine: resource XML 101 is missing or malformed"), std::string::npos);

    docs->AddXml(kXmlStyles, kStyles);
    ASSERT_TRUE(system.LoadResources());
    EXPECT_EQ(system.Pools().strings.Size(), 4u);
    EXPECT_EQ(system.Pools().skins.Entries().size(), 4u);
    EXPECT_EQ(system.Pools().styles.Size(), 2u);
    EXPECT_TRUE(system.Pools().defaults.Has("edit"));

    LOGFONTW font = {};
    ASSERT_EQ(GetObjectW(system.DefaultFont(), sizeof font, &font), static_cast<int>(sizeof font));
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfQuality, ANTIALIASED_QUALITY);
    EXPECT_STREQ(font.lfFaceName, L"宋体");

    system.ReleaseSkins();
    EXPECT_TRUE(system.Pools().skins.Entries().empty());
    system.ReleaseResourceProvider();
    EXPECT_EQ(system.ResourceProvider(), nullptr);
    EXPECT_FALSE(system.LoadResources());
}

TEST(SkinSystem, IsNoLongerCurrentOnceGone)
{
    {
        CSkinSystem system(nullptr);
        EXPECT_EQ(CSkinSystem::Current(), &system);
    }
    EXPECT_EQ(CSkinSystem::Current(), nullptr);
}

}  // namespace
