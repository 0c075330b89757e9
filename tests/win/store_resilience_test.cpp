// Stores that a run left half done, files the library may only read, names
// a code page cannot end, and sizes past 32 bits, through the real MUR.dll
// (and its test twin where the fault seam or a second process is needed).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/code_page.h"
#include "support/expected_store.h"
#include "support/handles.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/seam.h"

namespace murtest {
namespace {

const RecordStore* const kRecordStores[] = {&kUserRecords, &kSectionRecords};
const TextStore* const kTextStores[] = {&kUserText, &kSectionText};

int Seed(const Library& lib, const char* export_name, const std::string& dir, const std::string& name) {
  return lib.Get<SeedFn>(export_name)(dir.c_str(), name.c_str());
}

void Remove(const std::string& path) {
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(path.c_str());
}

// Cuts of a data file: every length an earlier writer could stop at (it
// wrote field by field) and, as a power cut may stop a write anywhere, the
// lengths around them and a stride through the header.
std::vector<std::size_t> CutsOf(std::size_t size) {
  std::vector<std::size_t> cuts;
  for (std::size_t k = 1; k < size; ++k)
    if (k < 24 || k % 97 == 0 || k >= 1020) cuts.push_back(k);
  return cuts;
}

// A seeding that stopped anywhere is finished by the next call with the same
// name: 1, and the store whole.
TEST(ResilientStores, ACutSeedingIsFinished) {
  for (const RecordStore* store : kRecordStores) {
    SCOPED_TRACE(store->label);
    const std::string data = Seeded(*store, "abc"), index = SeededIndex(*store, "abc");
    ScratchDir dir;
    const std::string data_file = dir.data(store->data_file), index_file = dir.data(store->index_file);
    for (std::size_t k : CutsOf(data.size())) {
      SCOPED_TRACE("data cut to " + std::to_string(k));
      Remove(index_file);
      WriteAll(data_file, data.substr(0, k));
      EXPECT_EQ(1, Seed(Mur(), store->export_name, dir.path(), "abc"));
      EXPECT_EQ(data, ReadAll(data_file));
      EXPECT_EQ(index, ReadAll(index_file));
    }
    for (std::size_t k = 1; k < index.size(); ++k) {
      SCOPED_TRACE("index cut to " + std::to_string(k));
      WriteAll(data_file, data);
      WriteAll(index_file, index.substr(0, k));
      EXPECT_EQ(1, Seed(Mur(), store->export_name, dir.path(), "abc"));
      EXPECT_EQ(data, ReadAll(data_file));
      EXPECT_EQ(index, ReadAll(index_file));
    }
  }
}

// Only a strict beginning of what this call writes is finished. Anything
// else is the application's: it stays as it is, and the store is reported
// whole only when it is.
TEST(ResilientStores, OnlyABeginningOfThisSeedIsFinished) {
  for (const RecordStore* store : kRecordStores) {
    SCOPED_TRACE(store->label);
    const std::string abc = Seeded(*store, "abc"), other = Seeded(*store, "other-name");
    const std::string name_starts = Header() + store->record("abc").substr(0, store->record("abc").find("abc"));
    struct Case {
      const char* why;
      std::string data;
      std::string index;  // "-" for none
      int result;
      std::string data_after;
      std::string index_after;
    };
    const Case cases[] = {
        {"a cut inside another name stays, and gets no index", abc.substr(0, name_starts.size() + 1), "-", 0,
         abc.substr(0, name_starts.size() + 1), "-"},
        {"a cut before the name is finished with this name", name_starts, "-", 1, Seeded(*store, "other-name"),
         SeededIndex(*store, "other-name")},
        {"a whole store of another name gets its own index", other, "-", 1, other,
         SeededIndex(*store, "other-name")},
        {"longer than a seed: the application's", abc + "more", "-", 1, abc + "more", SeededIndex(*store, "abc")},
        {"a first byte that differs", "\x02", "-", 0, "\x02", "-"},
        {"an index of no entries stays", other, Le(0, 4), 1, other, Le(0, 4)},
        {"an index longer than an entry stays", other, SeededIndex(*store, "abc") + "x", 1, other,
         SeededIndex(*store, "abc") + "x"},
        {"a cut index of an unreadable store stays, not reported whole", "\x02", Le(1, 4), 0, "\x02", Le(1, 4)},
        {"a cut entry for a record of another length stays, not reported whole", other,
         Index(1).substr(0, 13), 0, other, Index(1).substr(0, 13)},
        {"the same, cut inside the length", other, Index(1).substr(0, 10), 0, other, Index(1).substr(0, 10)},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.why);
      ScratchDir dir;
      const std::string data_file = dir.data(store->data_file), index_file = dir.data(store->index_file);
      WriteAll(data_file, c.data);
      if (c.index != "-") WriteAll(index_file, c.index);
      EXPECT_EQ(c.result, Seed(Mur(), store->export_name, dir.path(), "other-name"));
      EXPECT_EQ(c.data_after, ReadAll(data_file));
      if (c.index_after == "-") {
        EXPECT_FALSE(FileExists(index_file));
      } else {
        EXPECT_EQ(c.index_after, ReadAll(index_file));
      }
    }
  }
}

// The text layout's line, cut anywhere, is finished by a call with the same
// name; a beginning of another name's line, or more than a line, stays as it
// is, and the file counts as holding content (1).
TEST(ResilientStores, ACutTextLineIsFinishedAndOnlyThat) {
  for (const TextStore* store : kTextStores) {
    SCOPED_TRACE(store->export_name);
    const std::string line = store->line("abc"), other = store->line("abd");
    struct Case {
      std::string why;
      std::string before;
      std::string after;
    };
    std::vector<Case> cases;
    for (std::size_t k = 1; k < line.size(); ++k)
      cases.push_back({"cut to " + std::to_string(k), line.substr(0, k), line});
    const std::size_t differs = line.find("abc") + 2;
    cases.push_back({"another name's line cut after its first difference", other.substr(0, differs + 1),
                     other.substr(0, differs + 1)});
    cases.push_back({"the line without its LF and with something else", line.substr(0, line.size() - 1) + "x",
                     line.substr(0, line.size() - 1) + "x"});
    cases.push_back({"the line and more", line + "x", line + "x"});
    for (const Case& c : cases) {
      SCOPED_TRACE(c.why);
      ScratchDir dir;
      WriteAll(dir.data(store->file), c.before);
      EXPECT_EQ(1, Seed(Mur(), store->export_name, dir.path(), "abc"));
      EXPECT_EQ(c.after, ReadAll(dir.data(store->file)));
    }
  }
}

// A name whose last byte is a lead byte of the code page, with nothing after
// it, would swallow the separator after it; where the code page has lead
// bytes it is refused and nothing is created. In 1252 the byte is a letter.
TEST(ResilientStores, ANameEndingInALoneLeadByte) {
  const std::string names[] = {"abc\x82", std::string(19, 'a') + "\x82"};
  std::vector<const char*> exports;
  for (const RecordStore* s : kRecordStores) exports.push_back(s->export_name);
  for (const TextStore* s : kTextStores) exports.push_back(s->export_name);
  for (const char* export_name : exports) {
    for (const std::string& name : names) {
      SCOPED_TRACE(std::string(export_name) + " " + std::to_string(name.size()) + " bytes");
      ScratchDir dir;
      EXPECT_EQ(Cp932() ? 0 : 1, Seed(Mur(), export_name, dir.path(), name));
      WIN32_FIND_DATAA entry;
      const FindHandle find(::FindFirstFileA(dir.data("*.*").c_str(), &entry));
      int files = 0;
      if (find) {
        do files += entry.cFileName[0] != '.';
        while (::FindNextFileA(find.get(), &entry));
      }
      EXPECT_EQ(Cp932() ? 0 : (std::string(export_name).find("_Cs") != std::string::npos ? 2 : 1), files);
    }
  }
  // The whole character is accepted in both.
  ScratchDir dir;
  EXPECT_EQ(1, Seed(Mur(), kUserRecords.export_name, dir.path(), "abc\x82\xA0"));
  EXPECT_EQ(Seeded(kUserRecords, "abc\x82\xA0"), ReadAll(dir.data(kUserRecords.data_file)));
}

// 4,294,967,295 bytes is a size like any other (its low half is what the
// 32-bit size query answers on failure).
TEST(ResilientStores, StoreFilesOf4GiBLessOneByte) {
  constexpr std::uint64_t kSize = 0xFFFFFFFFull;
  for (const RecordStore* store : kRecordStores) {
    SCOPED_TRACE(store->label);
    {
      ScratchDir dir;  // a data file of that size whose index went missing
      const std::string data_file = dir.data(store->data_file);
      WriteAll(data_file, Seeded(*store, "abc"));
      ExtendTo(data_file, kSize);
      EXPECT_EQ(1, Seed(Mur(), store->export_name, dir.path(), "other"));
      EXPECT_EQ(kSize, SizeOf(data_file));
      EXPECT_EQ(Seeded(*store, "abc"), ReadHead(data_file, Seeded(*store, "abc").size()));
      EXPECT_EQ(SeededIndex(*store, "abc"), ReadAll(dir.data(store->index_file)));
    }
    {
      ScratchDir dir;  // an index of that size
      WriteAll(dir.data(store->data_file), Seeded(*store, "abc"));
      ExtendTo(dir.data(store->index_file), kSize);
      EXPECT_EQ(1, Seed(Mur(), store->export_name, dir.path(), "abc"));
      EXPECT_EQ(kSize, SizeOf(dir.data(store->index_file)));
    }
  }
  for (const TextStore* store : kTextStores) {
    SCOPED_TRACE(store->label);
    ScratchDir dir;
    ExtendTo(dir.data(store->file), kSize);
    EXPECT_EQ(1, Seed(Mur(), store->export_name, dir.path(), "abc"));
    EXPECT_EQ(kSize, SizeOf(dir.data(store->file)));
    EXPECT_EQ(std::string(8, '\0'), ReadHead(dir.data(store->file), 8));
  }
}

// Files that may only be read. The seam makes every open for writing answer
// access denied, as a read-only file does where the attribute is enforced
// (Wine run as root does not enforce it).
class ResilientStoresReadOnly : public SeamTest {};

TEST_F(ResilientStoresReadOnly, APresentStoreNeedsNoWritingAndAFreshOneFails) {
  struct Store {
    const char* export_name;
    std::vector<std::pair<std::string, std::string>> files;  // of a whole store seeded with "abc"
  };
  std::vector<Store> stores;
  for (const RecordStore* s : kRecordStores)
    stores.push_back({s->export_name, {{s->data_file, Seeded(*s, "abc")}, {s->index_file, SeededIndex(*s, "abc")}}});
  for (const TextStore* s : kTextStores) stores.push_back({s->export_name, {{s->file, s->line("abc")}}});
  for (const Store& store : stores) {
    SCOPED_TRACE(store.export_name);
    {
      ScratchDir dir;
      for (const auto& [file, bytes] : store.files) WriteAll(dir.data(file), bytes);
      Seam::Arm(seam::kOpenFileForWriting, 1, ERROR_ACCESS_DENIED);
      EXPECT_EQ(1, Seed(MurSeam(), store.export_name, dir.path(), "other"));
      EXPECT_EQ(0, Seam::Calls(seam::kOpenFileForWriting));
      // And with the attribute itself, which reading does not mind.
      Seam::Reset();
      for (const auto& [file, bytes] : store.files)
        ASSERT_TRUE(::SetFileAttributesA(dir.data(file).c_str(), FILE_ATTRIBUTE_READONLY));
      EXPECT_EQ(1, Seed(Mur(), store.export_name, dir.path(), "other"));
      for (const auto& [file, bytes] : store.files) EXPECT_EQ(bytes, ReadAll(dir.data(file)));
    }
    {
      ScratchDir dir;
      Seam::Arm(seam::kOpenFileForWriting, 1, ERROR_ACCESS_DENIED);
      EXPECT_EQ(0, Seed(MurSeam(), store.export_name, dir.path(), "abc"));
      EXPECT_FALSE(FileExists(dir.data(store.files[0].first)));
      EXPECT_EQ(0, Seam::LiveHandles());
    }
  }
}

// The index alone may not be written (armed by its name): the data file is
// seeded, the call gives 0, and the next call gives the store its index.
TEST_F(ResilientStoresReadOnly, AnIndexThatMayNotBeWrittenIsGivenOnTheNextCall) {
  for (const RecordStore* s : kRecordStores) {
    SCOPED_TRACE(s->label);
    ScratchDir dir;
    const std::wstring index_name(s->index_file, s->index_file + std::strlen(s->index_file));
    Seam::ArmNamed(seam::kOpenFileForWriting, index_name.c_str(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, Seed(MurSeam(), s->export_name, dir.path(), "abc"));
    EXPECT_EQ(Seeded(*s, "abc"), ReadAll(dir.data(s->data_file)));
    EXPECT_FALSE(FileExists(dir.data(s->index_file)));
    EXPECT_EQ(0, Seam::LiveHandles());
    Seam::Reset();
    EXPECT_EQ(1, Seed(Mur(), s->export_name, dir.path(), "abc"));
    EXPECT_EQ(SeededIndex(*s, "abc"), ReadAll(dir.data(s->index_file)));
  }
}

TEST(ResilientStores, AnEmptyReadOnlyFileIsNotSeeded) {
  ScratchDir dir;
  const std::string file = dir.data("probe");
  WriteAll(file, "");
  ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  const bool enforced = !FileHandle(::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!enforced) GTEST_SKIP() << "skipped: this Wine does not enforce the read-only attribute (run as root)";
  for (const RecordStore* s : kRecordStores) {
    WriteAll(dir.data(s->data_file), "");
    ASSERT_TRUE(::SetFileAttributesA(dir.data(s->data_file).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0, Seed(Mur(), s->export_name, dir.path(), "abc"));
    EXPECT_EQ("", ReadAll(dir.data(s->data_file)));
  }
}

// A seeding process ended from outside before each call of each file
// operation it makes (the seam stops it there): the next call through
// MUR.dll finishes the store and returns 1.
class ResilientStoresKill : public SeamTest {};

TEST_F(ResilientStoresKill, ASeedingKilledAnywhereIsFinishedByTheNextCall) {
  struct Store {
    const char* export_name;
    std::vector<std::pair<std::string, std::string>> files;
  };
  std::vector<Store> stores;
  for (const RecordStore* s : kRecordStores)
    stores.push_back({s->export_name, {{s->data_file, Seeded(*s, "abc")}, {s->index_file, SeededIndex(*s, "abc")}}});
  for (const TextStore* s : kTextStores) stores.push_back({s->export_name, {{s->file, s->line("abc")}}});
  const seam::Op ops[] = {seam::kOpenFileForReading, seam::kOpenFileForWriting, seam::kFileSize,
                          seam::kReadFile,           seam::kWriteFile,          seam::kCloseHandle};
  static int event_number = 0;
  for (const Store& store : stores) {
    int calls[seam::kOpCount] = {};
    {
      ScratchDir dir;
      Seam::Reset();
      ASSERT_EQ(1, Seed(MurSeam(), store.export_name, dir.path(), "abc"));
      for (seam::Op op : ops) calls[op] = Seam::Calls(op);
      ASSERT_GE(calls[seam::kWriteFile], 1);
    }
    for (seam::Op op : ops) {
      for (int nth = 1; nth <= calls[op]; ++nth) {
        SCOPED_TRACE(std::string(store.export_name) + " stopped before call " + std::to_string(nth) +
                     " of operation " + std::to_string(op));
        ScratchDir dir;
        const std::string event_name = "murkill_" + std::to_string(::GetCurrentProcessId()) + "_" +
                                       std::to_string(++event_number);
        const Handle reached(::CreateEventA(nullptr, TRUE, FALSE, event_name.c_str()));
        ASSERT_TRUE(reached);
        Child child(Quote(BinDir() + "\\seam_worker.exe") + " pause " + store.export_name + " " +
                    Quote(dir.path()) + " abc " + std::to_string(op) + " " + std::to_string(nth) + " " +
                    event_name);
        const DWORD waited = ::WaitForSingleObject(reached.get(), 30000);
        child.Kill();
        ASSERT_EQ(WAIT_OBJECT_0, waited) << "the worker never reached the call";
        EXPECT_EQ(1, Seed(Mur(), store.export_name, dir.path(), "abc"));
        for (const auto& [file, bytes] : store.files) EXPECT_EQ(bytes, ReadAll(dir.data(file))) << file;
      }
    }
  }
}

}  // namespace
}  // namespace murtest
