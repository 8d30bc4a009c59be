#pragma once
// A form request to one URL over the POCO HTTP client.
#include "base/binbuffer.h"

#include <Poco/Net/HTTPResponse.h>
#include <Poco/URI.h>

#include <map>
#include <string>

class HttpFormClient {
public:
    // Throws Poco::SyntaxException for a URL it cannot parse.
    explicit HttpFormClient(const std::string& url);

    // Sends the fields as an url-encoded form with `method` ("POST", or
    // "GET" with the fields in the query) and appends the reply body to
    // `body` unless `noBody`. False for a 404 reply (nothing read).
    // Network failures, and a reply cut short, come out as Poco exceptions.
    bool send(Poco::Net::HTTPResponse& response, BinBuffer& body, bool noBody,
              const std::map<std::string, std::string>& fields, const std::string& method);

private:
    Poco::URI m_uri;
};
