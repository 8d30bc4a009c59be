#pragma once
// URL analysis: an address cut into its pieces as written (nothing is
// decoded); the host and port pick the connection, the rest is the object.
#include <windows.h>
#include <wininet.h>

#include "net/httperror.h"

#include <stdlib.h>
#include <wchar.h>

#include <string>

namespace Vexel {

template <class Tool> class CHttpUrlAnalyzerT {
public:
    typedef typename Tool::CharType CharType;
    struct Span {
        size_t offset = 0;
        size_t length = 0;
        bool present = false;
    };

    void Analyze(const CharType* url, UINT codePage = CP_ACP)
    {
        if (codePage == CP_UTF8 || codePage == CP_UTF7)
            Tool::ThrowArgument("CHttpUrlAnalyzerT::Analyze: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
        m_url = url ? url : L"";
        m_scheme = m_host = m_port = m_path = m_query = m_fragment = Span();
        const std::basic_string<CharType>& u = m_url;
        size_t pos = 0;
        size_t sep = u.find(L"://");
        if (sep != std::basic_string<CharType>::npos) {
            m_scheme = {0, sep, true};
            pos = sep + 3;
        }
        size_t end = u.find_first_of(L":/?#", pos);
        if (end == std::basic_string<CharType>::npos) end = u.size();
        m_host = {pos, end - pos, true};
        pos = end;
        if (pos < u.size() && u[pos] == L':') {
            end = u.find_first_of(L"/?#", pos + 1);
            if (end == std::basic_string<CharType>::npos) end = u.size();
            m_port = {pos + 1, end - pos - 1, true};
            pos = end;
        }
        if (pos < u.size() && u[pos] == L'/') {
            end = u.find_first_of(L"?#", pos);
            if (end == std::basic_string<CharType>::npos) end = u.size();
            m_path = {pos, end - pos, true};
            pos = end;
        }
        if (pos < u.size() && u[pos] == L'?') {
            end = u.find(L'#', pos);
            if (end == std::basic_string<CharType>::npos) end = u.size();
            m_query = {pos, end - pos, true};
            pos = end;
        }
        if (pos < u.size() && u[pos] == L'#') m_fragment = {pos, u.size() - pos, true};
        m_afterHost = m_host.offset + m_host.length + (m_port.present ? m_port.length + 1 : 0);
    }

    std::basic_string<CharType> Scheme() const { return Part(m_scheme); }
    std::basic_string<CharType> Host() const { return Part(m_host); }
    std::basic_string<CharType> Port() const { return Part(m_port); }
    std::basic_string<CharType> Path() const { return Part(m_path); }
    std::basic_string<CharType> Query() const { return Part(m_query); }
    std::basic_string<CharType> Fragment() const { return Part(m_fragment); }
    bool HasPort() const { return m_port.present; }

    // The scheme is HTTPS in any letter case.
    bool IsSecure() const
    {
        return m_scheme.length == 5 && _wcsnicmp(m_url.c_str(), L"HTTPS://", 5) == 0;
    }
    // The explicit port, or 443/80 by the scheme; error 107 for a bad one.
    INTERNET_PORT PortNumber() const
    {
        if (!m_port.present) return IsSecure() ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
        std::basic_string<CharType> digits = Port();
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of(L"0123456789") != digits.npos)
            Tool::ThrowException(HTTPCLIENT_ERR_INVALID_PORT, 0);
        unsigned long port = wcstoul(digits.c_str(), nullptr, 10);
        if (port > 65535) Tool::ThrowException(HTTPCLIENT_ERR_INVALID_PORT, 0);
        return static_cast<INTERNET_PORT>(port);
    }
    // Path, query and fragment as written; "/" first when there is no path.
    std::basic_string<CharType> ObjectName() const
    {
        if (m_path.present) return m_url.substr(m_path.offset);
        return L"/" + m_url.substr(m_afterHost);
    }

private:
    std::basic_string<CharType> Part(const Span& s) const
    {
        return s.present ? m_url.substr(s.offset, s.length) : std::basic_string<CharType>();
    }

    std::basic_string<CharType> m_url;
    Span m_scheme, m_host, m_port, m_path, m_query, m_fragment;
    size_t m_afterHost = 0;
};

} // namespace Vexel
