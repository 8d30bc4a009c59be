#pragma once
// The server IP, and on which carrier workstation and server sit.
#include "net/ipreply.h"

#include <string>

class NetworkTabView;

// What the last lookups found, for the network tab's connection panel.
extern IpInfo g_clientInfo;
extern IpInfo g_serverInfo;
// Cleared for good once the service was unreachable or answered nothing.
extern bool g_ipServiceAvailable;

// Fixes the server IP from the configured server address (dotted text as
// is, a host name through name resolution); for a public server IP it
// then looks up the workstation ("myip") and the server, in that order.
void ResolveServerAddress();

// Asks the IP-information service about `address` (dotted text or "myip").
// Never throws: a failed lookup returns the address alone.
IpInfo QueryIpInfo(const std::string& address);

// "http://<host>/service/getIpInfo.php" for the configured service host.
std::string IpInfoServiceUrl();

// Texts 1147 (client), 1149 (server) and 11412 (how they are connected).
struct ConnectionTexts {
    std::string client;
    std::string server;
    std::string relation;
};
ConnectionTexts DescribeConnection(const std::string& serverIp, bool serviceAvailable,
                                   const IpInfo& client, const IpInfo& server);
// Fills the connection panel from the stored records.
void RefreshConnectionPanel(NetworkTabView& view);
