// The HTTP client's URL analysis: the parts it finds must lie inside the URL
// and put together give it back; a port is a number up to 65535 or refused;
// the object name is the URL after the host and port, "/" first.
#include "httpfake.h"

#include "net/httpurl.h"

#include <stdlib.h>

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Bytes as units, the high ones as characters beyond Latin-1.
    std::wstring url;
    for (size_t i = 0; i < size; ++i) url += data[i] >= 0xF0 ? static_cast<wchar_t>(0x4E00 + data[i]) : data[i];
    url = url.c_str();  // the client takes terminated text

    Vexel::CHttpUrlAnalyzerT<FakeHttpTool> analyzer;
    analyzer.Analyze(url.c_str());
    const std::wstring scheme = analyzer.Scheme(), host = analyzer.Host(), path = analyzer.Path();
    const std::wstring query = analyzer.Query(), fragment = analyzer.Fragment();
    const std::wstring port = analyzer.HasPort() ? L":" + analyzer.Port() : L"";
    const std::wstring head = url.find(L"://") != std::wstring::npos ? scheme + L"://" : L"";
    Check(head + host + port + path + query + fragment == url);
    Check(host.find_first_of(L":/?#") == std::wstring::npos);
    Check(path.empty() || path[0] == L'/');
    Check(query.empty() || query[0] == L'?');
    Check(fragment.empty() || fragment[0] == L'#');

    const std::wstring object = analyzer.ObjectName();
    Check(!object.empty() && object[0] == L'/');
    Check(object == (path.empty() ? L"/" : L"") + path + query + fragment);

    try {
        const INTERNET_PORT number = analyzer.PortNumber();
        if (analyzer.HasPort()) Check(std::to_wstring(number) == std::to_wstring(wcstoul(analyzer.Port().c_str(), nullptr, 10)));
        else Check(number == (analyzer.IsSecure() ? 443 : 80));
    } catch (const FakeFailure& failure) {
        Check(analyzer.HasPort() && failure.code == Vexel::HTTPCLIENT_ERR_INVALID_PORT);
    }
    return 0;
}
