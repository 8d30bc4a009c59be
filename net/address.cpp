#include "net/address.h"

#include "base/console.h"
#include "base/log.h"

#include <winsock2.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace {

bool ScanAddress(const char* text, unsigned parts[4])
{
    int a, b, c, d;
    if (!text || sscanf(text, "%d.%d.%d.%d", &a, &b, &c, &d) != 4) return false;
    parts[0] = static_cast<unsigned>(a);
    parts[1] = static_cast<unsigned>(b);
    parts[2] = static_cast<unsigned>(c);
    parts[3] = static_cast<unsigned>(d);
    // Compared unsigned, so a negative number fails too.
    for (int i = 0; i < 4; ++i)
        if (parts[i] > 254) return false;
    return true;
}

// Appends one formatted piece of the resolver's listing.
void Append(std::string& text, const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 2, 3)))
#endif
    ;
void Append(std::string& text, const char* format, ...)
{
    // A host name is at most 255 bytes: no piece comes near the buffer.
    char piece[512];
    va_list args;
    va_start(args, format);
    const int n = vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    if (n > 0) text.append(piece, std::min(static_cast<size_t>(n), sizeof piece - 1));
}

} // namespace

bool IsAddress(const char* text)
{
    unsigned parts[4];
    if (ScanAddress(text, parts)) return true;
    WriteLog("error: IsAddress invalid ip:%s\r\n", text ? text : "");
    return false;
}

bool IsPublicAddress(const char* text)
{
    unsigned p[4];
    if (!ScanAddress(text, p)) return false;
    if (p[0] == 10) return false;
    if (p[0] == 192 && p[1] == 168) return false;
    if (p[0] == 172 && p[1] >= 16 && p[1] <= 31) return false;
    if (p[0] == 127 && p[1] == 0 && p[2] == 0 && p[3] == 1) return false;
    return true;
}

bool ResolveHostName(const char* name, std::string& address)
{
    WSADATA data;
    if (WSAStartup(0x0202, &data) != 0) return false;

    // What the resolver answered is listed on the console (in one piece, so
    // that no other thread's line lands inside it) and summed up in the log.
    std::string listing;
    hostent* host = gethostbyname(name);
    if (!host) {
        const int error = WSAGetLastError();
        if (error == 0) return true;
        if (error == WSAHOST_NOT_FOUND)
            listing = "Host not found\n";
        else if (error == WSANO_DATA)
            listing = "No data record found\n";
        else
            Append(listing, "Function failed with error: %ld\n", static_cast<long>(error));
        ConsolePrint("%s", listing.c_str());
        WriteLog("ResolveHostName %s: %s (%d)\r\n", name,
                 error == WSAHOST_NOT_FOUND ? "host not found" : error == WSANO_DATA ? "no data record" : "failed",
                 error);
        return false;
    }

    listing = "Function returned:\n";
    Append(listing, "\tOfficial name: %s\n", host->h_name ? host->h_name : "");
    int number = 0;
    for (char** alias = host->h_aliases; alias && *alias; ++alias)
        Append(listing, "\tAlternate name #%d: %s\n", ++number, *alias);
    listing += "\tAddress type: ";
    if (host->h_addrtype == AF_INET)
        listing += "AF_INET\n";
    else if (host->h_addrtype == AF_NETBIOS)
        listing += "AF_NETBIOS\n";
    else
        Append(listing, " %d\n", host->h_addrtype);
    Append(listing, "\tAddress length: %d\n", host->h_length);

    if (host->h_addrtype == AF_INET) {
        number = 0;
        for (char** entry = host->h_addr_list; entry && *entry; ++entry) {
            in_addr in;
            memcpy(&in, *entry, sizeof in);
            address = inet_ntoa(in);  // the last one stays
            Append(listing, "\tIP Address #%d: %s\n", ++number, address.c_str());
        }
    } else if (host->h_addrtype == AF_NETBIOS) {
        listing += "NETBIOS address was returned\n";
    }
    ConsolePrint("%s", listing.c_str());
    WriteLog("ResolveHostName %s: official name %s, address type %d, %s\r\n", name, host->h_name,
             host->h_addrtype, address.empty() ? "no IPv4 address" : address.c_str());
    return true;
}

bool ConnectToServer(const char* host, uint16_t port)
{
    WSADATA data;
    if (WSAStartup(0x0101, &data) != 0) {
        WriteLog("error:IsServerConnetced WSAStartup failed\r\n");
        return false;
    }
    bool connected = false;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        WriteLog("error:IsServerConnetced socket failed\r\n");
    } else {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = inet_addr(host ? host : "");
        // Blocking, so the system's own connect time-out applies.
        if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == SOCKET_ERROR)
            WriteLog("error:IsServerConnetced connect failed\r\n");
        else
            connected = true;
        closesocket(s);
    }
    WSACleanup();
    return connected;
}
