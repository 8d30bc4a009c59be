#pragma once
// The byte layout of the compatibility-view list value: a 24-byte header of
// six little-endian 32-bit words, then one entry per site. Free of
// <windows.h>, so it also builds (and is fuzzed) natively.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

class BinBuffer;

const uint32_t kCompatHeaderSize = 24;
const int kCompatHeaderWords = 6;

// Header words by position (byte offset = 4 * index).
enum CompatHeaderWord {
    kCompatListId,     // 0x1F41 in a list we create
    kCompatListMarker, // 0xBAAD0853 in a list we create
    kCompatCount,      // number of entries
    kCompatAreaSize,   // entry-area bytes + 12
    kCompatCreated,    // 1 once we created the list
    kCompatCountCopy,  // number of entries again
};

// Entry: 4-byte tag 0x0C, 8 zero bytes, 4-byte 1, 16-bit length n, then n
// UTF-16LE units without a terminator.
const uint32_t kCompatEntryFixed = 18;
const uint32_t kCompatLengthOffset = 16;
// The length field is read back as signed: longer sites could not be read.
const size_t kCompatMaxSiteUnits = 0x7FFF;

// The header of a list that does not exist yet.
void DefaultCompatHeader(uint32_t words[kCompatHeaderWords]);
void ReadCompatHeader(const uint8_t* bytes, uint32_t words[kCompatHeaderWords]);

// The site texts of an entry area, in stored order, each cut at its first
// zero unit. Stored values may be damaged, so the walk stops, without
// reading outside `size` bytes, at the first entry whose length field or
// text does not fit in the area or whose length is negative; the entries
// before it are kept.
std::vector<std::u16string> ParseCompatEntries(const uint8_t* area, size_t size);

// Appends one entry. A fixed part that cannot be appended is logged and
// skipped; false when any part failed. A site over kCompatMaxSiteUnits is
// refused with nothing appended.
bool AppendCompatEntry(BinBuffer& area, const std::u16string& site);

// Header changes for one appended entry; `areaSize` is the entry area's
// size after the append. A list that had no header gets the created flag.
void CountCompatEntry(uint32_t words[kCompatHeaderWords], bool headerLoaded, uint32_t areaSize);

// `value` becomes the header followed by the entry area.
bool BuildCompatValue(const uint32_t words[kCompatHeaderWords], const BinBuffer& area,
                      BinBuffer& value);
