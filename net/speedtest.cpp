#include "net/speedtest.h"

#include "base/paths.h"
#include "base/settings.h"

#include <stdio.h>

std::string SpeedTestUrl()
{
    return ServerFileUrl(g_serverSettings, "Download/IE", kSpeedTestFile);
}

std::string SpeedTestPath()
{
    return DownloadFolder() + "\\" + kSpeedTestFile;
}

std::string SpeedText(uint32_t received, uint64_t elapsedUs)
{
    // Whole seconds would be off by up to a second on every run, and a file
    // that arrives within the first second would be divided by a whole one,
    // capping the figure at the file's size per second on a fast LAN: divide
    // by the time itself. No time at all gives no figure, not an absurd one.
    if (!elapsedUs) return std::string();
    const uint64_t kilobytes = received >> 10;
    char text[32];
    snprintf(text, sizeof text, "%lluKB/s", static_cast<unsigned long long>(kilobytes * 1000000 / elapsedUs));
    return text;
}
