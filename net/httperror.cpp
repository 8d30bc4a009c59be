#include "net/httperror.h"

#include <string.h>

namespace Vexel {

namespace {

const wchar_t* const kMessages0[] = {
    L"Not specified",
};
const wchar_t* const kMessages100[] = {
    L"Unexpected error occurred.",
    L"The index is out of range.",
    L"Out of memory.",
    L"The requested URL is not a valid URL.",
    L"The post context is not started yet.",
    L"Couldn't read expected bytes from a file.",
    L"The post context has not been finished yet.",
    L"The port number is not valid.",
    L"std::exception occurred.",
    L"The encoded URL is not valid.",
    L"The UTF8 string contains an invalid character.",
    L"An unexpected arithmetic error has been occurred.",
    L"An arithmetic overflow error has been occurred.",
    L"An interger divide by zero exception has been occurred.",
    L"The file (%s) aleady exists.",
};
const wchar_t* const kMessages400[] = {
    L"::HttpQueryInfo failed.",
    L"::InternetReadFile failed.",
    L"::InternetOpen failed.",
    L"::InternetConnect failed.",
    L"::HttpOpenRequest failed.",
    L"::HttpAddRequestHeaders failed.",
    L"::HttpSendRequest failed.",
    L"::HttpSendRequestEx failed.",
    L"::InternetWriteFile failed.",
    L"::HttpEndRequest failed.",
    L"::InternetSetOption failed.",
};
const wchar_t* const kMessages600[] = {
    L"::WideCharToMultiByte failed.",
    L"::MultiByteToWideChar failed.",
    L"::ReadFile failed.",
    L"OpenFile (::CreateFile) failed (\"%s\").",
    L"::SetFilePointer failed.",
    L"::GetFileSize failed (\"%s\").",
    L"::WriteFile failed (\"%s\").",
};
const wchar_t* const kUserMessage = L"user-defined error message";

template <size_t N> const wchar_t* Pick(const wchar_t* const (&table)[N], int index)
{
    return index >= 0 && static_cast<size_t>(index) < N ? table[index] : nullptr;
}

const wchar_t* FindMessage(int code)
{
    if (code >= 1000) return kUserMessage;
    if (code >= 0 && code <= 99) return Pick(kMessages0, code);
    if (code >= 100 && code <= 199) return Pick(kMessages100, code % 100);
    if (code >= 400 && code <= 499) return Pick(kMessages400, code % 100);
    if (code >= 600 && code <= 699) return Pick(kMessages600, code % 100);
    return nullptr;
}

template <class C> C* CopyText(const C* text)
{
    if (!text) return nullptr;
    size_t n = 0;
    while (text[n]) ++n;
    C* copy = new C[n + 1];
    memcpy(copy, text, (n + 1) * sizeof(C));
    return copy;
}

} // namespace

const wchar_t* GetHttpClientErrMsgW(int code)
{
    return FindMessage(code);
}

// ------------------------------------------------------------- exceptions

errmsg_exceptionW::errmsg_exceptionW(const wchar_t* message) : m_message(CopyText(message)) {}
errmsg_exceptionW::errmsg_exceptionW(const errmsg_exceptionW& other)
    : std::exception(other), m_message(CopyText(other.m_message)) {}
errmsg_exceptionW& errmsg_exceptionW::operator=(const errmsg_exceptionW& other)
{
    if (this != &other) {
        wchar_t* copy = CopyText(other.m_message);
        delete[] m_message;
        m_message = copy;
    }
    return *this;
}
errmsg_exceptionW::~errmsg_exceptionW() { delete[] m_message; }

} // namespace Vexel
