// HTTP front of the demo server. Every request goes through one routing
// table; handlers only build a Reply, so faults and HEAD are applied in
// a single place for every route.
#pragma once

#include "DemoState.h"

#include <Poco/Net/HTTPRequestHandler.h>
#include <Poco/Net/HTTPRequestHandlerFactory.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/URI.h>

#include <string>
#include <utility>
#include <vector>

namespace demo {

// How a body goes out on the wire. Handlers leave it alone; faults set it.
struct Delivery {
    bool declareLength = true;        // false: no Content-Length, the body ends when the connection does
    bool cutHalf = false;             // declare the full length, send half, drop the connection
    bool stallHalf = false;           // declare the full length, send half, then hold the connection silent
    bool sendMore = false;            // declare the full length, send it and then more bytes
    unsigned long bytesPerSecond = 0; // 0: as fast as the socket takes it
};

struct Reply {
    Poco::Net::HTTPResponse::HTTPStatus status = Poco::Net::HTTPResponse::HTTP_OK;
    std::string contentType = "text/plain";
    Body body = makeBody({});
    std::vector<std::pair<std::string, std::string>> headers;
    Delivery delivery;
};

class DemoRequestHandler : public Poco::Net::HTTPRequestHandler {
public:
    explicit DemoRequestHandler(DemoState& state);

    void handleRequest(Poco::Net::HTTPServerRequest& request,
                       Poco::Net::HTTPServerResponse& response) override;

private:
    using Handler = Reply (DemoRequestHandler::*)(Poco::Net::HTTPServerRequest&, const Poco::URI&);

    struct Route {
        const char* method; // "GET" also answers HEAD
        const char* path;
        bool prefix;        // match path as a prefix instead of exactly
        Handler handler;
    };
    static const Route kRoutes[];

    Reply setFault(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply reset(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply requests(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply setIpInfo(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply ipInfoProbe(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply ipInfoLookup(Poco::Net::HTTPServerRequest& request, const Poco::URI& uri);
    Reply content(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply uploadProbe(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply uploadReceived(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply lastUpload(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    Reply reportReceived(Poco::Net::HTTPServerRequest& request, const Poco::URI& uri);
    Reply listReports(Poco::Net::HTTPServerRequest&, const Poco::URI& uri);
    // Reads and records a post to the upload page; false when a fault made
    // it drop the connection instead (nothing may be sent then).
    bool receiveUpload(Poco::Net::HTTPServerRequest& request, const Fault& fault);

    Reply route(Poco::Net::HTTPServerRequest& request, const Poco::URI& uri);
    Reply applyFault(const Fault& fault, Reply reply, const Poco::Net::HTTPServerRequest& request) const;
    void send(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response,
              const Reply& reply);

    DemoState& _state;
    std::string _requestBody; // read before routing so the log can show it
};

class DemoRequestHandlerFactory : public Poco::Net::HTTPRequestHandlerFactory {
public:
    explicit DemoRequestHandlerFactory(DemoState& state) : _state(state) {}

    Poco::Net::HTTPRequestHandler* createRequestHandler(const Poco::Net::HTTPServerRequest&) override
    {
        return new DemoRequestHandler(_state);
    }

private:
    DemoState& _state;
};

} // namespace demo
