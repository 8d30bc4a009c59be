#pragma once
// The server IP, and on which carrier workstation and server sit.
#include "base/messages.h"
#include "base/settings.h"
#include "net/ipreply.h"

#include <windows.h>

#include <atomic>
#include <string>

// What the last lookups found, for the network tab's connection panel.
extern IpInfo g_clientInfo;
extern IpInfo g_serverInfo;
// Cleared for good once the service was unreachable or answered nothing.
// Lookups run on a worker while the window reads it.
extern std::atomic<bool> g_ipServiceAvailable;

// What the lookups found for one configured server address. They may take
// as long as their time-outs, so the window has them done on a worker and
// applies the result on its own thread.
struct AddressLookup {
    std::string serverAddr;  // the address that was looked up
    std::string ipInfoHost;  // the IP-information service the carrier lookups ask
    std::string serverIp;    // dotted IPv4; empty when the name did not resolve
    bool carriers = false;   // client and server below were asked for
    IpInfo client;
    IpInfo server;
};
// The server IP: dotted text as is, a host name through name resolution.
AddressLookup LookupServerIp(const std::string& serverAddr);
// For a public server IP: the workstation ("myip"), then the server, both
// asked of the lookup's service.
void LookupCarriers(AddressLookup& lookup);
// Puts the findings into the server settings and the carrier records;
// false (nothing changed) when the settings name another address by now.
bool ApplyAddressLookup(const AddressLookup& lookup);

// All of the above at once, on the caller's thread.
void ResolveServerAddress();

// The same on a worker, for the server and service of `settings` (copied):
// WM_ADDRESS_LOOKUP goes to `window` once the server IP is known (or is
// known not to resolve), and once more after the carrier lookups when the
// IP is public (`carriers` set). wParam: an AddressLookup the receiver owns.
bool StartAddressLookups(HWND window, const ServerSettings& settings);

// Asks the IP-information service at `serviceHost` about `address` (dotted
// text or "myip"). Never throws: a failed lookup returns the address alone.
IpInfo QueryIpInfo(const std::string& serviceHost, const std::string& address);

// "http://<host>/service/getIpInfo.php" for the service host.
std::string IpInfoServiceUrl(const std::string& serviceHost);

// Texts 1147 (client), 1149 (server) and 11412 (how they are connected).
struct ConnectionTexts {
    std::string client;
    std::string server;
    std::string relation;
};
ConnectionTexts DescribeConnection(const std::string& serverIp, bool serviceAvailable,
                                   const IpInfo& client, const IpInfo& server);
