// The text layout's seeded lines and accepted names.
#include <gtest/gtest.h>

#include "store/text_format.h"

namespace {

using mur::store::IsValidTextName;

std::string TextSeedLine(const char* line_template, const std::string& name) {
  mur::text::Bytes line;
  EXPECT_TRUE(mur::store::TextSeedLine(line_template, name, &line));
  return std::string(line.view());
}

TEST(TextFormat, SeededLines) {
  EXPECT_EQ("10000,abc,,1,1,0,,,,,\r\n", TextSeedLine(mur::store::kUserLineTemplate, "abc"));
  EXPECT_EQ(23u, TextSeedLine(mur::store::kUserLineTemplate, "abc").size());
  EXPECT_EQ("10,sales\r\n", TextSeedLine(mur::store::kSectionLineTemplate, "sales"));
  // The name is never a format: %s, %d and %n in it are plain bytes.
  EXPECT_EQ("10,%s%d%n%\r\n", TextSeedLine(mur::store::kSectionLineTemplate, "%s%d%n%"));
  EXPECT_EQ("10,\x95\x5C\x8E\xA6\r\n", TextSeedLine(mur::store::kSectionLineTemplate, "\x95\x5C\x8E\xA6"));
}

TEST(TextFormat, NamesThatWouldShiftFieldsAreRefused) {
  const mur::text::LeadBytes cp932 = mur::text::LeadBytes::CodePage932();
  for (const char* bad : {"a,b", "a\rb", "a\nb", ",", "", "123456789012345678901", "abc\x82"}) {
    EXPECT_FALSE(IsValidTextName(bad, cp932)) << bad;
  }
  for (const char* good : {"a", "a b", "100%", "\x95\x5C\x8E\xA6", "12345678901234567890", "a;b\t"}) {
    EXPECT_TRUE(IsValidTextName(good, cp932)) << good;
  }
  // A single-byte code page has no lead bytes: 0x82 is a whole character.
  EXPECT_TRUE(IsValidTextName("abc\x82", mur::text::LeadBytes()));
}

}  // namespace
