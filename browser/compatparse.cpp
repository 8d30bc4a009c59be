#include "browser/compatparse.h"

#include "base/binbuffer.h"
#include "base/log.h"

namespace {
uint32_t Get32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Logs and goes on: a missing fixed part is not worth losing the site for.
bool WriteLogged(BinBuffer& buffer, const void* data, uint32_t count)
{
    if (buffer.write(data, count)) return true;
    WriteLog("BinBuffer::write alloc buffer failed");
    return false;
}
} // namespace

void DefaultCompatHeader(uint32_t words[kCompatHeaderWords])
{
    const uint32_t fresh[kCompatHeaderWords] = {0x00001F41, 0xBAAD0853, 0, 0, 0, 0};
    for (int i = 0; i < kCompatHeaderWords; ++i) words[i] = fresh[i];
}

void ReadCompatHeader(const uint8_t* bytes, uint32_t words[kCompatHeaderWords])
{
    for (int i = 0; i < kCompatHeaderWords; ++i) words[i] = Get32(bytes + 4 * i);
}

std::vector<std::u16string> ParseCompatEntries(const uint8_t* area, size_t size)
{
    std::vector<std::u16string> sites;
    // The length field sits after each entry's 16 fixed bytes. Offsets stay
    // below size + 2 * 0x7FFF + 18, so no sum here can wrap.
    size_t offset = kCompatLengthOffset;
    while (offset < size) {
        if (size - offset < 2) break;
        int16_t units = static_cast<int16_t>(area[offset] | (area[offset + 1] << 8));
        if (units < 0) break;
        size_t bytes = 2 * static_cast<size_t>(units);
        if (size - offset - 2 < bytes) break;
        const uint8_t* text = area + offset + 2;
        std::u16string site;
        for (int i = 0; i < units; ++i) {
            char16_t unit = static_cast<char16_t>(text[2 * i] | (text[2 * i + 1] << 8));
            if (unit == 0) break;
            site += unit;
        }
        sites.push_back(site);
        offset += bytes + kCompatEntryFixed;
    }
    return sites;
}

bool AppendCompatEntry(BinBuffer& area, const std::u16string& site)
{
    if (site.size() > kCompatMaxSiteUnits) return false;
    uint8_t tag[4], zeros[8] = {}, flag[4], length[2];
    Put32(tag, 0x0C);
    Put32(flag, 1);
    length[0] = static_cast<uint8_t>(site.size());
    length[1] = static_cast<uint8_t>(site.size() >> 8);
    bool ok = WriteLogged(area, tag, 4);
    ok = WriteLogged(area, zeros, 8) && ok;
    ok = WriteLogged(area, flag, 4) && ok;
    ok = WriteLogged(area, length, 2) && ok;

    std::vector<uint8_t> text(2 * site.size());
    for (size_t i = 0; i < site.size(); ++i) {
        text[2 * i] = static_cast<uint8_t>(site[i]);
        text[2 * i + 1] = static_cast<uint8_t>(site[i] >> 8);
    }
    return area.write(text.data(), static_cast<uint32_t>(text.size())) && ok;
}

void CountCompatEntry(uint32_t words[kCompatHeaderWords], bool headerLoaded, uint32_t areaSize)
{
    words[kCompatCountCopy] += 1;
    words[kCompatCount] += 1;
    if (!headerLoaded) words[kCompatCreated] = 1;
    words[kCompatAreaSize] = areaSize + 12;
}

bool BuildCompatValue(const uint32_t words[kCompatHeaderWords], const BinBuffer& area,
                      BinBuffer& value)
{
    uint8_t header[kCompatHeaderSize];
    for (int i = 0; i < kCompatHeaderWords; ++i) Put32(header + 4 * i, words[i]);
    value.reset();
    bool ok = WriteLogged(value, header, kCompatHeaderSize);
    return value.write(area.data(), area.size()) && ok;
}
