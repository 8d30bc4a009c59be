#include "net/httperror.h"

#include <string.h>

namespace Vexel {

namespace {

// One list for both tables, so the narrow and wide copies cannot drift.
#define VEXEL_MSG(text) {text, L"" text}
struct Message {
    const char* narrow;
    const wchar_t* wide;
};

const Message kMessages0[] = {
    VEXEL_MSG("Not specified"),
};
const Message kMessages100[] = {
    VEXEL_MSG("Unexpected error occurred."),
    VEXEL_MSG("The index is out of range."),
    VEXEL_MSG("Out of memory."),
    VEXEL_MSG("The requested URL is not a valid URL."),
    VEXEL_MSG("The post context is not started yet."),
    VEXEL_MSG("Couldn't read expected bytes from a file."),
    VEXEL_MSG("The post context has not been finished yet."),
    VEXEL_MSG("The port number is not valid."),
    VEXEL_MSG("std::exception occurred."),
    VEXEL_MSG("The encoded URL is not valid."),
    VEXEL_MSG("The UTF8 string contains an invalid character."),
    VEXEL_MSG("An unexpected arithmetic error has been occurred."),
    VEXEL_MSG("An arithmetic overflow error has been occurred."),
    VEXEL_MSG("An interger divide by zero exception has been occurred."),
    VEXEL_MSG("The file (%s) aleady exists."),
};
const Message kMessages400[] = {
    VEXEL_MSG("::HttpQueryInfo failed."),
    VEXEL_MSG("::InternetReadFile failed."),
    VEXEL_MSG("::InternetOpen failed."),
    VEXEL_MSG("::InternetConnect failed."),
    VEXEL_MSG("::HttpOpenRequest failed."),
    VEXEL_MSG("::HttpAddRequestHeaders failed."),
    VEXEL_MSG("::HttpSendRequest failed."),
    VEXEL_MSG("::HttpSendRequestEx failed."),
    VEXEL_MSG("::InternetWriteFile failed."),
    VEXEL_MSG("::HttpEndRequest failed."),
    VEXEL_MSG("::InternetSetOption failed."),
};
const Message kMessages600[] = {
    VEXEL_MSG("::WideCharToMultiByte failed."),
    VEXEL_MSG("::MultiByteToWideChar failed."),
    VEXEL_MSG("::ReadFile failed."),
    VEXEL_MSG("OpenFile (::CreateFile) failed (\"%s\")."),
    VEXEL_MSG("::SetFilePointer failed."),
    VEXEL_MSG("::GetFileSize failed (\"%s\")."),
    VEXEL_MSG("::WriteFile failed (\"%s\")."),
};
const Message kUserMessage = VEXEL_MSG("user-defined error message");
#undef VEXEL_MSG

template <size_t N> const Message* Pick(const Message (&table)[N], int index)
{
    return index >= 0 && static_cast<size_t>(index) < N ? &table[index] : nullptr;
}

const Message* FindMessage(int code)
{
    if (code >= 1000) return &kUserMessage;
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

const char* GetHttpClientErrMsgA(int code)
{
    const Message* m = FindMessage(code);
    return m ? m->narrow : nullptr;
}

const wchar_t* GetHttpClientErrMsgW(int code)
{
    const Message* m = FindMessage(code);
    return m ? m->wide : nullptr;
}

// ------------------------------------------------------------- exceptions

errmsg_exceptionA::errmsg_exceptionA(const char* message) : m_message(CopyText(message)) {}
errmsg_exceptionA::errmsg_exceptionA(const errmsg_exceptionA& other)
    : std::exception(other), m_message(CopyText(other.m_message)) {}
errmsg_exceptionA& errmsg_exceptionA::operator=(const errmsg_exceptionA& other)
{
    if (this != &other) {
        char* copy = CopyText(other.m_message);
        delete[] m_message;
        m_message = copy;
    }
    return *this;
}
errmsg_exceptionA::~errmsg_exceptionA() { delete[] m_message; }

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
