#pragma once
// The network tab's download speed test: the file it fetches and its figure.
#include <stdint.h>

#include <string>

// The file the speed test fetches from the server's "Download/IE" folder.
const char* const kSpeedTestFile = "IE8-WindowsServer2003-x86-CHS.exe";

// "%dKB/s" for `received` bytes (whole kilobytes) after `elapsedUs`
// microseconds; "" for no elapsed time, which gives no figure.
std::string SpeedText(uint32_t received, uint64_t elapsedUs);

// The download URL and local path of the speed test.
std::string SpeedTestUrl();
std::string SpeedTestPath();
