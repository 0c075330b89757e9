// Eight processes seed the same fresh store at the same moment, round after
// round: every call returns 1, as the losers wait for the winner and then
// find the store present, and the store always ends up as exactly one
// seeding wrote it, never two seeds and never an interleaving.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/expected_store.h"
#include "support/process.h"
#include "support/scratch.h"

namespace murtest {
namespace {

constexpr int kWorkers = 8;
constexpr int kRounds = 300;

struct Layout {
  const char* export_name;
  // The files of one store, each with what a seeding by `name` writes.
  std::vector<std::pair<std::string, std::string>> (*seeded)(const std::string& name);
};

std::vector<std::pair<std::string, std::string>> UserRecords(const std::string& name) {
  return {{kUserRecords.data_file, Seeded(kUserRecords, name)},
          {kUserRecords.index_file, SeededIndex(kUserRecords, name)}};
}
std::vector<std::pair<std::string, std::string>> SectionRecords(const std::string& name) {
  return {{kSectionRecords.data_file, Seeded(kSectionRecords, name)},
          {kSectionRecords.index_file, SeededIndex(kSectionRecords, name)}};
}
std::vector<std::pair<std::string, std::string>> UserText(const std::string& name) {
  return {{kUserText.file, UserLine(name)}};
}
std::vector<std::pair<std::string, std::string>> SectionText(const std::string& name) {
  return {{kSectionText.file, SectionLine(name)}};
}

class Race : public ::testing::TestWithParam<Layout> {};

TEST_P(Race, EightSeedersLeaveExactlyOneSeeding) {
  const Layout& layout = GetParam();
  ScratchDir base(false);
  for (int k = 0; k < kRounds; ++k) {
    const std::string round = base.path() + "\\round" + std::to_string(k);
    ASSERT_TRUE(::CreateDirectoryA(round.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((round + "\\data").c_str(), nullptr));
  }
  const std::string tag = "murrace_" + std::to_string(::GetCurrentProcessId()) + "_" + layout.export_name;
  const Handle done(::CreateSemaphoreA(nullptr, 0, kWorkers * kRounds, (tag + "_done").c_str()));
  ASSERT_TRUE(done);
  std::vector<Handle> go;
  for (int k = 0; k < kRounds; ++k) {
    go.emplace_back(::CreateEventA(nullptr, TRUE, FALSE, (tag + "_go_" + std::to_string(k)).c_str()));
    ASSERT_TRUE(go.back());
  }

  // Names of different lengths, so that two seedings mixed in one file never
  // look like one.
  auto name_of = [](int w) { return std::string(w + 1, static_cast<char>('a' + w)); };
  std::vector<std::unique_ptr<Child>> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.push_back(std::make_unique<Child>(
        Quote(BinDir() + "\\race_worker.exe") + " " + layout.export_name + " " + Quote(base.path()) +
        " " + name_of(w) + " " + std::to_string(kRounds) + " " + tag));
  }

  std::set<std::string> names;
  for (int w = 0; w < kWorkers; ++w) names.insert(name_of(w));
  for (int k = 0; k < kRounds; ++k) {
    ::SetEvent(go[k].get());
    for (int w = 0; w < kWorkers; ++w) ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(done.get(), 60000));
    const std::string round = base.path() + "\\round" + std::to_string(k) + "\\data\\";
    // The store equals the seeding of exactly one of the workers' names.
    bool matched = false;
    for (const std::string& name : names) {
      bool all = true;
      for (const auto& [file, bytes] : layout.seeded(name))
        all = all && FileExists(round + file) && ReadAll(round + file) == bytes;
      matched = matched || all;
    }
    ASSERT_TRUE(matched) << "round " << k << ": " << ReadAll(round + layout.seeded("x")[0].first);
  }
  int ones = 0;
  for (auto& worker : workers) {
    const RunResult r = worker->Wait();
    ASSERT_EQ(0u, r.exit_code) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
      ++count;
      EXPECT_EQ("1", line);
      ones += line == "1";
    }
    EXPECT_EQ(kRounds, count);
  }
  EXPECT_EQ(kWorkers * kRounds, ones);
}

INSTANTIATE_TEST_SUITE_P(Layouts, Race,
                         ::testing::Values(Layout{"MUR_CsMakeUserinfoFile", UserRecords},
                                           Layout{"MUR_CsMakeSectionFile", SectionRecords},
                                           Layout{"MUR_ShMakeUserinfoFile", UserText},
                                           Layout{"MUR_ShMakeSectionFile", SectionText}),
                         [](const auto& info) { return std::string(info.param.export_name); });

}  // namespace
}  // namespace murtest
