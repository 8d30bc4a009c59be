#include "testutil.h"

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
