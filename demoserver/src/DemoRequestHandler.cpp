#include "DemoRequestHandler.h"

#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerRequestImpl.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/StreamCopier.h>
#include <Poco/String.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <thread>

using Poco::Net::HTTPRequest;
using Poco::Net::HTTPResponse;
using Poco::Net::HTTPServerRequest;
using Poco::Net::HTTPServerResponse;

namespace demo {
namespace {

// Test hooks live here; they are never logged and never faulted, so a
// test cannot lock itself out of the control endpoints.
const std::string kControlPrefix = "/_demo/";
const char* const kLoginPath = "/norvik/login.htm";
constexpr const char* kIpInfoPath = "/service/getIpInfo.php";
// The upload speed test posts its file here.
constexpr const char* kUploadPath = "/norvik/SM/Upload/TestUploadSpeed.aspx";
constexpr const char* kReportPath = "/norvik/SM/Report/Collect.aspx";
// With the cut fault, the upload page reads this much, then drops the
// connection.
const std::size_t kUploadCutAfter = 64 * 1024;

// Large bodies go out in pieces of this size.
const std::size_t kWritePiece = 64 * 1024;

Reply textReply(HTTPResponse::HTTPStatus status, const std::string& text)
{
    Reply r;
    r.status = status;
    r.body = makeBody(text);
    return r;
}

Reply notFound()
{
    return textReply(HTTPResponse::HTTP_NOT_FOUND, "Not Found\n");
}

bool findQueryParam(const Poco::URI& uri, const std::string& name, std::string& value)
{
    for (const auto& kv : uri.getQueryParameters()) {
        if (kv.first == name) {
            value = kv.second;
            return true;
        }
    }
    return false;
}

std::string queryParam(const Poco::URI& uri, const std::string& name)
{
    std::string value;
    findQueryParam(uri, name, value);
    return value;
}

bool startsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::string formDecode(std::string text)
{
    std::replace(text.begin(), text.end(), '+', ' ');
    std::string decoded;
    Poco::URI::decode(text, decoded);
    return decoded;
}

// Field of an application/x-www-form-urlencoded body; the first one wins.
bool formField(const std::string& body, const std::string& name, std::string& value)
{
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(start, end - start);
        const std::size_t eq = pair.find('=');
        if (formDecode(pair.substr(0, eq)) == name) {
            value = eq == std::string::npos ? std::string() : formDecode(pair.substr(eq + 1));
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool isFormContentType(const std::string& contentType)
{
    const std::string mediaType = Poco::trim(contentType.substr(0, contentType.find(';')));
    return Poco::icompare(mediaType, "application/x-www-form-urlencoded") == 0;
}

// With a rate the pieces are small and each waits until it is due, so
// at no moment has more gone out than the rate allows.
void writeBody(std::ostream& out, const std::string& body, std::size_t length, unsigned long bytesPerSecond)
{
    using Clock = std::chrono::steady_clock;
    const std::size_t piece =
        bytesPerSecond ? std::clamp<std::size_t>(bytesPerSecond / 50, 1, 8 * 1024) : kWritePiece;
    const Clock::time_point start = Clock::now();
    for (std::size_t sent = 0; sent < length && out;) {
        const std::size_t n = std::min(piece, length - sent);
        if (bytesPerSecond) {
            const std::chrono::duration<double> due(static_cast<double>(sent + n) / bytesPerSecond);
            std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(due));
        }
        out.write(body.data() + sent, static_cast<std::streamsize>(n));
        if (bytesPerSecond)
            out.flush();
        sent += n;
    }
    out.flush();
}

} // namespace

const DemoRequestHandler::Route DemoRequestHandler::kRoutes[] = {
    {"GET", "/_demo/fault", false, &DemoRequestHandler::setFault},
    {"GET", "/_demo/reset", false, &DemoRequestHandler::reset},
    {"GET", "/_demo/requests", false, &DemoRequestHandler::requests},
    {"GET", "/_demo/ipinfo", false, &DemoRequestHandler::setIpInfo},
    {"GET", "/_demo/upload", false, &DemoRequestHandler::lastUpload},
    {"GET", "/_demo/reports", false, &DemoRequestHandler::listReports},
    {"POST", kReportPath, false, &DemoRequestHandler::reportReceived},
    {"POST", kUploadPath, false, &DemoRequestHandler::uploadReceived},
    {"GET", kUploadPath, false, &DemoRequestHandler::uploadProbe},
    {"POST", kIpInfoPath, false, &DemoRequestHandler::ipInfoLookup},
    {"GET", kIpInfoPath, false, &DemoRequestHandler::ipInfoProbe},
    {"GET", "/", true, &DemoRequestHandler::content},
};

DemoRequestHandler::DemoRequestHandler(DemoState& state) : _state(state) {}

void DemoRequestHandler::handleRequest(HTTPServerRequest& request, HTTPServerResponse& response)
{
    Poco::URI uri;
    try {
        uri = Poco::URI(request.getURI());
    } catch (const Poco::Exception&) {
        send(request, response, textReply(HTTPResponse::HTTP_BAD_REQUEST, "bad request URI\n"));
        return;
    }
    const std::string& path = uri.getPath();

    if (startsWith(path, kControlPrefix)) {
        send(request, response, route(request, uri));
        return;
    }

    if (path == kUploadPath && request.getMethod() == HTTPRequest::HTTP_POST) {
        // Bodies of many megabytes: recorded apart, never put in the log.
        const Fault fault = _state.faultFor(path);
        _state.logRequest(request.getMethod(), path);
        // Clients that wait for a go-ahead before a large body get it.
        if (request.getExpectContinue() && fault.mode != FaultMode::NotFound)
            response.sendContinue();
        if (receiveUpload(request, fault))
            send(request, response, applyFault(fault.mode == FaultMode::Cut ? Fault{} : fault, route(request, uri), request));
        return;
    }

    // Without a length or chunks there is no body to read, and reading
    // would wait for the client to hang up.
    if (request.hasContentLength() || request.getChunkedTransferEncoding())
        Poco::StreamCopier::copyToString(request.stream(), _requestBody);
    _state.logRequest(request.getMethod(), path, _requestBody);
    send(request, response, applyFault(_state.faultFor(path), route(request, uri), request));
}

Reply DemoRequestHandler::route(HTTPServerRequest& request, const Poco::URI& uri)
{
    std::string method = request.getMethod();
    if (method == HTTPRequest::HTTP_HEAD)
        method = HTTPRequest::HTTP_GET;
    const std::string& path = uri.getPath();
    for (const Route& r : kRoutes) {
        const bool pathMatches = r.prefix ? startsWith(path, r.path) : path == r.path;
        if (pathMatches && method == r.method)
            return (this->*r.handler)(request, uri);
    }
    return notFound();
}

Reply DemoRequestHandler::applyFault(const Fault& fault, Reply reply, const HTTPServerRequest& request) const
{
    switch (fault.mode) {
    case FaultMode::NotFound:
        return notFound();
    case FaultMode::Redirect: {
        // Absolute URL on the host the client used: older HTTP stacks
        // do not all resolve relative redirects.
        Reply r = textReply(HTTPResponse::HTTP_FOUND, "Found\n");
        const std::string host = request.getHost();
        r.headers.emplace_back("Location", host.empty() ? std::string(kLoginPath)
                                                        : "http://" + host + kLoginPath);
        return r;
    }
    case FaultMode::Empty:
        reply.status = HTTPResponse::HTTP_OK;
        reply.body = makeBody({});
        return reply;
    case FaultMode::Cut:
        reply.delivery.cutHalf = true;
        break;
    case FaultMode::NoLength:
        reply.delivery.declareLength = false;
        break;
    case FaultMode::Stall:
        reply.delivery.stallHalf = true;
        break;
    case FaultMode::More:
        reply.delivery.sendMore = true;
        break;
    case FaultMode::Rate:
        reply.delivery.bytesPerSecond = fault.bytesPerSecond;
        break;
    case FaultMode::Normal:
        break;
    }
    return reply;
}

void DemoRequestHandler::send(HTTPServerRequest& request, HTTPServerResponse& response, const Reply& reply)
{
    const std::string& body = *reply.body;
    const Delivery& delivery = reply.delivery;

    response.setStatusAndReason(reply.status);
    response.setContentType(reply.contentType);
    for (const auto& h : reply.headers)
        response.set(h.first, h.second);
    response.setChunkedTransferEncoding(false);
    if (delivery.declareLength) {
        // A fixed length, so HEAD and GET agree.
        response.setContentLength64(static_cast<Poco::Int64>(body.size()));
    } else {
        // Neither length nor chunks: the body ends where the connection does.
        response.setKeepAlive(false);
    }

    if (request.getMethod() == HTTPRequest::HTTP_HEAD) {
        response.send();
        return;
    }

    auto* impl = dynamic_cast<Poco::Net::HTTPServerRequestImpl*>(&request);
    if (delivery.stallHalf && impl) {
        // Half the body, then silence until the client gives up (it closes
        // or resets the connection) or a minute has passed.
        response.setKeepAlive(false);
        writeBody(response.send(), body, body.size() / 2, delivery.bytesPerSecond);
        Poco::Net::StreamSocket& socket = impl->socket();
        for (int waited = 0; waited < 600; ++waited) {
            try {
                if (socket.poll(Poco::Timespan(0, 100000), Poco::Net::Socket::SELECT_READ | Poco::Net::Socket::SELECT_ERROR))
                    break;
            } catch (const Poco::Exception&) {
                break;
            }
        }
        return;
    }
    if (delivery.sendMore && impl) {
        // The declared body, then bytes beyond it straight onto the socket
        // (the response stream stops at the declared length).
        response.setKeepAlive(false);
        writeBody(response.send(), body, body.size(), delivery.bytesPerSecond);
        const std::string surplus(4096, 'X');
        try {
            impl->socket().sendBytes(surplus.data(), static_cast<int>(surplus.size()));
            impl->socket().shutdown();
        } catch (const Poco::Exception&) {
            // Peer already gone.
        }
        return;
    }
    if (!delivery.cutHalf) {
        writeBody(response.send(), body, body.size(), delivery.bytesPerSecond);
        return;
    }

    // Promise the full length, deliver half, then drop the connection so
    // the client sees a truncated transfer instead of waiting for more.
    response.setKeepAlive(false);
    writeBody(response.send(), body, body.size() / 2, delivery.bytesPerSecond);
    if (impl) {
        try {
            impl->socket().shutdown();
        } catch (const Poco::Exception&) {
            // Peer already gone: nothing left to cut.
        }
    }
}

Reply DemoRequestHandler::setFault(HTTPServerRequest&, const Poco::URI& uri)
{
    const std::string path = queryParam(uri, "path");
    Fault fault;
    if (path.empty() || path[0] != '/')
        return textReply(HTTPResponse::HTTP_BAD_REQUEST, "path must start with /\n");
    if (!parseFault(queryParam(uri, "mode"), fault))
        return textReply(HTTPResponse::HTTP_BAD_REQUEST,
                         "mode must be 404, 302, empty, cut, stall, more, nolength, rate:N (bytes per second) or normal\n");
    _state.setFault(path, fault);
    return textReply(HTTPResponse::HTTP_OK, "ok");
}

Reply DemoRequestHandler::reset(HTTPServerRequest&, const Poco::URI&)
{
    _state.reset();
    return textReply(HTTPResponse::HTTP_OK, "ok");
}

Reply DemoRequestHandler::requests(HTTPServerRequest&, const Poco::URI&)
{
    return textReply(HTTPResponse::HTTP_OK, _state.requestLog());
}

// ip=X&body=B answers B, byte for byte, to lookups of X; without body
// the lookup of X gets the default answer again.
Reply DemoRequestHandler::setIpInfo(HTTPServerRequest&, const Poco::URI& uri)
{
    const std::string ip = queryParam(uri, "ip");
    if (ip.empty())
        return textReply(HTTPResponse::HTTP_BAD_REQUEST, "ip missing\n");
    std::string body;
    if (findQueryParam(uri, "body", body))
        _state.setIpAnswer(ip, std::move(body));
    else
        _state.clearIpAnswer(ip);
    return textReply(HTTPResponse::HTTP_OK, "ok");
}

// The client probes the service before posting to it.
Reply DemoRequestHandler::ipInfoProbe(HTTPServerRequest&, const Poco::URI&)
{
    Reply r;
    r.contentType = "text/html; charset=utf-8";
    return r;
}

Reply DemoRequestHandler::ipInfoLookup(HTTPServerRequest& request, const Poco::URI&)
{
    // Fields are only read from a url-encoded form.
    std::string ip;
    try {
        if (!isFormContentType(request.getContentType()) || !formField(_requestBody, "ip", ip))
            return textReply(HTTPResponse::HTTP_BAD_REQUEST, "form field ip missing\n");
    } catch (const Poco::SyntaxException&) {
        return textReply(HTTPResponse::HTTP_BAD_REQUEST, "bad form encoding\n");
    }
    Reply r;
    r.contentType = "application/json";
    r.body = makeBody(_state.ipAnswer(ip));
    return r;
}

Reply DemoRequestHandler::content(HTTPServerRequest&, const Poco::URI& uri)
{
    Resource res;
    if (!_state.lookup(uri.getPath(), res))
        return notFound();
    Reply r;
    r.contentType = res.contentType;
    r.body = std::move(res.body);
    return r;
}

bool DemoRequestHandler::receiveUpload(HTTPServerRequest& request, const Fault& fault)
{
    std::string head = request.getMethod() + " " + request.getURI() + " " + request.getVersion() + "\r\n";
    for (const auto& h : request)
        head += h.first + ": " + h.second + "\r\n";
    head += "\r\n";

    const bool cut = fault.mode == FaultMode::Cut;
    // A rate fault makes the page read slowly, as a slow link would.
    const unsigned long rate = fault.mode == FaultMode::Rate ? fault.bytesPerSecond : 0;
    const std::size_t piece = rate ? std::clamp<std::size_t>(rate / 50, 1, 8 * 1024) : kWritePiece;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::string body;
    std::vector<char> buffer(piece);
    std::istream& in = request.stream();
    while (in && !(cut && body.size() >= kUploadCutAfter)) {
        if (rate) {
            const std::chrono::duration<double> due(static_cast<double>(body.size() + piece) / rate);
            std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(due));
        }
        in.read(buffer.data(), static_cast<std::streamsize>(piece));
        body.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    const bool complete = request.hasContentLength() && !cut &&
                          static_cast<Poco::Int64>(body.size()) == request.getContentLength64();
    _state.recordUpload(std::move(head), std::move(body), complete);
    if (!cut)
        return true;
    // Drop the connection with the rest of the body unread: the client's
    // next writes fail.
    if (auto* impl = dynamic_cast<Poco::Net::HTTPServerRequestImpl*>(&request)) {
        try {
            impl->socket().setLinger(true, 0);
            impl->socket().close();
        } catch (const Poco::Exception&) {
        }
    }
    return false;
}

// The client probes the page with HEAD before it posts.
Reply DemoRequestHandler::uploadProbe(HTTPServerRequest&, const Poco::URI&)
{
    Reply r;
    r.contentType = "text/html; charset=utf-8";
    return r;
}

Reply DemoRequestHandler::uploadReceived(HTTPServerRequest&, const Poco::URI&)
{
    Reply r = textReply(HTTPResponse::HTTP_OK, "ok");
    r.contentType = "text/html; charset=utf-8";
    return r;
}

// part=head: request line and headers; part=body: the body bytes;
// otherwise "<posts> <body bytes> <complete|partial>".
Reply DemoRequestHandler::lastUpload(HTTPServerRequest&, const Poco::URI& uri)
{
    const DemoState::Upload upload = _state.lastUpload();
    const std::string part = queryParam(uri, "part");
    Reply r;
    r.contentType = "application/octet-stream";
    if (part == "head")
        r.body = makeBody(upload.head);
    else if (part == "body")
        r.body = makeBody(upload.body);
    else
        r.body = makeBody(std::to_string(upload.count) + " " + std::to_string(upload.body.size()) + " " +
                          (upload.complete ? "complete" : "partial"));
    return r;
}

namespace {

std::string htmlEscape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

// The collection page: a url-encoded form with machine, time, report and
// the company's token.
Reply DemoRequestHandler::reportReceived(HTTPServerRequest& request, const Poco::URI&)
{
    DemoState::Report report;
    try {
        if (!isFormContentType(request.getContentType()) || !formField(_requestBody, "report", report.body))
            return textReply(HTTPResponse::HTTP_BAD_REQUEST, "form field report missing\n");
        formField(_requestBody, "machine", report.machine);
        formField(_requestBody, "time", report.time);
        formField(_requestBody, "token", report.token);
    } catch (const Poco::SyntaxException&) {
        return textReply(HTTPResponse::HTTP_BAD_REQUEST, "bad form encoding\n");
    }
    _state.addReport(std::move(report));
    return textReply(HTTPResponse::HTTP_OK, "ok\n");
}

// The reports as a table an administrator reads in a browser; with
// ?last=report the last report's body exactly as posted, ?last=token its
// token, ?last=machine its machine.
Reply DemoRequestHandler::listReports(HTTPServerRequest&, const Poco::URI& uri)
{
    const std::vector<DemoState::Report> reports = _state.reports();
    Reply r;
    const std::string last = queryParam(uri, "last");
    if (last == "report" || last == "token" || last == "machine") {
        if (reports.empty())
            return notFound();
        const DemoState::Report& report = reports.back();
        r.contentType = last == "report" ? "application/json" : "text/plain; charset=utf-8";
        r.body = makeBody(last == "report" ? report.body : last == "token" ? report.token : report.machine);
        return r;
    }
    std::string html = "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>Check reports</title></head><body>\r\n"
                       "<h1>Check reports</h1>\r\n<table border=\"1\">\r\n<tr><th>#</th><th>Machine</th><th>Time</th>"
                       "<th>Report</th></tr>\r\n";
    for (std::size_t i = 0; i < reports.size(); ++i)
        html += "<tr><td>" + std::to_string(i + 1) + "</td><td>" + htmlEscape(reports[i].machine) + "</td><td>" +
                htmlEscape(reports[i].time) + "</td><td><pre>" + htmlEscape(reports[i].body) + "</pre></td></tr>\r\n";
    html += "</table>\r\n</body></html>\r\n";
    r.contentType = "text/html; charset=utf-8";
    r.body = makeBody(html);
    return r;
}

} // namespace demo
