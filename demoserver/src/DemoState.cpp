#include "DemoState.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace demo {
namespace {

const char* const kThirdPartyDir = "/norvik/DownLoad/ThirdParty/";

struct Component {
    const char* name;
    const char* version;
    int isRegister;
    int isDownload;
};

const Component kComponents[] = {
    {"PylonixPrint.ocx", "2.5.0.0", 1, 1},
    {"PylonixReport.dll", "3.1.0.12", 1, 1},
    {"PylonixCharts.ocx", "1.0.0.1", 0, 1},
};

const char* const kLoginPage =
    "<!DOCTYPE html>\r\n"
    "<html>\r\n"
    "<head><meta charset=\"utf-8\"><title>Pylonix Login</title></head>\r\n"
    "<body>\r\n"
    "<h1>Pylonix</h1>\r\n"
    "<form method=\"post\" action=\"/norvik/login.htm\">\r\n"
    "<p>User: <input type=\"text\" name=\"user\"></p>\r\n"
    "<p>Password: <input type=\"password\" name=\"password\"></p>\r\n"
    "<p><input type=\"submit\" value=\"Login\"></p>\r\n"
    "</form>\r\n"
    "</body>\r\n"
    "</html>\r\n";

std::string threeDigits(int n)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%03d", n);
    return buf;
}

// The client parses this with Windows INI routines, hence CRLF.
std::string localInf()
{
    std::string ini = "[thirdparty]\r\n";
    int index = 1;
    for (const Component& c : kComponents) {
        const std::string n = threeDigits(index++);
        ini += "thirdparty" + n + "=" + c.name + "\r\n";
        ini += "isregister" + n + "=" + std::to_string(c.isRegister) + "\r\n";
        ini += "isDownload" + n + "=" + std::to_string(c.isDownload) + "\r\n";
        ini += "version" + n + "=" + c.version + "\r\n";
    }
    return ini;
}

// Stand-in payload: stable across runs so tests can compare checksums,
// different per name so a mixed-up download is noticed.
std::string componentBytes(const std::string& name)
{
    std::uint32_t h = 2166136261u; // FNV-1a
    for (unsigned char ch : name)
        h = (h ^ ch) * 16777619u;
    std::string out = "PYLONIX DEMO COMPONENT " + name + "\n";
    const std::size_t size = 2048 + h % 6144;
    std::uint32_t x = h ? h : 1;
    while (out.size() < size) {
        x ^= x << 13; // xorshift32
        x ^= x >> 17;
        x ^= x << 5;
        out.push_back(static_cast<char>(x & 0xff));
    }
    return out;
}

std::map<std::string, Resource> builtinContent()
{
    std::map<std::string, Resource> m;
    m["/norvik/login.htm"] = {"text/html; charset=utf-8", kLoginPage};
    m[std::string(kThirdPartyDir) + "local.inf"] = {"text/plain", localInf()};
    for (const Component& c : kComponents)
        m[std::string(kThirdPartyDir) + c.name] = {"application/octet-stream", componentBytes(c.name)};
    return m;
}

std::string contentTypeFor(const fs::path& file)
{
    const std::string ext = file.extension().string();
    if (ext == ".htm" || ext == ".html")
        return "text/html; charset=utf-8";
    if (ext == ".inf" || ext == ".ini" || ext == ".txt")
        return "text/plain";
    if (ext == ".json")
        return "application/json";
    return "application/octet-stream";
}

} // namespace

bool parseFaultMode(const std::string& text, FaultMode& mode)
{
    static const std::map<std::string, FaultMode> names = {
        {"normal", FaultMode::Normal}, {"404", FaultMode::NotFound}, {"302", FaultMode::Redirect},
        {"empty", FaultMode::Empty},   {"cut", FaultMode::Cut},
    };
    auto it = names.find(text);
    if (it == names.end())
        return false;
    mode = it->second;
    return true;
}

DemoState::DemoState(std::string rootDir)
    : _root(std::move(rootDir)), _builtin(builtinContent())
{
}

bool DemoState::lookup(const std::string& path, Resource& out) const
{
    if (readFromRoot(path, out))
        return true;
    auto it = _builtin.find(path);
    if (it == _builtin.end())
        return false;
    out = it->second;
    return true;
}

bool DemoState::readFromRoot(const std::string& path, Resource& out) const
{
    if (_root.empty() || path.empty() || path[0] != '/')
        return false;
    // Never leave the root folder.
    const fs::path rel = fs::path(path.substr(1)).lexically_normal();
    if (rel.empty() || rel.is_absolute() || *rel.begin() == "..")
        return false;
    const fs::path file = fs::path(_root) / rel;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream data;
    data << in.rdbuf();
    out.contentType = contentTypeFor(file);
    out.body = data.str();
    return true;
}

void DemoState::setFault(const std::string& path, FaultMode mode)
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (mode == FaultMode::Normal)
        _faults.erase(path);
    else
        _faults[path] = mode;
}

FaultMode DemoState::faultFor(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(_mutex);
    auto it = _faults.find(path);
    return it == _faults.end() ? FaultMode::Normal : it->second;
}

void DemoState::logRequest(const std::string& method, const std::string& path)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _log.push_back(method + " " + path);
}

std::string DemoState::requestLog() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    std::string text;
    for (const std::string& line : _log)
        text += line + "\n";
    return text;
}

void DemoState::reset()
{
    std::lock_guard<std::mutex> lock(_mutex);
    _faults.clear();
    _log.clear();
}

} // namespace demo
