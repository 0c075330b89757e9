// The text layout through the real MUR.dll: exact bytes, seed-if-empty,
// refused names, sharing, and failures made through the fault seam.
#include <gtest/gtest.h>

#include <string>

#include "support/expected_store.h"
#include "support/library.h"
#include "support/scratch.h"

namespace murtest {
namespace {

const TextStore& kUser = kUserText;
const TextStore& kSection = kSectionText;

int Seed(const Library& lib, const TextStore& s, const char* dir, const char* name) {
  return lib.Get<SeedFn>(s.export_name)(dir, name);
}

class TextLayout : public ::testing::TestWithParam<const TextStore*> {};

TEST_P(TextLayout, SeedsExactlyOneLine) {
  const TextStore& store = *GetParam();
  for (const std::string name : {"a", "abc", "12345678901234567890", "100%", "%s%n%d", "\x95\x5C\x8E\xA6",
                                 "a b;c\t"}) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    ASSERT_EQ(1, Seed(Mur(), store, dir.path().c_str(), name.c_str()));
    EXPECT_EQ(store.line(name), ReadAll(dir.data(store.file)));
    EXPECT_TRUE(OpenableExclusively(dir.data(store.file)));
  }
}

TEST(TextLayoutExample, UserAbcIs23Bytes) {
  ScratchDir dir;
  ASSERT_EQ(1, Seed(Mur(), kUser, dir.path().c_str(), "abc"));
  EXPECT_EQ("10000,abc,,1,1,0,,,,,\r\n", ReadAll(dir.data("user10")));
}

TEST_P(TextLayout, FileWithAnyContentIsLeftAlone) {
  const TextStore& store = *GetParam();
  for (const std::string& content : {std::string("x"), std::string(1, '\0'), store.line("other")}) {
    ScratchDir dir;
    WriteAll(dir.data(store.file), content);
    EXPECT_EQ(1, Seed(Mur(), store, dir.path().c_str(), "abc"));
    EXPECT_EQ(content, ReadAll(dir.data(store.file)));
  }
}

TEST_P(TextLayout, RefusedNamesAndDirectoriesCreateNoFile) {
  const TextStore& store = *GetParam();
  ScratchDir dir;
  ScratchDir no_data(false);
  const std::string name21(21, 'n');
  struct Refused {
    const char* why;
    const char* dir;
    const char* name;
  };
  const Refused cases[] = {
      {"comma", dir.path().c_str(), "a,b"},
      {"carriage return", dir.path().c_str(), "a\rb"},
      {"line feed", dir.path().c_str(), "a\nb"},
      {"empty name", dir.path().c_str(), ""},
      {"null name", dir.path().c_str(), nullptr},
      {"21 bytes", dir.path().c_str(), name21.c_str()},
      {"empty directory", "", "abc"},
      {"null directory", nullptr, "abc"},
      {"no data folder", no_data.path().c_str(), "abc"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(0, Seed(Mur(), store, c.dir, c.name));
    EXPECT_FALSE(FileExists(dir.data(store.file)));
  }
}

TEST_P(TextLayout, WriterElsewhereBlocksButReaderDoesNot) {
  const TextStore& store = *GetParam();
  {
    ScratchDir dir;
    HeldFile writer(dir.data(store.file), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(writer.ok());
    EXPECT_EQ(0, Seed(Mur(), store, dir.path().c_str(), "abc"));
    EXPECT_EQ("", ReadAll(dir.data(store.file)));
  }
  {
    ScratchDir dir;
    HeldFile exclusive_reader(dir.data(store.file), GENERIC_READ, 0);
    ASSERT_TRUE(exclusive_reader.ok());
    EXPECT_EQ(0, Seed(Mur(), store, dir.path().c_str(), "abc"));
  }
  {
    ScratchDir dir;
    HeldFile reader(dir.data(store.file), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(1, Seed(Mur(), store, dir.path().c_str(), "abc"));
    EXPECT_EQ(store.line("abc"), ReadAll(dir.data(store.file)));
  }
}

TEST_P(TextLayout, TrailingBackslashStillSeeds) {
  const TextStore& store = *GetParam();
  ScratchDir dir;
  EXPECT_EQ(1, Seed(Mur(), store, (dir.path() + "\\").c_str(), "abc"));
  EXPECT_EQ(store.line("abc"), ReadAll(dir.data(store.file)));
}

INSTANTIATE_TEST_SUITE_P(Stores, TextLayout, ::testing::Values(&kUser, &kSection),
                         [](const auto& info) { return std::string(info.param->label); });

}  // namespace
}  // namespace murtest
