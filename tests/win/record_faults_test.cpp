// Failures of the platform in the middle of a record-layout seeding, made
// through the fault seam of MUR_seam.dll (the same code as MUR.dll).
#include <gtest/gtest.h>

#include <string>

#include "support/expected_store.h"
#include "support/scratch.h"
#include "support/seam.h"

namespace murtest {
namespace {

struct Store : RecordStore {
  int fields;  // writes of one seeding: header 2 + record fields + index 5
};

const Store kStores[] = {
    {kUserRecords, 2 + 10 + 5},
    {kSectionRecords, 2 + 4 + 5},
};

int Seed(const Store& store, const std::string& dir, const char* name) {
  return MurSeam().Get<SeedFn>(store.export_name)(dir.c_str(), name);
}

void ExpectAllClosed(const ScratchDir& dir, const Store& store) {
  EXPECT_EQ(0, Seam::LiveHandles());
  for (const char* f : {store.data_file, store.index_file})
    if (FileExists(dir.data(f))) {
      EXPECT_TRUE(OpenableExclusively(dir.data(f))) << f;
    }
}

class RecordFaults : public SeamTest {};

TEST_F(RecordFaults, EveryWriteFailingInTurn) {
  for (const Store& store : kStores) {
    SCOPED_TRACE(store.label);
    const std::string data = Header() + store.record("abc");
    const std::string index = Index(static_cast<std::uint32_t>(store.record("abc").size()));
    int failed_writes = 0;
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(nth);
      ScratchDir dir;
      Seam::Arm(seam::kWriteFile, nth, ERROR_DISK_FULL);
      const int result = Seed(store, dir.path(), "abc");
      if (Seam::Calls(seam::kWriteFile) < nth) {
        EXPECT_EQ(1, result);  // past the last write: nothing failed
        break;
      }
      ++failed_writes;
      EXPECT_EQ(0, result);
      ExpectAllClosed(dir, store);
      // What was written before the failure stays; nothing after it.
      const std::string got_data = ReadAll(dir.data(store.data_file));
      EXPECT_EQ(data.substr(0, got_data.size()), got_data);
      if (FileExists(dir.data(store.index_file))) {
        EXPECT_EQ(data, got_data);
        const std::string got_index = ReadAll(dir.data(store.index_file));
        EXPECT_LT(got_index.size(), index.size());
        EXPECT_EQ(index.substr(0, got_index.size()), got_index);
      } else {
        EXPECT_LT(got_data.size(), data.size());
      }
      // A later seeding starts afresh on a data file still empty, and never
      // adds to a file that holds some bytes, nor indexes a cut-off record.
      Seam::Reset();
      const bool index_written = FileExists(dir.data(store.index_file)) &&
                                 !ReadAll(dir.data(store.index_file)).empty();
      const std::string index_before =
          FileExists(dir.data(store.index_file)) ? ReadAll(dir.data(store.index_file)) : "";
      const int again = Seed(store, dir.path(), "abc");
      if (got_data.empty()) {
        EXPECT_EQ(1, again);
        EXPECT_EQ(data, ReadAll(dir.data(store.data_file)));
      } else if (got_data != data) {
        EXPECT_EQ(0, again);
        EXPECT_EQ(got_data, ReadAll(dir.data(store.data_file)));
        EXPECT_FALSE(FileExists(dir.data(store.index_file)));
      } else if (index_written) {
        EXPECT_EQ(1, again);  // an index with content is never rewritten
        EXPECT_EQ(index_before, ReadAll(dir.data(store.index_file)));
      } else {
        EXPECT_EQ(1, again);
        EXPECT_EQ(index, ReadAll(dir.data(store.index_file)));
      }
    }
    // One write per field, each one a point of failure.
    EXPECT_EQ(store.fields, failed_writes);
  }
}

TEST_F(RecordFaults, FailingCloseTurnsTheResultIntoFailure) {
  for (const Store& store : kStores) {
    SCOPED_TRACE(store.label);
    for (int nth : {1, 2}) {  // the data file's close, the index file's close
      ScratchDir dir;
      Seam::Arm(seam::kCloseHandle, nth, ERROR_WRITE_FAULT);
      EXPECT_EQ(0, Seed(store, dir.path(), "abc"));
      EXPECT_EQ(nth, Seam::Calls(seam::kCloseHandle));
      ExpectAllClosed(dir, store);
    }
    // The close of a store that is already there.
    ScratchDir dir;
    WriteAll(dir.data(store.data_file), "present");
    WriteAll(dir.data(store.index_file), "present");
    Seam::Arm(seam::kCloseHandle, 1, ERROR_WRITE_FAULT);
    EXPECT_EQ(0, Seed(store, dir.path(), "abc"));
    ExpectAllClosed(dir, store);
    EXPECT_EQ("present", ReadAll(dir.data(store.data_file)));
  }
}

TEST_F(RecordFaults, FailingSizeOrOpenWritesNothing) {
  for (const Store& store : kStores) {
    SCOPED_TRACE(store.label);
    for (seam::Op op : {seam::kFileSize, seam::kOpenFile}) {
      ScratchDir dir;
      Seam::Arm(op, 1, ERROR_ACCESS_DENIED);
      EXPECT_EQ(0, Seed(store, dir.path(), "abc"));
      EXPECT_EQ(0, Seam::Calls(seam::kWriteFile));
      EXPECT_FALSE(FileExists(dir.data(store.index_file)));
      if (FileExists(dir.data(store.data_file))) {
        EXPECT_EQ("", ReadAll(dir.data(store.data_file)));
      }
      ExpectAllClosed(dir, store);
    }
  }
}

TEST_F(RecordFaults, IndexOpenFailingAfterTheDataIsSeeded) {
  for (const Store& store : kStores) {
    SCOPED_TRACE(store.label);
    ScratchDir dir;
    Seam::Arm(seam::kOpenFile, 2, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(0, Seed(store, dir.path(), "abc"));
    EXPECT_EQ(Header() + store.record("abc"), ReadAll(dir.data(store.data_file)));
    EXPECT_FALSE(FileExists(dir.data(store.index_file)));
    ExpectAllClosed(dir, store);
    // The next call finds the data present and gives it its true index.
    Seam::Reset();
    EXPECT_EQ(1, Seed(store, dir.path(), "other"));
    EXPECT_EQ(Index(static_cast<std::uint32_t>(store.record("abc").size())),
              ReadAll(dir.data(store.index_file)));
  }
}

TEST_F(RecordFaults, ReadingTheExistingRecordFails) {
  for (const Store& store : kStores) {
    SCOPED_TRACE(store.label);
    ScratchDir dir;
    WriteAll(dir.data(store.data_file), Header() + store.record("abc"));
    Seam::Arm(seam::kReadFile, 1, ERROR_READ_FAULT);
    EXPECT_EQ(0, Seed(store, dir.path(), "abc"));
    EXPECT_FALSE(FileExists(dir.data(store.index_file)));
    ExpectAllClosed(dir, store);
  }
}

}  // namespace
}  // namespace murtest
