// The IP-information service's reply: arbitrary bodies (UTF-8, the code
// page, or neither) through the whole reading, then a well-formed reply
// built from the input's texts, which must come back exactly, and the
// percent decoding against its inverse.
#include "net/ipreply.h"

#include "base/textconv.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <stdio.h>
#include <stdlib.h>

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}

// A JSON string holding `text` (printable ASCII here, so that it reads back
// byte for byte).
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Printable(const std::string& text)
{
    std::string out;
    for (char c : text) out += static_cast<char>(0x20 + static_cast<unsigned char>(c) % 0x5F);
    return out;
}

std::string PercentAll(const std::string& text)
{
    std::string out;
    char hex[4];
    for (unsigned char c : text) {
        snprintf(hex, sizeof hex, c & 1 ? "%%%02X" : "%%%02x", c);
        out += hex;
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string body = provider.ConsumeRandomLengthString(4096);

    IpInfo info;
    info.ip = "unchanged";
    std::string error;
    const IpReplyResult result = ParseIpReplyBody(body, info, error);
    if (result != kIpReplyOk) Check(info.ip == "unchanged");
    if (result == kIpReplyMalformed) Check(!error.empty());

    // Percent decoding undoes percent encoding, in either case of hex digit.
    const std::string raw = provider.ConsumeRandomLengthString(256);
    Check(UrlDecode(PercentAll(raw)) == raw);
    Check(UrlDecode(raw).size() <= raw.size());

    // A complete reply, its texts from the input.
    const std::string ip = Printable(provider.ConsumeRandomLengthString(40));
    const std::string region = Printable(provider.ConsumeRandomLengthString(40));
    const std::string isp = Printable(provider.ConsumeRandomLengthString(40));
    const std::string ispId = Printable(provider.ConsumeRemainingBytesAsString());
    const std::string reply = "{\"code\":0,\"data\":{\"ip\":" + Quoted(ip) + ",\"region\":" + Quoted(region) +
                              ",\"isp\":" + Quoted(isp) + ",\"isp_id\":" + Quoted(ispId) + "}}";
    IpInfo parsed;
    Check(ParseIpReplyBody(reply, parsed, error) == kIpReplyOk);
    Check(parsed.ip == ip && parsed.isp_id == ispId);
    // Region and carrier are percent-encoded UTF-8, handed on in the code
    // page: decoded bytes that happen to be UTF-8 are converted.
    const auto shown = [](const std::string& text) {
        const std::string decoded = UrlDecode(text);
        return IsUtf8(decoded) ? Utf8ToAnsi(decoded) : decoded;
    };
    Check(parsed.region == shown(region) && parsed.isp == shown(isp));
    return 0;
}
