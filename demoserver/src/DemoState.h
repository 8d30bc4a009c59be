// Shared state of the demo server: content, injected faults, configured
// IP-information answers, request log.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace demo {

enum class FaultMode { Normal, NotFound, Redirect, Empty, Cut, NoLength, Rate, Stall, More };

struct Fault {
    FaultMode mode = FaultMode::Normal;
    unsigned long bytesPerSecond = 0; // FaultMode::Rate only
};

// Accepts "normal", "404", "302", "empty", "cut", "nolength", "stall",
// "more" and "rate:N" with N a positive number of bytes per second.
bool parseFault(const std::string& text, Fault& fault);

// Bodies are shared, never copied per request: the speed-test file alone
// is tens of megabytes.
using Body = std::shared_ptr<const std::string>;
Body makeBody(std::string text);

struct Resource {
    std::string contentType;
    Body body;
};

class DemoState {
public:
    static constexpr unsigned kMinSpeedFileMiB = 20;
    static constexpr unsigned kMaxSpeedFileMiB = 1024;

    // rootDir may be empty: then only the built-in content is served.
    // The speed-test download is generated here, speedFileMiB large.
    DemoState(std::string rootDir, unsigned speedFileMiB);

    // Files under the root folder win over built-in content.
    bool lookup(const std::string& path, Resource& out) const;

    // FaultMode::Normal removes the entry.
    void setFault(const std::string& path, const Fault& fault);
    Fault faultFor(const std::string& path) const;

    // Reply body of the IP-information service for the looked-up value
    // ("myip" or an address): the configured one, else the default.
    void setIpAnswer(const std::string& ip, std::string body);
    void clearIpAnswer(const std::string& ip);
    std::string ipAnswer(const std::string& ip) const;

    // detail, if not empty, is appended after a space (e.g. a form body).
    void logRequest(const std::string& method, const std::string& path, const std::string& detail = {});
    std::string requestLog() const;

    // The last post to the upload page as received: request line and
    // headers (one "Name: value\r\n" each, in arrival order, then an empty
    // line), the body bytes, and whether the body arrived whole.
    struct Upload {
        std::string head;
        std::string body;
        bool complete = false;
        unsigned long count = 0; // posts received since the last reset
    };
    void recordUpload(std::string head, std::string body, bool complete);
    Upload lastUpload() const;

    // Check reports posted to the collection page, oldest first.
    struct Report {
        std::string machine;
        std::string time;
        std::string body;
        std::string token;  // "" when none came
    };
    void addReport(Report report);
    std::vector<Report> reports() const;

    // Forgets faults, configured answers, logged requests, uploads and reports.
    void reset();

private:
    bool readFromRoot(const std::string& path, Resource& out) const;

    const std::string _root;
    const std::map<std::string, Resource> _builtin;

    mutable std::mutex _mutex;
    std::map<std::string, Fault> _faults;
    std::map<std::string, std::string> _ipAnswers;
    std::vector<std::string> _log;
    Upload _upload;
    std::vector<Report> _reports;
};

} // namespace demo
