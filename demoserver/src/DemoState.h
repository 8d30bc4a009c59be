// Shared state of the demo server: content, injected faults, request log.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace demo {

enum class FaultMode { Normal, NotFound, Redirect, Empty, Cut };

// Accepts "normal", "404", "302", "empty", "cut".
bool parseFaultMode(const std::string& text, FaultMode& mode);

struct Resource {
    std::string contentType;
    std::string body;
};

class DemoState {
public:
    // rootDir may be empty: then only the built-in content is served.
    explicit DemoState(std::string rootDir);

    // Files under the root folder win over built-in content.
    bool lookup(const std::string& path, Resource& out) const;

    // FaultMode::Normal removes the entry.
    void setFault(const std::string& path, FaultMode mode);
    FaultMode faultFor(const std::string& path) const;

    void logRequest(const std::string& method, const std::string& path);
    std::string requestLog() const;

    // Forgets faults and logged requests.
    void reset();

private:
    bool readFromRoot(const std::string& path, Resource& out) const;

    const std::string _root;
    const std::map<std::string, Resource> _builtin;

    mutable std::mutex _mutex;
    std::map<std::string, FaultMode> _faults;
    std::vector<std::string> _log;
};

} // namespace demo
