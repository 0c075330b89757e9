// The access mode and version probes through the real MUR.dll, under the
// code page that Wine takes from LANG: ctest runs this program once with code
// page 932 and once with 1252, and MURTEST_CODE_PAGE says which is expected.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/library.h"
#include "support/scratch.h"
#include "support/seam.h"
#include "support/text_rule_cases.h"
#include "support/code_page.h"

namespace murtest {
namespace {

int AccessMode(const Library& lib, const std::string& dir) { return MUR_CALL(lib, MUR_GetAccessMode)(dir.c_str()); }
int Version(const Library& lib, const std::string& dir) { return MUR_CALL(lib, MUR_GetVersion)(dir.c_str()); }


TEST(Probes, RunsUnderTheExpectedCodePage) {
  const char* expected = std::getenv("MURTEST_CODE_PAGE");
  ASSERT_NE(nullptr, expected) << "set MURTEST_CODE_PAGE to 932 or 1252";
  EXPECT_EQ(static_cast<UINT>(std::atoi(expected)), ::GetACP());
}

// Every row of the shared table, written into the file and read through the
// DLL, in the code page of the run.
TEST(Probes, AccessModeFromTheSettingsFile) {
  for (const TextRuleCase& c : AccessModeCases()) {
    SCOPED_TRACE(c.why);
    ScratchDir dir(false);
    WriteAll(dir.path() + "\\TALVINORE.INI", c.bytes);
    EXPECT_EQ(Cp932() ? c.cp932 : c.single, AccessMode(Mur(), dir.path()));
    EXPECT_TRUE(OpenableExclusively(dir.path() + "\\TALVINORE.INI"));
  }
}

TEST(Probes, VersionFromTheVersionFile) {
  for (const TextRuleCase& c : VersionCases()) {
    SCOPED_TRACE(c.why);
    ScratchDir dir(false);
    WriteAll(dir.path() + "\\version.txt", c.bytes);
    EXPECT_EQ(Cp932() ? c.cp932 : c.single, Version(Mur(), dir.path()));
  }
}

TEST(Probes, AbsentEmptyOrLockedFilesGiveTheFailureValue) {
  ScratchDir dir(false);
  EXPECT_EQ(0, AccessMode(Mur(), dir.path()));
  EXPECT_EQ(-1, Version(Mur(), dir.path()));
  EXPECT_EQ(0, AccessMode(Mur(), dir.path() + "\\absent"));
  WriteAll(dir.path() + "\\TALVINORE.INI", "");
  WriteAll(dir.path() + "\\version.txt", "");
  EXPECT_EQ(0, AccessMode(Mur(), dir.path()));
  EXPECT_EQ(-1, Version(Mur(), dir.path()));
  WriteAll(dir.path() + "\\TALVINORE.INI", "ACCESS_MODE 2");
  WriteAll(dir.path() + "\\version.txt", "Ver 1.2");
  {
    // A reader that shares everything (a scanner, an indexer) does not keep
    // the probes out.
    HeldFile a(dir.path() + "\\TALVINORE.INI", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    HeldFile b(dir.path() + "\\version.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(2, AccessMode(Mur(), dir.path()));
    EXPECT_EQ(12, Version(Mur(), dir.path()));
  }
  // A null or empty directory reads the root of the current drive.
  EXPECT_EQ(0, AccessMode(Mur(), ""));
  EXPECT_EQ(-1, MUR_CALL(Mur(), MUR_GetVersion)(nullptr));
}

TEST(Probes, EmptyDirectoryReadsTheCurrentDrivesRoot) {
  // The test's own drive root: the scratch folder's drive.
  ScratchDir dir(false);
  const std::string root = dir.path().substr(0, 2);
  char saved[MAX_PATH];
  ::GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(::SetCurrentDirectoryA(dir.path().c_str()));
  const std::string file = root + "\\version.txt";
  const bool existed = FileExists(file);
  if (!existed) WriteAll(file, "Ver 4.2");
  const int got = Version(Mur(), "");
  const std::string bytes = ReadAll(file);
  if (!existed) ::DeleteFileA(file.c_str());
  ::SetCurrentDirectoryA(saved);
  if (!existed) {
    EXPECT_EQ(42, got);
  } else {
    EXPECT_NE(-1, got) << "a version.txt at the drive root: " << bytes;
  }
}

// Files of any size are read in blocks, up to the text's end (its first zero
// byte) or, for the version, the bytes that settle it: sparse files of 5 GiB
// and of 4 GiB less one byte whose text ends early, and a key that lies
// across two blocks of the read.
TEST(Probes, FilesOfAnySize) {
  struct Big {
    const char* why;
    std::uint64_t size;
    std::string settings;
    std::string version;
  };
  // The probes read 256 KiB at a time.
  const std::string across_blocks = std::string((256 << 10) - 5, ';');
  const Big cases[] = {
      {"5 GiB", 5ull << 30, "ACCESS_MODE 2\r\n", "Ver 1.2\r\n"},
      {"4 GiB less one byte", 0xFFFFFFFFull, "ACCESS_MODE 1", "Ver 3.4"},
      {"4 GiB", 4ull << 30, "x\r\nACCESS_MODE\t2", "x Ver\t5.6"},
      {"key across two blocks", 0, across_blocks + "ACCESS_MODE 2", across_blocks + "xxxxVer 7.8"},
  };
  const int modes[] = {2, 1, 2, 2};
  const int versions[] = {12, 34, 56, 78};
  for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Big& c = cases[i];
    SCOPED_TRACE(c.why);
    ScratchDir dir(false);
    WriteAll(dir.path() + "\\TALVINORE.INI", c.settings);
    WriteAll(dir.path() + "\\version.txt", c.version);
    if (c.size != 0) {
      ExtendTo(dir.path() + "\\TALVINORE.INI", c.size);
      ExtendTo(dir.path() + "\\version.txt", c.size);
      ASSERT_EQ(c.size, SizeOf(dir.path() + "\\version.txt"));
    }
    EXPECT_EQ(modes[i], AccessMode(Mur(), dir.path()));
    EXPECT_EQ(versions[i], Version(Mur(), dir.path()));
  }
}

class ProbeFaults : public SeamTest {};

TEST_F(ProbeFaults, FailingOpenReadOrCloseGivesTheFailureValueAndClosesTheFile) {
  ScratchDir dir(false);
  WriteAll(dir.path() + "\\TALVINORE.INI", "ACCESS_MODE 2");
  WriteAll(dir.path() + "\\version.txt", "Ver 1.2");
  for (seam::Op op : {seam::kOpenFileForReading, seam::kReadFile, seam::kCloseHandle, seam::kAllocate}) {
    SCOPED_TRACE(op);
    Seam::Arm(op, 1, ERROR_READ_FAULT);
    EXPECT_EQ(0, AccessMode(MurSeam(), dir.path()));
    Seam::Arm(op, 1, ERROR_READ_FAULT);
    EXPECT_EQ(-1, Version(MurSeam(), dir.path()));
    EXPECT_EQ(0, Seam::LiveHandles());
  }
  Seam::Reset();
  EXPECT_EQ(2, AccessMode(MurSeam(), dir.path()));
  EXPECT_EQ(12, Version(MurSeam(), dir.path()));
}

}  // namespace
}  // namespace murtest
