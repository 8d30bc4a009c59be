#pragma once
// The collector's HTTP side:
//   POST /report        a desk's report (form: machine, time, report, token)
//   GET  /              the desks page (?show=notready: the desks not ready)
//   GET  /desks.csv     the same as CSV (?show=notready too)
//   GET  /desk/NAME     a desk's history (?company=C: of one company)
//   GET  /metrics       the counters as text
#include "config.h"
#include "pages.h"
#include "store.h"

#include <Poco/Net/HTTPRequestHandlerFactory.h>

#include <mutex>

namespace collector {

// The counters every request thread updates.
class Counters {
public:
    explicit Counters(std::string started);
    void Kept();
    void Refused(const std::string& from);
    void Malformed();
    void Unstored();
    Tally Snapshot() const;

private:
    mutable std::mutex m_lock;
    Tally m_tally;
};

class CollectorHandlerFactory : public Poco::Net::HTTPRequestHandlerFactory {
public:
    CollectorHandlerFactory(const Config& config, Store& store, Counters& counters);
    Poco::Net::HTTPRequestHandler* createRequestHandler(const Poco::Net::HTTPServerRequest& request) override;

private:
    const Config& m_config;
    Store& m_store;
    Counters& m_counters;
};

} // namespace collector
