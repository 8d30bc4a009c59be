#pragma once
// Small text helpers of the collector: form bodies, UTF-8, escaping for
// HTML, CSV and URLs, timestamps.
#include <map>
#include <string>

namespace collector {

// The fields of an application/x-www-form-urlencoded body ('+' is a space,
// %XX a byte). False when a field name appears twice or an escape is
// broken: a desk never sends either, so such a body is refused rather than
// guessed at.
bool ParseForm(const std::string& body, std::map<std::string, std::string>& fields);

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(const std::string& text);

// True when the text holds a control character (below U+0020, or DEL);
// tab, CR and LF count only when allowWhitespace is false.
bool HasControl(const std::string& text, bool allowWhitespace);

// The text for an HTML element or a quoted attribute.
std::string HtmlEscape(const std::string& text);

// One CSV field (RFC 4180 quoting). A field a spreadsheet would take for a
// formula (starting with = + - @) gets a leading apostrophe.
std::string CsvField(const std::string& text);

// The text as one URL path segment or query value: everything but
// unreserved characters percent-encoded.
std::string UrlComponent(const std::string& text);

// Now in UTC as "YYYY-MM-DD HH:MM:SS".
std::string UtcNow();

// Constant-time comparison, so a wrong token's timing does not tell how
// much of it was right.
bool SameSecret(const std::string& a, const std::string& b);

} // namespace collector
