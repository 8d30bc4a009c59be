#include "DemoState.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace fs = std::filesystem;

namespace demo {
namespace {

const char* const kThirdPartyDir = "/norvik/DownLoad/ThirdParty/";
const char* const kInstallerDir = "/norvik/Download/IE/";

// The client also times its download of this one to measure line speed.
const char* const kSpeedTestInstaller = "IE8-WindowsServer2003-x86-CHS.exe";
const char* const kInstallers[] = {
    "IE8-WindowsServer2003-x86-ENU.exe",
    "IE8-WindowsServer2003-x86-CHS.exe",
    "IE8-WindowsXP-x86-ENU.exe",
    "IE8-WindowsXP-x86-CHS.exe",
    "IE8-WindowsVista-x86-CHS.exe",
};
const std::size_t kInstallerStandInSize = 64 * 1024;

// Default IP-information answer. Region and carrier are sent as
// percent-encoded UTF-8, as the service does.
const char* const kMyIp = "198.51.100.23";
const char* const kRegion = "%E5%8C%97%E4%BA%AC%E5%B8%82"; // 北京市
const char* const kIsp = "%E7%94%B5%E4%BF%A1";             // 电信
const char* const kIspId = "100017";

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

// The internet test's page for the demo: times the download of the speed
// test file with plain script an old browser runs too.
const char* const kSpeedTestPage =
    "<!DOCTYPE html>\r\n"
    "<html>\r\n"
    "<head><meta charset=\"utf-8\"><title>Pylonix Speed Test</title></head>\r\n"
    "<body>\r\n"
    "<h1>Speed test</h1>\r\n"
    "<p id=\"result\">Measuring...</p>\r\n"
    "<script>\r\n"
    "var started = new Date().getTime();\r\n"
    "var request = new XMLHttpRequest();\r\n"
    "request.open('GET', '/norvik/Download/IE/IE8-WindowsServer2003-x86-CHS.exe?' + started, true);\r\n"
    "request.onreadystatechange = function () {\r\n"
    "  if (request.readyState != 4) return;\r\n"
    "  var seconds = Math.max(new Date().getTime() - started, 1) / 1000;\r\n"
    "  var size = request.responseText ? request.responseText.length : 0;\r\n"
    "  document.getElementById('result').innerHTML = request.status == 200\r\n"
    "    ? Math.round(size / 1024 / seconds) + ' KB/s' : 'Failed: ' + request.status;\r\n"
    "};\r\n"
    "request.send(null);\r\n"
    "</script>\r\n"
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

std::uint32_t fnv1a(const std::string& text)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char ch : text)
        h = (h ^ ch) * 16777619u;
    return h;
}

// A readable first line, then xorshift32 noise up to size: stable across
// runs so tests can compare checksums, different per seed so a mixed-up
// download is noticed, and incompressible so measured speeds are honest.
std::string generatedBytes(std::string firstLine, std::uint32_t seed, std::size_t size)
{
    std::string out = std::move(firstLine);
    std::size_t i = out.size();
    if (out.size() < size)
        out.resize(size);
    std::uint32_t x = seed ? seed : 1;
    for (; i < out.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<char>(x & 0xff);
    }
    return out;
}

// Stand-in payload: a few kilobytes, the size varying with the name.
std::string componentBytes(const std::string& name)
{
    const std::uint32_t h = fnv1a(name);
    return generatedBytes("PYLONIX DEMO COMPONENT " + name + "\n", h, 2048 + h % 6144);
}

std::string installerBytes(const std::string& name, std::size_t size)
{
    return generatedBytes("PYLONIX DEMO INSTALLER " + name + "\n", fnv1a(name), size);
}

std::map<std::string, Resource> builtinContent(unsigned speedFileMiB)
{
    std::map<std::string, Resource> m;
    m["/norvik/login.htm"] = {"text/html; charset=utf-8", makeBody(kLoginPage)};
    m["/speedtest.htm"] = {"text/html; charset=utf-8", makeBody(kSpeedTestPage)};
    m[std::string(kThirdPartyDir) + "local.inf"] = {"text/plain", makeBody(localInf())};
    for (const Component& c : kComponents)
        m[std::string(kThirdPartyDir) + c.name] = {"application/octet-stream", makeBody(componentBytes(c.name))};
    for (const char* name : kInstallers) {
        const std::size_t size = std::string(name) == kSpeedTestInstaller
                                     ? static_cast<std::size_t>(speedFileMiB) * 1024 * 1024
                                     : kInstallerStandInSize;
        m[std::string(kInstallerDir) + name] = {"application/octet-stream", makeBody(installerBytes(name, size))};
    }
    return m;
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char ch : text) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", ch);
            out += buf;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out + "\"";
}

std::string defaultIpAnswer(const std::string& ip)
{
    return std::string("{\"code\":0,\"data\":{\"ip\":") + jsonString(ip == "myip" ? kMyIp : ip) +
           ",\"region\":\"" + kRegion + "\",\"isp\":\"" + kIsp + "\",\"isp_id\":\"" + kIspId + "\"}}";
}

// One request per log line whatever the client sent.
std::string printable(const std::string& text)
{
    std::string out;
    for (unsigned char ch : text) {
        if (ch < 0x20 || ch == 0x7f) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", ch);
            out += buf;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out;
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

bool parseFault(const std::string& text, Fault& fault)
{
    static const std::map<std::string, FaultMode> names = {
        {"normal", FaultMode::Normal}, {"404", FaultMode::NotFound}, {"302", FaultMode::Redirect},
        {"empty", FaultMode::Empty},   {"cut", FaultMode::Cut},      {"nolength", FaultMode::NoLength},
        {"stall", FaultMode::Stall},   {"more", FaultMode::More},
    };
    auto it = names.find(text);
    if (it != names.end()) {
        fault = {it->second, 0};
        return true;
    }
    const std::string ratePrefix = "rate:";
    if (text.compare(0, ratePrefix.size(), ratePrefix) != 0)
        return false;
    const std::string digits = text.substr(ratePrefix.size());
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long rate = std::stoul(digits);
    if (rate == 0)
        return false;
    fault = {FaultMode::Rate, rate};
    return true;
}

Body makeBody(std::string text)
{
    return std::make_shared<const std::string>(std::move(text));
}

DemoState::DemoState(std::string rootDir, unsigned speedFileMiB)
    : _root(std::move(rootDir)), _builtin(builtinContent(speedFileMiB))
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
    out.body = makeBody(data.str());
    return true;
}

void DemoState::setFault(const std::string& path, const Fault& fault)
{
    std::lock_guard<std::mutex> lock(_mutex);
    if (fault.mode == FaultMode::Normal)
        _faults.erase(path);
    else
        _faults[path] = fault;
}

Fault DemoState::faultFor(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(_mutex);
    auto it = _faults.find(path);
    return it == _faults.end() ? Fault{} : it->second;
}

void DemoState::setIpAnswer(const std::string& ip, std::string body)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _ipAnswers[ip] = std::move(body);
}

void DemoState::clearIpAnswer(const std::string& ip)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _ipAnswers.erase(ip);
}

std::string DemoState::ipAnswer(const std::string& ip) const
{
    std::lock_guard<std::mutex> lock(_mutex);
    auto it = _ipAnswers.find(ip);
    return it == _ipAnswers.end() ? defaultIpAnswer(ip) : it->second;
}

void DemoState::logRequest(const std::string& method, const std::string& path, const std::string& detail)
{
    std::string line = method + " " + path;
    if (!detail.empty())
        line += " " + printable(detail);
    std::lock_guard<std::mutex> lock(_mutex);
    _log.push_back(std::move(line));
}

std::string DemoState::requestLog() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    std::string text;
    for (const std::string& line : _log)
        text += line + "\n";
    return text;
}

void DemoState::recordUpload(std::string head, std::string body, bool complete)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _upload.head = std::move(head);
    _upload.body = std::move(body);
    _upload.complete = complete;
    ++_upload.count;
}

DemoState::Upload DemoState::lastUpload() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _upload;
}

void DemoState::addReport(Report report)
{
    std::lock_guard<std::mutex> lock(_mutex);
    _reports.push_back(std::move(report));
}

std::vector<DemoState::Report> DemoState::reports() const
{
    std::lock_guard<std::mutex> lock(_mutex);
    return _reports;
}

void DemoState::reset()
{
    std::lock_guard<std::mutex> lock(_mutex);
    _upload = Upload();
    _reports.clear();
    _faults.clear();
    _ipAnswers.clear();
    _log.clear();
}

} // namespace demo
