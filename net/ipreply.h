#pragma once
// The IP-information service's reply and the text tests it needs. Free of
// <windows.h> (code-page conversions go through base/textconv.h), so it
// also builds natively.
#include <stddef.h>

#include <string>

struct IpInfo {
    std::string ip;
    std::string region;
    std::string isp;     // carrier name
    std::string isp_id;  // carrier id
};

// "%hh" (either case) becomes that byte, "+" a blank; every other byte,
// including a "%" without two hex digits after it, passes unchanged.
std::string UrlDecode(const std::string& text);

// True for bytes that are well-formed multi-byte text with at least one byte
// above 0x7F; plain ASCII is not. Lead bytes 0xF8..0xFF are taken as the
// old five- and six-byte forms.
bool IsUtf8(const unsigned char* bytes, long length);
bool IsUtf8(const std::string& text);

enum IpReplyResult {
    kIpReplyOk,          // code 0 with all four texts: stored into the record
    kIpReplyRefused,     // a non-zero code, or code 0 without "data"
    kIpReplyMalformed,   // not a JSON object, no "code", or a "data" text missing
};

// Parses a reply body given as UTF-8. On kIpReplyOk the record holds the
// service's ip, region, isp and isp_id, region and isp percent-decoded
// (still in whatever encoding the service used); otherwise it is untouched.
// `error` says what was wrong with a malformed reply.
IpReplyResult ParseIpReply(const std::string& utf8, IpInfo& info, std::string& error);

// A reply body as it arrived: cut at its first zero byte, read as UTF-8 when
// it is UTF-8 and otherwise as the active code page; region and isp come
// back in the code page when they decoded to UTF-8. The rest as ParseIpReply.
IpReplyResult ParseIpReplyBody(const std::string& body, IpInfo& info, std::string& error);
