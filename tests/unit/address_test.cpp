#include "testutil.h"

#include "check/sysprobe.h"
#include "net/address.h"

#include <gtest/gtest.h>

TEST(IsAddress, EveryNumberMustBeBelow255)
{
    AppScope scope;
    EXPECT_TRUE(IsAddress("127.0.0.1"));
    EXPECT_TRUE(IsAddress(" 1.2.3.4 and letters"));
    for (const char* bad : {"255.1.1.1", "1.255.1.1", "1.1.255.1", "1.1.1.255", "1.1.999.1", "1.2.3",
                            "-1.2.3.4", "host.example", ""})
        EXPECT_FALSE(IsAddress(bad)) << bad;
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("error: IsAddress invalid ip:1.2.3\r\n"));
}

TEST(IsPublicAddress, PrivateRangesAndLoopbackOnly)
{
    for (const char* priv : {"192.168.1.10", "10.1.2.3", "172.20.0.1", "172.16.0.1", "172.31.9.9", "127.0.0.1"})
        EXPECT_FALSE(IsPublicAddress(priv)) << priv;
    for (const char* pub : {"172.15.0.1", "172.32.0.1", "127.0.0.2", "8.8.8.8"})
        EXPECT_TRUE(IsPublicAddress(pub)) << pub;
    EXPECT_FALSE(IsPublicAddress("8.8.8.255"));
}

TEST(ResolveHostName, LocalhostResolvesToLoopback)
{
    std::string address;
    EXPECT_TRUE(ResolveHostName("localhost", address));
    EXPECT_EQ("127.0.0.1", address);
}

TEST(IsServerConnetced, OpenPortPassesClosedPortFails)
{
    AppScope scope;
    const uint16_t port = DemoPort();
    ASSERT_NE(port, 0) << "demo server not running";

    CheckItem row;
    EXPECT_TRUE(IsServerConnetced("127.0.0.1", port, row));
    EXPECT_EQ(kItemConnectivity, row.kind);
    EXPECT_EQ(kStatePassed, row.state);
    EXPECT_EQ(1, row.installed);
    EXPECT_EQ("服务器端连通性", row.title);
    EXPECT_EQ("检测客户端与服务器是否能够连接", row.description);
    EXPECT_EQ(std::string::npos, ReadTodaysLog().find("IsServerConnetced"));

    scope.app().m_sysInfo.englishUI = 1;
    CheckItem closed;
    EXPECT_FALSE(IsServerConnetced("127.0.0.1", ClosedPort(), closed));
    EXPECT_EQ(kStateFailed, closed.state);
    EXPECT_EQ("Connectivity", closed.title);
    EXPECT_EQ(" Server will be able to connect", closed.description);
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("error:IsServerConnetced connect failed\r\n"));
}
