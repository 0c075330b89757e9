// Other programs that have the same files open while a call runs: a
// scanner that reads and shares everything, a holder that shares nothing for
// a moment or for good, a second seeder, and a program that the host starts
// meanwhile, inheriting its handles.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/expected_store.h"
#include "support/process.h"
#include "support/race.h"
#include "support/scratch.h"
#include "support/seam.h"

namespace murtest {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;  // under the product directory

// One export and the files it reads or seeds, as they are when whole.
struct Target {
  std::string label;
  const char* export_name;
  std::function<Files(const std::string& name)> whole_for;  // a seeder's files for the name
  int result;  // from the whole files
  int failure;
  bool seeds;
  Files whole;  // for the name "abc"
};

// The export of `lib` that `t` names, resolved before any thread starts (a
// missing export throws, which a thread must never see).
struct Bound {
  SeedFn seed = nullptr;
  decltype(&MUR_GetVersion) probe = nullptr;
  int operator()(const std::string& dir) const { return seed ? seed(dir.c_str(), "abc") : probe(dir.c_str()); }
};

Bound Bind(const Library& lib, const Target& t) {
  Bound b;
  if (t.seeds) {
    b.seed = lib.Get<SeedFn>(t.export_name);
  } else {
    b.probe = lib.Get<decltype(&MUR_GetVersion)>(t.export_name);
  }
  return b;
}

int Call(const Library& lib, const Target& t, const std::string& dir) { return Bind(lib, t)(dir); }

std::vector<Target> Targets() {
  std::vector<Target> targets;
  for (const RecordStore* s : {&kUserRecords, &kSectionRecords})
    targets.push_back({s->export_name, s->export_name,
                       [s](const std::string& name) -> Files {
                         return {{std::string("data\\") + s->data_file, Seeded(*s, name)},
                                 {std::string("data\\") + s->index_file, SeededIndex(*s, name)}};
                       },
                       1, 0, true, {}});
  for (const TextStore* s : {&kUserText, &kSectionText})
    targets.push_back({s->export_name, s->export_name,
                       [s](const std::string& name) -> Files {
                         return {{std::string("data\\") + s->file, s->line(name)}};
                       },
                       1, 0, true, {}});
  targets.push_back({"MUR_GetAccessMode", "MUR_GetAccessMode",
                     [](const std::string&) -> Files { return {{"TALVINORE.INI", "ACCESS_MODE 2\r\n"}}; }, 2, 0,
                     false, {}});
  targets.push_back({"MUR_GetVersion", "MUR_GetVersion",
                     [](const std::string&) -> Files { return {{"version.txt", "Ver 1.2\r\n"}}; }, 12, -1, false, {}});
  for (Target& t : targets) t.whole = t.whole_for("abc");
  return targets;
}

std::string At(const ScratchDir& dir, const std::string& file) { return dir.path() + "\\" + file; }

void ExpectWhole(const ScratchDir& dir, const Target& t) {
  for (const auto& [file, bytes] : t.whole) EXPECT_EQ(bytes, ReadAll(At(dir, file))) << file;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A scanner that reads every file of a store or a probe and shares
// everything, held through the whole call: a present store is present, and
// a probed file is read.
TEST(OtherOpeners, AReaderThatSharesEverythingIsNoObstacle) {
  for (const Target& t : Targets()) {
    SCOPED_TRACE(t.label);
    ScratchDir dir;
    for (const auto& [file, bytes] : t.whole) WriteAll(At(dir, file), bytes);
    std::vector<std::unique_ptr<HeldFile>> readers;
    for (const auto& [file, bytes] : t.whole) {
      readers.push_back(std::make_unique<HeldFile>(At(dir, file), GENERIC_READ, kShareAll));
      ASSERT_TRUE(readers.back()->ok());
    }
    EXPECT_EQ(t.result, Call(Mur(), t, dir.path()));
    ExpectWhole(dir, t);
  }
  // The text layout is written sharing reading: a reader of an empty file
  // does not keep the line out.
  for (const TextStore* s : {&kUserText, &kSectionText}) {
    ScratchDir dir;
    const HeldFile reader(dir.data(s->file), GENERIC_READ, kShareAll);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(1, Mur().Get<SeedFn>(s->export_name)(dir.path().c_str(), "abc"));
    EXPECT_EQ(s->line("abc"), ReadAll(dir.data(s->file)));
  }
}

class OtherOpenersSeam : public SeamTest {};

// A holder that shares nothing, for a moment: it lets go only once the call
// has been refused and has waited, and at least 300 ms on. The call then
// goes on: every seeder from a fresh and from a present store, every probe.
TEST_F(OtherOpenersSeam, AnExclusiveHolderForAMomentIsWaitedFor) {
  for (const Target& t : Targets()) {
    for (const bool present : {false, true}) {
      if (!t.seeds && !present) continue;
      SCOPED_TRACE(t.label + (present ? " present" : " fresh"));
      ScratchDir dir;
      if (present)
        for (const auto& [file, bytes] : t.whole) WriteAll(At(dir, file), bytes);
      Seam::Reset();
      auto holder = std::make_unique<HeldFile>(At(dir, t.whole[0].first), GENERIC_READ | GENERIC_WRITE, 0);
      ASSERT_TRUE(holder->ok());
      const Bound call = Bind(MurSeam(), t);
      const auto calls = MUR_SEAM(MURSeam_Calls);
      const DWORD held_at = ::GetTickCount();
      bool waited = false;
      Background release([&] {
        waited = WaitUntil([&] { return calls(seam::kWaitForOpener) >= 1; });
        while (::GetTickCount() - held_at < 300) ::Sleep(10);
        holder.reset();
      });
      const int result = call(dir.path());
      release.Join();
      EXPECT_TRUE(waited) << "the call never waited for the holder";
      EXPECT_EQ(t.result, result);
      ExpectWhole(dir, t);
      EXPECT_EQ(0, Seam::LiveHandles());
    }
  }
}

// A holder that does not let go within the call's patience (about two
// seconds): the failure value, and nothing written.
TEST(OtherOpeners, AFileHeldForGoodGivesTheFailureValue) {
  for (const Target& t : Targets()) {
    if (t.label != kUserRecords.export_name && t.label != kUserText.export_name && t.label != "MUR_GetVersion")
      continue;
    SCOPED_TRACE(t.label);
    ScratchDir dir;
    if (!t.seeds) WriteAll(At(dir, t.whole[0].first), t.whole[0].second);
    {
      const HeldFile holder(At(dir, t.whole[0].first), GENERIC_READ, 0);
      ASSERT_TRUE(holder.ok());
      EXPECT_EQ(t.failure, Call(Mur(), t, dir.path()));
    }
    if (t.seeds) {
      for (const auto& [file, bytes] : t.whole) {
        if (FileExists(At(dir, file))) {
          EXPECT_EQ("", ReadAll(At(dir, file))) << file;
        }
      }
    }
  }
  // A reader that shares everything but writing keeps the record layout's
  // exclusive open out just as long: an empty store stays empty.
  ScratchDir dir;
  {
    const HeldFile reader(dir.data(kUserRecords.data_file), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(0, Mur().Get<SeedFn>(kUserRecords.export_name)(dir.path().c_str(), "abc"));
  }
  EXPECT_EQ("", ReadAll(dir.data(kUserRecords.data_file)));
  EXPECT_FALSE(FileExists(dir.data(kUserRecords.index_file)));
}

// Two threads seed the same fresh store at once, with names of different
// lengths, round after round: both calls return 1, and the store is exactly
// one of the two seedings.
TEST(OtherOpeners, TwoSeedersRacingBothSucceed) {
  constexpr int kRounds = 60;
  const std::string names[2] = {"first", "second-name"};
  for (const Target& t : Targets()) {
    if (!t.seeds) continue;
    SCOPED_TRACE(t.label);
    for (int round = 0; round < kRounds; ++round) {
      ScratchDir dir;
      const Handle go(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
      ASSERT_TRUE(go);
      int results[2] = {-1, -1};
      const SeedFn seed = Mur().Get<SeedFn>(t.export_name);
      {
        auto seeder = [&](int i) {
          return [&, i] {
            ::WaitForSingleObject(go.get(), 10000);
            results[i] = seed(dir.path().c_str(), names[i].c_str());
          };
        };
        Background a(seeder(0)), b(seeder(1));
        ::SetEvent(go.get());
      }
      ASSERT_EQ(1, results[0]) << "round " << round;
      ASSERT_EQ(1, results[1]) << "round " << round;
      bool one_of_them = false;
      for (const std::string& name : names) {
        bool all = true;
        for (const auto& [file, bytes] : t.whole_for(name)) all = all && ReadAll(At(dir, file)) == bytes;
        one_of_them = one_of_them || all;
      }
      ASSERT_TRUE(one_of_them) << "round " << round;
    }
  }
}

// A program that the host starts while a call holds its files, inheriting
// every inheritable handle of the host's, keeps none of the library's: once
// the call has returned, the files can be taken exclusively while that
// program still runs. The call is held (by the seam) at its first write, with
// the file open for writing, until the program has started.
TEST_F(OtherOpenersSeam, AProgramStartedDuringACallKeepsNoHandleOfIt) {
  for (const Target& t : Targets()) {
    if (!t.seeds) continue;
    SCOPED_TRACE(t.label);
    ScratchDir dir;
    const Handle reached(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const Handle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(reached && release);
    Seam::Reset();
    Seam::Pause(seam::kWriteFile, 1, reached.get(), release.get());
    const Bound call = Bind(MurSeam(), t);
    int result = -1;
    Background running([&] { result = call(dir.path()); });
    // Let the call go on, on every way out, before it is joined.
    const struct LetGo {
      HANDLE event;
      ~LetGo() { ::SetEvent(event); }
    } let_go{release.get()};
    const bool at_write = ::WaitForSingleObject(reached.get(), 20000) == WAIT_OBJECT_0;
    const std::string event_name = "murinherit_" + std::to_string(::GetCurrentProcessId());
    const Handle finish(::CreateEventA(nullptr, TRUE, FALSE, event_name.c_str()));
    std::unique_ptr<Child> child;
    if (at_write && finish)
      child = std::make_unique<Child>(Quote(BinDir() + "\\seam_worker.exe") + " wait " + event_name);
    ::SetEvent(release.get());
    running.Join();
    ASSERT_TRUE(at_write) << "the call never reached its write";
    ASSERT_TRUE(child);
    EXPECT_EQ(1, result);
    for (const auto& [file, bytes] : t.whole) EXPECT_TRUE(OpenableExclusively(At(dir, file))) << file;
    ::SetEvent(finish.get());
    EXPECT_EQ(0u, child->Wait().exit_code);
    ExpectWhole(dir, t);
  }
}

}  // namespace
}  // namespace murtest
