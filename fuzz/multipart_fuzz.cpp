// The upload's multipart body as the client really writes it, in steps,
// through a stand-in for WinInet: the length announced in the request head
// must be the number of bytes written (never more at any moment: the fake
// aborts), the parts must carry their values and files byte for byte, and
// a file that shrinks under the upload must end it with an error, every
// handle and file closed.
#include "httpfake.h"

#include "net/httpclient.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
void Fail(int line)
{
    fprintf(stderr, "multipart_fuzz.cpp:%d: check failed\n", line);
    abort();
}
#define Check(condition) ((condition) ? (void)0 : Fail(__LINE__))

typedef Vexel::CHttpClientT<FakeHttpTool, FakeHttpEncoder> Client;

std::wstring Wide(const std::string& bytes)
{
    std::wstring out;
    for (unsigned char c : bytes) out += c >= 0xF0 ? static_cast<wchar_t>(0x4E00 + c) : c;
    return out;
}

struct Param {
    std::wstring name, value;
    bool file = false;
    std::string expected;  // the bytes the body must carry for it
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    FakeNet& net = FakeNet::Get();
    net.Reset();
    bool shrinks = false;
    std::vector<Param> params;
    const bool utf8 = provider.ConsumeBool();
    const int count = provider.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < count; ++i) {
        Param p;
        // Names without a zero unit (the client's texts are terminated), each its own.
        p.name = Wide(provider.ConsumeRandomLengthString(30)).c_str() + std::to_wstring(i);
        p.file = provider.ConsumeBool();
        if (p.file) {
            p.value = L"C:\\upload\\f" + std::to_wstring(i) + L".bin";
            FakeFile file;
            file.size = provider.ConsumeIntegralInRange<DWORD>(0, 300000);
            const int change = provider.ConsumeIntegralInRange(-2, 2);  // shrinks, stays, grows
            const size_t length = change < 0 && file.size > 0 ? file.size - 1 - provider.ConsumeIntegralInRange<DWORD>(0, file.size - 1)
                                  : change > 0                ? file.size + 10
                                                              : file.size;
            shrinks = shrinks || length < file.size;
            const std::string pattern = provider.ConsumeBytesAsString(8) + "#";
            for (size_t k = 0; k < length; ++k) file.bytes += pattern[k % pattern.size()];
            p.expected = file.bytes.substr(0, file.size);
            if (provider.ConsumeBool()) net.files[p.value] = file;  // else the file does not open: an empty part
            else p.expected.clear();
        } else {
            const std::string value = provider.ConsumeRandomLengthString(3000);
            p.value = Wide(value).c_str();
            p.expected = utf8 ? FakeHttpEncoder::Utf8Encode(p.value.c_str()) : FakeHttpEncoder::AnsiEncode(p.value.c_str(), 0);
        }
        params.push_back(p);
    }
    // A shrinking file that does not open shrinks nothing.
    shrinks = false;
    for (const Param& p : params)
        if (p.file && net.files.count(p.value) && net.files[p.value].bytes.size() < net.files[p.value].size) shrinks = true;

    {
        Client client;
        client.SetUseUtf8(utf8);
        for (const Param& p : params) client.AddParam(p.name.c_str(), p.value.c_str(), p.file ? Vexel::ParamFile : Vexel::ParamNormal);
        client.BeginUpload(L"http://127.0.0.1:8080/norvik/SM/Upload/TestUploadSpeed.aspx", 0);
        Check(net.sent);
        size_t steps = 0;
        const size_t limit = net.announced / Client::kStepBytes + 4 * params.size() + 8;
        bool failed = false;
        for (;;) {
            Check(++steps <= limit);  // every step moves the body on
            try {
                if (Client::Response* response = client._ProceedUploadContext()) {
                    delete response;
                    break;
                }
            } catch (const FakeFailure& failure) {
                Check(failure.code == Vexel::HTTPCLIENT_ERR_READ_UNEXPECTED_SIZE);
                failed = true;
                break;
            }
        }
        Check(failed == shrinks);
        Check(net.open.empty() && net.handles == 0);
        if (failed) return 0;
        Check(net.ended && net.body.size() == net.announced);

        // The body: each part's head, its bytes, a line end; then the
        // closing. Parts go in the parameter map's order: by name, case
        // ignored, equal names as added.
        std::stable_sort(params.begin(), params.end(),
                         [](const Param& a, const Param& b) { return wcscasecmp(a.name.c_str(), b.name.c_str()) < 0; });
        const std::string boundary(client.GetBoundary(), client.GetBoundary() + wcslen(client.GetBoundary()));
        size_t at = 0;
        for (const Param& p : params) {
            Check(net.body.compare(at, 2 + boundary.size(), "--" + boundary) == 0);
            const size_t headEnd = net.body.find("\r\n\r\n", at);
            Check(headEnd != std::string::npos);
            at = headEnd + 4;
            Check(net.body.compare(at, p.expected.size(), p.expected) == 0);
            at += p.expected.size();
            Check(net.body.compare(at, 2, "\r\n") == 0);
            at += 2;
        }
        const std::string closing = (params.empty() ? "\r\n--" : "--") + boundary + "--\r\n";
        Check(net.body.substr(at) == closing);
    }
    Check(net.open.empty() && net.handles == 0);
    return 0;
}
