#include "testutil.h"

#include "settings/config.h"
#include "net/ipinfo.h"

#include <gtest/gtest.h>

TEST(UrlDecode, HexInEitherCaseAndPlus)
{
    EXPECT_EQ("\xE5\x8C\x97 a", UrlDecode("%E5%8C%97+a"));
    EXPECT_EQ(UrlDecode("%e5%8c%97"), UrlDecode("%E5%8C%97"));
    // A "%" without two hex digits passes through as it is.
    EXPECT_EQ("100%", UrlDecode("100%"));
    EXPECT_EQ("%4", UrlDecode("%4"));
    EXPECT_EQ("%zz1", UrlDecode("%zz1"));
    EXPECT_EQ(std::string("a\0b", 3), UrlDecode("a%00b"));
}

TEST(IsUtf8, MultiByteTextOnly)
{
    EXPECT_TRUE(IsUtf8("\xE5\x8C\x97\xE4\xBA\xAC"));  // UTF-8
    EXPECT_TRUE(IsUtf8("ip \xC3\xA9"));
    EXPECT_FALSE(IsUtf8("plain ascii"));
    EXPECT_FALSE(IsUtf8(""));
    EXPECT_FALSE(IsUtf8("\xB1\xB1\xBE\xA9"));          // the same word in GBK
    EXPECT_FALSE(IsUtf8("\xE5\x8C"));                  // cut short
    EXPECT_FALSE(IsUtf8("\x80 lead"));
    EXPECT_TRUE(IsUtf8("\xF8\x80\x80\x80\x80"));       // old five-byte form
    EXPECT_FALSE(IsUtf8(reinterpret_cast<const unsigned char*>("\xC3\xA9"), 0));
}

TEST(ParseIpReply, CompleteRepliesOnly)
{
    IpInfo info;
    info.ip = "kept";
    std::string error;
    EXPECT_EQ(kIpReplyOk, ParseIpReply("{\"code\":0,\"data\":{\"ip\":\"1.2.3.4\",\"region\":\"%E5%8C%97\","
                                       "\"isp\":\"a+b\",\"isp_id\":\"100017\",\"extra\":1}}",
                                       info, error));
    EXPECT_EQ("1.2.3.4", info.ip);
    EXPECT_EQ("\xE5\x8C\x97", info.region);
    EXPECT_EQ("a b", info.isp);
    EXPECT_EQ("100017", info.isp_id);

    const char* refused[] = {"{\"code\":1,\"data\":{\"ip\":\"x\",\"region\":\"\",\"isp\":\"\",\"isp_id\":\"\"}}",
                             "{\"code\":0}"};
    for (const char* body : refused) {
        IpInfo untouched;
        untouched.ip = "kept";
        EXPECT_EQ(kIpReplyRefused, ParseIpReply(body, untouched, error)) << body;
        EXPECT_EQ("kept", untouched.ip);
    }
    const char* malformed[] = {"", "<html>busy</html>", "[1,2]", "{\"data\":{}}",
                               "{\"code\":0,\"data\":{\"ip\":\"1.2.3.4\",\"region\":\"r\",\"isp\":\"i\"}}",
                               "{\"code\":\"zero\"}", "{\"code\":0,\"data\":{\"ip\":"};
    for (const char* body : malformed) {
        IpInfo untouched;
        untouched.ip = "kept";
        error.clear();
        EXPECT_EQ(kIpReplyMalformed, ParseIpReply(body, untouched, error)) << body;
        EXPECT_EQ("kept", untouched.ip);
        EXPECT_EQ("", untouched.isp_id);
        EXPECT_FALSE(error.empty()) << body;
    }
}

TEST(DescribeConnection, PanelTextsFromTheRecords)
{
    IpInfo client{"198.51.100.23", "北京市", "电信", "100017"};
    IpInfo server{"203.0.113.9", "上海市", "联通", "100026"};

    ConnectionTexts lan = DescribeConnection("192.168.0.5", true, client, server);
    EXPECT_EQ("127.0.0.1", lan.client);
    EXPECT_EQ("192.168.0.5", lan.server);
    EXPECT_EQ("客户端与服务器为局域网", lan.relation);

    ConnectionTexts other = DescribeConnection("203.0.113.9", true, client, server);
    EXPECT_EQ("198.51.100.23 北京市 电信", other.client);
    EXPECT_EQ("203.0.113.9 上海市 联通", other.server);
    EXPECT_EQ("客户端与服务器为广域网,但不为同一运营商", other.relation);

    server.isp_id = "100017";
    EXPECT_EQ("客户端与服务器为广域网,但为同一运营商",
              DescribeConnection("203.0.113.9", true, client, server).relation);
    server.isp_id = "1000170";  // same prefix, different length
    EXPECT_EQ("客户端与服务器为广域网,但不为同一运营商",
              DescribeConnection("203.0.113.9", true, client, server).relation);

    ConnectionTexts down = DescribeConnection("203.0.113.9", false, client, server);
    EXPECT_EQ("127.0.0.1", down.client);
    EXPECT_EQ("203.0.113.9", down.server);
    EXPECT_EQ("请检测客户端的网络连接情况", down.relation);
}

namespace {
const char* const kService = "/service/getIpInfo.php";

class IpLookup : public testing::Test {
protected:
    void SetUp() override
    {
        saved = g_serverSettings;
        ASSERT_TRUE(DemoReset());
        g_serverSettings.ipInfoHost = DemoHost();
        g_ipServiceAvailable = true;
        g_clientInfo = g_serverInfo = IpInfo();
    }
    void TearDown() override
    {
        g_serverSettings = saved;
        g_ipServiceAvailable = true;
        DemoReset();
    }
    std::string Posts()
    {
        std::string posts, log = DemoGet("/_demo/requests");
        for (size_t at = 0; (at = log.find("POST ", at)) != std::string::npos; ++at)
            posts += log.substr(at, log.find('\n', at) - at) + "|";
        return posts;
    }

    AppScope scope;
    ServerSettings saved;
};
} // namespace

TEST_F(IpLookup, RepliesInUtf8AsciiAndTheLocalCodePage)
{
    const std::string utf8 =
        "{\"code\":0,\"data\":{\"ip\":\"203.0.113.9\",\"region\":\"\xE4\xB8\x8A\xE6\xB5\xB7\","
        "\"isp\":\"%E8%81%94%E9%80%9A\",\"isp_id\":\"100026\"}}";
    const std::string ascii =
        "{\"code\":0,\"data\":{\"ip\":\"203.0.113.9\",\"region\":\"%E4%B8%8A%E6%B5%B7\","
        "\"isp\":\"%e8%81%94%e9%80%9a\",\"isp_id\":\"100026\"}}";
    const std::string gbk = "{\"code\":0,\"data\":{\"ip\":\"203.0.113.9\",\"region\":\"上海\","
                            "\"isp\":\"联通\",\"isp_id\":\"100026\"}}";  // this file's narrow texts are GBK
    for (const std::string& body : {utf8, ascii, gbk}) {
        ASSERT_TRUE(DemoIpAnswer("203.0.113.9", body));
        IpInfo info = QueryIpInfo(g_serverSettings.ipInfoHost, "203.0.113.9");
        EXPECT_EQ("203.0.113.9", info.ip) << body;
        EXPECT_EQ("上海", info.region) << body;
        EXPECT_EQ("联通", info.isp) << body;
        EXPECT_EQ("100026", info.isp_id) << body;
    }
    EXPECT_TRUE(g_ipServiceAvailable);
    EXPECT_EQ("POST /service/getIpInfo.php ip=203.0.113.9|POST /service/getIpInfo.php ip=203.0.113.9|"
              "POST /service/getIpInfo.php ip=203.0.113.9|",
              Posts());
}

TEST_F(IpLookup, BadRepliesGiveTheAddressAloneAndKeepTheServiceUsable)
{
    for (const char* body : {"<html>busy</html>", "{\"code\":3}", "{\"data\":{}}",
                             "{\"code\":0,\"data\":{\"ip\":\"1.1.1.1\"}}"}) {
        ASSERT_TRUE(DemoIpAnswer("myip", body));
        IpInfo info = QueryIpInfo(g_serverSettings.ipInfoHost, "myip");
        EXPECT_EQ("myip", info.ip) << body;
        EXPECT_EQ("", info.region + info.isp + info.isp_id) << body;
        EXPECT_TRUE(g_ipServiceAvailable) << body;
    }
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("QueryIpInfo myip: bad reply: "));
}

TEST_F(IpLookup, UnreachableOrSilentServiceIsRememberedForTheRun)
{
    // An empty reply clears the flag, and a later good answer does not set it back.
    ASSERT_TRUE(DemoIpAnswer("myip", ""));
    EXPECT_EQ("myip", QueryIpInfo(g_serverSettings.ipInfoHost, "myip").ip);
    EXPECT_FALSE(g_ipServiceAvailable);
    ASSERT_TRUE(DemoReset());
    EXPECT_EQ("198.51.100.23", QueryIpInfo(g_serverSettings.ipInfoHost, "myip").ip);
    EXPECT_FALSE(g_ipServiceAvailable);

    // 404 on the service, a connection cut in the reply, and no service at all.
    for (const char* mode : {"404", "cut"}) {
        g_ipServiceAvailable = true;
        ASSERT_TRUE(DemoFault(kService, mode));
        EXPECT_EQ("8.8.8.8", QueryIpInfo(g_serverSettings.ipInfoHost, "8.8.8.8").ip) << mode;
        EXPECT_FALSE(g_ipServiceAvailable) << mode;
    }
    g_ipServiceAvailable = true;
    g_serverSettings.ipInfoHost = "127.0.0.1:" + std::to_string(ClosedPort());
    EXPECT_EQ("8.8.8.8", QueryIpInfo(g_serverSettings.ipInfoHost, "8.8.8.8").ip);
    EXPECT_FALSE(g_ipServiceAvailable);
}

TEST_F(IpLookup, PublicServerAsksForTheWorkstationFirst)
{
    g_serverSettings.serverAddr = "203.0.113.9";
    ResolveServerAddress();
    EXPECT_EQ("203.0.113.9", g_serverSettings.serverIp);
    EXPECT_EQ("POST /service/getIpInfo.php ip=myip|POST /service/getIpInfo.php ip=203.0.113.9|", Posts());
    EXPECT_EQ("198.51.100.23", g_clientInfo.ip);
    EXPECT_EQ("203.0.113.9", g_serverInfo.ip);
    EXPECT_EQ("北京市", g_serverInfo.region);
    EXPECT_EQ("电信", g_serverInfo.isp);
}

TEST_F(IpLookup, PrivateOrUnresolvableServerRunsNoLookup)
{
    g_serverSettings.serverAddr = "192.168.0.5";
    ResolveServerAddress();
    EXPECT_EQ("192.168.0.5", g_serverSettings.serverIp);

    g_serverSettings.serverAddr = "no-such-host.invalid";
    ResolveServerAddress();
    EXPECT_EQ("192.168.0.5", g_serverSettings.serverIp) << "previous IP kept";
    EXPECT_EQ("", Posts());
    EXPECT_NE(std::string::npos,
              ReadTodaysLog().find("\r\n[error]:can't resolve domain name:no-such-host.invalid\r\n"));
}

TEST_F(IpLookup, WorkerReportsTheIpFirstAndAStaleResultChangesNothing)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    auto next = [&]() -> std::unique_ptr<AddressLookup> {
        MSG msg;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
            if (PeekMessageW(&msg, window, WM_ADDRESS_LOOKUP, WM_ADDRESS_LOOKUP, PM_REMOVE))
                return std::unique_ptr<AddressLookup>(reinterpret_cast<AddressLookup*>(msg.wParam));
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
        }
        return nullptr;
    };
    // A public server: the IP at once, the carriers after; nothing global
    // changes until the window applies what came back.
    g_serverSettings.serverAddr = "203.0.113.9";
    g_serverSettings.serverIp.clear();
    ASSERT_TRUE(StartAddressLookups(window, g_serverSettings));
    // A service saved meanwhile is not the one this lookup asks.
    const std::string service = g_serverSettings.ipInfoHost;
    g_serverSettings.ipInfoHost = "127.0.0.1:1";
    std::unique_ptr<AddressLookup> first = next(), second = next();
    g_serverSettings.ipInfoHost = service;
    ASSERT_TRUE(first && second);
    EXPECT_EQ("203.0.113.9", first->serverIp);
    EXPECT_FALSE(first->carriers);
    EXPECT_EQ("198.51.100.23", second->client.ip);
    EXPECT_EQ("", g_serverSettings.serverIp);

    // The user named another server meanwhile: the old answer is dropped.
    g_serverSettings.serverAddr = "192.168.0.5";
    EXPECT_FALSE(ApplyAddressLookup(*second));
    EXPECT_EQ("", g_serverSettings.serverIp);
    EXPECT_EQ("", g_clientInfo.ip);
    g_serverSettings.serverAddr = "203.0.113.9";
    EXPECT_TRUE(ApplyAddressLookup(*second));
    EXPECT_EQ("198.51.100.23", g_clientInfo.ip);
    DestroyWindow(window);
}
