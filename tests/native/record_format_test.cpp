// The record layout's encoder and the first-record reader, platform-free.
#include <gtest/gtest.h>

#include <string>

#include "store/record_format.h"
#include "support/expected_store.h"

namespace {

using mur::store::StoreKind;

std::string Join(const mur::store::Fields& fields) {
  std::string all;
  for (std::size_t i = 0; i < fields.size(); ++i) all += fields[i];
  return all;
}

TEST(RecordFormat, EncodesTheTablesByteForByte) {
  for (const std::string name : {"a", "abc", "ABCDEFGHIJKLMNOPQRST", "\x95\x5C\x8E\xA6"}) {
    EXPECT_EQ(murtest::Header(), Join(mur::store::DataHeaderFields()));
    EXPECT_EQ(murtest::UserRecord(name), Join(mur::store::UserRecordFields(name)));
    EXPECT_EQ(murtest::SectionRecord(name), Join(mur::store::SectionRecordFields(name)));
    EXPECT_EQ(name.size() + 22, mur::store::RecordLength(StoreKind::kUser, name.size()));
    EXPECT_EQ(name.size() + 9, mur::store::RecordLength(StoreKind::kSection, name.size()));
  }
  EXPECT_EQ(murtest::Index(25), Join(mur::store::IndexFields(25)));
  EXPECT_EQ(murtest::Index(0x01020304), Join(mur::store::IndexFields(0x01020304)));
}

TEST(RecordFormat, OneFieldPerWrite) {
  EXPECT_EQ(2u, mur::store::DataHeaderFields().size());
  EXPECT_EQ(10u, mur::store::UserRecordFields("abc").size());
  EXPECT_EQ(4u, mur::store::SectionRecordFields("abc").size());
  EXPECT_EQ(5u, mur::store::IndexFields(25).size());
  // The name and its terminating zero are separate writes.
  EXPECT_EQ("abc", mur::store::UserRecordFields("abc")[4]);
  EXPECT_EQ(std::string(1, '\0'), mur::store::UserRecordFields("abc")[5]);
}

TEST(RecordFormat, FirstRecordLengthOfWholeAndDamagedFiles) {
  const std::string user = murtest::Header() + murtest::UserRecord("earlier-name");
  const std::string section = murtest::Header() + murtest::SectionRecord("s");
  struct Case {
    const char* why;
    StoreKind kind;
    std::string bytes;
    std::optional<std::uint32_t> length;
  };
  const Case cases[] = {
      {"whole user record", StoreKind::kUser, user, 12 + 22},
      {"whole section record", StoreKind::kSection, section, 1 + 9},
      {"more records follow", StoreKind::kUser, user + "next record", 12 + 22},
      {"empty file", StoreKind::kUser, "", std::nullopt},
      {"header only", StoreKind::kUser, murtest::Header(), std::nullopt},
      {"count of zero", StoreKind::kUser, murtest::Le(0, 4) + user.substr(4), std::nullopt},
      {"record cut short", StoreKind::kUser, user.substr(0, user.size() - 1), std::nullopt},
      {"name never ends", StoreKind::kSection, murtest::Header() + std::string(30, 'x'), std::nullopt},
      {"empty name", StoreKind::kSection, murtest::Header() + murtest::SectionRecord(""), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.length, mur::store::FirstRecordLength(c.kind, c.bytes));
  }
}

}  // namespace
