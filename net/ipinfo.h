#pragma once
// The server IP and the public-address lookups made from it.

// Fixes the server IP from the configured server address (dotted text as
// is, a host name through name resolution).
void ResolveServerAddress();
