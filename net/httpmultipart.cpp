#include "net/httpmultipart.h"

namespace Vexel {

namespace {

std::string Disposition(const std::string& boundary, const std::string& name)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"";
}

} // namespace

std::string MultipartValueHead(const std::string& boundary, const std::string& name)
{
    return Disposition(boundary, name) + "\r\n\r\n";
}

std::string MultipartFileHead(const std::string& boundary, const std::string& name, const std::string& filename,
                              const std::string& mime)
{
    return Disposition(boundary, name) + "; filename=\"" + filename + "\"\r\nContent-Type: " + mime + "\r\n\r\n";
}

std::string MultipartClosing(const std::string& boundary, bool hasParts)
{
    return (hasParts ? "--" : "\r\n--") + boundary + "--\r\n";
}

} // namespace Vexel
