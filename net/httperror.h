#pragma once
// The client's error codes, their messages, and the exceptions that carry
// them: every failure of the client is one of these exceptions.
#include <windows.h>

#include <exception>

namespace Vexel {

enum HttpClientError {
    HTTPCLIENT_ERR_NOT_SPECIFIED = 0,
    HTTPCLIENT_ERR_UNEXPECTED_ERROR = 100,
    HTTPCLIENT_ERR_OUT_OF_RANGE = 101,
    HTTPCLIENT_ERR_OUT_OF_MEMORY = 102,
    HTTPCLIENT_ERR_INVALID_URL = 103,
    HTTPCLIENT_ERR_POST_NOT_STARTED = 104,
    HTTPCLIENT_ERR_READ_UNEXPECTED_SIZE = 105,
    HTTPCLIENT_ERR_POST_NOT_FINISHED = 106,
    HTTPCLIENT_ERR_INVALID_PORT = 107,
    HTTPCLIENT_ERR_STD_EXCEPTION = 108,
    HTTPCLIENT_ERR_ENCODED_URL_NOT_VALID = 109,
    HTTPCLIENT_ERR_INVALID_UTF8_CHARACTER = 110,
    HTTPCLIENT_ERR_UNEXPECTED_ARITHMETIC_ERROR = 111,
    HTTPCLIENT_ERR_ARITHMETIC_OVERFLOW = 112,
    HTTPCLIENT_ERR_INT_DIVIDE_BY_ZERO = 113,
    HTTPCLIENT_ERR_FILE_ALEADY_EXISTS = 114,
    HTTPCLIENT_ERR_HTTPQUERYINFO_FAILED = 400,
    HTTPCLIENT_ERR_INTERNETREADFILE_FAILED = 401,
    HTTPCLIENT_ERR_INTERNETOPEN_FAILED = 402,
    HTTPCLIENT_ERR_INTERNETCONNECT_FAILED = 403,
    HTTPCLIENT_ERR_HTTPOPENREQUEST_FAILED = 404,
    HTTPCLIENT_ERR_HTTPADDREQUESTHEADERS_FAILED = 405,
    HTTPCLIENT_ERR_HTTPSENDREQUEST_FAILED = 406,
    HTTPCLIENT_ERR_HTTPSENDREQUESTEX_FAILED = 407,
    HTTPCLIENT_ERR_INTERNETWRITEFILE_FAILED = 408,
    HTTPCLIENT_ERR_HTTPENDREQUEST_FAILED = 409,
    HTTPCLIENT_ERR_INTERNETSETOPTION_FAILED = 410,
    HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED = 600,
    HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED = 601,
    HTTPCLIENT_ERR_READFILE_FAILED = 602,
    HTTPCLIENT_ERR_OPENFILE_FAILED = 603,
    HTTPCLIENT_ERR_SETFILEPOINTER_FAILED = 604,
    HTTPCLIENT_ERR_GETFILESIZE_FAILED = 605,
    HTTPCLIENT_ERR_WRITEFILE_FAILED = 606,
    HTTPCLIENT_ERR_USER = 1000,
};

// The message of an error code ("%s" still in place for the file errors);
// null for a code without one.
const wchar_t* GetHttpClientErrMsgW(int code);

class errmsg_exceptionW : public std::exception {
public:
    explicit errmsg_exceptionW(const wchar_t* message = nullptr);
    errmsg_exceptionW(const errmsg_exceptionW& other);
    errmsg_exceptionW& operator=(const errmsg_exceptionW& other);
    ~errmsg_exceptionW() override;
    const char* what() const noexcept override { return "errmsg_exceptionW"; }
    const wchar_t* errmsg() const { return m_message ? m_message : L"NULL"; }

private:
    wchar_t* m_message = nullptr;
};

class httpclientexceptionW : public errmsg_exceptionW {
public:
    httpclientexceptionW(const wchar_t* message, int code = 0, DWORD win32Error = 0)
        : errmsg_exceptionW(message), m_code(code), m_win32Error(win32Error) {}
    int LastError() const { return m_code; }
    DWORD Win32LastError() const { return m_win32Error; }

private:
    int m_code;
    DWORD m_win32Error;
};

} // namespace Vexel
