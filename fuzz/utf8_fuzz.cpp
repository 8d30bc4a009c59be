// The UTF-8 test that decides how a reply body is read, against a second
// reading of what it promises: lead bytes by their leading one bits (0xF8
// and up as the old five- and six-byte forms), each followed by that many
// continuation bytes, and at least one byte above 0x7F.
#include "net/ipreply.h"

#include <stdlib.h>

#include <string>

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}

bool Expected(const unsigned char* bytes, size_t length)
{
    bool wide = false;
    for (size_t i = 0; i < length;) {
        const unsigned char lead = bytes[i];
        int ones = 0;
        while (ones < 8 && (lead & (0x80 >> ones))) ++ones;
        if (ones == 0) {
            ++i;
            continue;
        }
        if (ones == 1) return false;  // a continuation byte with no lead
        const int following = ones >= 6 ? 5 : ones - 1;
        wide = true;
        for (int k = 1; k <= following; ++k)
            if (i + k >= length || (bytes[i + k] & 0xC0) != 0x80) return false;
        i += 1 + following;
    }
    return wide;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool answer = IsUtf8(data, static_cast<long>(size));
    Check(answer == Expected(data, size));
    Check(answer == IsUtf8(text));
    Check(!IsUtf8(data, 0) && !IsUtf8(nullptr, static_cast<long>(size)) && !IsUtf8(data, -1));
    // Any prefix of a plain-ASCII text is not UTF-8; appending ASCII keeps the answer.
    Check(IsUtf8(text + "abc") == answer);
    return 0;
}
