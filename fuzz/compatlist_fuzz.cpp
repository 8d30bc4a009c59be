// Arbitrary bytes as a stored compatibility-view list: the walk must stay
// inside them, and appending a site must keep what was read and add the
// site behind it. A second pass splits the bytes into sites and checks that
// a list built from them reads back the same.
#include "base/binbuffer.h"
#include "browser/compatparse.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}

std::u16string CutAtZero(const std::u16string& site)
{
    return site.substr(0, site.find(u'\0'));
}

// The value as loaded: a header when there are 24 bytes, the rest as the
// entry area; then one site appended the way an added site is.
void LoadAndAdd(const uint8_t* data, size_t size)
{
    bool headerLoaded = size >= kCompatHeaderSize;
    uint32_t words[kCompatHeaderWords];
    DefaultCompatHeader(words);
    BinBuffer area;
    if (headerLoaded) {
        ReadCompatHeader(data, words);
        Check(area.write(data + kCompatHeaderSize, size - kCompatHeaderSize));
    }
    // Walked in the caller's exact-size copy: the buffer has slack behind
    // its bytes that would hide a read past the end.
    std::vector<std::u16string> before;
    if (headerLoaded) before = ParseCompatEntries(data + kCompatHeaderSize, size - kCompatHeaderSize);

    // A site taken from the input's last bytes, so its length varies too.
    std::u16string site;
    for (size_t i = size - (size < 40 ? size : 40); i + 1 < size; i += 2)
        site += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    uint32_t count = words[kCompatCount], copy = words[kCompatCountCopy];
    uint32_t oldArea = area.size();
    Check(AppendCompatEntry(area, site));
    Check(area.size() == oldArea + kCompatEntryFixed + 2 * site.size());
    CountCompatEntry(words, headerLoaded, area.size());
    Check(words[kCompatCount] == count + 1 && words[kCompatCountCopy] == copy + 1);
    Check(words[kCompatAreaSize] == area.size() + 12);

    BinBuffer value;
    Check(BuildCompatValue(words, area, value));
    Check(value.size() == kCompatHeaderSize + area.size());
    if (headerLoaded) {
        // Old bytes unchanged apart from the counts and the area size.
        for (size_t i = 0; i < size; ++i) {
            bool counted = (i >= 8 && i < 16) || (i >= 20 && i < 24);
            Check(counted || value.data()[i] == data[i]);
        }
    }

    std::vector<std::u16string> after =
        ParseCompatEntries(value.data() + kCompatHeaderSize, value.size() - kCompatHeaderSize);
    Check(after.size() >= before.size());
    for (size_t i = 0; i < before.size(); ++i) Check(after[i] == before[i]);
    if (before.empty() && oldArea == 0) Check(after.size() == 1 && after[0] == CutAtZero(site));
}

// Sites split at 0xFFFF units; a list built from them reads them back,
// apart from those too long to be stored, which are refused.
void RoundTrip(const uint8_t* data, size_t size)
{
    std::vector<std::u16string> sites(1);
    for (size_t i = 0; i + 1 < size; i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0xFFFF)
            sites.emplace_back();
        else
            sites.back() += unit;
    }
    BinBuffer area;
    std::vector<std::u16string> kept;
    for (const std::u16string& site : sites) {
        uint32_t before = area.size();
        bool fits = site.size() <= kCompatMaxSiteUnits;
        Check(AppendCompatEntry(area, site) == fits);
        if (fits)
            kept.push_back(CutAtZero(site));
        else
            Check(area.size() == before);
    }
    Check(ParseCompatEntries(area.data(), area.size()) == kept);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly `size` bytes of their own, so any read past them is caught.
    std::vector<uint8_t> copy(data, data + size);
    LoadAndAdd(copy.data(), copy.size());
    RoundTrip(copy.data(), copy.size());
    return 0;
}
