// murhost, the command-line host: calls by export name, errors, and the
// decoded view of a store.
#include <gtest/gtest.h>

#include <string>

#include "support/expected_store.h"
#include "support/process.h"
#include "support/scratch.h"

namespace murtest {
namespace {

RunResult Murhost(const std::string& args) {
  return Run(Quote(BinDir() + "\\murhost.exe") + " " + args);
}

TEST(Murhost, CallsAnExportAndPrintsItsResult) {
  ScratchDir dir;
  const RunResult r = Murhost("MUR_CsMakeUserinfoFile " + Quote(dir.path()) + " abc");
  EXPECT_EQ(0u, r.exit_code) << r.err;
  EXPECT_EQ("1\n", r.out);
  EXPECT_EQ(Header() + UserRecord("abc"), ReadAll(dir.data("UserInfo.Data")));
  const RunResult refused = Murhost("MUR_CsMakeSectionFile " + Quote(dir.path()) + " -null-");
  EXPECT_EQ(0u, refused.exit_code);
  EXPECT_EQ("0\n", refused.out);
}

TEST(Murhost, UsageErrorsExitWithTwoAndOneLine) {
  ScratchDir dir;
  struct Case {
    std::string args;
    std::string says;
  };
  const Case cases[] = {
      {"MUR_NoSuchExport x", "unknown export"},
      {"MUR_CsMakeUserinfoFile onlyone", "takes 2 arguments"},
      {"--dll " + Quote(dir.path() + "\\absent.dll") + " MUR_CsMakeUserinfoFile a b", "cannot load"},
      {"", "usage"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = Murhost(c.args);
    EXPECT_EQ(2u, r.exit_code);
    EXPECT_EQ("", r.out);
    EXPECT_NE(std::string::npos, r.err.find(c.says)) << r.err;
  }
}

TEST(Murhost, InspectDecodesSeededStores) {
  ScratchDir dir;
  ASSERT_EQ("1\n", Murhost("MUR_CsMakeUserinfoFile " + Quote(dir.path()) + " abc").out);
  ASSERT_EQ("1\n", Murhost("MUR_CsMakeSectionFile " + Quote(dir.path()) + " sales").out);
  const RunResult r = Murhost("inspect " + Quote(dir.path()));
  EXPECT_EQ(0u, r.exit_code);
  for (const char* expected :
       {"user number     10000", "\"abc\" (3 bytes: 61 62 63)", "record length 25, record offset 1024",
        "1049 bytes", "user store in the seeded form", "\"sales\"", "section store in the seeded form"}) {
    EXPECT_NE(std::string::npos, r.out.find(expected)) << expected << "\n" << r.out;
  }
}

TEST(Murhost, InspectSaysWhenAStoreIsNotSeeded) {
  ScratchDir dir;
  WriteAll(dir.data("UserInfo.Data"), Header() + UserRecord("abc"));
  WriteAll(dir.data("UserInfo.ID"), Index(1));  // claims a one-byte record
  const RunResult r = Murhost("inspect " + Quote(dir.path()));
  EXPECT_NE(std::string::npos, r.out.find("NOT in the seeded form: UserInfo.ID differs")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("NOT in the seeded form: SectionInfo.ID is absent")) << r.out;
}

}  // namespace
}  // namespace murtest
