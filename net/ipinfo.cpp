#include "net/ipinfo.h"

#include "app/config.h"
#include "app/log.h"
#include "net/address.h"

void ResolveServerAddress()
{
    ServerSettings& settings = g_serverSettings;
    if (IsAddress(settings.serverAddr.c_str())) {
        settings.serverIp = settings.serverAddr;
    } else {
        std::string resolved;
        ResolveHostName(settings.serverAddr.c_str(), resolved);
        if (!IsAddress(resolved.c_str())) {
            WriteLog("\r\n[error]:can't resolve domain name:%s\r\n", settings.serverAddr.c_str());
            return;
        }
        settings.serverIp = resolved;
    }
    // The carrier lookups for a public server IP come with the IP-information client.
}
