#pragma once
// Dotted IPv4 addresses and host-name resolution.
#include <stdint.h>

#include <string>

// True for "a.b.c.d" with every number in 0..254 (trailing text ignored).
// Logs "error: IsAddress invalid ip:%s" otherwise.
bool IsAddress(const char* text);

// A valid address outside 10/8, 192.168/16, 172.16/12 and 127.0.0.1.
bool IsPublicAddress(const char* text);

// Resolves a host name; on success `address` holds the last IPv4 address
// listed. What the resolver answered is logged.
bool ResolveHostName(const char* name, std::string& address);

// A blocking TCP connect to host:port (host must be dotted text), closed at
// once. True when the server accepted it; failures are logged.
bool ConnectToServer(const char* host, uint16_t port);
