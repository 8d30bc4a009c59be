// A check row's markup with hostile texts from the workstation (titles,
// descriptions, found versions): the markup must read as the same row
// structure as one with harmless texts once it has gone the list box's way
// (the code page to wide text, then UTF-8, then the XML reader), and no
// markup byte may be taken as the second half of a double-byte character.
#include "pages/checkrow.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <tinyxml.h>
#include <windows.h>  // the native stand-in: IsDBCSLeadByte as code page 936

#include <stdlib.h>

#include <string>
#include <vector>

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}

// Code page 936's shape: a lead byte 0x81..0xFE takes the next byte as its
// trail whatever it is (the harm a broken character does), giving one
// character outside ASCII; everything else is itself.
std::string ThroughWideToUtf8(const std::string& markup)
{
    std::string out;
    for (size_t i = 0; i < markup.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(markup[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;  // the trail, swallowed into the character
            out += "\xE4\xB8\x80";  // some CJK character
        } else if (c >= 0x80) {
            out += "?";
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The element names and the attributes of every element, in order.
std::vector<std::string> Shape(const TiXmlElement* element)
{
    std::vector<std::string> shape;
    for (; element; element = element->NextSiblingElement()) {
        std::string entry = element->Value();
        for (const TiXmlAttribute* a = element->FirstAttribute(); a; a = a->Next())
            entry += std::string(" ") + a->Name() + "=" + a->Value();
        shape.push_back(entry);
        std::vector<std::string> inner = Shape(element->FirstChildElement());
        shape.insert(shape.end(), inner.begin(), inner.end());
        shape.push_back("/");
    }
    return shape;
}

std::vector<std::string> ParsedShape(const std::string& markup)
{
    TiXmlDocument doc;
    doc.Parse(ThroughWideToUtf8(markup).c_str(), nullptr, TIXML_ENCODING_UTF8);
    Check(!doc.Error() && doc.RootElement());
    return Shape(doc.RootElement());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    CheckItem item;
    item.kind = provider.ConsumeIntegralInRange(-1, 12);
    item.state = provider.ConsumeIntegralInRange(0, 4);
    item.title = provider.ConsumeRandomLengthString(200);
    item.description = provider.ConsumeRandomLengthString(400);
    item.optimal = provider.ConsumeRemainingBytesAsString();

    const std::string markup = BuildCheckRowMarkup(item);
    // Every lead byte has a trail byte that is no markup character.
    for (size_t i = 0; i < markup.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(markup[i]))) {
            Check(i + 1 < markup.size() && static_cast<unsigned char>(markup[i + 1]) >= 0x40);
            ++i;
        }
    }

    CheckItem plain = item;
    plain.title = plain.description = plain.optimal = "x";
    const std::vector<std::string> hostile = ParsedShape(markup), harmless = ParsedShape(BuildCheckRowMarkup(plain));
    Check(hostile.size() == harmless.size());
    // The texts sit in element text, never in attributes: those match exactly.
    for (size_t i = 0; i < hostile.size(); ++i) Check(hostile[i] == harmless[i]);

    // The escape alone: no zero byte, no raw markup character survives.
    const std::string escaped = EscapeRowText(item.title);
    Check(escaped.find_first_of("<>\"", 0) == std::string::npos);
    Check(escaped.find('\0') == std::string::npos);
    return 0;
}
