#include "testutil.h"

#include "base/console.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/textconv.h"

#include <curl/curl.h>

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>

#include <shlwapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <ctype.h>

#include <fstream>
#include <sstream>

AppScope::AppScope() : m_previous(g_pApp), m_previousFolder(DataFolder())
{
    m_app = new CVelmoraChatApp(GetModuleHandleW(nullptr), L"");
    m_folder = MakeScratchFolder("data") + "\\";
    SetDataFolder(AnsiToWide(m_folder));
    g_pApp = m_app;
    SetMessageBoxRecorder([this](const MessageBoxCall& call) {
        boxes.push_back(call);
        return IDOK;
    });
}

AppScope::~AppScope()
{
    SetMessageBoxRecorder(nullptr);
    g_pApp = m_previous;
    delete m_app;
    SetDataFolder(m_previousFolder);
}

ScratchRegistry::ScratchRegistry(HKEY predefined) : m_predefined(predefined), m_scratch(nullptr)
{
    wchar_t name[96];
    static int counter = 0;
    swprintf(name, 96, L"Software\\PylonixTests\\%lu-%d-%lu", GetCurrentProcessId(), ++counter,
             GetTickCount());
    m_path = name;
    RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &m_scratch, nullptr);
    RegOverridePredefKey(m_predefined, m_scratch);
}

ScratchRegistry::~ScratchRegistry()
{
    RegOverridePredefKey(m_predefined, nullptr);
    RegCloseKey(m_scratch);
    SHDeleteKeyW(HKEY_CURRENT_USER, m_path.c_str());
}

std::string MakeScratchFolder(const char* tag)
{
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    char name[MAX_PATH * 2];
    snprintf(name, sizeof name, "%spylonix-%s-%lu-%d-%lu", WideToAnsi(temp).c_str(), tag,
             GetCurrentProcessId(), ++counter, GetTickCount());
    CreateDirectoryW(AnsiToWide(name).c_str(), nullptr);
    return name;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

ConsoleCapture::ConsoleCapture() : m_path(MakeScratchFolder("console") + "\\console.txt")
{
    m_file = fopen(m_path.c_str(), "wb");
    SetConsoleStream(m_file);
}

ConsoleCapture::~ConsoleCapture()
{
    SetConsoleStream(nullptr);
    if (m_file) fclose(m_file);
    DeleteFileW(AnsiToWide(m_path).c_str());
    RemoveDirectoryW(AnsiToWide(m_path.substr(0, m_path.rfind('\\'))).c_str());
}

std::string ConsoleCapture::Text() const
{
    // Each line is flushed as it is written.
    return ReadFileBytes(m_path);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out.good();
}

std::string ReadTodaysLog()
{
    char path[300];
    return BuildLogFilePath(path, sizeof path) ? ReadFileBytes(path) : std::string();
}

std::string DemoStateFolder()
{
    const char* state = getenv("PYLONIX_DEMO_STATE");
    if (!state) return std::string();
    std::string folder = std::string("Z:") + state;
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder;
}

namespace {

size_t Collect(char* data, size_t size, size_t count, void* out)
{
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

} // namespace

std::string DemoBaseUrl()
{
    std::string port = ReadFileBytes(DemoStateFolder() + "\\port");
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) port.pop_back();
    return port.empty() ? std::string() : "http://127.0.0.1:" + port;
}

std::string DemoGet(const std::string& path)
{
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, (DemoBaseUrl() + path).c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return code == CURLE_OK ? body : std::string();
}

bool DemoFault(const std::string& path, const std::string& mode)
{
    return DemoGet("/_demo/fault?path=" + path + "&mode=" + mode) == "ok";
}

bool DemoReset()
{
    return DemoGet("/_demo/reset") == "ok";
}

bool DemoIpAnswer(const std::string& ip, const std::string& body)
{
    return DemoGet("/_demo/ipinfo?ip=" + PercentEncode(ip) + "&body=" + PercentEncode(body)) == "ok";
}

std::string DemoHost()
{
    std::string base = DemoBaseUrl();
    return base.empty() ? base : base.substr(strlen("http://"));
}

uint16_t DemoPort()
{
    const std::string host = DemoHost();
    const size_t colon = host.find(':');
    return colon == std::string::npos ? 0 : static_cast<uint16_t>(atoi(host.c_str() + colon + 1));
}

ServerAtDemo::ServerAtDemo() : m_saved(g_serverSettings), m_ok(DemoPort() != 0)
{
    g_serverSettings.serverAddr = "127.0.0.1";
    g_serverSettings.serverPort = DemoPort();
    g_serverSettings.serverWebsite = "/norvik/login.htm";
}

ServerAtDemo::~ServerAtDemo()
{
    g_serverSettings = m_saved;
}

std::string PercentEncode(const std::string& bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

SOCKET BoundLoopbackSocket(sockaddr_in* address)
{
    WSADATA data;
    WSAStartup(0x0202, &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    *address = sockaddr_in();
    address->sin_family = AF_INET;
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof *address;
    bind(s, reinterpret_cast<sockaddr*>(address), sizeof *address);
    getsockname(s, reinterpret_cast<sockaddr*>(address), &size);
    return s;
}

unsigned short ClosedPort()
{
    sockaddr_in address;
    closesocket(BoundLoopbackSocket(&address));
    return ntohs(address.sin_port);
}

RecordSink::RecordSink()
{
    m_window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
}

RecordSink::~RecordSink()
{
    // Records still queued belong to us: free them.
    MSG msg;
    while (PeekMessageW(&msg, m_window, WM_DOWNLOAD_PROGRESS, WM_DOWNLOAD_PROGRESS, PM_REMOVE))
        delete reinterpret_cast<DownloadProgress*>(msg.wParam);
    DestroyWindow(m_window);
}

bool RecordSink::Collect(DWORD ms)
{
    return PumpUntilDone(ms, [this](DownloadProgress* record) {
        records.push_back(*record);
        arrival.push_back(GetTickCount());
        delete record;
    });
}

DWORD RegValue::dword() const
{
    DWORD value = 0;
    memcpy(&value, bytes.data(), bytes.size() < 4 ? bytes.size() : 4);
    return value;
}

RegValue ReadRegValue(HKEY root, const std::string& path, const wchar_t* name)
{
    RegValue value;
    HKEY key;
    if (RegOpenKeyExW(root, AnsiToWide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.present = RegQueryValueExW(key, name, nullptr, &value.type,
                                         reinterpret_cast<BYTE*>(&value.bytes[0]), &size) == ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExW(root, AnsiToWide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool MakeKey(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegCreateKeyExW(root, AnsiToWide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::wstring> ValueNames(HKEY root, const std::string& path)
{
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(root, AnsiToWide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

// A 24-bit bottom-up BMP file whose pixel (x, y) is rgb(x, y) as 0xRRGGBB.
std::string BmpFile(int w, int h, const std::function<uint32_t(int, int)>& rgb)
{
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + stride * h;
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::string out(reinterpret_cast<const char*>(&fh), sizeof(fh));
    out.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
    for (int y = h - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < w; ++x) {
            const uint32_t c = rgb(x, y);
            row[x * 3] = char(c & 0xFF);
            row[x * 3 + 1] = char(c >> 8 & 0xFF);
            row[x * 3 + 2] = char(c >> 16 & 0xFF);
        }
        out += row;
    }
    return out;
}

HMODULE ProgramModule()
{
    static HMODULE module = [] {
        wchar_t path[MAX_PATH] = L"";
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring exe(path);
        exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"PylonixClient.exe";
        return LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }();
    return module;
}

TrustedAuthority::TrustedAuthority(const std::string& pemPath)
{
    const std::string pem = ReadFileBytes(pemPath);
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) return;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) return;
    PCCERT_CONTEXT authority = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size);
    if (!authority) return;
    // The root store's entries are the certificates' serialized elements.
    DWORD blobSize = 0;
    BYTE sha1[20];
    DWORD sha1Size = sizeof sha1;
    std::vector<BYTE> blob;
    if (CertSerializeCertificateStoreElement(authority, 0, nullptr, &blobSize)) {
        blob.resize(blobSize);
        if (!CertSerializeCertificateStoreElement(authority, 0, blob.data(), &blobSize)) blob.clear();
    }
    const bool hashed = CertGetCertificateContextProperty(authority, CERT_SHA1_HASH_PROP_ID, sha1, &sha1Size);
    CertFreeCertificateContext(authority);
    if (blob.empty() || !hashed) return;
    std::wstring key = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
    for (BYTE b : sha1) {
        wchar_t hex[3];
        swprintf(hex, 3, L"%02X", b);
        key += hex;
    }
    HKEY entry = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &entry, nullptr) != 0)
        return;
    if (RegSetValueExW(entry, L"Blob", 0, REG_BINARY, blob.data(), blobSize) == 0) m_key = key;
    RegCloseKey(entry);
    if (m_key.empty()) RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

TrustedAuthority::~TrustedAuthority()
{
    if (ok()) RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
}
