#include "net/httpform.h"

#include "net/download.h"

#include <Poco/Net/HTMLForm.h>
#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/NetException.h>
#include <Poco/StreamCopier.h>
#include <Poco/Timespan.h>

HttpFormClient::HttpFormClient(const std::string& url) : m_uri(url) {}

bool HttpFormClient::send(Poco::Net::HTTPResponse& response, BinBuffer& body, bool noBody,
                          const std::map<std::string, std::string>& fields,
                          const std::string& method)
{
    std::string path = m_uri.getPathAndQuery();
    if (path.empty()) path = "/";

    Poco::Net::HTTPClientSession session(m_uri.getHost(), m_uri.getPort());
    // A service that drops packets must not hold up start-up for minutes.
    session.setTimeout(Poco::Timespan(kConnectTimeout, 0), Poco::Timespan(kProbeTimeout, 0),
                       Poco::Timespan(kProbeTimeout, 0));

    Poco::Net::HTTPRequest request(method, path, Poco::Net::HTTPMessage::HTTP_1_1);
    request.setContentType("application/x-www-form-urlencoded");
    Poco::Net::HTMLForm form;
    for (const auto& field : fields) form.set(field.first, field.second);
    form.prepareSubmit(request);
    std::ostream& out = session.sendRequest(request);
    form.write(out);

    std::istream& in = session.receiveResponse(response);
    if (response.getStatus() == Poco::Net::HTTPResponse::HTTP_NOT_FOUND) return false;
    if (!noBody) {
        std::string text;
        Poco::StreamCopier::copyToString(in, text, 8192);
        // The stream ends quietly when the server hangs up early; a reply
        // shorter than it declared is a broken transfer, not a reply.
        if (response.hasContentLength() &&
            static_cast<Poco::Int64>(text.size()) < response.getContentLength64())
            throw Poco::Net::MessageException("reply cut short");
        body.write(text.data(), static_cast<uint32_t>(text.size()));
    }
    return true;
}
