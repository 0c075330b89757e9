// Every call of every seamed operation that the seven exports which leave
// the product's files whole (the four seeders, the two probes, the quoting
// check) reach, failed in turn from each state a store can be found in,
// through the fault seam of MUR_seam.dll (the same code as MUR.dll). Each
// failed call must give the failure value and keep no handle; the next call
// must then complete the store, or give the result it gives from that state,
// and never report a store whole that is not.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/expected_store.h"
#include "support/scratch.h"
#include "support/seam.h"

namespace murtest {
namespace {

const seam::Op kOps[] = {seam::kOpenFileForWriting, seam::kOpenFileForReading, seam::kFileSize,
                         seam::kWriteFile,          seam::kReadFile,           seam::kCloseHandle,
                         seam::kWaitForOpener,      seam::kAllocate};

// A settings or version file that the probes read in several blocks (of
// 256 KiB), the key in the last.
std::string Long(const std::string& tail) { return std::string(600000, ';') + "\r\n" + tail; }

struct State {
  const char* label;
  std::function<void(const ScratchDir&)> make;
};

struct Export {
  const char* name;
  int failure;
  std::vector<State> states;
  int (*call)(const char* name, const ScratchDir& dir);
  // Checks the result of a call without faults, and what it left.
  std::function<void(const ScratchDir& dir, int result)> check_whole;
};

int CallSeed(const char* name, const ScratchDir& dir) {
  return MurSeam().Get<SeedFn>(name)(dir.path().c_str(), "abc");
}
int CallProbe(const char* name, const ScratchDir& dir) {
  return MurSeam().Get<decltype(&MUR_GetVersion)>(name)(dir.path().c_str());
}
int CallQuoting(const char*, const ScratchDir&) {
  return MUR_CALL(MurSeam(), MUR_CheckDoubleQuotation)("C:\\WINDOWS\\IsUn0411.exe -f\"C:\\App\\Uninst.isu\"");
}

Export RecordExport(const RecordStore& store) {
  const std::string data = Seeded(store, "abc"), index = SeededIndex(store, "abc");
  const std::string data_file = store.data_file, index_file = store.index_file;
  return {store.export_name,
          0,
          {{"fresh", [](const ScratchDir&) {}},
           {"data only", [=](const ScratchDir& d) { WriteAll(d.data(data_file), data); }},
           {"empty index",
            [=](const ScratchDir& d) {
              WriteAll(d.data(data_file), data);
              WriteAll(d.data(index_file), "");
            }},
           {"present",
            [=](const ScratchDir& d) {
              WriteAll(d.data(data_file), data);
              WriteAll(d.data(index_file), index);
            }}},
          CallSeed,
          [=](const ScratchDir& d, int result) {
            EXPECT_EQ(1, result);
            EXPECT_EQ(data, ReadAll(d.data(data_file)));
            EXPECT_EQ(index, ReadAll(d.data(index_file)));
          }};
}

Export TextExport(const TextStore& store) {
  const std::string file = store.file, line = store.line("abc");
  return {store.export_name,
          0,
          {{"fresh", [](const ScratchDir&) {}},
           {"empty", [=](const ScratchDir& d) { WriteAll(d.data(file), ""); }},
           {"present", [=](const ScratchDir& d) { WriteAll(d.data(file), line); }}},
          CallSeed,
          [=](const ScratchDir& d, int result) {
            EXPECT_EQ(1, result);
            EXPECT_EQ(line, ReadAll(d.data(file)));
          }};
}

Export ProbeExport(const char* name, int failure, const char* file, const std::string& text, int value) {
  const std::string path = std::string("\\") + file;
  return {name,
          failure,
          {{"short", [=](const ScratchDir& d) { WriteAll(d.path() + path, text); }},
           {"long", [=](const ScratchDir& d) { WriteAll(d.path() + path, Long(text)); }}},
          CallProbe,
          [=](const ScratchDir&, int result) { EXPECT_EQ(value, result); }};
}

std::vector<Export> Exports() {
  return {RecordExport(kUserRecords),
          RecordExport(kSectionRecords),
          TextExport(kUserText),
          TextExport(kSectionText),
          ProbeExport("MUR_GetAccessMode", 0, "TALVINORE.INI", "ACCESS_MODE 2\r\n", 2),
          ProbeExport("MUR_GetVersion", -1, "version.txt", "Ver 1.2\r\n", 12),
          {"MUR_CheckDoubleQuotation", 0, {{"any", [](const ScratchDir&) {}}}, CallQuoting,
           [](const ScratchDir&, int result) { EXPECT_EQ(1, result); }}};
}

class FaultSweep : public SeamTest {};

TEST_F(FaultSweep, EachCallFailedInTurnGivesTheFailureValueAndTheNextCallCompletes) {
  for (const Export& e : Exports()) {
    for (const State& state : e.states) {
      SCOPED_TRACE(std::string(e.name) + " from " + state.label);
      int calls[seam::kOpCount] = {};
      {
        ScratchDir dir;
        state.make(dir);
        Seam::Reset();
        const int result = e.call(e.name, dir);
        for (seam::Op op : kOps) calls[op] = Seam::Calls(op);
        ASSERT_NO_FATAL_FAILURE(e.check_whole(dir, result));
      }
      int reached = 0;
      for (seam::Op op : kOps) reached += calls[op];
      if (std::string(e.name) == "MUR_CheckDoubleQuotation") {
        EXPECT_EQ(0, reached) << "the quoting check reaches a seamed operation";
      } else {
        EXPECT_GE(reached, 3) << "the sweep has nothing to fail";
      }
      for (seam::Op op : kOps) {
        for (int nth = 1; nth <= calls[op]; ++nth) {
          SCOPED_TRACE("operation " + std::to_string(op) + ", call " + std::to_string(nth));
          ScratchDir dir;
          state.make(dir);
          Seam::Arm(op, nth, ERROR_ACCESS_DENIED);
          EXPECT_EQ(e.failure, e.call(e.name, dir));
          EXPECT_GE(Seam::Calls(op), nth) << "the armed call was not reached";
          EXPECT_EQ(0, Seam::LiveHandles());
          Seam::Reset();
          e.check_whole(dir, e.call(e.name, dir));
        }
      }
    }
  }
}

}  // namespace
}  // namespace murtest
