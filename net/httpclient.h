#pragma once
// A small HTTP client over WinInet that posts multipart/form-data in steps
// the caller drives, so that it can read byte statistics between them.
// Every failure is an exception; no operation returns an error code.
#include <windows.h>
#include <objbase.h>
#include <wininet.h>

#include "net/httperror.h"
#include "net/httpmap.h"
#include "net/httpresponse.h"
#include "net/httpstat.h"
#include "net/httptool.h"
#include "net/httpurl.h"

#include <stdint.h>

#include <new>
#include <string>
#include <vector>

namespace Vexel {

template <class Tool, class Encoder> class CHttpClientT {
public:
    typedef typename Tool::CharType CharType;
    typedef CHttpClientMapT<Tool> Map;
    typedef CHttpPostStatT<Tool> PostStat;
    typedef CHttpResponseT<Tool> Response;
    typedef CHttpUrlAnalyzerT<Tool> UrlAnalyzer;

    static constexpr DWORD kStepBytes = 1024;
    static constexpr DWORD kReadBufferBytes = 0xE000;
    static constexpr DWORD kWriteBlockBytes = 0xE000;

    CHttpClientT() { MakeBoundary(); }
    CHttpClientT(const CHttpClientT&) = delete;
    CHttpClientT& operator=(const CHttpClientT&) = delete;
    virtual ~CHttpClientT() { _EndPostContext(); }

    void SetInternet(const CharType* szUserAgent = nullptr, DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                     const CharType* szProxy = nullptr, const CharType* szProxyBypass = nullptr,
                     DWORD flags = 0)
    {
        m_userAgent = szUserAgent ? szUserAgent : L"";
        m_hasUserAgent = szUserAgent != nullptr;
        m_accessType = accessType;
        m_proxy = szProxy ? szProxy : L"";
        m_hasProxy = szProxy != nullptr;
        m_proxyBypass = szProxyBypass ? szProxyBypass : L"";
        m_hasProxyBypass = szProxyBypass != nullptr;
        m_openFlags = flags;
    }

    void SetHeader(const CharType* szName, const CharType* szValue)
    {
        if (!szName) Tool::ThrowArgument("CHttpClientT::SetHeader: szName can not be NULL.");
        if (!*szName) Tool::ThrowArgument("CHttpClientT::SetHeader: szName can not be an empty string.");
        if (!szValue) Tool::ThrowArgument("CHttpClientT::SetHeader: szValue can not be NULL.");
        if (!*szValue) Tool::ThrowArgument("CHttpClientT::SetHeader: szValue can not be an empty string.");
        m_headers.Set(szName, szValue);
    }

    BOOL SetUseUtf8(BOOL use)
    {
        if (m_stat.IsActive())
            Tool::ThrowArgument("CHttpClientT::SetUseUtf8: It is not allowed to call this method if the POST context is active.");
        BOOL previous = m_useUtf8;
        m_useUtf8 = use;
        return previous;
    }
    void SetStrictFileCheck(BOOL strict) { m_strictFile = strict; }
    void SetAnsiCodePage(UINT codePage) { m_codePage = codePage; }

    void AddParam(const CharType* szName, const CharType* szValue, DWORD attr = ParamNormal)
    {
        if (m_stat.IsActive())
            Tool::ThrowArgument("CHttpClientT::AddParam: It is not allowed to call this method if the POST context is active.");
        m_params.Add(szName, szValue, attr);
    }

    const CharType* GetBoundary() const { return m_boundary.c_str(); }
    const CharType* GetContentType() const { return m_contentType.c_str(); }
    bool IsPostContextActive() const { return m_stat.IsActive(); }

    // Opens the handles, sends the request head with the body length and
    // starts the post context.
    void BeginUpload(const CharType* szUrl, DWORD flags)
    {
        if (m_stat.IsActive()) _EndPostContext();

        std::vector<typename Map::Entry> params = m_params.Entries();
        Context ctx;
        try {
            DWORD total = 0, files = 0;
            for (const auto& p : params) {
                if (p.attr == ParamFile) {
                    // One slot per file parameter, in map order.
                    HANDLE file = Tool::OpenFile(p.value);
                    if (file == INVALID_HANDLE_VALUE && m_strictFile)
                        Tool::ThrowException(HTTPCLIENT_ERR_OPENFILE_FAILED, ::GetLastError(), p.value);
                    ctx.files.push_back(file);
                    DWORD size = file == INVALID_HANDLE_VALUE ? 0 : Tool::GetFileSize(file, p.value);
                    ctx.sizes.push_back(size);
                    ctx.mimes.push_back(file == INVALID_HANDLE_VALUE ? std::string("application/octet-stream")
                                                                     : Tool::GetMimeType(file, m_codePage));
                    CheckedAdd<Tool>(total, size);
                    ++files;
                } else {
                    CheckedAdd<Tool>(total, EncodeLen(p.value));
                }
            }
            DWORD bodyLength = _CalcBodyLength(ctx.sizes, ctx.mimes);

            ctx.hInternet = Tool::OpenInternet(m_hasUserAgent ? m_userAgent.c_str() : L"Vexel HTTP Client Class",
                                               m_accessType, m_hasProxy ? m_proxy.c_str() : nullptr,
                                               m_hasProxyBypass ? m_proxyBypass.c_str() : nullptr, m_openFlags);
            ctx.hConnection = OpenConnection(ctx.hInternet, szUrl);
            ctx.hRequest = OpenRequest(ctx.hConnection, szUrl, flags);
            for (const auto& h : m_headers.Entries()) AddRequestHeader(ctx.hRequest, h.name, h.value);
            AddRequestHeader(ctx.hRequest, L"Content-Type", m_contentType.c_str());
            Tool::SendRequestEx(ctx.hRequest, bodyLength);

            m_stat._MakeActive(bodyLength, total, static_cast<DWORD>(params.size()), files);
        } catch (...) {
            ctx.Close();
            throw;
        }
        m_ctx = std::move(ctx);
        m_started = false;
        m_initial._MakeInactive();
        if (!params.empty()) {
            m_initial = m_stat;
            bool isFile = params[0].attr == ParamFile;
            m_initial._StartNewEntry(params[0].name, isFile ? params[0].value : nullptr,
                                     isFile ? m_ctx.sizes[0] : EncodeLen(params[0].value));
        }
    }

    // Writes the next piece of the body. Returns null while more remains,
    // and the response (the caller's) once the request has been ended.
    Response* _ProceedUploadContext()
    {
        if (!m_stat.IsActive()) Tool::ThrowException(HTTPCLIENT_ERR_POST_NOT_STARTED, 0);
        if (!m_ctx.hInternet)
            Tool::ThrowArgument("CHttpClientT::_ProceedUploadContext: m_hInternet can not be NULL.");
        if (!m_ctx.hConnection)
            Tool::ThrowArgument("CHttpClientT::_ProceedUploadContext: m_hConnection can not be NULL.");
        if (!m_ctx.hRequest)
            Tool::ThrowArgument("CHttpClientT::_ProceedUploadContext: m_hRequest can not be NULL.");
        try {
            return _Proceed();
        } catch (...) {
            // The context ends first, so a failed upload leaves no handles.
            _EndPostContext();
            throw;
        }
    }

    // A copy of the statistics; before the first part is announced, the
    // first parameter already shows as the current one.
    void QueryPostStat(PostStat& stat) const
    {
        if (m_stat.IsActive() && m_stat.TotalCount() > 0 && !m_started)
            stat = m_initial;
        else
            stat = m_stat;
    }

    // The exact body length, given the size and MIME text of each file
    // parameter in map order; error 112 when it does not fit in 32 bits.
    DWORD _CalcBodyLength(const std::vector<DWORD>& sizes, const std::vector<std::string>& mimes) const
    {
        const uint64_t b = m_boundaryA.size();
        DWORD total = 0;
        std::vector<typename Map::Entry> params = m_params.Entries();
        if (params.empty()) {
            CheckedAdd<Tool>(total, b + 8);
            return total;
        }
        size_t slot = 0;
        for (const auto& p : params) {
            CheckedAdd<Tool>(total, b + 4);
            CheckedAdd<Tool>(total, EncodeLen(p.name));
            if (p.attr == ParamFile) {
                CheckedAdd<Tool>(total, 72);
                CheckedAdd<Tool>(total, EncodeLen(p.value));
                CheckedAdd<Tool>(total, mimes.at(slot).size());
                CheckedAdd<Tool>(total, sizes.at(slot));
                ++slot;
            } else {
                CheckedAdd<Tool>(total, 43);
                CheckedAdd<Tool>(total, EncodeLen(p.value));
            }
            CheckedAdd<Tool>(total, 2);
        }
        CheckedAdd<Tool>(total, b + 6);
        return total;
    }

    HINTERNET OpenConnection(HINTERNET hInternet, const CharType* szUrl)
    {
        if (!hInternet) Tool::ThrowArgument("CHttpClientT::OpenConnection: hInternet can not be NULL.");
        UrlAnalyzer url;
        url.Analyze(szUrl, m_codePage);
        INTERNET_PORT port = url.PortNumber();
        std::basic_string<CharType> host = url.Host();
        if (host.empty()) Tool::ThrowException(HTTPCLIENT_ERR_INVALID_URL, 0);
        return Tool::OpenConnection(hInternet, host.c_str(), port);
    }

    HINTERNET OpenRequest(HINTERNET hConnection, const CharType* szUrl, DWORD flags)
    {
        if (!hConnection) Tool::ThrowArgument("CHttpClientT::OpenRequest: hConnection can not be NULL.");
        UrlAnalyzer url;
        url.Analyze(szUrl, m_codePage);
        if (url.IsSecure()) flags |= INTERNET_FLAG_SECURE;
        HINTERNET request = Tool::OpenRequest(hConnection, L"POST", url.ObjectName().c_str(), flags, nullptr,
                                              m_codePage);
        if (flags & INTERNET_FLAG_PRAGMA_NOCACHE) {
            try {
                AddRequestHeader(request, L"Cache-Control", L"no-cache");
            } catch (...) {
                Tool::CloseInternetHandle(request);
                throw;
            }
        }
        return request;
    }

    void AddRequestHeader(HINTERNET hRequest, const CharType* szName, const CharType* szValue)
    {
        if (!hRequest) Tool::ThrowArgument("CHttpClientT::AddRequestHeader: hRequest can not be NULL.");
        Tool::AddHeader(hRequest, szName, szValue, m_codePage);
    }

private:
    struct Context {
        HINTERNET hInternet = nullptr;
        HINTERNET hConnection = nullptr;
        HINTERNET hRequest = nullptr;
        std::vector<HANDLE> files;  // per file parameter; invalid when it did not open
        std::vector<DWORD> sizes;
        std::vector<std::string> mimes;

        void CloseFiles()
        {
            for (HANDLE f : files) Tool::CloseFile(f);
            files.clear();
            sizes.clear();
            mimes.clear();
        }
        void Close()
        {
            CloseFiles();
            Tool::CloseInternetHandle(hRequest);
            Tool::CloseInternetHandle(hConnection);
            Tool::CloseInternetHandle(hInternet);
            hRequest = hConnection = hInternet = nullptr;
        }
    };

    void MakeBoundary()
    {
        m_boundary = L"----VEXEL-FB3B405B7EAE495aB0C0295C54D4E096-";
        GUID guid;
        if (SUCCEEDED(::CoCreateGuid(&guid))) {
            wchar_t text[64];
            _snwprintf(text, 64, L"----MAFRO-%.08x%.04x%.04x%.02x%.02x%.02x%.02x%.02x%.02x%.02x%.02x-",
                       static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                       guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
            text[63] = 0;
            m_boundary = text;
        }
        m_contentType = L"multipart/form-data; boundary=" + m_boundary;
        // The boundary is ASCII: its code-page form has the same length.
        m_boundaryA.assign(m_boundary.begin(), m_boundary.end());
    }

    DWORD EncodeLen(const CharType* text) const
    {
        return m_useUtf8 ? Encoder::Utf8EncodeLen(text) : Encoder::AnsiEncodeLen(text, m_codePage);
    }
    std::string Encode(const CharType* text) const
    {
        return m_useUtf8 ? Encoder::Utf8Encode(text ? text : L"") : Encoder::AnsiEncode(text ? text : L"", m_codePage);
    }

    // Bytes of the body go to WinInet in blocks: every WinInet write is a
    // system call, and one per 1024-byte step held uploads far below the
    // link's rate. The steps, their statistics and the bytes on the wire
    // are the same; the block is handed on when full and at the body's end.
    void _WritePost(const void* data, DWORD bytes, bool isParamData = false)
    {
        if (!m_ctx.hRequest) Tool::ThrowArgument("CHttpClientT::_WritePost: m_hRequest can not be NULL.");
        if (!bytes) return;
        if (m_pending.capacity() < kWriteBlockBytes) m_pending.reserve(kWriteBlockBytes);
        if (m_pending.size() + bytes > kWriteBlockBytes) _FlushPost();
        const char* p = static_cast<const char*>(data);
        if (bytes >= kWriteBlockBytes)
            Tool::InternetWriteFile(m_ctx.hRequest, reinterpret_cast<const BYTE*>(p), bytes);
        else
            m_pending.insert(m_pending.end(), p, p + bytes);
        m_stat._AddActualPostedBytes(bytes);
        if (isParamData) m_stat._AddPostedBytes(bytes);
        if (m_stat.ActualPostedByte() == m_stat.ActualTotalByte()) _FlushPost();
    }
    void _WritePost(const std::string& text) { _WritePost(text.data(), static_cast<DWORD>(text.size())); }
    void _FlushPost()
    {
        if (m_pending.empty()) return;
        Tool::InternetWriteFile(m_ctx.hRequest, reinterpret_cast<const BYTE*>(m_pending.data()),
                                static_cast<DWORD>(m_pending.size()));
        m_pending.clear();
    }

    Response* _Proceed()
    {
        if (m_stat.ActualPostedByte() == m_stat.ActualTotalByte()) {
            _FlushPost();
            Tool::EndRequest(m_ctx.hRequest);
            return _ReleasePostResponse();
        }
        const std::string& boundary = m_boundaryA;
        if (m_stat.TotalCount() == 0) {
            _WritePost("\r\n--" + boundary + "--\r\n");
            return nullptr;
        }
        if (!m_started || m_stat.CurrParamIsComplete()) {
            DWORD index = m_stat.PostedCount();
            if (index == m_stat.TotalCount()) {
                _WritePost("--" + boundary + "--\r\n");
                return nullptr;
            }
            std::vector<typename Map::Entry> params = m_params.Entries();
            const typename Map::Entry& p = params[index];
            bool isFile = p.attr == ParamFile;
            _WritePost("--" + boundary + "\r\n");
            _WritePost("Content-Disposition: form-data; name=\"");
            _WritePost(Encode(p.name));
            DWORD total;
            if (isFile) {
                size_t slot = FileSlot(index);
                _WritePost("\"; filename=\"");
                _WritePost(Encode(p.value));
                _WritePost("\"\r\nContent-Type: ");
                _WritePost(m_ctx.mimes[slot]);
                _WritePost("\r\n\r\n");
                m_fileSlot = slot;
                total = m_ctx.sizes[slot];
            } else {
                _WritePost("\"\r\n\r\n");
                m_value = Encode(p.value);
                total = static_cast<DWORD>(m_value.size());
            }
            m_started = true;
            m_valueOffset = 0;
            m_stat._StartNewEntry(p.name, isFile ? p.value : nullptr, total);
            m_currIsFile = isFile;
            if (total == 0) _WritePost("\r\n");
            return nullptr;
        }

        DWORD chunk = m_stat.CurrParamRemainByte();
        if (chunk > kStepBytes) chunk = kStepBytes;
        if (m_currIsFile) {
            if (m_readBuffer.empty()) m_readBuffer.resize(kReadBufferBytes);
            HANDLE file = m_ctx.files[m_fileSlot];
            DWORD read = file == INVALID_HANDLE_VALUE ? 0 : Tool::ReadFile(file, m_readBuffer.data(), chunk);
            if (read != chunk) Tool::ThrowException(HTTPCLIENT_ERR_READ_UNEXPECTED_SIZE, 0);
            _WritePost(m_readBuffer.data(), chunk, true);
        } else {
            _WritePost(m_value.data() + m_valueOffset, chunk, true);
            m_valueOffset += chunk;
        }
        if (m_stat.CurrParamIsComplete()) _WritePost("\r\n");
        return nullptr;
    }

    // Position of the parameter at `index` among the file parameters.
    size_t FileSlot(DWORD index) const
    {
        size_t slot = 0;
        std::vector<typename Map::Entry> params = m_params.Entries();
        for (DWORD i = 0; i < index; ++i)
            if (params[i].attr == ParamFile) ++slot;
        return slot;
    }

    Response* _ReleasePostResponse()
    {
        if (!m_stat.IsActive())
            Tool::ThrowArgument("CHttpClientT::_ReleasePostResponse: The post context is not active.");
        Response* response = new (std::nothrow) Response(m_ctx.hInternet, m_ctx.hConnection, m_ctx.hRequest);
        if (!response) {
            _EndPostContext();
            Tool::ThrowException(HTTPCLIENT_ERR_OUT_OF_MEMORY, 0);
        }
        m_ctx.hInternet = m_ctx.hConnection = m_ctx.hRequest = nullptr;
        _EndPostContext();
        return response;
    }

    // Closes whatever the context still holds and frees its per-file state.
    void _EndPostContext()
    {
        m_ctx.Close();
        m_value.clear();
        std::vector<char>().swap(m_readBuffer);
        std::vector<char>().swap(m_pending);
        m_stat._MakeInactive();
        m_initial._MakeInactive();
        m_started = false;
    }

    std::basic_string<CharType> m_userAgent;
    bool m_hasUserAgent = false;
    DWORD m_accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::basic_string<CharType> m_proxy;
    bool m_hasProxy = false;
    std::basic_string<CharType> m_proxyBypass;
    bool m_hasProxyBypass = false;
    DWORD m_openFlags = 0;

    Map m_headers;
    Map m_params;
    std::basic_string<CharType> m_boundary;
    std::string m_boundaryA;
    std::basic_string<CharType> m_contentType;
    BOOL m_useUtf8 = FALSE;
    UINT m_codePage = CP_ACP;
    BOOL m_strictFile = FALSE;

    Context m_ctx;
    PostStat m_stat;
    PostStat m_initial;
    bool m_started = false;   // a part has been announced
    bool m_currIsFile = false;
    size_t m_fileSlot = 0;
    std::string m_value;      // encoded bytes of the current plain parameter
    DWORD m_valueOffset = 0;
    std::vector<char> m_readBuffer;
    std::vector<char> m_pending;  // body bytes not yet handed to WinInet
};

typedef CHttpClientT<CHttpToolW, CHttpEncoderW> CHttpClient;
typedef CHttpPostStatT<CHttpToolW> CHttpPostStat;
typedef CHttpResponseT<CHttpToolW> CHttpResponse;

} // namespace Vexel
