// The record layout's encoder and the first-record reader, platform-free.
#include <gtest/gtest.h>

#include <string>

#include "store/record_format.h"
#include "store/store_name.h"
#include "support/expected_store.h"

namespace {

using mur::store::StoreKind;

std::string Bytes(const mur::store::SeedBytes& seed) {
  EXPECT_TRUE(seed.ok());
  return std::string(seed.view());
}

TEST(RecordFormat, EncodesTheTablesByteForByte) {
  for (const std::string name : {"a", "abc", "ABCDEFGHIJKLMNOPQRST", "\x95\x5C\x8E\xA6"}) {
    EXPECT_EQ(murtest::Header() + murtest::UserRecord(name), Bytes(mur::store::DataFileSeed(StoreKind::kUser, name)));
    EXPECT_EQ(murtest::Header() + murtest::SectionRecord(name),
              Bytes(mur::store::DataFileSeed(StoreKind::kSection, name)));
    EXPECT_EQ(name.size() + 22, mur::store::RecordLength(StoreKind::kUser, name.size()));
    EXPECT_EQ(name.size() + 9, mur::store::RecordLength(StoreKind::kSection, name.size()));
  }
  EXPECT_EQ(murtest::Index(25), Bytes(mur::store::IndexFileSeed(25)));
  EXPECT_EQ(murtest::Index(0x01020304), Bytes(mur::store::IndexFileSeed(0x01020304)));
  // A name past the longest store name does not fit, and says so.
  EXPECT_FALSE(mur::store::DataFileSeed(StoreKind::kUser, std::string(21, 'x')).ok());
}

TEST(RecordFormat, AFileIsCutOnlyWhenItIsAStrictBeginningOfTheSeed) {
  using mur::store::FileState;
  const std::string seed = murtest::Header() + murtest::UserRecord("abc");
  struct Case {
    const char* why;
    std::uint64_t size;
    std::string head;
    FileState state;
  };
  const Case cases[] = {
      {"absent or empty", 0, "", FileState::kEmpty},
      {"first byte of the count", 1, seed.substr(0, 1), FileState::kCut},
      {"header only", 1024, seed.substr(0, 1024), FileState::kCut},
      {"one byte short", seed.size() - 1, seed.substr(0, seed.size() - 1), FileState::kCut},
      {"whole", seed.size(), "", FileState::kContent},
      {"longer", seed.size() + 1, "", FileState::kContent},
      {"4 GiB - 1, whatever its bytes", 0xFFFFFFFFull, "", FileState::kContent},
      {"a byte differs", 5, seed.substr(0, 4) + "x", FileState::kContent},
      {"another name", 1024 + 15, (murtest::Header() + murtest::UserRecord("xyz")).substr(0, 1024 + 15),
       FileState::kContent},
      {"short read: bytes not seen", 10, seed.substr(0, 9), FileState::kContent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.state, mur::store::ClassifyFile(c.size, c.head, seed));
  }
}

TEST(RecordFormat, AShortIndexMayBeCutWhateverTheRecordLength) {
  const std::string entry = murtest::Index(0xA1B2C3D4);
  for (std::size_t n = 1; n < entry.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(mur::store::MayBeCutIndex(entry.substr(0, n)));
  }
  EXPECT_FALSE(mur::store::MayBeCutIndex(entry));                          // whole
  EXPECT_FALSE(mur::store::MayBeCutIndex(murtest::Le(0, 4)));              // an index of no entries
  EXPECT_FALSE(mur::store::MayBeCutIndex(entry.substr(0, 13) + "\x05"));  // offset not 1024
  EXPECT_FALSE(mur::store::MayBeCutIndex(entry.substr(0, 4) + "\x01"));   // flag byte set
}

TEST(StoreName, LengthAndAWholeLastCharacter) {
  const mur::text::LeadBytes cp932 = mur::text::LeadBytes::CodePage932();
  const mur::text::LeadBytes single;
  struct Case {
    const char* why;
    std::string name;
    bool cp932_ok;
    bool single_ok;
  };
  const Case cases[] = {
      {"empty", "", false, false},
      {"one byte", "a", true, true},
      {"20 bytes", std::string(20, 'a'), true, true},
      {"21 bytes", std::string(21, 'a'), false, false},
      {"ends in a lone lead byte", "abc\x82", false, true},
      {"19 bytes and a lone lead byte", std::string(19, 'a') + "\x82", false, true},
      {"lead byte alone", "\x82", false, true},
      {"whole double-byte character last", "abc\x82\xA0", true, true},
      {"trail byte that is a lead value", "\x82\x82", true, true},
      {"lead, pair, lone lead", "\x82\x82\x82", false, true},
      {"ten double-byte characters", std::string(20, '\x82'), true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.cp932_ok, mur::store::IsValidStoreName(c.name, cp932));
    EXPECT_EQ(c.single_ok, mur::store::IsValidStoreName(c.name, single));
  }
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
