#include "DemoRequestHandler.h"

#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerRequestImpl.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/Net/StreamSocket.h>

#include <algorithm>
#include <ostream>

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

std::string queryParam(const Poco::URI& uri, const std::string& name)
{
    for (const auto& kv : uri.getQueryParameters())
        if (kv.first == name)
            return kv.second;
    return {};
}

bool startsWith(const std::string& s, const std::string& prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

void writeBody(std::ostream& out, const std::string& body, std::size_t length)
{
    for (std::size_t sent = 0; sent < length && out; sent += kWritePiece)
        out.write(body.data() + sent, static_cast<std::streamsize>(std::min(kWritePiece, length - sent)));
    out.flush();
}

} // namespace

const DemoRequestHandler::Route DemoRequestHandler::kRoutes[] = {
    {"GET", "/_demo/fault", false, &DemoRequestHandler::setFault},
    {"GET", "/_demo/reset", false, &DemoRequestHandler::reset},
    {"GET", "/_demo/requests", false, &DemoRequestHandler::requests},
    {"GET", "/", true, &DemoRequestHandler::content},
};

DemoRequestHandler::DemoRequestHandler(DemoState& state) : _state(state) {}

void DemoRequestHandler::handleRequest(HTTPServerRequest& request, HTTPServerResponse& response)
{
    Poco::URI uri;
    try {
        uri = Poco::URI(request.getURI());
    } catch (const Poco::Exception&) {
        send(request, response, textReply(HTTPResponse::HTTP_BAD_REQUEST, "bad request URI\n"), false);
        return;
    }
    const std::string& path = uri.getPath();

    if (startsWith(path, kControlPrefix)) {
        send(request, response, route(request, uri), false);
        return;
    }

    _state.logRequest(request.getMethod(), path);
    const FaultMode fault = _state.faultFor(path);
    const bool cut = fault == FaultMode::Cut && request.getMethod() == HTTPRequest::HTTP_GET;
    send(request, response, applyFault(fault, route(request, uri), request), cut);
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

Reply DemoRequestHandler::applyFault(FaultMode mode, Reply reply, const HTTPServerRequest& request) const
{
    switch (mode) {
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
    case FaultMode::Cut: // handled while sending: HEAD must stay intact
    case FaultMode::Normal:
        break;
    }
    return reply;
}

void DemoRequestHandler::send(HTTPServerRequest& request, HTTPServerResponse& response,
                              const Reply& reply, bool cut)
{
    const std::string& body = *reply.body;
    response.setStatusAndReason(reply.status);
    response.setContentType(reply.contentType);
    for (const auto& h : reply.headers)
        response.set(h.first, h.second);
    // Always a fixed length, so HEAD and GET agree and nothing is chunked.
    response.setChunkedTransferEncoding(false);
    response.setContentLength64(static_cast<Poco::Int64>(body.size()));

    if (request.getMethod() == HTTPRequest::HTTP_HEAD) {
        response.send();
        return;
    }

    if (!cut) {
        writeBody(response.send(), body, body.size());
        return;
    }

    // Promise the full length, deliver half, then drop the connection so
    // the client sees a truncated transfer instead of waiting for more.
    response.setKeepAlive(false);
    writeBody(response.send(), body, body.size() / 2);
    if (auto* impl = dynamic_cast<Poco::Net::HTTPServerRequestImpl*>(&request)) {
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
    FaultMode mode;
    if (path.empty() || path[0] != '/')
        return textReply(HTTPResponse::HTTP_BAD_REQUEST, "path must start with /\n");
    if (!parseFaultMode(queryParam(uri, "mode"), mode))
        return textReply(HTTPResponse::HTTP_BAD_REQUEST, "mode must be 404, 302, empty, cut or normal\n");
    _state.setFault(path, mode);
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

} // namespace demo
