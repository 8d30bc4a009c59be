#pragma once
// A small HTTP client over WinInet that posts multipart/form-data in steps
// the caller drives, so that it can read byte statistics between them.
// Every failure is an exception; no operation returns an error code.
#include <windows.h>
#include <objbase.h>
#include <wininet.h>

#include <string.h>

#include "net/httperror.h"
#include "net/httpmap.h"
#include "net/httpmultipart.h"
#include "net/httpresponse.h"
#include "net/httpstat.h"
#include "net/httptool.h"
#include "net/httpurl.h"

#include <new>
#include <string>
#include <string_view>
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
    static constexpr DWORD kWriteBlockBytes = 0x40000;

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
                // In the context before anything can throw, so that its
                // file is closed on the way out.
                ctx.parts.emplace_back(p);
                Part& part = ctx.parts.back();
                if (part.IsFile()) {
                    part.file = Tool::OpenFile(p.value);
                    if (part.file == INVALID_HANDLE_VALUE && m_strictFile)
                        Tool::ThrowException(HTTPCLIENT_ERR_OPENFILE_FAILED, ::GetLastError(), p.value);
                    std::string mime = "application/octet-stream";
                    if (part.file != INVALID_HANDLE_VALUE) {
                        part.size = Tool::GetFileSize(part.file, p.value);
                        mime = Tool::GetMimeType(part.file, m_codePage);
                    }
                    part.head = MultipartFileHead(m_boundaryA, Encode(p.name), Encode(p.value), mime);
                    ++files;
                } else {
                    part.value = Encode(p.value);
                    part.size = static_cast<DWORD>(part.value.size());
                    part.head = MultipartValueHead(m_boundaryA, Encode(p.name));
                }
                CheckedAdd<Tool>(total, part.size);
            }
            ctx.closing = MultipartClosing(m_boundaryA, !params.empty());
            DWORD bodyLength = BodyLength(ctx);

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
        if (!m_ctx.parts.empty()) {
            m_initial = m_stat;
            StartEntry(m_initial, m_ctx.parts[0]);
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
    // One parameter as the body carries it.
    struct Part {
        explicit Part(const typename Map::Entry& entry) : param(entry) {}

        typename Map::Entry param;
        std::string head;                    // boundary line and headers
        std::string value;                   // a plain parameter's bytes
        HANDLE file = INVALID_HANDLE_VALUE;  // invalid when it did not open
        DWORD size = 0;                      // bytes of the value or the file

        bool IsFile() const { return param.attr == ParamFile; }
    };

    struct Context {
        HINTERNET hInternet = nullptr;
        HINTERNET hConnection = nullptr;
        HINTERNET hRequest = nullptr;
        std::vector<Part> parts;  // in map order
        std::string closing;

        void CloseFiles()
        {
            for (const Part& part : parts)
                if (part.IsFile()) Tool::CloseFile(part.file);
            parts.clear();
            closing.clear();
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
    void _WritePost(std::string_view text) { _WritePost(text.data(), static_cast<DWORD>(text.size())); }
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
        if (!m_started || m_stat.CurrParamIsComplete()) {
            DWORD index = m_stat.PostedCount();
            if (index == m_stat.TotalCount()) {
                _WritePost(m_ctx.closing);
                return nullptr;
            }
            const Part& part = m_ctx.parts[index];
            _WritePost(part.head);
            m_part = index;
            m_started = true;
            m_valueOffset = 0;
            m_readAt = m_readEnd = 0;
            StartEntry(m_stat, part);
            if (part.size == 0) _WritePost(kMultipartPartEnd);
            return nullptr;
        }

        const Part& part = m_ctx.parts[m_part];
        DWORD chunk = m_stat.CurrParamRemainByte();
        if (chunk > kStepBytes) chunk = kStepBytes;
        if (part.IsFile()) {
            _ReadAhead(part, chunk);
            _WritePost(m_readBuffer.data() + m_readAt, chunk, true);
            m_readAt += chunk;
        } else {
            _WritePost(part.value.data() + m_valueOffset, chunk, true);
            m_valueOffset += chunk;
        }
        if (m_stat.CurrParamIsComplete()) _WritePost(kMultipartPartEnd);
        return nullptr;
    }

    // A file is read a whole buffer at a time and its steps are served from
    // there: one file read per step held uploads below a gigabit LAN's rate.
    // A step whose bytes the file no longer has fails as before.
    void _ReadAhead(const Part& part, DWORD chunk)
    {
        if (m_readEnd - m_readAt >= chunk) return;
        if (m_readBuffer.empty()) m_readBuffer.resize(kReadBufferBytes);
        DWORD kept = m_readEnd - m_readAt;
        memmove(m_readBuffer.data(), m_readBuffer.data() + m_readAt, kept);
        m_readAt = 0;
        m_readEnd = kept;
        DWORD wanted = m_stat.CurrParamRemainByte() - kept;
        if (wanted > kReadBufferBytes - kept) wanted = kReadBufferBytes - kept;
        DWORD read = part.file == INVALID_HANDLE_VALUE
                         ? 0
                         : Tool::ReadFile(part.file, m_readBuffer.data() + kept, wanted);
        m_readEnd += read;
        if (m_readEnd < chunk) Tool::ThrowException(HTTPCLIENT_ERR_READ_UNEXPECTED_SIZE, 0);
    }

    static void StartEntry(PostStat& stat, const Part& part)
    {
        stat._StartNewEntry(part.param.name, part.IsFile() ? part.param.value : nullptr, part.size);
    }

    // The exact body length, summed from the strings the steps write; error
    // 112 when it does not fit in 32 bits.
    static DWORD BodyLength(const Context& ctx)
    {
        DWORD total = 0;
        for (const Part& part : ctx.parts) {
            CheckedAdd<Tool>(total, part.head.size());
            CheckedAdd<Tool>(total, part.size);
            CheckedAdd<Tool>(total, kMultipartPartEnd.size());
        }
        CheckedAdd<Tool>(total, ctx.closing.size());
        return total;
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
    size_t m_part = 0;        // the part being written
    DWORD m_valueOffset = 0;
    std::vector<char> m_readBuffer;
    DWORD m_readAt = 0;   // the next unsent byte read from the current file
    DWORD m_readEnd = 0;  // the end of what was read
    std::vector<char> m_pending;  // body bytes not yet handed to WinInet
};

typedef CHttpClientT<CHttpToolW, CHttpEncoderW> CHttpClient;
typedef CHttpPostStatT<CHttpToolW> CHttpPostStat;
typedef CHttpResponseT<CHttpToolW> CHttpResponse;

} // namespace Vexel
