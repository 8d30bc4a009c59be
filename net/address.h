#pragma once
// Dotted IPv4 addresses and host-name resolution.
#include "check/checkitem.h"

#include <stdint.h>

#include <string>

// True for "a.b.c.d" with every number in 0..254 (trailing text ignored).
// Logs "error: IsAddress invalid ip:%s" otherwise.
bool IsAddress(const char* text);

// A valid address outside 10/8, 192.168/16, 172.16/12 and 127.0.0.1.
bool IsPublicAddress(const char* text);

// Resolves a host name; on success `address` holds the last IPv4 address
// listed. Prints a diagnostic listing on standard output.
bool ResolveHostName(const char* name, std::string& address);

// The connectivity check: a blocking TCP connect to host:port (host must be
// dotted text). Fills the row (kind 7, state 1 connected / 2 failed).
bool IsServerConnetced(const char* host, uint16_t port, CheckItem& row);
