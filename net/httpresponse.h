#pragma once
// The reply to a finished post.
#include <windows.h>
#include <wininet.h>

#include "net/httperror.h"
#include "net/httpmap.h"

namespace Vexel {

// Owns the handles of a finished request; closes them, request first.
template <class Tool> class CHttpResponseT {
public:
    CHttpResponseT(HINTERNET hInternet, HINTERNET hConnection, HINTERNET hRequest)
        : m_hInternet(hInternet), m_hConnection(hConnection), m_hRequest(hRequest) {}
    CHttpResponseT(const CHttpResponseT&) = delete;
    CHttpResponseT& operator=(const CHttpResponseT&) = delete;
    virtual ~CHttpResponseT()
    {
        Tool::CloseInternetHandle(m_hRequest);
        Tool::CloseInternetHandle(m_hConnection);
        Tool::CloseInternetHandle(m_hInternet);
    }

    // The status code of the reply (read once, then cached).
    DWORD GetStatus()
    {
        if (m_status) return m_status;
        DWORD status = 0, size = sizeof status;
        if (!::HttpQueryInfoW(m_hRequest, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                              nullptr))
            Tool::ThrowException(HTTPCLIENT_ERR_HTTPQUERYINFO_FAILED);
        return m_status = status;
    }
    CHttpClientMapT<Tool>& Headers() { return m_headers; }
    HINTERNET RequestHandle() const { return m_hRequest; }

private:
    HINTERNET m_hInternet;
    HINTERNET m_hConnection;
    HINTERNET m_hRequest;
    CHttpClientMapT<Tool> m_headers;
    DWORD m_status = 0;
};

} // namespace Vexel
