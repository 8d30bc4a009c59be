#include "net/httpmultipart.h"

namespace Vexel {

namespace {

// A name or file name inside its quotes: a quote or a line break would end
// the header early (a name holding an empty line would even start the value
// there), so they are percent-encoded, as browsers send them.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += "%22";
        else if (c == '\r') out += "%0D";
        else if (c == '\n') out += "%0A";
        else out += c;
    }
    return out + "\"";
}

std::string Disposition(const std::string& boundary, const std::string& name)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=" + Quoted(name);
}

} // namespace

std::string MultipartValueHead(const std::string& boundary, const std::string& name)
{
    return Disposition(boundary, name) + "\r\n\r\n";
}

std::string MultipartFileHead(const std::string& boundary, const std::string& name, const std::string& filename,
                              const std::string& mime)
{
    return Disposition(boundary, name) + "; filename=" + Quoted(filename) + "\r\nContent-Type: " + mime + "\r\n\r\n";
}

std::string MultipartClosing(const std::string& boundary, bool hasParts)
{
    return (hasParts ? "--" : "\r\n--") + boundary + "--\r\n";
}

} // namespace Vexel
