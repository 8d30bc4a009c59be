#include "testutil.h"

#include "base/textconv.h"
#include "net/httpclient.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Vexel;

namespace {

const char* const kPage = "/norvik/SM/Upload/TestUploadSpeed.aspx";

// The multipart pieces, written out as the server must receive them.
std::string FilePart(const std::string& b, const std::string& name, const std::string& filename,
                     const std::string& mime, const std::string& data)
{
    return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"" + filename +
           "\"\r\nContent-Type: " + mime + "\r\n\r\n" + data + "\r\n";
}
std::string PlainPart(const std::string& b, const std::string& name, const std::string& value)
{
    return "--" + b + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}
std::string Closing(const std::string& b) { return "--" + b + "--\r\n"; }

std::string Boundary(const CHttpClient& client) { return WideToAnsi(client.GetBoundary()); }

// The value of a header in the recorded request head ("" when absent).
std::string HeaderValue(const std::string& head, const std::string& name)
{
    size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return std::string();
    at += name.size() + 4;
    return head.substr(at, head.find("\r\n", at) - at);
}

// Steps the client to the end; returns the reply status.
DWORD UploadAll(CHttpClient& client, const std::string& url, int* steps = nullptr)
{
    client.BeginUpload(AnsiToWide(url).c_str(), 0x84400F00);
    std::unique_ptr<CHttpResponse> response;
    int n = 0;
    while (!response) {
        response.reset(client._ProceedUploadContext());
        ++n;
    }
    if (steps) *steps = n;
    return response->GetStatus();
}

// The code and message of what `f` throws.
template <class F> std::pair<int, std::string> Thrown(F f)
{
    try {
        f();
    } catch (const httpclientexceptionW& e) {
        return {e.LastError(), WideToAnsi(e.errmsg())};
    }
    return {-1, "nothing thrown"};
}

class HttpClient : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DemoReset());
        url = DemoBaseUrl() + kPage;
        folder = MakeScratchFolder("http") + "\\";
    }
    void TearDown() override { DemoReset(); }
    std::string Head() { return DemoGet("/_demo/upload?part=head"); }
    std::string Body() { return DemoGet("/_demo/upload?part=body"); }

    std::string url;
    std::string folder;
};

} // namespace

TEST_F(HttpClient, WorkedExampleArrivesByteForByteWithThePredictedLength)
{
    // The worked example: empty name, C:\a.txt of 10 bytes, UTF-8 on.
    const std::string path = "C:\\a.txt";
    ASSERT_TRUE(WriteFileBytes(path, "0123456789"));
    CHttpClient client;
    std::string b = Boundary(client);
    ASSERT_EQ(43u, b.size());
    EXPECT_EQ(0u, b.find("----MAFRO-"));
    EXPECT_EQ(std::string::npos, b.substr(10, 32).find_first_not_of("0123456789abcdef"));
    EXPECT_EQ('-', b.back());
    EXPECT_NE(b, Boundary(CHttpClient())) << "boundaries must differ per client";

    client.SetInternet(L"My User Agent v1.0");
    client.SetHeader(L"Vexel-Magic", L"My Magic Header");
    client.SetHeader(L"User-Magic", L"User's Magic Header");
    EXPECT_FALSE(client.SetUseUtf8(TRUE));
    client.AddParam(L"", AnsiToWide(path).c_str(), ParamFile);
    ASSERT_EQ(200u, UploadAll(client, url));
    DeleteFileA(path.c_str());

    const std::string mime = "text/plain";  // what the sniffer makes of ten digits
    EXPECT_EQ(FilePart(b, "", path, mime, "0123456789") + Closing(b), Body());
    std::string head = Head();
    EXPECT_EQ(std::to_string(47 + 72 + 0 + 8 + mime.size() + 10 + 2 + 49), HeaderValue(head, "Content-Length"));
    EXPECT_EQ("multipart/form-data; boundary=" + b, HeaderValue(head, "Content-Type"));
    EXPECT_EQ(std::string::npos, head.find("chunked"));
    EXPECT_EQ(0u, head.find(std::string("POST ") + kPage + " HTTP/1.1\r\n"));
    EXPECT_EQ("My User Agent v1.0", HeaderValue(head, "User-Agent"));
    // Cache-Control first, then the header map in name order, then the type.
    size_t cache = head.find("\r\nCache-Control: no-cache\r\n"), user = head.find("\r\nUser-Magic: User's Magic Header\r\n"),
           vexel = head.find("\r\nVexel-Magic: My Magic Header\r\n"), type = head.find("\r\nContent-Type: ");
    ASSERT_NE(std::string::npos, cache);
    ASSERT_NE(std::string::npos, vexel);
    EXPECT_LT(cache, user);
    EXPECT_LT(user, vexel);
    EXPECT_LT(vexel, type);
}

TEST_F(HttpClient, EmptyMissingAndPlainPartsInMapOrderWithTheirSteps)
{
    std::string empty = folder + "empty.bin", missing = folder + "missing.bin", data = folder + "data.bin";
    std::string bytes(2500, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 1);
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    ASSERT_TRUE(WriteFileBytes(data, bytes));

    CHttpClient client;
    client.SetUseUtf8(TRUE);
    // Names order case-insensitively; equal names keep their order.
    client.AddParam(L"zeta", L"last", ParamNormal);
    client.AddParam(L"Beta", AnsiToWide(missing).c_str(), ParamFile);
    client.AddParam(L"alpha", AnsiToWide(empty).c_str(), ParamFile);
    client.AddParam(L"beta", L"second beta", ParamNormal);
    client.AddParam(L"DATA", AnsiToWide(data).c_str(), ParamFile);
    std::string b = Boundary(client);
    client.BeginUpload(AnsiToWide(url).c_str(), 0);

    CHttpPostStat stat;
    client.QueryPostStat(stat);
    EXPECT_EQ(5u, stat.TotalCount());
    EXPECT_EQ(3u, stat.FileCount());
    EXPECT_EQ(2500u + 4 + 11, stat.TotalByte());
    // Before the first step the first part already shows as the current one.
    EXPECT_STREQ(L"alpha", stat.CurrParam());
    EXPECT_TRUE(stat.CurrParamIsFile());
    EXPECT_EQ(0u, stat.ActualPostedByte());

    std::string octet = "application/octet-stream";
    std::string parts[] = {
        FilePart(b, "alpha", empty, octet, ""),
        FilePart(b, "Beta", missing, octet, ""),
        PlainPart(b, "beta", "second beta"),
        FilePart(b, "DATA", data, octet, bytes),
        PlainPart(b, "zeta", "last"),
    };
    std::string expected;
    for (const auto& p : parts) expected += p;
    expected += Closing(b);
    EXPECT_EQ(expected.size(), stat.ActualTotalByte());

    // An empty or unopened file is one step, closing line included.
    ASSERT_EQ(nullptr, client._ProceedUploadContext());
    client.QueryPostStat(stat);
    EXPECT_EQ(parts[0].size(), stat.ActualPostedByte());
    EXPECT_TRUE(stat.CurrParamIsComplete());
    ASSERT_EQ(nullptr, client._ProceedUploadContext());
    client.QueryPostStat(stat);
    EXPECT_EQ(parts[0].size() + parts[1].size(), stat.ActualPostedByte());
    EXPECT_STREQ(AnsiToWide(missing).c_str(), stat.CurrFile());
    EXPECT_EQ(2u, stat.PostedFileCount());
    // A plain value: head, then its bytes with the closing line.
    ASSERT_EQ(nullptr, client._ProceedUploadContext());
    ASSERT_EQ(nullptr, client._ProceedUploadContext());
    client.QueryPostStat(stat);
    EXPECT_EQ(11u, stat.CurrParamPostedByte());
    EXPECT_EQ(11u, stat.PostedByte());
    // 2500 file bytes: a head step, then 1024, 1024 and 452.
    ASSERT_EQ(nullptr, client._ProceedUploadContext());
    const DWORD afterHead = stat.ActualPostedByte() + static_cast<DWORD>(parts[3].size()) - 2500 - 2;
    for (DWORD sent : {1024u, 2048u, 2500u}) {
        ASSERT_EQ(nullptr, client._ProceedUploadContext());
        client.QueryPostStat(stat);
        EXPECT_EQ(sent, stat.CurrParamPostedByte());
        EXPECT_EQ(2500u - sent, stat.CurrParamRemainByte());
        EXPECT_EQ(afterHead + sent + (sent == 2500 ? 2 : 0), stat.ActualPostedByte());
    }
    // zeta (two steps), the closing line, then the end of the request.
    int steps = 0;
    std::unique_ptr<CHttpResponse> response;
    while (!response && steps < 10) {
        response.reset(client._ProceedUploadContext());
        ++steps;
    }
    ASSERT_TRUE(response);
    EXPECT_EQ(4, steps);
    EXPECT_EQ(200u, response->GetStatus());
    EXPECT_FALSE(client.IsPostContextActive());
    EXPECT_EQ(expected, Body());
    EXPECT_EQ(std::to_string(expected.size()), HeaderValue(Head(), "Content-Length"));
}

TEST_F(HttpClient, NamesAndPathsAreUtf8OrCodePageBytes)
{
    ASSERT_EQ(936u, GetACP()) << "the tests run with the Chinese code page";
    // 名字 and 值 in UTF-16, and their GBK bytes.
    const std::wstring name = L"\x540d\x5b57", value = L"\x503c";
    const std::string gbkName = "\xc3\xfb\xd7\xd6", utf8Name = "\xe5\x90\x8d\xe5\xad\x97";
    const std::string gbkValue = "\xd6\xb5", utf8Value = "\xe5\x80\xbc";
    std::string file = folder + "\xce\xc4.txt";  // 文.txt
    ASSERT_TRUE(WriteFileBytes(file, "abc"));
    std::wstring wideFile = AnsiToWide(file);

    for (BOOL utf8 : {TRUE, FALSE}) {
        ASSERT_TRUE(DemoReset());
        CHttpClient client;
        client.SetUseUtf8(utf8);
        client.AddParam(name.c_str(), value.c_str(), ParamNormal);
        client.AddParam(name.c_str(), wideFile.c_str(), ParamFile);
        std::string b = Boundary(client);
        ASSERT_EQ(200u, UploadAll(client, url));
        std::string n = utf8 ? utf8Name : gbkName;
        std::string path = utf8 ? AnsiToUtf8(file) : file;
        std::string expected = PlainPart(b, n, utf8 ? utf8Value : gbkValue) +
                               FilePart(b, n, path, "text/plain", "abc") + Closing(b);
        EXPECT_EQ(expected, Body()) << "utf8 " << utf8;
        EXPECT_EQ(std::to_string(expected.size()), HeaderValue(Head(), "Content-Length"));
    }
}

TEST_F(HttpClient, QuotesAndLineBreaksInNamesCannotBreakThePartsApart)
{
    // A name holding an empty line once started the part's value inside its
    // header, and a quote ended the name early.
    CHttpClient client;
    client.AddParam(L"a\r\n\r\nb\"c", L"v", ParamNormal);
    const std::string b = Boundary(client);
    ASSERT_EQ(200u, UploadAll(client, url));
    const std::string expected = PlainPart(b, "a%0D%0A%0D%0Ab%22c", "v") + Closing(b);
    EXPECT_EQ(expected, Body());
    EXPECT_EQ(std::to_string(expected.size()), HeaderValue(Head(), "Content-Length"));
}

TEST_F(HttpClient, AnnouncedLengthIsEveryByteTheServerReceived)
{
    // Sniffed types of different lengths, a file of several steps, an empty
    // and an unopened one, beside plain values that are empty, absent or
    // wider in one encoding than in the other.
    std::string png = folder + "p.png", html = folder + "h.htm", text = folder + "\xce\xc4.txt",
                empty = folder + "e.bin", missing = folder + "missing.bin";
    ASSERT_TRUE(WriteFileBytes(png, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(3000, 'p')));
    ASSERT_TRUE(WriteFileBytes(html, "<html><body>page</body></html>"));
    ASSERT_TRUE(WriteFileBytes(text, "plain words"));
    ASSERT_TRUE(WriteFileBytes(empty, ""));

    for (BOOL utf8 : {TRUE, FALSE}) {
        ASSERT_TRUE(DemoReset());
        CHttpClient client;
        client.SetUseUtf8(utf8);
        client.AddParam(L"", L"", ParamNormal);
        client.AddParam(L"absent", nullptr, ParamNormal);
        client.AddParam(L"\x540d\x5b57", L"\x503c\x503c\x503c", ParamNormal);
        for (const std::string& path : {png, html, text, empty, missing})
            client.AddParam(AnsiToWide(path.substr(folder.size())).c_str(), AnsiToWide(path).c_str(), ParamFile);
        std::string b = Boundary(client);
        client.BeginUpload(AnsiToWide(url).c_str(), 0);
        CHttpPostStat stat;
        client.QueryPostStat(stat);
        const std::string announced = std::to_string(stat.ActualTotalByte());

        // A length the steps do not meet never ends the request: bound them.
        std::unique_ptr<CHttpResponse> response;
        for (int steps = 0; !response && steps < 100; ++steps) response.reset(client._ProceedUploadContext());
        ASSERT_TRUE(response) << "utf8 " << utf8;
        EXPECT_EQ(200u, response->GetStatus());
        EXPECT_EQ(announced, HeaderValue(Head(), "Content-Length")) << "utf8 " << utf8;
        EXPECT_EQ("1 " + announced + " complete", DemoGet("/_demo/upload")) << "utf8 " << utf8;

        // Every part arrived, each with its type, and the closing line last.
        std::string body = Body();
        std::vector<std::string> types;
        for (size_t at = body.find("\r\nContent-Type: "); at != std::string::npos;
             at = body.find("\r\nContent-Type: ", at + 1))
            types.push_back(body.substr(at + 16, body.find("\r\n", at + 16) - at - 16));
        // Map order: e.bin, h.htm, missing.bin, p.png, then the Chinese name;
        // the sniffer names PNG image/x-png.
        const std::string octet = "application/octet-stream";
        EXPECT_EQ((std::vector<std::string>{octet, "text/html", octet, "image/x-png", "text/plain"}), types);
        const std::string opening = "--" + b + "\r\n";
        size_t parts = 0;
        for (size_t at = body.find(opening); at != std::string::npos; at = body.find(opening, at + 1)) ++parts;
        EXPECT_EQ(8u, parts);
        EXPECT_EQ(body.size() - Closing(b).size(), body.rfind(Closing(b)));
    }
}

TEST_F(HttpClient, UrlRules)
{
    CHttpUrlAnalyzerT<CHttpToolW> u;
    u.Analyze(L"hTtPs://host.example/a/b?q=1#f");
    EXPECT_TRUE(u.IsSecure());
    EXPECT_EQ(443, u.PortNumber());
    EXPECT_EQ(L"host.example", u.Host());
    EXPECT_EQ(L"/a/b?q=1#f", u.ObjectName());
    EXPECT_EQ(L"?q=1", u.Query());
    u.Analyze(L"httpsx://h/");
    EXPECT_FALSE(u.IsSecure());
    EXPECT_EQ(80, u.PortNumber());
    u.Analyze(L"http://h:8080");
    EXPECT_EQ(8080, u.PortNumber());
    EXPECT_EQ(L"/", u.ObjectName());
    u.Analyze(L"http://h:81?x=1");
    EXPECT_EQ(L"/?x=1", u.ObjectName());
    u.Analyze(L"h:65535/p");
    EXPECT_EQ(L"", u.Scheme());
    EXPECT_EQ(65535, u.PortNumber());
    for (const wchar_t* bad : {L"http://h:100000/", L"http://h:65536/", L"http://h:8x/", L"http://h:/"}) {
        u.Analyze(bad);
        EXPECT_EQ(107, Thrown([&] { u.PortNumber(); }).first) << WideToAnsi(bad);
    }
    EXPECT_EQ(0, Thrown([&] { u.Analyze(L"http://h/", CP_UTF8); }).first);

    // The same rules on real handles: the request's URL and flags.
    CHttpClient client;
    HINTERNET root = InternetOpenW(L"t", 0, nullptr, nullptr, 0);
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(103, Thrown([&] { client.OpenConnection(root, L"http:///x"); }).first);
    EXPECT_EQ(107, Thrown([&] { client.OpenConnection(root, L"http://h:123456/x"); }).first);
    for (const wchar_t* text : {L"HTTPS://host.example/up", L"http://host.example:8081"}) {
        HINTERNET connection = client.OpenConnection(root, text);
        HINTERNET request = client.OpenRequest(connection, text, INTERNET_FLAG_RELOAD);
        wchar_t seen[256] = {};
        DWORD size = sizeof seen;
        ASSERT_TRUE(InternetQueryOptionW(request, INTERNET_OPTION_URL, seen, &size));
        // "https" only with the secure flag; no port shown when it is 443.
        if (text[4] == L'S') {
            EXPECT_STREQ(L"https://host.example/up", seen);
        } else {
            EXPECT_STREQ(L"http://host.example:8081/", seen);
        }
        InternetCloseHandle(request);
        InternetCloseHandle(connection);
    }
    InternetCloseHandle(root);
}

TEST_F(HttpClient, RefusalsAndMessages)
{
    CHttpClient client;
    CHttpPostStat stat;
    client.QueryPostStat(stat);
    EXPECT_EQ(std::make_pair(0, std::string("CHttpPostStatT::CurrParamTotalByte: The post context is not active.")),
              Thrown([&] { stat.CurrParamTotalByte(); }));
    EXPECT_EQ("CHttpPostStatT::FileCount: The post context is not active.", Thrown([&] { stat.FileCount(); }).second);
    EXPECT_EQ(104, Thrown([&] { client._ProceedUploadContext(); }).first);
    EXPECT_EQ("CHttpClientT::SetHeader: szName can not be an empty string.",
              Thrown([&] { client.SetHeader(L"", L"v"); }).second);
    EXPECT_EQ("CHttpClientT::SetHeader: szValue can not be NULL.",
              Thrown([&] { client.SetHeader(L"n", nullptr); }).second);

    // While a post runs, its settings are fixed.
    client.AddParam(L"a", L"b");
    client.BeginUpload(AnsiToWide(url).c_str(), 0);
    EXPECT_EQ("CHttpClientT::SetUseUtf8: It is not allowed to call this method if the POST context is active.",
              Thrown([&] { client.SetUseUtf8(TRUE); }).second);
    EXPECT_EQ("CHttpClientT::AddParam: It is not allowed to call this method if the POST context is active.",
              Thrown([&] { client.AddParam(L"c", L"d"); }).second);

    // One text per known code; the path is cut, not overrun.
    EXPECT_STREQ(L"An arithmetic overflow error has been occurred.", GetHttpClientErrMsgW(112));
    EXPECT_STREQ(L"::HttpEndRequest failed.", GetHttpClientErrMsgW(409));
    EXPECT_EQ(nullptr, GetHttpClientErrMsgW(115));
    EXPECT_EQ(nullptr, GetHttpClientErrMsgW(1));
    std::wstring longPath(2000, L'x');
    auto thrown = Thrown([&] { CHttpToolW::ThrowException(603, 2, longPath.c_str()); });
    EXPECT_EQ(603, thrown.first);
    EXPECT_EQ(511u, thrown.second.size());
    EXPECT_EQ("OpenFile (::CreateFile) failed (\"xxx", thrown.second.substr(0, 36));
    EXPECT_EQ("::GetFileSize failed (\"C:\\f\").",
              Thrown([&] { CHttpToolW::ThrowException(605, 0, L"C:\\f"); }).second);
}

namespace {

// Tools that fail where a real disk rarely does.
struct ShortReadTool : CHttpToolW {
    static int reads;
    static DWORD ReadFile(HANDLE file, void* buffer, DWORD bytes)
    {
        if (++reads == 3) ThrowException(HTTPCLIENT_ERR_READFILE_FAILED, ERROR_READ_FAULT);
        return CHttpToolW::ReadFile(file, buffer, bytes);
    }
};
int ShortReadTool::reads = 0;

// A file that turns out shorter than it was sized.
struct ShrunkFileTool : CHttpToolW {
    static DWORD GetFileSize(HANDLE file, const wchar_t* name) { return CHttpToolW::GetFileSize(file, name) + 100; }
};

struct HugeFileTool : CHttpToolW {
    static DWORD GetFileSize(HANDLE, const wchar_t*) { return 0xFFFFFF00u; }
};

} // namespace

TEST_F(HttpClient, FailuresEndThePostContext)
{
    // Files are read a buffer at a time: three buffers' worth, so that the
    // third read (after the type sniffing and the first buffer) is mid-file.
    std::string data = folder + "data.bin";
    ASSERT_TRUE(WriteFileBytes(data, std::string(3 * CHttpClient::kReadBufferBytes, 'd')));

    // A read error mid-file ends the context before it is passed on.
    CHttpClientT<ShortReadTool, CHttpEncoderW> reader;
    reader.AddParam(L"f", AnsiToWide(data).c_str(), ParamFile);
    reader.BeginUpload(AnsiToWide(url).c_str(), 0);
    std::pair<int, std::string> thrown = Thrown([&] {
        for (int i = 0; i < 200; ++i) reader._ProceedUploadContext();
    });
    EXPECT_EQ(602, thrown.first);
    EXPECT_FALSE(reader.IsPostContextActive());
    EXPECT_EQ(104, Thrown([&] { reader._ProceedUploadContext(); }).first);

    // Bytes the file no longer has fail the step that needs them, however
    // far ahead the file was read.
    CHttpClientT<ShrunkFileTool, CHttpEncoderW> shrunk;
    shrunk.AddParam(L"f", AnsiToWide(data).c_str(), ParamFile);
    shrunk.BeginUpload(AnsiToWide(url).c_str(), 0);
    CHttpPostStatT<ShrunkFileTool> before;
    thrown = Thrown([&] {
        for (int i = 0; i < 400; ++i) {
            shrunk.QueryPostStat(before);
            shrunk._ProceedUploadContext();
        }
    });
    EXPECT_EQ(105, thrown.first);
    EXPECT_EQ(3 * CHttpClient::kReadBufferBytes, before.CurrParamPostedByte()) << "failed at the wrong step";
    EXPECT_FALSE(shrunk.IsPostContextActive());

    // A body beyond 32 bits is refused before anything is sent.
    CHttpClientT<HugeFileTool, CHttpEncoderW> huge;
    huge.AddParam(L"f", AnsiToWide(data).c_str(), ParamFile);
    huge.AddParam(L"g", AnsiToWide(data).c_str(), ParamFile);
    EXPECT_EQ(112, Thrown([&] { huge.BeginUpload(AnsiToWide(url).c_str(), 0); }).first);
    EXPECT_FALSE(huge.IsPostContextActive());

    // The strict check refuses a file that does not open.
    CHttpClient strict;
    strict.SetStrictFileCheck(TRUE);
    strict.AddParam(L"f", AnsiToWide(folder + "none").c_str(), ParamFile);
    thrown = Thrown([&] { strict.BeginUpload(AnsiToWide(url).c_str(), 0); });
    EXPECT_EQ(603, thrown.first);
    EXPECT_NE(std::string::npos, thrown.second.find(folder + "none"));

    // The server dropping the connection mid-body: a write or the end fails.
    ASSERT_TRUE(DemoReset());
    ASSERT_TRUE(DemoFault(kPage, "cut"));
    std::string big = folder + "big.bin";
    ASSERT_TRUE(WriteFileBytes(big, std::string(16 << 20, 'b')));
    CHttpClient client;
    client.AddParam(L"f", AnsiToWide(big).c_str(), ParamFile);
    client.BeginUpload(AnsiToWide(url).c_str(), 0);
    thrown = Thrown([&] {
        while (!client._ProceedUploadContext()) {
        }
    });
    EXPECT_EQ(408, thrown.first) << thrown.second;
    EXPECT_FALSE(client.IsPostContextActive());
    EXPECT_EQ("1 65536 partial", DemoGet("/_demo/upload"));
    DeleteFileA(big.c_str());
}
