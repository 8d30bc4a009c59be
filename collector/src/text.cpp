#include "text.h"

#include <Poco/DateTimeFormatter.h>
#include <Poco/Timestamp.h>

namespace collector {
namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool FormDecode(const std::string& in, std::string& out)
{
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '+') {
            out += ' ';
        } else if (in[i] == '%') {
            if (i + 2 >= in.size()) return false;
            const int hi = HexValue(in[i + 1]), lo = HexValue(in[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += in[i];
        }
    }
    return true;
}

} // namespace

bool ParseForm(const std::string& body, std::map<std::string, std::string>& fields)
{
    fields.clear();
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        const std::string pair = body.substr(start, end - start);
        start = end + 1;
        if (pair.empty()) continue;
        const std::size_t eq = pair.find('=');
        std::string name, value;
        if (!FormDecode(pair.substr(0, eq), name)) return false;
        if (eq != std::string::npos && !FormDecode(pair.substr(eq + 1), value)) return false;
        if (!fields.emplace(std::move(name), std::move(value)).second) return false;
    }
    return true;
}

bool IsUtf8(const std::string& text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned min;
        unsigned cp;
        if ((c & 0xE0) == 0xC0) len = 2, min = 0x80, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) len = 3, min = 0x800, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) len = 4, min = 0x10000, cp = c & 0x07;
        else return false;
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

bool HasControl(const std::string& text, bool allowWhitespace)
{
    for (unsigned char c : text) {
        if (allowWhitespace && (c == '\t' || c == '\r' || c == '\n')) continue;
        if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

std::string HtmlEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string CsvField(const std::string& text)
{
    std::string value = text;
    if (!value.empty() && (value[0] == '=' || value[0] == '+' || value[0] == '-' || value[0] == '@'))
        value.insert(0, 1, '\'');
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string UrlComponent(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string UtcNow()
{
    return Poco::DateTimeFormatter::format(Poco::Timestamp(), "%Y-%m-%d %H:%M:%S");
}

bool SameSecret(const std::string& a, const std::string& b)
{
    if (b.empty()) return false;
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i % b.size()]);
    return diff == 0;
}

} // namespace collector
