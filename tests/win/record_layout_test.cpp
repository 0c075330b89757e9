// The record layout through the real MUR.dll: exact bytes, seed-if-empty,
// refusals, sharing, and the index of a store whose data file already exists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expected_store.h"
#include "support/handles.h"
#include "support/library.h"
#include "support/scratch.h"

namespace murtest {
namespace {

using Store = RecordStore;
const Store& kUserStore = kUserRecords;
const Store& kSectionStore = kSectionRecords;

int Seed(const Store& store, const char* dir, const char* name) {
  return Mur().Get<SeedFn>(store.export_name)(dir, name);
}

struct SeedCase {
  const Store* store;
  std::string name;
};

class RecordLayoutSeed : public ::testing::TestWithParam<SeedCase> {};

TEST_P(RecordLayoutSeed, WritesExactBytesIntoAFreshStore) {
  const Store& store = *GetParam().store;
  const std::string& name = GetParam().name;
  ScratchDir dir;
  ASSERT_EQ(1, Seed(store, dir.path().c_str(), name.c_str()));
  const std::string record = store.record(name);
  EXPECT_EQ(Header() + record, ReadAll(dir.data(store.data_file)));
  EXPECT_EQ(Index(static_cast<std::uint32_t>(record.size())), ReadAll(dir.data(store.index_file)));
  // Both handles were closed: the files open with no sharing at all.
  EXPECT_TRUE(OpenableExclusively(dir.data(store.data_file)));
  EXPECT_TRUE(OpenableExclusively(dir.data(store.index_file)));
}

std::vector<SeedCase> SeedCases() {
  const std::vector<std::string> names = {
      "a",
      "abc",
      "ABCDEFGHIJKLMNOPQRST",                   // exactly 20 bytes
      "\x95\x5C\x8E\xA6",                       // "hyouji" in code page 932: 0x5C trail byte
      "\x83\x65\x83\x58\x83\x67\x83\x86\x81\x5B\x83\x55\x81\x5B\x82\xA0\x82\xA2",  // 18 bytes
  };
  std::vector<SeedCase> cases;
  for (const Store* s : {&kUserStore, &kSectionStore})
    for (const std::string& n : names) cases.push_back({s, n});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Names, RecordLayoutSeed, ::testing::ValuesIn(SeedCases()),
                         [](const auto& info) {
                           return std::string(info.param.store->label) + "_" +
                                  std::to_string(info.index);
                         });

TEST(RecordLayout, UserExampleSizes) {
  ScratchDir dir;
  ASSERT_EQ(1, Seed(kUserStore, dir.path().c_str(), "abc"));
  EXPECT_EQ(1049u, ReadAll(dir.data("UserInfo.Data")).size());
  const std::string index = ReadAll(dir.data("UserInfo.ID"));
  ASSERT_EQ(17u, index.size());
  EXPECT_EQ(Le(25, 4), index.substr(9, 4));
}

class RecordLayoutEachStore : public ::testing::TestWithParam<const Store*> {};

TEST_P(RecordLayoutEachStore, StoreWithContentIsLeftUntouched) {
  const Store& store = *GetParam();
  ScratchDir dir;
  WriteAll(dir.data(store.data_file), "existing data");
  WriteAll(dir.data(store.index_file), "existing index");
  // Age both files, so that any write would move their modification time.
  for (const char* f : {store.data_file, store.index_file}) {
    const FileHandle h(::CreateFileA(dir.data(f).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
    ASSERT_TRUE(h);
    FILETIME old{0x12345600u, 0x01C00000u};
    ASSERT_TRUE(::SetFileTime(h.get(), nullptr, nullptr, &old));
  }
  const FILETIME data_time = LastWrite(dir.data(store.data_file));
  const FILETIME index_time = LastWrite(dir.data(store.index_file));

  EXPECT_EQ(1, Seed(store, dir.path().c_str(), "abc"));
  EXPECT_EQ(1, Seed(store, dir.path().c_str(), "other"));

  EXPECT_EQ("existing data", ReadAll(dir.data(store.data_file)));
  EXPECT_EQ("existing index", ReadAll(dir.data(store.index_file)));
  const FILETIME data_after = LastWrite(dir.data(store.data_file));
  const FILETIME index_after = LastWrite(dir.data(store.index_file));
  EXPECT_EQ(0, ::CompareFileTime(&data_time, &data_after));
  EXPECT_EQ(0, ::CompareFileTime(&index_time, &index_after));
  EXPECT_TRUE(OpenableExclusively(dir.data(store.data_file)));
  EXPECT_TRUE(OpenableExclusively(dir.data(store.index_file)));
}

TEST_P(RecordLayoutEachStore, SecondSeedingChangesNothing) {
  const Store& store = *GetParam();
  ScratchDir dir;
  ASSERT_EQ(1, Seed(store, dir.path().c_str(), "first"));
  const std::string data = ReadAll(dir.data(store.data_file));
  const std::string index = ReadAll(dir.data(store.index_file));
  EXPECT_EQ(1, Seed(store, dir.path().c_str(), "second"));
  EXPECT_EQ(data, ReadAll(dir.data(store.data_file)));
  EXPECT_EQ(index, ReadAll(dir.data(store.index_file)));
}

TEST_P(RecordLayoutEachStore, EmptyFilesAreSeededLikeAbsentOnes) {
  const Store& store = *GetParam();
  ScratchDir dir;
  WriteAll(dir.data(store.data_file), "");
  WriteAll(dir.data(store.index_file), "");
  ASSERT_EQ(1, Seed(store, dir.path().c_str(), "abc"));
  EXPECT_EQ(Header() + store.record("abc"), ReadAll(dir.data(store.data_file)));
  EXPECT_EQ(Index(static_cast<std::uint32_t>(store.record("abc").size())),
            ReadAll(dir.data(store.index_file)));
}

TEST_P(RecordLayoutEachStore, RefusedArgumentsTouchNoFile) {
  const Store& store = *GetParam();
  ScratchDir dir;
  ScratchDir no_data(false);
  const std::string name21(21, 'x');
  struct Refused {
    const char* why;
    const char* dir;
    const char* name;
  };
  const Refused cases[] = {
      {"empty directory", "", "abc"},
      {"null directory", nullptr, "abc"},
      {"empty name", dir.path().c_str(), ""},
      {"null name", dir.path().c_str(), nullptr},
      {"21-byte name", dir.path().c_str(), name21.c_str()},
      {"missing data folder", no_data.path().c_str(), "abc"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(0, Seed(store, c.dir, c.name));
    EXPECT_FALSE(FileExists(dir.data(store.data_file)));
    EXPECT_FALSE(FileExists(dir.data(store.index_file)));
    EXPECT_FALSE(FileExists(no_data.path() + "\\data"));
  }
}

TEST_P(RecordLayoutEachStore, TrailingBackslashOnTheDirectoryStillSeeds) {
  const Store& store = *GetParam();
  ScratchDir dir;
  ASSERT_EQ(1, Seed(store, (dir.path() + "\\").c_str(), "abc"));
  EXPECT_EQ(Header() + store.record("abc"), ReadAll(dir.data(store.data_file)));
}

TEST_P(RecordLayoutEachStore, IndexThatCannotBeOpenedFailsAndKeepsTheSeededData) {
  const Store& store = *GetParam();
  ScratchDir dir;
  ASSERT_TRUE(::CreateDirectoryA(dir.data(store.index_file).c_str(), nullptr));
  EXPECT_EQ(0, Seed(store, dir.path().c_str(), "abc"));
  EXPECT_EQ(Header() + store.record("abc"), ReadAll(dir.data(store.data_file)));
  EXPECT_TRUE(OpenableExclusively(dir.data(store.data_file)));
}

TEST_P(RecordLayoutEachStore, MissingIndexOfAnExistingStoreGetsTheTrueRecordLength) {
  const Store& store = *GetParam();
  for (const bool index_exists_empty : {false, true}) {
    SCOPED_TRACE(index_exists_empty ? "empty index" : "absent index");
    ScratchDir dir;
    // A store seeded earlier with a longer name, whose index went missing.
    const std::string data = Header() + store.record("earlier-name");
    WriteAll(dir.data(store.data_file), data);
    if (index_exists_empty) WriteAll(dir.data(store.index_file), "");
    EXPECT_EQ(1, Seed(store, dir.path().c_str(), "abc"));
    EXPECT_EQ(data, ReadAll(dir.data(store.data_file)));
    EXPECT_EQ(Index(static_cast<std::uint32_t>(store.record("earlier-name").size())),
              ReadAll(dir.data(store.index_file)));
  }
}

TEST_P(RecordLayoutEachStore, MissingIndexOfAnUnreadableStoreIsNotInvented) {
  const Store& store = *GetParam();
  const std::string full = Header() + store.record("abc");
  const std::string other = Header() + store.record("abcdef");
  const std::string unreadable[] = {
      "short",                                   // no header
      Le(0, 4) + full.substr(4),                 // header counts no record
      other.substr(0, other.size() - 1),         // another name's record, its last byte missing
      Header() + std::string(40, 'x'),           // name never ends
  };
  for (const std::string& data : unreadable) {
    for (const bool index_exists_empty : {false, true}) {
      ScratchDir dir;
      WriteAll(dir.data(store.data_file), data);
      if (index_exists_empty) WriteAll(dir.data(store.index_file), "");
      EXPECT_EQ(0, Seed(store, dir.path().c_str(), "abc"));
      EXPECT_EQ(data, ReadAll(dir.data(store.data_file)));
      EXPECT_EQ(index_exists_empty, FileExists(dir.data(store.index_file)));
      if (index_exists_empty) {
        EXPECT_EQ("", ReadAll(dir.data(store.index_file)));
      }
    }
  }
}

TEST_P(RecordLayoutEachStore, OverlongDirectoryFailsCleanly) {
  const Store& store = *GetParam();
  ScratchDir dir;
  for (const std::size_t extra : {300u, 5000u, 70000u}) {
    const std::string long_dir = dir.path() + "\\" + std::string(extra, 'd');
    EXPECT_EQ(0, Seed(store, long_dir.c_str(), "abc"));
  }
  EXPECT_FALSE(FileExists(dir.data(store.data_file)));
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordLayoutEachStore, ::testing::Values(&kUserStore, &kSectionStore),
                         [](const auto& info) { return std::string(info.param->label); });

}  // namespace
}  // namespace murtest
