// The library's owned buffer: growth, the zero after the last value, appends
// from its own contents, and allocation failure reported as a result.
#include <gtest/gtest.h>

#include <string>

#include "support/exhausted_memory.h"
#include "text/buffer.h"

namespace {

using mur::text::Buffer;
using mur::text::Bytes;

TEST(Buffer, GrowsAndKeepsAZeroAfterTheLastValue) {
  Bytes b;
  EXPECT_STREQ("", b.c_str());
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    ASSERT_TRUE(b.Append(c));
    expected += c;
    ASSERT_EQ('\0', b.data()[b.size()]);
  }
  EXPECT_EQ(expected, std::string(b.view()));
  b.Truncate(3);
  EXPECT_STREQ("abc", b.c_str());
  ASSERT_TRUE(b.Resize(6));
  EXPECT_EQ(std::string("abc\0\0\0", 6), std::string(b.view()));
  EXPECT_EQ('\0', b.data()[6]);
}

TEST(Buffer, AppendsFromItsOwnContentsAcrossAGrowth) {
  Bytes b;
  ASSERT_TRUE(b.Assign("0123456789", 10));
  for (int round = 0; round < 12; ++round) ASSERT_TRUE(b.Append(b.data(), b.size()));
  ASSERT_EQ(10u << 12, b.size());
  for (std::size_t i = 0; i < b.size(); ++i) ASSERT_EQ('0' + static_cast<int>(i % 10), b[i]) << i;
}

TEST(Buffer, MovesOwnership) {
  Buffer<int> a;
  ASSERT_TRUE(a.Append(7));
  Buffer<int> b = std::move(a);
  EXPECT_EQ(0u, a.size());
  ASSERT_EQ(1u, b.size());
  EXPECT_EQ(7, b[0]);
  a = std::move(b);
  EXPECT_EQ(7, a[0]);
}

TEST(AllocationFailure, IsAResultAndKeepsTheContents) {
  Bytes b;
  ASSERT_TRUE(b.Assign("kept", 4));
  const murtest::ExhaustedMemory exhausted;
  EXPECT_FALSE(b.Append(std::string(1000, 'x').c_str(), 1000));
  EXPECT_FALSE(b.Resize(1 << 20));
  EXPECT_EQ("kept", std::string(b.view()));
  EXPECT_STREQ("kept", b.c_str());
  // Sizes that cannot be represented fail without asking for memory.
  const int asked = exhausted.asked();
  EXPECT_FALSE(b.Resize(static_cast<std::size_t>(-1)));
  EXPECT_FALSE(b.Append(b.data(), static_cast<std::size_t>(-1) / 2));
  EXPECT_EQ(asked, exhausted.asked());
}

}  // namespace
