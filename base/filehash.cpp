#include "base/filehash.h"

#include "base/log.h"
#include "base/textconv.h"

#include <windows.h>

#include <wincrypt.h>

#include <memory>
#include <vector>

namespace {

constexpr DWORD kDigestSize = 32;

// One running SHA-256.
class Sha256 {
public:
    virtual ~Sha256() = default;
    virtual bool Add(const unsigned char* bytes, DWORD size) = 0;
    virtual bool Finish(unsigned char (&digest)[kDigestSize]) = 0;
};

// BCrypt, looked up at run time: bcrypt.dll arrived with Vista, and the
// program must load on XP.
struct BCryptCalls {
    using Open = LONG(WINAPI*)(void**, const wchar_t*, const wchar_t*, ULONG);
    using Create = LONG(WINAPI*)(void*, void**, unsigned char*, ULONG, unsigned char*, ULONG, ULONG);
    using Data = LONG(WINAPI*)(void*, unsigned char*, ULONG, ULONG);
    using Finish = LONG(WINAPI*)(void*, unsigned char*, ULONG, ULONG);
    using Destroy = LONG(WINAPI*)(void*);
    using Close = LONG(WINAPI*)(void*, ULONG);
    Open open = nullptr;
    Create create = nullptr;
    Data data = nullptr;
    Finish finish = nullptr;
    Destroy destroy = nullptr;
    Close close = nullptr;

    bool Present() const { return open && create && data && finish && destroy && close; }

    // Loaded once, from the system folder only, and kept for the process.
    static const BCryptCalls& Get()
    {
        static const BCryptCalls calls = Load();
        return calls;
    }

private:
    template <typename Fn>
    static void Find(HMODULE module, const char* name, Fn* fn)
    {
        *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }

    static BCryptCalls Load()
    {
        BCryptCalls calls;
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return calls;
        const HMODULE module = LoadLibraryW((std::wstring(folder, length) + L"\\bcrypt.dll").c_str());
        if (!module) return calls;
        Find(module, "BCryptOpenAlgorithmProvider", &calls.open);
        Find(module, "BCryptCreateHash", &calls.create);
        Find(module, "BCryptHashData", &calls.data);
        Find(module, "BCryptFinishHash", &calls.finish);
        Find(module, "BCryptDestroyHash", &calls.destroy);
        Find(module, "BCryptCloseAlgorithmProvider", &calls.close);
        return calls;
    }
};

class BCryptSha256 : public Sha256 {
public:
    explicit BCryptSha256(const BCryptCalls& calls) : m_calls(calls)
    {
        m_ok = m_calls.open(&m_algorithm, L"SHA256", nullptr, 0) == 0 &&
               m_calls.create(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, 0) == 0;
    }
    ~BCryptSha256() override
    {
        if (m_hash) m_calls.destroy(m_hash);
        if (m_algorithm) m_calls.close(m_algorithm, 0);
    }
    bool Add(const unsigned char* bytes, DWORD size) override
    {
        return m_ok && m_calls.data(m_hash, const_cast<unsigned char*>(bytes), size, 0) == 0;
    }
    bool Finish(unsigned char (&digest)[kDigestSize]) override
    {
        return m_ok && m_calls.finish(m_hash, digest, kDigestSize, 0) == 0;
    }

private:
    const BCryptCalls& m_calls;
    void* m_algorithm = nullptr;
    void* m_hash = nullptr;
    bool m_ok = false;
};

// CryptoAPI's AES provider has SHA-256 from XP SP3 and Server 2003 SP2 on.
// The provider is asked for by type: on XP its name differs ("Prototype").
class CryptoApiSha256 : public Sha256 {
public:
    CryptoApiSha256()
    {
        m_ok = CryptAcquireContextW(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
               CryptCreateHash(m_provider, CALG_SHA_256, 0, 0, &m_hash);
    }
    ~CryptoApiSha256() override
    {
        if (m_hash) CryptDestroyHash(m_hash);
        if (m_provider) CryptReleaseContext(m_provider, 0);
    }
    bool Add(const unsigned char* bytes, DWORD size) override { return m_ok && CryptHashData(m_hash, bytes, size, 0); }
    bool Finish(unsigned char (&digest)[kDigestSize]) override
    {
        DWORD size = kDigestSize;
        return m_ok && CryptGetHashParam(m_hash, HP_HASHVAL, digest, &size, 0) && size == kDigestSize;
    }

private:
    HCRYPTPROV m_provider = 0;
    HCRYPTHASH m_hash = 0;
    bool m_ok = false;
};

std::unique_ptr<Sha256> NewSha256(Sha256Engine engine)
{
    const BCryptCalls& bcrypt = BCryptCalls::Get();
    if (engine == Sha256Engine::Best && bcrypt.Present()) return std::make_unique<BCryptSha256>(bcrypt);
    return std::make_unique<CryptoApiSha256>();
}

}  // namespace

std::string FileSha256(const std::string& path, Sha256Engine engine)
{
    HANDLE file = CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    const std::unique_ptr<Sha256> hash = NewSha256(engine);
    unsigned char digest[kDigestSize];
    std::vector<unsigned char> buffer(1 << 16);
    DWORD read = 0;
    bool ok = true;
    while (ok && (ok = ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) != 0) && read)
        ok = hash->Add(buffer.data(), read);
    ok = ok && hash->Finish(digest);
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
