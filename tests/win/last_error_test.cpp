// The last error that every export leaves, through the real MUR.dll (the
// last error is poisoned before each call, so a return that leaves it alone
// shows), and the same work through `murhost explain`, on a fixture of its
// own made the same way: its result and last error must be the DLL's.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/expected_store.h"
#include "support/library.h"
#include "support/process.h"
#include "support/registry.h"
#include "support/scratch.h"

namespace murtest {
namespace {

constexpr DWORD kPoison = 0xDEADBEEF;

// One export's arguments as the test gives them: texts (nullptr: -null-)
// made from the fixture's directory, or a registry call.
struct Call {
  const char* export_name;
  std::function<std::vector<std::string>(const std::string& dir)> args;
};

struct Row {
  const char* why;
  Call call;
  std::function<void(const std::string& dir)> make;  // the fixture, in a fresh scratch directory
  int result;
  DWORD last_error;
};

std::vector<std::string> In(const std::string& dir, const char* name) { return {dir, name}; }

Call Seeder(const char* export_name, const char* name) {
  return {export_name, [name](const std::string& dir) { return In(dir, name); }};
}
Call Probe(const char* export_name) {
  return {export_name, [](const std::string& dir) { return std::vector<std::string>{dir}; }};
}
Call Removal(const char* sub) {
  return {"MUR_RemoveFiles", [sub](const std::string& dir) { return std::vector<std::string>{dir + sub}; }};
}

void Nothing(const std::string&) {}
std::function<void(const std::string&)> File(const char* name, std::string bytes) {
  return [name, bytes](const std::string& dir) { WriteAll(dir + "\\" + name, bytes); };
}
std::function<void(const std::string&)> Tree(std::vector<std::string> files) {
  return [files](const std::string& dir) {
    ASSERT_TRUE(::CreateDirectoryA((dir + "\\t").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((dir + "\\t\\sub").c_str(), nullptr));
    for (const std::string& f : files) WriteAll(dir + "\\t\\" + f, "x");
  };
}
std::function<void(const std::string&)> Hidden(const char* file) {
  return [file](const std::string& dir) {
    ASSERT_NO_FATAL_FAILURE(Tree({"a.txt", file})(dir));
    ASSERT_TRUE(::SetFileAttributesA((dir + "\\t\\" + file).c_str(), FILE_ATTRIBUTE_HIDDEN));
  };
}

std::vector<Row> Rows() {
  const std::string other_cut = Seeded(kUserRecords, "other-name").substr(0, 1024 + 13 + 2);
  return {
      {"seeded", Seeder("MUR_CsMakeUserinfoFile", "abc"), Nothing, 1, ERROR_SUCCESS},
      {"already present", Seeder("MUR_CsMakeSectionFile", "abc"),
       [](const std::string& dir) {
         WriteAll(dir + "\\data\\SectionInfo.Data", Seeded(kSectionRecords, "x"));
         WriteAll(dir + "\\data\\SectionInfo.ID", SeededIndex(kSectionRecords, "x"));
       },
       1, ERROR_SUCCESS},
      {"a name of 21 bytes", Seeder("MUR_CsMakeUserinfoFile", "123456789012345678901"), Nothing, 0,
       ERROR_INVALID_PARAMETER},
      {"no data folder", Seeder("MUR_CsMakeUserinfoFile", "abc"),
       [](const std::string& dir) { ::RemoveDirectoryA((dir + "\\data").c_str()); }, 0, ERROR_PATH_NOT_FOUND},
      {"a data file whose record cannot be read", Seeder("MUR_CsMakeUserinfoFile", "abc"),
       [other_cut](const std::string& dir) { WriteAll(dir + "\\data\\UserInfo.Data", other_cut); }, 0,
       ERROR_INVALID_DATA},
      {"a comma in a text-layout name", Seeder("MUR_ShMakeUserinfoFile", "a,b"), Nothing, 0,
       ERROR_INVALID_PARAMETER},
      {"a text store that is a folder", Seeder("MUR_ShMakeSectionFile", "abc"),
       [](const std::string& dir) { ::CreateDirectoryA((dir + "\\data\\section10").c_str(), nullptr); }, 0,
       ERROR_ACCESS_DENIED},
      {"a text store seeded", Seeder("MUR_ShMakeSectionFile", "abc"), Nothing, 1, ERROR_SUCCESS},
      {"no settings file", Probe("MUR_GetAccessMode"), Nothing, 0, ERROR_FILE_NOT_FOUND},
      {"an empty settings file", Probe("MUR_GetAccessMode"), File("TALVINORE.INI", ""), 0, ERROR_HANDLE_EOF},
      {"access mode 2", Probe("MUR_GetAccessMode"), File("TALVINORE.INI", "ACCESS_MODE 2"), 2, ERROR_SUCCESS},
      {"access mode 0", Probe("MUR_GetAccessMode"), File("TALVINORE.INI", "ACCESS_MODE 0"), 0, ERROR_SUCCESS},
      {"no digit after the key", Probe("MUR_GetAccessMode"), File("TALVINORE.INI", "ACCESS_MODE=1"), 0,
       ERROR_INVALID_DATA},
      {"no access-mode key", Probe("MUR_GetAccessMode"), File("TALVINORE.INI", "[Settings]\r\n"), 0,
       ERROR_NOT_FOUND},
      {"version 1.2", Probe("MUR_GetVersion"), File("version.txt", "Ver 1.2"), 12, ERROR_SUCCESS},
      {"no version key", Probe("MUR_GetVersion"), File("version.txt", "version 1.2"), -1, ERROR_NOT_FOUND},
      {"an empty version file", Probe("MUR_GetVersion"), File("version.txt", ""), -1, ERROR_HANDLE_EOF},
      {"a key with no digits after it", Probe("MUR_GetVersion"), File("version.txt", "Version 3.0"), 0,
       ERROR_SUCCESS},
      {"quoting", {"MUR_CheckDoubleQuotation", [](const std::string&) {
                     return std::vector<std::string>{"C:\\WINDOWS\\IsUn0411.exe -f\"C:\\App\\Uninst.isu\""};
                   }},
       Nothing, 1, ERROR_SUCCESS},
      {"a whole tree removed", Removal("\\t"), Tree({"a.txt", "sub\\b.txt"}), 1, ERROR_SUCCESS},
      {"a hidden file stays", Removal("\\t"), Hidden("sub\\h.txt"), 0, ERROR_DIR_NOT_EMPTY},
      {"no such directory", Removal("\\absent"), Nothing, 0, ERROR_FILE_NOT_FOUND},
      {"a file, not a directory", Removal("\\t\\a.txt"), Tree({"a.txt"}), 0, ERROR_DIRECTORY},
      {"a drive root", {"MUR_RemoveFiles", [](const std::string& dir) { return std::vector<std::string>{dir.substr(0, 3)}; }},
       Nothing, 0, ERROR_INVALID_PARAMETER},
  };
}

// Calls the export of the DLL with the arguments; the result and the last
// error it left.
std::pair<int, DWORD> CallDll(const Call& call, const std::vector<std::string>& a) {
  ::SetLastError(kPoison);
  int result = 0;
  if (a.size() == 2) {
    result = Mur().Get<SeedFn>(call.export_name)(a[0].c_str(), a[1].c_str());
  } else {
    result = Mur().Get<decltype(&MUR_GetVersion)>(call.export_name)(a[0].c_str());
  }
  return {result, ::GetLastError()};
}

// `murhost explain` on the same arguments: the result and last error of its
// last line, "result R, last error C".
std::pair<int, DWORD> CallExplain(const Call& call, const std::vector<std::string>& a, std::string* out) {
  std::string line = Quote(BinDir() + "\\murhost.exe") + " explain " + call.export_name;
  for (const std::string& arg : a) line += " " + Quote(arg);
  const RunResult r = Run(line);
  *out = r.out;
  const std::size_t at = r.out.rfind("result ");
  int result = 0;
  unsigned long code = kPoison;
  if (r.exit_code != 0 || at == std::string::npos ||
      std::sscanf(r.out.c_str() + at, "result %d, last error %lu", &result, &code) != 2)
    return {-99, kPoison};
  return {result, static_cast<DWORD>(code)};
}

TEST(LastError, EachExportLeavesTheCodeThatDecidedItsResult) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.why);
    ScratchDir dll_dir, explain_dir;
    ASSERT_NO_FATAL_FAILURE(row.make(dll_dir.path()));
    ASSERT_NO_FATAL_FAILURE(row.make(explain_dir.path()));
    const auto [result, last_error] = CallDll(row.call, row.call.args(dll_dir.path()));
    EXPECT_EQ(row.result, result);
    EXPECT_EQ(row.last_error, last_error);
    std::string out;
    const auto [explained, explained_error] = CallExplain(row.call, row.call.args(explain_dir.path()), &out);
    EXPECT_EQ(result, explained) << out;
    EXPECT_EQ(last_error, explained_error) << out;
  }
}

// A file held open without delete sharing stays: the code is the sharing
// violation of its deletion, through the DLL and through explain alike.
TEST(LastError, AFileHeldOpenStaysWithItsCode) {
  for (const bool explained : {false, true}) {
    ScratchDir dir;
    ASSERT_NO_FATAL_FAILURE(Tree({"a.txt", "held.txt"})(dir.path()));
    const HeldFile held(dir.path() + "\\t\\held.txt", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(held.ok());
    const Call removal = Removal("\\t");
    std::string out;
    const auto [result, code] = explained ? CallExplain(removal, removal.args(dir.path()), &out)
                                          : CallDll(removal, removal.args(dir.path()));
    EXPECT_EQ(0, result) << out;
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), code) << out;
    if (explained) {
      EXPECT_NE(std::string::npos, out.find("held.txt: could not be deleted (code 32)")) << out;
      EXPECT_EQ(std::string::npos, out.find("a.txt:")) << out;
    }
  }
}

// The registry copy leaves its result as the last error, and explain, on a
// key tree of its own made the same way, comes to the same.
TEST(LastError, TheRegistryCopyLeavesItsResult) {
  struct Case {
    const char* why;
    const char* source;
    const char* destination;
    int result;
  };
  const Case cases[] = {
      {"copied", "src", "dst", 0},
      {"into itself", "src", "src\\inner", ERROR_INVALID_PARAMETER},
      {"no source", "absent", "dst", ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    for (const bool explained : {false, true}) {
      TestKey t;
      SetRegString(t.root(), t.path("src"), "v", "1");
      const std::string source = t.path(c.source), destination = t.path(c.destination);
      int result = 0;
      DWORD code = kPoison;
      std::string out;
      if (explained) {
        const RunResult r = murtest::Run(Quote(BinDir() + "\\murhost.exe") + " explain MUR_CopyRegistarInfo HKCU " +
                                         Quote(source) + " " + Quote(destination) + " 1");
        out = r.out;
        unsigned long got = kPoison;
        const std::size_t at = out.rfind("result ");
        ASSERT_NE(std::string::npos, at) << out;
        ASSERT_EQ(2, std::sscanf(out.c_str() + at, "result %d, last error %lu", &result, &got)) << out;
        code = static_cast<DWORD>(got);
      } else {
        ::SetLastError(kPoison);
        result = MUR_CALL(Mur(), MUR_CopyRegistarInfo)(t.root(), source.c_str(), destination.c_str(), 1);
        code = ::GetLastError();
      }
      EXPECT_EQ(c.result, result) << out;
      EXPECT_EQ(static_cast<DWORD>(c.result), code) << out;
      if (explained && c.result == 0) {
        EXPECT_NE(std::string::npos, out.find("created ")) << out;
        EXPECT_NE(std::string::npos, out.find("source is \\REGISTRY\\")) << out;
      }
    }
  }
}

// explain --json prints one object a line, each with its event and the
// library's last line the result.
TEST(LastError, ExplainPrintsJsonLines) {
  ScratchDir dir;
  const RunResult r = murtest::Run(Quote(BinDir() + "\\murhost.exe") + " explain --json MUR_CsMakeUserinfoFile " +
                          Quote(dir.path()) + " abc");
  ASSERT_EQ(0u, r.exit_code) << r.err;
  std::istringstream lines(r.out);
  std::string line, last;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_EQ('{', line.front()) << line;
    EXPECT_EQ('}', line.back()) << line;
    EXPECT_NE(std::string::npos, line.find("\"event\":\"")) << line;
    last = line;
  }
  EXPECT_EQ(5, count) << r.out;  // each file found and written, then the result
  EXPECT_NE(std::string::npos, last.find("\"event\":\"result\",\"path\":\"\",\"number\":1,")) << last;
}

}  // namespace
}  // namespace murtest
