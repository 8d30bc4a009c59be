#include "web.h"

#include "report.h"
#include "text.h"

#include <Poco/Logger.h>
#include <Poco/Net/HTTPRequestHandler.h>
#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/String.h>
#include <Poco/URI.h>

#include <chrono>
#include <istream>
#include <map>

using Poco::Net::HTTPResponse;
using Poco::Net::HTTPServerRequest;
using Poco::Net::HTTPServerResponse;

namespace collector {
namespace {

// A desk's report is a few kilobytes; a repair's, with before and after,
// twice that.
const std::size_t kMaxBody = 1024 * 1024;
const std::size_t kMaxDrained = 16 * 1024 * 1024;
const std::size_t kMaxMachine = 255;

Poco::Logger& Log()
{
    return Poco::Logger::get("collector.web");
}

void Send(HTTPServerResponse& response, HTTPResponse::HTTPStatus status, const std::string& type,
          const std::string& body)
{
    response.setStatus(status);
    response.setContentType(type);
    response.set("Cache-Control", "no-store");
    response.setContentLength(static_cast<std::streamsize>(body.size()));
    std::ostream& out = response.send();
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
}

void SendText(HTTPServerResponse& response, HTTPResponse::HTTPStatus status, const std::string& text)
{
    Send(response, status, "text/plain; charset=utf-8", text + "\n");
}

bool IsForm(const std::string& contentType)
{
    const std::string media = Poco::trim(contentType.substr(0, contentType.find(';')));
    return Poco::icompare(media, "application/x-www-form-urlencoded") == 0;
}

// The desk's local time as PostReport writes it: YYYY-MM-DD HH:MM:SS.
bool IsDeskTime(const std::string& t)
{
    static const char kShape[] = "dddd-dd-dd dd:dd:dd";
    if (t.size() != sizeof kShape - 1) return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (kShape[i] == 'd' ? (t[i] < '0' || t[i] > '9') : t[i] != kShape[i]) return false;
    return true;
}

bool QueryIs(const Poco::URI& uri, const std::string& name, const std::string& value)
{
    for (const auto& kv : uri.getQueryParameters())
        if (kv.first == name && kv.second == value) return true;
    return false;
}

std::string QueryValue(const Poco::URI& uri, const std::string& name)
{
    for (const auto& kv : uri.getQueryParameters())
        if (kv.first == name) return kv.second;
    return std::string();
}

class CollectorHandler : public Poco::Net::HTTPRequestHandler {
public:
    CollectorHandler(const Config& config, Store& store, Counters& counters)
        : m_config(config), m_store(store), m_counters(counters)
    {
    }

    void handleRequest(HTTPServerRequest& request, HTTPServerResponse& response) override
    {
        Poco::URI uri;
        try {
            uri = Poco::URI(request.getURI());
        } catch (const Poco::Exception&) {
            SendText(response, HTTPResponse::HTTP_BAD_REQUEST, "bad address");
            return;
        }
        const std::string path = uri.getPath();
        const std::string& method = request.getMethod();
        if (path == "/report") {
            if (method != "POST") return NotAllowed(response, "POST");
            return Receive(request, response);
        }
        if (method != "GET" && method != "HEAD") return NotAllowed(response, "GET, HEAD");
        if (path == "/") return Page(uri, response);
        if (path == "/desks.csv") return Csv(uri, response);
        if (path.compare(0, 6, "/desk/") == 0 && path.size() > 6) return History(path.substr(6), uri, response);
        if (path == "/metrics") return Metrics(response);
        SendText(response, HTTPResponse::HTTP_NOT_FOUND, "not found");
    }

private:
    void NotAllowed(HTTPServerResponse& response, const char* allow)
    {
        response.set("Allow", allow);
        SendText(response, HTTPResponse::HTTP_METHOD_NOT_ALLOWED, std::string("use ") + allow);
    }

    void Malformed(HTTPServerResponse& response, HTTPResponse::HTTPStatus status, const std::string& why,
                   const std::string& from)
    {
        m_counters.Malformed();
        Log().warning("report from %s refused: %s", from, why);
        SendText(response, status, why);
    }

    // The order matters: nothing of a post is looked at before its token
    // is known good, and nothing is acknowledged before it is committed.
    void Receive(HTTPServerRequest& request, HTTPServerResponse& response)
    {
        const std::string from = request.clientAddress().host().toString();
        if (!IsForm(request.getContentType()))
            return Malformed(response, HTTPResponse::HTTP_UNSUPPORTED_MEDIA_TYPE,
                             "a report is posted as application/x-www-form-urlencoded", from);
        std::string body;
        char buffer[16384];
        std::istream& in = request.stream();
        while (in && body.size() <= kMaxBody) {
            in.read(buffer, sizeof buffer);
            body.append(buffer, static_cast<std::size_t>(in.gcount()));
        }
        if (body.size() > kMaxBody) {
            // Read what a sane client sends on, so that it hears the answer
            // instead of a reset; past that the connection just closes.
            for (std::size_t drained = body.size(); in && drained < kMaxDrained;) {
                in.read(buffer, sizeof buffer);
                drained += static_cast<std::size_t>(in.gcount());
            }
            response.setKeepAlive(false);
            return Malformed(response, HTTPResponse::HTTP_REQUESTENTITYTOOLARGE, "a report is at most 1 MiB", from);
        }
        std::map<std::string, std::string> form;
        if (!ParseForm(body, form))
            return Malformed(response, HTTPResponse::HTTP_BAD_REQUEST, "the form is broken or repeats a field", from);

        const std::string company = CompanyOfToken(m_config, form["token"]);
        if (company.empty()) {
            m_counters.Refused(from);
            Log().warning("report from %s refused: %s token", from,
                          std::string(form["token"].empty() ? "no" : "a wrong"));
            return SendText(response, HTTPResponse::HTTP_FORBIDDEN, "the token is missing or wrong");
        }

        Intake intake;
        intake.company = company;
        intake.machine = form["machine"];
        intake.deskTime = form["time"];
        intake.body = form["report"];
        if (intake.machine.empty() || intake.machine.size() > kMaxMachine || !IsUtf8(intake.machine) ||
            HasControl(intake.machine, false))
            return Malformed(response, HTTPResponse::HTTP_BAD_REQUEST,
                             "machine is 1 to 255 bytes of UTF-8 without control characters", from);
        if (!IsDeskTime(intake.deskTime))
            return Malformed(response, HTTPResponse::HTTP_BAD_REQUEST, "time is YYYY-MM-DD HH:MM:SS", from);
        std::string error;
        if (!IsUtf8(intake.body) || HasControl(intake.body, true))
            return Malformed(response, HTTPResponse::HTTP_BAD_REQUEST, "the report is not UTF-8 text", from);
        if (!ReadReport(intake.body, intake.summary, error))
            return Malformed(response, HTTPResponse::HTTP_BAD_REQUEST, error, from);

        intake.received = UtcNow();
        if (!m_store.Add(intake, error)) {
            m_counters.Unstored();
            return SendText(response, HTTPResponse::HTTP_SERVICE_UNAVAILABLE, "the report could not be kept: " + error);
        }
        m_counters.Kept();
        SendText(response, HTTPResponse::HTTP_OK, "kept");
    }

    void Page(const Poco::URI& uri, HTTPServerResponse& response)
    {
        const auto start = std::chrono::steady_clock::now();
        std::vector<DeskRow> desks;
        std::string error;
        if (!m_store.Desks(desks, error))
            return SendText(response, HTTPResponse::HTTP_SERVICE_UNAVAILABLE, "the database cannot be read: " + error);
        const std::string html = DesksPage(desks, QueryIs(uri, "show", "notready"), m_counters.Snapshot());
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        response.set("Server-Timing", "page;dur=" + std::to_string(ms.count()));
        Send(response, HTTPResponse::HTTP_OK, "text/html; charset=utf-8", html);
    }

    void Csv(const Poco::URI& uri, HTTPServerResponse& response)
    {
        std::vector<DeskRow> desks;
        std::string error;
        if (!m_store.Desks(desks, error))
            return SendText(response, HTTPResponse::HTTP_SERVICE_UNAVAILABLE, "the database cannot be read: " + error);
        response.set("Content-Disposition", "attachment; filename=\"desks.csv\"");
        Send(response, HTTPResponse::HTTP_OK, "text/csv; charset=utf-8", DesksCsv(desks, QueryIs(uri, "show", "notready")));
    }

    void History(const std::string& machine, const Poco::URI& uri, HTTPServerResponse& response)
    {
        const std::string company = QueryValue(uri, "company");
        std::vector<HistoryEntry> entries;
        std::string error;
        if (!m_store.History(machine, company, entries, error))
            return SendText(response, HTTPResponse::HTTP_SERVICE_UNAVAILABLE, "the database cannot be read: " + error);
        Send(response, entries.empty() ? HTTPResponse::HTTP_NOT_FOUND : HTTPResponse::HTTP_OK,
             "text/html; charset=utf-8", DeskPage(machine, company, entries));
    }

    void Metrics(HTTPServerResponse& response)
    {
        std::int64_t desks = 0, ready = 0;
        std::string error;
        if (!m_store.Count(desks, ready, error))
            return SendText(response, HTTPResponse::HTTP_SERVICE_UNAVAILABLE, "the database cannot be read: " + error);
        SendText(response, HTTPResponse::HTTP_OK, MetricsText(m_counters.Snapshot(), desks, ready, m_store.Kind()));
    }

    const Config& m_config;
    Store& m_store;
    Counters& m_counters;
};

} // namespace

Counters::Counters(std::string started)
{
    m_tally.started = std::move(started);
}

void Counters::Kept()
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_tally.kept;
}

void Counters::Refused(const std::string& from)
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_tally.refused;
    m_tally.lastRefusedFrom = from;
    m_tally.lastRefusedAt = UtcNow();
}

void Counters::Malformed()
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_tally.malformed;
}

void Counters::Unstored()
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_tally.unstored;
}

Tally Counters::Snapshot() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_tally;
}

CollectorHandlerFactory::CollectorHandlerFactory(const Config& config, Store& store, Counters& counters)
    : m_config(config), m_store(store), m_counters(counters)
{
}

Poco::Net::HTTPRequestHandler* CollectorHandlerFactory::createRequestHandler(const HTTPServerRequest&)
{
    return new CollectorHandler(m_config, m_store, m_counters);
}

} // namespace collector
