#include "net/ipinfo.h"

#include "base/log.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "base/worker.h"
#include "net/address.h"
#include "net/download.h"
#include "net/httpform.h"

#include <Poco/Exception.h>

#include <memory>

IpInfo g_clientInfo;
IpInfo g_serverInfo;
std::atomic<bool> g_ipServiceAvailable{true};

std::string IpInfoServiceUrl(const std::string& serviceHost)
{
    return "http://" + serviceHost + "/service/getIpInfo.php";
}

AddressLookup LookupServerIp(const std::string& serverAddr)
{
    AddressLookup lookup;
    lookup.serverAddr = serverAddr;
    if (IsAddress(serverAddr.c_str())) {
        lookup.serverIp = serverAddr;
        return lookup;
    }
    std::string resolved;
    ResolveHostName(serverAddr.c_str(), resolved);
    if (IsAddress(resolved.c_str()))
        lookup.serverIp = resolved;
    else
        WriteLog("\r\n[error]:can't resolve domain name:%s\r\n", serverAddr.c_str());
    return lookup;
}

void LookupCarriers(AddressLookup& lookup)
{
    if (!IsPublicAddress(lookup.serverIp.c_str())) return;
    lookup.client = QueryIpInfo(lookup.ipInfoHost, "myip");
    lookup.server = QueryIpInfo(lookup.ipInfoHost, lookup.serverIp);
    lookup.carriers = true;
}

bool ApplyAddressLookup(const AddressLookup& lookup)
{
    ServerSettings& settings = g_serverSettings;
    if (settings.serverAddr != lookup.serverAddr) return false;
    // A name that did not resolve keeps the IP the program had.
    if (!lookup.serverIp.empty()) settings.serverIp = lookup.serverIp;
    if (lookup.carriers) {
        g_clientInfo = lookup.client;
        g_serverInfo = lookup.server;
    }
    return true;
}

void ResolveServerAddress()
{
    AddressLookup lookup = LookupServerIp(g_serverSettings.serverAddr);
    lookup.ipInfoHost = g_serverSettings.ipInfoHost;
    LookupCarriers(lookup);
    ApplyAddressLookup(lookup);
}

namespace {

struct LookupJob {
    HWND window;
    std::string serverAddr;
    std::string ipInfoHost;
};

void PostLookup(HWND window, const AddressLookup& lookup)
{
    PostRecord(window, WM_ADDRESS_LOOKUP, std::make_unique<AddressLookup>(lookup));
}

unsigned __stdcall LookupThread(void* param)
{
    std::unique_ptr<LookupJob> job(static_cast<LookupJob*>(param));
    AddressLookup lookup = LookupServerIp(job->serverAddr);
    lookup.ipInfoHost = job->ipInfoHost;
    PostLookup(job->window, lookup);
    if (IsPublicAddress(lookup.serverIp.c_str())) {
        LookupCarriers(lookup);
        PostLookup(job->window, lookup);
    }
    return 0;
}

} // namespace

bool StartAddressLookups(HWND window, const ServerSettings& settings)
{
    auto* job = new LookupJob{window, settings.serverAddr, settings.ipInfoHost};
    if (StartWorker(LookupThread, job)) return true;
    delete job;
    return false;
}

IpInfo QueryIpInfo(const std::string& serviceHost, const std::string& address)
{
    IpInfo result;
    result.ip = address;

    std::string url = IpInfoServiceUrl(serviceHost);
    if (!IsUrlAvaliableFast(url.c_str())) {
        g_ipServiceAvailable = false;
        return result;
    }

    BinBuffer body;
    try {
        HttpFormClient client(url);
        Poco::Net::HTTPResponse response;
        client.send(response, body, false, {{"ip", address}}, "POST");
    } catch (const Poco::Exception& e) {
        // The service went away between the probe and the request: the
        // same as not reaching it at all.
        WriteLog("QueryIpInfo %s: %s\r\n", address.c_str(), e.displayText().c_str());
        g_ipServiceAvailable = false;
        return result;
    }
    if (body.size() == 0) {
        g_ipServiceAvailable = false;
        return result;
    }

    std::string error;
    IpInfo found;
    switch (ParseIpReplyBody(std::string(reinterpret_cast<const char*>(body.data()), body.size()), found, error)) {
    case kIpReplyOk:
        result = found;
        break;
    case kIpReplyMalformed:
        WriteLog("QueryIpInfo %s: bad reply: %s\r\n", address.c_str(), error.c_str());
        break;
    case kIpReplyRefused:
        break;
    }
    return result;
}

ConnectionTexts DescribeConnection(const std::string& serverIp, bool serviceAvailable,
                                   const IpInfo& client, const IpInfo& server)
{
    ConnectionTexts texts;
    if (!IsPublicAddress(serverIp.c_str())) {
        texts.client = "127.0.0.1";
        texts.server = serverIp;
        texts.relation = "客户端与服务器为局域网";
    } else if (!serviceAvailable) {
        texts.client = "127.0.0.1";
        texts.server = serverIp;
        texts.relation = "请检测客户端的网络连接情况";
    } else {
        texts.client = client.ip + " " + client.region + " " + client.isp;
        texts.server = server.ip + " " + server.region + " " + server.isp;
        texts.relation = client.isp_id == server.isp_id ? "客户端与服务器为广域网,但为同一运营商"
                                                        : "客户端与服务器为广域网,但不为同一运营商";
    }
    return texts;
}
