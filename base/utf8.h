#pragma once
// UTF-8 and UTF-16 in plain code, without the system (so the native fuzz
// build takes it as it is). Decoding is strict: an overlong form, a
// surrogate, a value above U+10FFFF, a stray continuation byte or a
// sequence cut short gives U+FFFD for its first byte, and reading goes on
// at the next. An unpaired surrogate is encoded as U+FFFD.
#include <string>

std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& units);

// `text` with each malformed byte replaced by U+FFFD; well-formed text comes
// back unchanged.
std::string WellFormedUtf8(const std::string& text);
