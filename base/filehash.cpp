#include "base/filehash.h"

#include "base/log.h"
#include "base/textconv.h"

#include <windows.h>

#include <bcrypt.h>

#include <vector>

std::string FileSha256(const std::string& path)
{
    HANDLE file = CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32];
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
              BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    std::vector<unsigned char> buffer(1 << 16);
    DWORD read = 0;
    while (ok && ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read)
        ok = BCryptHashData(hash, buffer.data(), read, 0) == 0;
    ok = ok && BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    CloseHandle(file);
    if (!ok) return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

bool MatchesListedHash(const std::string& path, const std::string& listed, const std::string& what)
{
    if (listed.empty()) return true;
    const std::string actual = FileSha256(path);
    std::string wanted = listed;
    for (char& c : wanted)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!actual.empty() && actual == wanted) return true;
    WriteLog("%s: SHA-256 mismatch: listed %s, downloaded %s\r\n", what.c_str(), listed.c_str(),
             actual.empty() ? "(unreadable)" : actual.c_str());
    return false;
}
