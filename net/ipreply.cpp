#include "net/ipreply.h"

#include "base/textconv.h"

#include <Poco/Exception.h>
#include <Poco/JSON/Object.h>
#include <Poco/JSON/Parser.h>

namespace {
int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

std::string UrlDecode(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool IsUtf8(const unsigned char* bytes, long length)
{
    if (!bytes || length <= 0) return false;
    int pending = 0;
    bool wide = false;
    for (long i = 0; i < length; ++i) {
        unsigned char c = bytes[i];
        if (pending) {
            if ((c & 0xC0) != 0x80) return false;
            --pending;
            continue;
        }
        if (c < 0x80) continue;
        wide = true;
        if (c >= 0xFC) pending = 5;
        else if (c >= 0xF8) pending = 4;
        else if (c >= 0xF0) pending = 3;
        else if (c >= 0xE0) pending = 2;
        else if (c >= 0xC0) pending = 1;
        else return false;
    }
    return pending == 0 && wide;
}

bool IsUtf8(const std::string& text)
{
    return IsUtf8(reinterpret_cast<const unsigned char*>(text.data()), static_cast<long>(text.size()));
}

IpReplyResult ParseIpReply(const std::string& utf8, IpInfo& info, std::string& error)
{
    try {
        Poco::JSON::Parser parser;
        Poco::Dynamic::Var parsed = parser.parse(utf8);
        if (parsed.type() != typeid(Poco::JSON::Object::Ptr)) {
            error = "not a JSON object";
            return kIpReplyMalformed;
        }
        Poco::JSON::Object::Ptr reply = parsed.extract<Poco::JSON::Object::Ptr>();
        if (!reply || !reply->has("code")) {
            error = "no \"code\"";
            return kIpReplyMalformed;
        }
        if (reply->getValue<int>("code") != 0) return kIpReplyRefused;
        Poco::JSON::Object::Ptr data = reply->getObject("data");
        if (!data) return kIpReplyRefused;

        // All four or nothing: half a record would compare carriers wrongly.
        IpInfo found;
        found.region = data->getValue<std::string>("region");
        found.ip = data->getValue<std::string>("ip");
        found.isp = data->getValue<std::string>("isp");
        found.isp_id = data->getValue<std::string>("isp_id");
        found.region = UrlDecode(found.region);
        found.isp = UrlDecode(found.isp);
        info = found;
        return kIpReplyOk;
    } catch (const Poco::Exception& e) {
        error = e.displayText();
    } catch (const std::exception& e) {
        error = e.what();
    }
    return kIpReplyMalformed;
}

namespace {
std::string ToAnsiIfUtf8(const std::string& text)
{
    return IsUtf8(text) ? Utf8ToAnsi(text) : text;
}
} // namespace

IpReplyResult ParseIpReplyBody(const std::string& body, IpInfo& info, std::string& error)
{
    // JSON is read as UTF-8; a body in the local code page is brought to
    // UTF-8 first, and the texts go back to the code page afterwards.
    std::string text = body.c_str();  // up to the first zero byte
    if (!IsUtf8(text)) text = AnsiToUtf8(text);
    IpInfo found;
    const IpReplyResult result = ParseIpReply(text, found, error);
    if (result == kIpReplyOk) {
        found.region = ToAnsiIfUtf8(found.region);
        found.isp = ToAnsiIfUtf8(found.isp);
        info = found;
    }
    return result;
}
