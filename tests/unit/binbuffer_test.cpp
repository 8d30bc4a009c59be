#include "testutil.h"

#include "base/binbuffer.h"

#include <gtest/gtest.h>

#include <vector>

TEST(BinBuffer, GrowsByDoublingAndKeepsItsBytes)
{
    BinBuffer buffer;
    EXPECT_TRUE(buffer.write("x", 0));
    EXPECT_EQ(nullptr, buffer.data()) << "a 0-byte write allocates nothing";

    std::vector<uint8_t> first(5000);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i * 7 + 1);
    ASSERT_TRUE(buffer.write(first.data(), 5000));
    EXPECT_EQ(8192u, buffer.allocated());
    EXPECT_EQ(5000u, buffer.size());
    for (uint32_t i = 5000; i < 8192; ++i) ASSERT_EQ(0, buffer.data()[i]) << i;

    ASSERT_TRUE(buffer.write(first.data(), 5000));
    EXPECT_EQ(16384u, buffer.allocated());
    EXPECT_EQ(0, memcmp(buffer.data(), first.data(), 5000));
    EXPECT_EQ(0, memcmp(buffer.data() + 5000, first.data(), 5000));
    for (uint32_t i = 10000; i < 16384; ++i) ASSERT_EQ(0, buffer.data()[i]) << i;

    buffer.reset();
    EXPECT_EQ(nullptr, buffer.data());
    EXPECT_EQ(0u, buffer.size() + buffer.allocated());
}

TEST(BinBuffer, RefusesNullSourceAndHugeRequests)
{
    AppScope scope;
    BinBuffer buffer;
    ASSERT_TRUE(buffer.write("abc", 3));
    EXPECT_FALSE(buffer.write(nullptr, 10));
    EXPECT_EQ(3u, buffer.size());
    EXPECT_FALSE(buffer.alloc_buffer(0xF0000000u));
    EXPECT_EQ(4096u, buffer.allocated());
    EXPECT_EQ(0, memcmp(buffer.data(), "abc", 3));
    std::string log = ReadTodaysLog();
    EXPECT_NE(std::string::npos, log.find("assert failed!\nfile: binbuffer\nline: "));
    EXPECT_NE(std::string::npos, log.find("expr: data!=NULL"));
    EXPECT_NE(std::string::npos, log.find("BinBuffer::alloc_buffer data is too more"));
}
