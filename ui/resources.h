#pragma once
// The engine's resource pools: strings, styles, object defaults, skins, and
// the window layer documents. Values stay UTF-8 text here; reading positions,
// colours and font codes out of them is the format code's job.
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TiXmlDocument;
class TiXmlElement;

namespace SkinEngine {

// Resource ids of the engine's own documents.
enum : unsigned {
    kXmlSkins = 100,
    kXmlStyles = 101,
    kXmlStrings = 102,
    kXmlObjAttr = 104,
};
// Every resource of the program is stored under Chinese (Simplified).
constexpr unsigned short kResourceLanguage = 2052;
extern const wchar_t kXmlResourceType[];    // L"XML"
extern const wchar_t kImageResourceType[];  // L"IMGX"

struct Attr {
    std::string name;
    std::string value;
    bool operator==(const Attr& other) const { return name == other.name && value == other.value; }
};
using AttrList = std::vector<Attr>;

// The value of the last `name` in the list (the one that wins when applied
// in order), or null.
const std::string* FindAttr(const AttrList& attrs, const std::string& name);

// Removes a leading UTF-8 byte-order mark.
void SkipUtf8Bom(std::string& text);

// Raw bytes of a resource (language 2052) of `module`, the program itself
// when null. False when it is missing or cannot be loaded.
bool LoadResourceBytes(const wchar_t* type, unsigned id, std::string& bytes, void* module = nullptr);
// The whole file; false when it cannot be opened or read.
bool LoadFileBytes(const std::wstring& path, std::string& bytes);

// Where the documents and images come from: the program's resources, a
// folder of files, or texts held in memory. XML text comes back without BOM.
class DocumentSource {
public:
    virtual ~DocumentSource() = default;
    virtual bool Xml(unsigned id, std::string& text) = 0;
    virtual bool Image(unsigned id, std::string& bytes) = 0;
    // An image stored under another resource type than "IMGX" (a skin's
    // `src` of "id:TYPE"); sources without types of their own have none.
    virtual bool TypedImage(const std::string& type, unsigned id, std::string& bytes)
    {
        return type == "IMGX" && Image(id, bytes);
    }
};

class ResourceSource : public DocumentSource {
public:
    explicit ResourceSource(void* module = nullptr) : m_module(module) {}
    bool Xml(unsigned id, std::string& text) override;
    bool Image(unsigned id, std::string& bytes) override;
    bool TypedImage(const std::string& type, unsigned id, std::string& bytes) override;

private:
    void* m_module;
};

// "<folder>\<id>.xml" for documents, "<folder>\<id>.<any extension>" for images.
class FolderSource : public DocumentSource {
public:
    explicit FolderSource(std::wstring folder) : m_folder(std::move(folder)) {}
    bool Xml(unsigned id, std::string& text) override;
    bool Image(unsigned id, std::string& bytes) override;

private:
    std::wstring m_folder;
};

class MemorySource : public DocumentSource {
public:
    void AddXml(unsigned id, std::string text) { m_xml[id] = std::move(text); }
    void AddImage(unsigned id, std::string bytes, const std::string& type = "IMGX")
    {
        m_images[{type, id}] = std::move(bytes);
    }
    bool Xml(unsigned id, std::string& text) override;
    bool Image(unsigned id, std::string& bytes) override { return TypedImage("IMGX", id, bytes); }
    bool TypedImage(const std::string& type, unsigned id, std::string& bytes) override;

private:
    std::map<unsigned, std::string> m_xml;
    std::map<std::pair<std::string, unsigned>, std::string> m_images;
};

// Parses UTF-8 XML text (a BOM is skipped, malformed sequences read as
// U+FFFD); false on a syntax error.
bool ParseXml(const std::string& text, TiXmlDocument& doc);
// The element's attributes in document order.
AttrList ElementAttrs(const TiXmlElement& element);

// String table: `string` root, `s` children with an integer `id`; an entry
// whose id is not an integer, or is negative, is skipped.
class StringTable {
public:
    bool Load(const std::string& xml);
    void Clear() { m_strings.clear(); }
    const std::string* Find(int id) const;
    size_t Size() const { return m_strings.size(); }
    // The string references of `value` replaced from this table
    // (ExpandStringRefs says how).
    std::string Expand(const std::string& value) const;

private:
    std::map<int, std::string> m_strings;
};

// Style pool: `style` root, `class` children keyed by `name`.
class StylePool {
public:
    bool Load(const std::string& xml);
    void Clear() { m_classes.clear(); }
    const AttrList* Find(const std::string& name) const;
    size_t Size() const { return m_classes.size(); }

private:
    std::map<std::string, AttrList> m_classes;
};

// Object defaults: `objattr` root, one child per control tag.
class ObjectDefaults {
public:
    bool Load(const std::string& xml);
    void Clear() { m_tags.clear(); }
    // The defaults of `tag` with its `baseClass` chain, base first. A chain
    // that comes back to a tag already applied stops there.
    AttrList Resolve(const std::string& tag) const;
    bool Has(const std::string& tag) const { return m_tags.count(tag) != 0; }

private:
    struct Entry {
        std::string baseClass;
        AttrList attrs;
    };
    std::map<std::string, Entry> m_tags;
};

struct SkinEntry {
    std::string kind;   // the element's tag: imglst, imgframe, button, ...
    std::string name;
    bool owned = false;
    std::string owner;  // the layer title it belongs to, when owned
    AttrList attrs;     // every attribute but `name` and `owner`, in order
};

// Skin pool: `skins` root, one child per skin.
class SkinPool {
public:
    bool Load(const std::string& xml);
    void Clear() { m_entries.clear(); }
    const std::vector<SkinEntry>& Entries() const { return m_entries; }
    // The skins a layer titled `title` loads: the shared ones and its own.
    std::vector<const SkinEntry*> ForLayer(const std::string& title) const;
    // A shared skin, or one owned by `title`; the layer's own wins a name clash.
    const SkinEntry* Find(const std::string& name, const std::string& title) const;

private:
    std::vector<SkinEntry> m_entries;
};

// The `layer` root of a window document and its `body`.
struct LayerHeader {
    std::string title;
    int width = 0;
    int height = 0;
    std::string ncRect;   // "l,t,r,b"
    std::string minsize;  // "w,h"
    int translucent = 0;
    int appwin = 0;
    int resize = 0;
    int nomaxsize = 0;
    AttrList attrs;       // all of the root's attributes, in order
};

class LayerDocument {
public:
    LayerDocument();
    ~LayerDocument();
    // False when the text is not XML, the root is not `layer` or it has no `body`.
    bool Load(const std::string& xml);
    const LayerHeader& Header() const { return m_header; }
    const TiXmlElement* Body() const { return m_body; }

private:
    std::unique_ptr<TiXmlDocument> m_doc;
    LayerHeader m_header;
    const TiXmlElement* m_body = nullptr;
};

// The pools loaded once at start.
struct ResourcePools {
    StringTable strings;
    SkinPool skins;
    StylePool styles;
    ObjectDefaults defaults;

    // Loads XML 102, 100, 101 and 104 in that order; false at the first
    // document that is missing or malformed (the later ones stay unloaded).
    bool Load(DocumentSource& source);
    void Clear();

    // The attributes to apply to a new control built from `element`: its
    // tag's object defaults (base first), then its own attributes in
    // document order, a `class` replaced by that style class's attributes
    // where it stands; string references expanded in `tip` and `href`.
    AttrList ControlAttributes(const TiXmlElement& element) const;
};

}  // namespace SkinEngine
