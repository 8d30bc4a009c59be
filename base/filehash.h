#pragma once
// SHA-256 of downloaded files, checked against what the company server lists.
#include <string>

// Which system service hashes: BCrypt where the system has it (Vista and
// later), else CryptoAPI's AES provider (XP SP3, Server 2003 SP2). Both give
// the same digest; CryptoApi forces the older one.
enum class Sha256Engine { Best, CryptoApi };

// The file's SHA-256 in lowercase hexadecimal; "" when it cannot be read.
std::string FileSha256(const std::string& path, Sha256Engine engine = Sha256Engine::Best);

// True when nothing is listed ("") or the file's hash is the listed one
// (compared without regard to case). A mismatch is logged with both hashes
// under `what`.
bool MatchesListedHash(const std::string& path, const std::string& listed, const std::string& what);
