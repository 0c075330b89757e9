// MUR_RemoveFiles through the real DLL: best-effort removal, what stays, and
// the guards against removing anything outside the tree it was given: roots in
// any spelling, links, names that the code page cannot carry or that the
// path functions would trim, and a tree changed while it is being removed.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/code_page.h"
#include "support/handles.h"
#include "support/library.h"
#include "support/race.h"
#include "support/scratch.h"
#include "support/seam.h"
#include "support/tree.h"

namespace murtest {
namespace {


int Remove(const Library& lib, const char* dir) { return MUR_CALL(lib, MUR_RemoveFiles)(dir); }

// A parameterised case's name: its `why`, in letters and digits.
std::string CaseName(const char* why) {
  std::string name;
  bool word_start = true;
  for (const char* p = why; *p; ++p) {
    const unsigned char ch = static_cast<unsigned char>(*p);
    if (!std::isalnum(ch)) {
      word_start = true;
      continue;
    }
    name += static_cast<char>(word_start ? std::toupper(ch) : ch);
    word_start = false;
  }
  return name;
}

// The code page this run was started for (MURTEST_CODE_PAGE); 0 when unset.
UINT ExpectedCodePage() {
  const char* expected = std::getenv("MURTEST_CODE_PAGE");
  return expected ? static_cast<UINT>(std::atoi(expected)) : 0;
}

// A fixture name and the bytes it must have in code page `code_page` (0: in
// both) for its row to show what it is meant to.
struct Conversion {
  UINT code_page;
  const wchar_t* wide;
  const char* narrow;
};

// Fails unless the run's code page is the active one and every fixture name
// of that code page converts as its row means it to.
void ExpectConversions(const std::vector<Conversion>& conversions) {
  ASSERT_NE(0u, ExpectedCodePage()) << "set MURTEST_CODE_PAGE to 932 or 1252";
  ASSERT_EQ(ExpectedCodePage(), ::GetACP());
  for (const Conversion& c : conversions) {
    if (c.code_page == 0 || c.code_page == ::GetACP()) {
      EXPECT_EQ(c.narrow, BestFitSpelling(c.wide)) << c.code_page;
    }
  }
}

using Paths = std::vector<std::string>;

// Deeper than any path of MAX_PATH characters could reach.
constexpr int kDeepLevels = 1000;

struct TreeCase {
  const char* why;
  std::vector<TreeEntry> tree;
  int result;
  Paths stays;  // what is left below the removed directory (empty: the directory is gone)
};

class RemoveTree : public ::testing::TestWithParam<TreeCase> {};

TEST_P(RemoveTree, RemovesWhatItMayAndKeepsTheRest) {
  const TreeCase& c = GetParam();
  ScratchDir scratch(false);
  const std::string root = scratch.path() + "\\tree";
  ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr));
  MakeTree(root, c.tree);
  EXPECT_EQ(c.result, Remove(Mur(), root.c_str()));
  if (c.result == 1) {
    EXPECT_FALSE(FileExists(root));
  } else {
    EXPECT_EQ(c.stays, ListTree(root));
  }
  // Files that stay keep their content.
  for (const std::string& p : c.stays) {
    if (p.back() != '/') {
      std::string native = p;
      for (char& ch : native) ch = ch == '/' ? '\\' : ch;
      EXPECT_EQ(p, ReadAll(root + "\\" + native));
    }
  }
}

const TreeCase kTreeCases[] = {
    {"empty directory", {}, 1, {}},
    {"nested tree",
     {{"a.txt"}, {"b/c.txt"}, {"b/d/e.txt"}, {"b/d/f/"}, {"g/"}, {"name with spaces.txt"}, {"no_dot"}},
     1,
     {}},
    {"hidden file two levels down",
     {{"top.txt"}, {"a/x.txt"}, {"a/b/hidden.txt", FILE_ATTRIBUTE_HIDDEN}, {"a/b/y.txt"}, {"c/z.txt"}},
     0,
     {"a/", "a/b/", "a/b/hidden.txt"}},
    {"hidden directory is descended and removed",
     {{"h/", FILE_ATTRIBUTE_HIDDEN}, {"h/inner.txt"}, {"other.txt"}},
     1,
     {}},
    {"system file stays", {{"sys.bin", FILE_ATTRIBUTE_SYSTEM}, {"d/other.txt"}}, 0, {"sys.bin"}},
    {"read-only file stays",
     {{"d/ro.txt", FILE_ATTRIBUTE_READONLY}, {"d/rw.txt"}, {"e/f.txt"}},
     0,
     {"d/", "d/ro.txt"}},
    {"dot file (hidden under Wine) stays", {{".profile"}, {"x.txt"}}, 0, {".profile"}},
};

INSTANTIATE_TEST_SUITE_P(Trees, RemoveTree, ::testing::ValuesIn(kTreeCases),
                         [](const auto& info) { return CaseName(info.param.why); });

TEST(RemoveTreeEdges, MissingDirectoryGivesZero) {
  ScratchDir scratch(false);
  EXPECT_EQ(0, Remove(Mur(), (scratch.path() + "\\absent").c_str()));
  WriteAll(scratch.path() + "\\plain.txt", "x");
  EXPECT_EQ(0, Remove(Mur(), (scratch.path() + "\\plain.txt").c_str()));
  EXPECT_TRUE(FileExists(scratch.path() + "\\plain.txt"));
}

TEST(RemoveTreeEdges, FileHeldOpenStaysAndTheRestGoes) {
  ScratchDir scratch(false);
  const std::string root = scratch.path() + "\\tree";
  ::CreateDirectoryA(root.c_str(), nullptr);
  MakeTree(root, {{"open/held.txt"}, {"open/free.txt"}, {"other/x.txt"}});
  {
    HeldFile held(root + "\\open\\held.txt", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(held.ok());
    EXPECT_EQ(0, Remove(Mur(), root.c_str()));
  }
  EXPECT_EQ((Paths{"open/", "open/held.txt"}), ListTree(root));
  EXPECT_EQ(1, Remove(Mur(), root.c_str()));
  EXPECT_FALSE(FileExists(root));
}

TEST(RemoveTreeEdges, CurrentDirectoryIsEmptiedButStays) {
  ScratchDir scratch(false);
  const std::string root = scratch.path() + "\\tree";
  ::CreateDirectoryA(root.c_str(), nullptr);
  MakeTree(root, {{"a.txt"}, {"b/c.txt"}});
  char saved[MAX_PATH];
  ::GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(::SetCurrentDirectoryA(root.c_str()));
  const int result = Remove(Mur(), root.c_str());
  ::SetCurrentDirectoryA(saved);
  EXPECT_EQ(0, result);
  EXPECT_EQ(Paths{}, ListTree(root));
}

// Drive and share roots, and the empty path, are refused before anything is
// listed: a canary at the current drive's root and in the current directory
// survives every one of them.
TEST(RemoveTreeEdges, RootsAndEmptyPathsAreRefused) {
  ScratchDir scratch(false);
  const std::string drive = scratch.path().substr(0, 2);  // "C:"
  const std::string canary = drive + "\\murtest_canary_" + std::to_string(::GetCurrentProcessId()) + ".txt";
  WriteAll(canary, "canary");
  WriteAll(scratch.path() + "\\canary.txt", "canary");
  char saved[MAX_PATH];
  ::GetCurrentDirectoryA(MAX_PATH, saved);
  ::SetCurrentDirectoryA((drive + "\\").c_str());
  const std::string refused[] = {"",       drive,          drive + "\\", drive + "/",  drive + "\\\\",
                                 "\\",     "/",            "\\\\",       ".",          drive + "\\.",
                                 drive + "\\users\\..", "\\\\server\\share", "\\\\server\\share\\",
                                 "\\\\server", "\\\\?\\" + drive + "\\", "\\\\.\\" + drive + "\\",
                                 "\\\\?\\UNC\\server\\share", "\\\\?\\Unc\\server\\share",
                                 "\\\\?\\GLOBALROOT\\??\\" + drive + "\\", "\\??\\" + drive + "\\",
                                 "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\", "\\\\?\\" + drive + "\\users\\.."};
  for (const std::string& path : refused) {
    SCOPED_TRACE(path);
    EXPECT_EQ(0, Remove(Mur(), path.c_str()));
  }
  EXPECT_EQ(0, Remove(Mur(), nullptr));
  ::SetCurrentDirectoryA(scratch.path().c_str());
  EXPECT_EQ(0, Remove(Mur(), ""));
  ::SetCurrentDirectoryA(saved);
  EXPECT_EQ("canary", ReadAll(canary));
  EXPECT_EQ("canary", ReadAll(scratch.path() + "\\canary.txt"));
  ::DeleteFileA(canary.c_str());
}

// Links inside the tree are removed as links or left, never followed: what
// they point to, outside the tree, is intact byte for byte. (Wine shows a
// Unix link to a directory as a directory reparse point; a link to a file
// it shows as a plain file, and deleting it there deletes its target, so the
// fixture links directories only.)
TEST(RemoveTreeEdges, LinksAreNeverFollowed) {
  ScratchDir scratch(false);
  const std::string outside = scratch.path() + "\\outside";
  const std::string root = scratch.path() + "\\tree";
  ::CreateDirectoryA(root.c_str(), nullptr);
  ::CreateDirectoryA(outside.c_str(), nullptr);
  MakeTree(outside, {{"target/canary.txt"}, {"target/sub/deep.txt"}, {"file_target.txt"}});
  MakeTree(root, {{"plain.txt"}, {"d/x.txt"}});
  if (!RunningUnderWine()) GTEST_SKIP() << "Unix symbolic links are made under Wine only";
  ASSERT_TRUE(MakeUnixSymlink(outside + "\\target", root + "\\d\\dir_link"));
  const DWORD link_attributes = ::GetFileAttributesA((root + "\\d\\dir_link").c_str());
  ASSERT_TRUE(link_attributes & FILE_ATTRIBUTE_REPARSE_POINT);

  const int result = Remove(Mur(), root.c_str());
  const bool link_left = FileExists(root + "\\d\\dir_link");
  EXPECT_EQ(link_left ? 0 : 1, result);
  if (link_left) {
    EXPECT_EQ((Paths{"d/", "d/dir_link/"}), ListTree(root));
  }
  const Paths outside_tree{"file_target.txt", "target/", "target/canary.txt", "target/sub/",
                           "target/sub/deep.txt"};
  EXPECT_EQ(outside_tree, ListTree(outside));
  EXPECT_EQ("target/canary.txt", ReadAll(outside + "\\target\\canary.txt"));
  EXPECT_EQ("target/sub/deep.txt", ReadAll(outside + "\\target\\sub\\deep.txt"));
  EXPECT_EQ("file_target.txt", ReadAll(outside + "\\file_target.txt"));
  RunUnixShell("rm -f '" + UnixPath(root) + "/d/dir_link'");
}

// A link to a file outside the tree goes as the link; its target stays.
// Windows lists such a link with the reparse attribute and opens it as the
// link. Wine 8 lists a Unix link to a file as a plain file (no reparse
// attribute, the target's file id) and opens it as its target even when told
// not to follow links. The removal decides from the listing and that open, so
// there deleting it deletes its target, as DeleteFile does: a gap this test
// states instead of passing over.
TEST(RemoveTreeEdges, AFileLinkGoesAsTheLink) {
  if (!RunningUnderWine()) GTEST_SKIP() << "Unix symbolic links are made under Wine only";
  ScratchDir scratch(false);
  const std::string outside = scratch.path() + "\\outside";
  const std::string root = scratch.path() + "\\tree";
  ::CreateDirectoryA(root.c_str(), nullptr);
  ::CreateDirectoryA(outside.c_str(), nullptr);
  MakeTree(outside, {{"file.txt"}});
  ASSERT_TRUE(MakeUnixSymlink(outside + "\\file.txt", root + "\\file_link"));
  const DWORD attributes = ::GetFileAttributesA((root + "\\file_link").c_str());
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RunUnixShell("rm -f '" + UnixPath(root) + "/file_link'");
    GTEST_SKIP() << "skipped: this Wine lists a Unix link to a file as a plain file (attributes 0x" << std::hex
                 << attributes << ") and opens it, links not followed, as its target; the removal decides from "
                 << "that listing and open, so deleting it here would delete its target, as DeleteFile does";
  }
  EXPECT_EQ(1, Remove(Mur(), root.c_str()));
  EXPECT_EQ("file.txt", ReadAll(outside + "\\file.txt"));
}

TEST(RemoveTreeEdges, DirectoryThatIsALinkIsNotEmptied) {
  ScratchDir scratch(false);
  const std::string target = scratch.path() + "\\target";
  const std::string link = scratch.path() + "\\link";
  ::CreateDirectoryA(target.c_str(), nullptr);
  MakeTree(target, {{"keep.txt"}, {"sub/keep2.txt"}});
  if (!RunningUnderWine()) GTEST_SKIP() << "Unix symbolic links are made under Wine only";
  ASSERT_TRUE(MakeUnixSymlink(target, link));
  const int result = Remove(Mur(), link.c_str());
  EXPECT_EQ(FileExists(link) ? 0 : 1, result);
  EXPECT_EQ((Paths{"keep.txt", "sub/", "sub/keep2.txt"}), ListTree(target));
  RunUnixShell("rm -f '" + UnixPath(link) + "'");
}

// The directory's own name, the last component of the argument, is taken as
// spelled: a trailing dot or space is kept whether or not a separator
// follows, so the neighbour the path functions would trim it to (here "x",
// holding a canary) is never reached. Only when no entry has the name as
// spelled does it name what the path functions make of it, as before.
struct TopCase {
  const char* why;
  UINT code_page;        // the code page the row runs in; 0: both
  const char* name;      // the argument's last component, in that code page
  bool separator;        // the argument ends in a backslash
  const wchar_t* named;  // the directory that must go, beside "x"; null: "x" itself
};

class RemoveTreeTop : public ::testing::TestWithParam<TopCase> {};

TEST_P(RemoveTreeTop, RemovesTheDirectoryNamedAndNoNeighbour) {
  const TopCase& c = GetParam();
  if (c.code_page != 0) {
    ASSERT_NO_FATAL_FAILURE(ExpectConversions({{c.code_page, c.named, c.name}}));
    if (c.code_page != ::GetACP()) GTEST_SKIP() << "a row for code page " << c.code_page;
  }
  ScratchDir scratch(false);
  const std::string c1 = scratch.path() + "\\c1";
  ::CreateDirectoryA(c1.c_str(), nullptr);
  std::vector<WideTreeEntry> tree{{L"x/canary.txt"}};
  if (c.named) {
    tree.push_back({std::wstring(c.named) + L"/in.txt"});
    tree.push_back({std::wstring(c.named) + L"/sub/deep.txt"});
  }
  MakeWideTree(c1, tree);
  const std::string argument = c1 + "\\" + c.name + (c.separator ? "\\" : "");

  EXPECT_EQ(1, Remove(Mur(), argument.c_str()));
  if (c.named) {
    EXPECT_FALSE(WideExists(c1, c.named));
    EXPECT_TRUE(WideExists(c1, L"x/canary.txt"));
  } else {
    EXPECT_FALSE(WideExists(c1, L"x"));
  }
  RemoveWideTree(c1, tree);
}

const TopCase kTopCases[] = {
    {"trailing space, then a separator", 0, "x ", true, L"x "},
    {"trailing dot, then a separator", 0, "x.", true, L"x."},
    {"trailing space", 0, "x ", false, L"x "},
    {"trailing dot", 0, "x.", false, L"x."},
    {"trailing dots and spaces", 0, "x. .", false, L"x. ."},
    {"no entry so named: the trimmed name, as the path functions read it", 0, "x.", false, nullptr},
    // U+8868 is 0x95 0x5C in code page 932: its trail byte is a backslash.
    {"double-byte name whose trail byte is a backslash", 932, "\x95\x5C", false, L"\u8868"},
    {"double-byte name whose trail byte is a backslash, then a separator", 932, "\x95\x5C", true, L"\u8868"},
    {"name beyond ASCII in 1252", 1252, "caf\xE9", false, L"caf\u00E9"},
    {"name beyond ASCII in 1252, then a separator", 1252, "caf\xE9", true, L"caf\u00E9"},
};

INSTANTIATE_TEST_SUITE_P(Names, RemoveTreeTop, ::testing::ValuesIn(kTopCases),
                         [](const auto& info) { return CaseName(info.param.why); });

// Paths past MAX_PATH, and trees thousands of levels deep, go like any other:
// every entry is opened relative to its parent, and the walk keeps its own
// stack. (Before the removal worked through handles, such a tree stayed and
// the result was 0.)
TEST(RemoveTreeEdges, PathsPastThePlatformLimitAreRemoved) {
  ScratchDir scratch(false);
  const std::string root = scratch.path() + "\\tree";
  ::CreateDirectoryA(root.c_str(), nullptr);
  MakeTree(root, {{"shallow.txt"}});
  // A chain of directories whose full path passes MAX_PATH, made through the
  // wide functions' long-path form.
  std::wstring deep = L"\\\\?\\" + std::wstring(root.begin(), root.end());
  for (int i = 0; i < 30; ++i) {
    deep += L"\\" + std::wstring(20, static_cast<wchar_t>(L'a' + i % 26));
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
  }
  ASSERT_TRUE(FileHandle(::CreateFileW((deep + L"\\leaf.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                       nullptr)));
  ASSERT_GT(deep.size(), 600u);

  EXPECT_EQ(1, Remove(Mur(), root.c_str()));
  EXPECT_FALSE(FileExists(root));
}

// The bytes of stack that `body` uses, measured on a thread of its own: the
// stack below the thread's frame is painted first, and after the call the
// deepest byte changed tells how far it reached.
constexpr std::size_t kPainted = 256 * 1024;
constexpr unsigned char kPaint = 0xA5;

__attribute__((noinline)) std::uintptr_t PaintStack() {
  volatile unsigned char area[kPainted];
  for (std::size_t i = 0; i < kPainted; ++i) area[i] = kPaint;
  return reinterpret_cast<std::uintptr_t>(&area[0]);
}

struct StackRun {
  void (*call)(void*);
  void* context;
  std::size_t used;
};

DWORD WINAPI MeasuredThread(void* p) {
  auto* run = static_cast<StackRun*>(p);
  const auto* low = reinterpret_cast<const volatile unsigned char*>(PaintStack());
  run->call(run->context);
  std::size_t untouched = 0;
  while (untouched < kPainted && low[untouched] == kPaint) ++untouched;
  run->used = kPainted - untouched;
  return 0;
}

template <class Body>
std::size_t StackBytesUsed(Body body) {
  StackRun run{[](void* b) { (*static_cast<Body*>(b))(); }, &body, 0};
  const Handle thread(
      ::CreateThread(nullptr, 1024 * 1024, MeasuredThread, &run, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!thread) return static_cast<std::size_t>(-1);
  ::WaitForSingleObject(thread.get(), INFINITE);
  return run.used;
}

// A chain a thousand levels deep (over 2,000 characters of path) goes, and
// the removal's stack does not grow with the depth: it keeps a stack of its
// own, not one host frame per level. (Under Wine every open and delete costs
// time in proportion to the depth, and its server deletes by Unix path, which
// caps a removable chain at PATH_MAX bytes: hence a thousand levels.)
TEST(RemoveTreeEdges, TreesAThousandLevelsDeepAreRemovedInConstantStack) {
  ScratchDir scratch(false);
  const std::string shallow = scratch.path() + "\\shallow";
  const std::string deep = scratch.path() + "\\deep";
  ::CreateDirectoryA(shallow.c_str(), nullptr);
  ::CreateDirectoryA(deep.c_str(), nullptr);
  ASSERT_TRUE(MakeDeepChain(shallow, 3, L"d"));
  ASSERT_TRUE(MakeDeepChain(deep, kDeepLevels, L"d"));
  int shallow_result = -1, deep_result = -1;
  const std::size_t shallow_stack = StackBytesUsed([&] { shallow_result = Remove(Mur(), shallow.c_str()); });
  const std::size_t deep_stack = StackBytesUsed([&] { deep_result = Remove(Mur(), deep.c_str()); });
  EXPECT_EQ(1, shallow_result);
  EXPECT_EQ(1, deep_result);
  EXPECT_FALSE(FileExists(deep));
  // One frame of even 16 bytes per level would add 16,000.
  EXPECT_LT(deep_stack, shallow_stack + 8 * 1024) << shallow_stack << " bytes for 3 levels";
  EXPECT_GT(shallow_stack, 0u);  // the measure sees the call
  EXPECT_LT(deep_stack, kPainted);
}

class RemoveTreeFaults : public SeamTest {};

// Every platform call of the removal fails in turn, each call of each
// operation, until a run no longer reaches it: the call goes on where it
// can, returns 0, keeps the tree's top, closes every handle it opened, and a
// clean call afterwards removes the rest.
TEST_F(RemoveTreeFaults, FailuresKeepGoingAndCloseEveryHandle) {
  const seam::Op ops[] = {
      seam::kFullPath,       seam::kOpenDirectoryPath, seam::kOpenChildDirectory,   seam::kDeleteChildFile,
      seam::kQueryDirectory, seam::kEmptyListingRead,  seam::kOpenChildTarget,      seam::kQueryFileInformation,
      seam::kSetDisposition, seam::kAllocate,
  };
  for (const seam::Op op : ops) {
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::to_string(op) + "#" + std::to_string(nth));
      ASSERT_LT(nth, 100) << "the removal never got past the armed call";
      ScratchDir scratch(false);
      const std::string root = scratch.path() + "\\tree";
      ::CreateDirectoryA(root.c_str(), nullptr);
      MakeTree(root, {{"a.txt"}, {"b/c.txt"}, {"b/d.txt"}, {"e/f/g.txt"}});
      Seam::Arm(op, nth, ERROR_ACCESS_DENIED);
      const int result = Remove(MurSeam(), root.c_str());
      EXPECT_EQ(0, Seam::LiveHandles());
      if (Seam::Calls(op) < nth) {  // every call of it made: the tree went
        EXPECT_EQ(1, result);
        EXPECT_FALSE(FileExists(root));
        EXPECT_GT(nth, 1);
        break;
      }
      EXPECT_EQ(0, result);
      EXPECT_TRUE(FileExists(root));
      Seam::Reset();
      EXPECT_EQ(1, Remove(MurSeam(), root.c_str()));
      EXPECT_FALSE(FileExists(root));
    }
  }
}

// Where the top leads is asked only to refuse a volume or share root: a top
// that leads nowhere (a link whose target is gone) or to a file is no root
// and goes, while one whose target cannot be told for another reason stays.
TEST_F(RemoveTreeFaults, WhereTheTopLeadsRefusesOnlyWhatMayBeARoot) {
  struct Case {
    DWORD error;  // what the open of the top, links followed, answers
    int expected;
  };
  for (const Case c : {Case{ERROR_FILE_NOT_FOUND, 1}, Case{ERROR_PATH_NOT_FOUND, 1}, Case{ERROR_DIRECTORY, 1},
                       Case{ERROR_ACCESS_DENIED, 0}, Case{ERROR_SHARING_VIOLATION, 0}}) {
    SCOPED_TRACE(c.error);
    ScratchDir scratch(false);
    const std::string root = scratch.path() + "\\tree";
    ::CreateDirectoryA(root.c_str(), nullptr);
    MakeTree(root, {{"a.txt"}, {"b/c.txt"}});
    Seam::ArmNamed(seam::kOpenChildTarget, L"tree", c.error);
    EXPECT_EQ(c.expected, Remove(MurSeam(), root.c_str()));
    EXPECT_EQ(1, Seam::Calls(seam::kOpenChildTarget));
    EXPECT_EQ(0, Seam::LiveHandles());
    EXPECT_EQ(c.expected == 0, FileExists(root + "\\a.txt"));
  }
}

// The name that the path functions trim a trailing dot to stands in only
// when the listing ended without the name as spelled: a listing that fails
// never lets the removal fall back onto the neighbour.
TEST_F(RemoveTreeFaults, AFailedListingNeverFallsBackOntoTheTrimmedName) {
  for (const DWORD error : {DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_NOT_ENOUGH_MEMORY}}) {
    SCOPED_TRACE(error);
    ScratchDir scratch(false);
    const std::string c1 = scratch.path() + "\\c1";
    ::CreateDirectoryA(c1.c_str(), nullptr);
    const std::vector<WideTreeEntry> tree{{L"x/canary.txt"}, {L"x./in.txt"}};
    MakeWideTree(c1, tree);
    Seam::Arm(seam::kQueryDirectory, 1, error);
    EXPECT_EQ(0, Remove(MurSeam(), (c1 + "\\x.").c_str()));
    EXPECT_EQ(0, Seam::LiveHandles());
    EXPECT_TRUE(WideExists(c1, L"x/canary.txt"));
    EXPECT_TRUE(WideExists(c1, L"x./in.txt"));
    Seam::Reset();
    EXPECT_EQ(1, Remove(MurSeam(), (c1 + "\\x.").c_str()));
    EXPECT_TRUE(WideExists(c1, L"x/canary.txt"));
    EXPECT_FALSE(WideExists(c1, L"x."));
    RemoveWideTree(c1, tree);
  }
}

// A file system that answers neither file ids in its listings nor a handle's
// file id, whichever status it refuses the information class with: the tree
// goes all the same, the handles' attributes deciding alone.
TEST_F(RemoveTreeFaults, FileSystemsWithoutFileIdsAreRemovedAlike) {
  const seam::Op queries[] = {seam::kListWithIds, seam::kQueryFileId};
  const DWORD refusals[] = {0xC0000003 /* invalid info class */, 0xC000000D /* invalid parameter */,
                            0xC00000BB /* not supported */, 0xC0000148 /* invalid level */,
                            0xC0000002 /* not implemented */};
  for (const seam::Op op : queries) {
    for (const DWORD status : refusals) {
      for (int nth = 1; nth <= 2; ++nth) {  // the parent's listing of the top (or the top), then the next level
        char trace[64];
        std::snprintf(trace, sizeof trace, "%d#%d status 0x%08lX", op, nth, static_cast<unsigned long>(status));
        SCOPED_TRACE(trace);
        ScratchDir scratch(false);
        const std::string root = scratch.path() + "\\tree";
        ::CreateDirectoryA(root.c_str(), nullptr);
        MakeTree(root, {{"a.txt"}, {"b/c.txt"}, {"e/f/g.txt"}});
        Seam::Arm(op, nth, status);
        EXPECT_EQ(1, Remove(MurSeam(), root.c_str()));
        EXPECT_GE(Seam::Calls(op), nth);
        EXPECT_EQ(0, Seam::LiveHandles());
        EXPECT_FALSE(FileExists(root));
        Seam::Reset();
      }
    }
  }
}

// Names as the file system holds them: names that the code page maps onto a
// separator by best fit, names it has no form for, names whose trailing dot
// or space the path functions trim.
struct NameCase {
  const char* why;
  std::vector<WideTreeEntry> tree;
  int result;
  std::vector<std::wstring> stays;  // below the removed directory
  std::vector<Conversion> conversions;  // what the names are in the code page that shows the fault
};

class RemoveTreeNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(RemoveTreeNames, TrueNamesOnly) {
  const NameCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(ExpectConversions(c.conversions));
  ScratchDir scratch(false);
  // scratch\t\App\sub holds the names; scratch\t\victim.txt and
  // scratch\victim.txt are what a best-fit name with ".." would reach.
  const std::string t = scratch.path() + "\\t";
  const std::string app = t + "\\App";
  ::CreateDirectoryA(t.c_str(), nullptr);
  ::CreateDirectoryA(app.c_str(), nullptr);
  WriteAll(t + "\\victim.txt", "canary");
  WriteAll(scratch.path() + "\\victim.txt", "canary");
  MakeWideTree(app, c.tree);

  EXPECT_EQ(c.result, Remove(Mur(), app.c_str()));
  EXPECT_EQ("canary", ReadAll(t + "\\victim.txt"));
  EXPECT_EQ("canary", ReadAll(scratch.path() + "\\victim.txt"));
  if (c.result == 1) {
    EXPECT_FALSE(FileExists(app));
  }
  for (const std::wstring& kept : c.stays) EXPECT_TRUE(WideExists(app, kept)) << c.why;
  // Nothing but what stays is left: every created entry not listed is gone.
  for (const WideTreeEntry& e : c.tree) {
    bool listed = false;
    for (const std::wstring& kept : c.stays) listed = listed || kept == e.path || kept + L"/" == e.path;
    if (!listed && c.result == 0) {
      EXPECT_FALSE(WideExists(app, e.path)) << c.why;
    }
  }
  RemoveWideTree(app, c.tree);
}

const NameCase kNameCases[] = {
    // U+00A5 is 0x5C (a backslash) in code page 932 by best fit; U+FF3C is
    // in 1252. Through the code page, these names point two levels up.
    {"yen sign with dots",
     {{L"sub/\u00A5..\u00A5..\u00A5victim.txt"}, {L"sub/\u00A5..\u00A5..\u00A5..\u00A5victim.txt"}},
     1,
     {},
     {{932, L"\u00A5..\u00A5..\u00A5victim.txt", "\\..\\..\\victim.txt"}}},
    {"full-width reverse solidus with dots",
     {{L"sub/\uFF3C..\uFF3C..\uFF3Cvictim.txt"}, {L"sub/\uFF3C..\uFF3C..\uFF3C..\uFF3Cvictim.txt"}},
     1,
     {},
     {{1252, L"\uFF3C..\uFF3C..\uFF3Cvictim.txt", "\\..\\..\\victim.txt"}}},
    {"best-fit directory name",
     {{L"\u00A5..\u00A5x/"}, {L"\u00A5..\u00A5x/inner.txt"}, {L"\uFF3C..\uFF3Cy/z.txt"}},
     1,
     {},
     {{932, L"\u00A5..\u00A5x", "\\..\\x"}, {1252, L"\uFF3C..\uFF3Cy", "\\..\\y"}}},
    {"names outside the code page",
     {{L"\uD55C\uAE00/"}, {L"\uD55C\uAE00/\uB370\uC774\uD130.txt"}, {L"\U0001F600.txt"},
      {L"\U0001F4C1 dir/\U0001F600 file.txt"}, {L"plain.txt"}},
     1,
     {},
     {{0, L"\uD55C\uAE00", "??"}, {0, L"\uB370\uC774\uD130.txt", "???.txt"}}},
    {"hidden name outside the code page stays",
     {{L"\uD55C\uAE00/\uB370\uC774\uD130.txt", FILE_ATTRIBUTE_HIDDEN}, {L"\uD55C\uAE00/other.txt"}},
     0,
     {L"\uD55C\uAE00", L"\uD55C\uAE00/\uB370\uC774\uD130.txt"},
     {{0, L"\uD55C\uAE00", "??"}}},
    {"trailing dot and space beside hidden files of the trimmed names",
     {{L"x", FILE_ATTRIBUTE_HIDDEN}, {L"x."}, {L"y", FILE_ATTRIBUTE_HIDDEN}, {L"y "}, {L"z.."}},
     0,
     {L"x", L"y"},
     {}},
    {"trailing dot and space on directories beside hidden files",
     {{L"d", FILE_ATTRIBUTE_HIDDEN}, {L"d./"}, {L"d./in.txt"}, {L"e", FILE_ATTRIBUTE_SYSTEM}, {L"e /f.txt"}},
     0,
     {L"d", L"e"},
     {}},
    {"trailing dot and space, nothing hidden", {{L"x."}, {L"x"}, {L"y "}, {L"dir./a."}}, 1, {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Names, RemoveTreeNames, ::testing::ValuesIn(kNameCases),
                         [](const auto& info) { return CaseName(info.param.why); });

// Links made as Unix symbolic links, which Wine shows as reparse points when
// they link directories. A dot name makes a link hidden under Wine (its
// attributes cannot be set: they would land on the target). A hidden link to
// a file stays; hidden or not, a link to a directory is never followed.
TEST(RemoveTreeEdges, HiddenLinksAreNeverFollowed) {
  if (!RunningUnderWine()) GTEST_SKIP() << "Unix symbolic links are made under Wine only";
  ScratchDir scratch(false);
  const std::string outside = scratch.path() + "\\outside";
  const std::string root = scratch.path() + "\\tree";
  ::CreateDirectoryA(root.c_str(), nullptr);
  ::CreateDirectoryA(outside.c_str(), nullptr);
  MakeTree(outside, {{"dir/canary.txt"}, {"file.txt"}});
  MakeTree(root, {{"plain.txt"}, {"d/x.txt"}});
  ASSERT_TRUE(MakeUnixSymlink(outside + "\\dir", root + "\\d\\.dir_link"));
  ASSERT_TRUE(MakeUnixSymlink(outside + "\\file.txt", root + "\\.file_link"));
  const DWORD dir_link = ::GetFileAttributesA((root + "\\d\\.dir_link").c_str());
  ASSERT_EQ(DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY},
            dir_link & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
  ASSERT_TRUE(::GetFileAttributesA((root + "\\.file_link").c_str()) & FILE_ATTRIBUTE_HIDDEN);

  EXPECT_EQ(0, Remove(Mur(), root.c_str()));  // the hidden file link stays
  EXPECT_TRUE(FileExists(root + "\\.file_link"));
  EXPECT_FALSE(FileExists(root + "\\plain.txt"));
  EXPECT_FALSE(FileExists(root + "\\d\\x.txt"));
  EXPECT_EQ((Paths{"dir/", "dir/canary.txt", "file.txt"}), ListTree(outside));
  EXPECT_EQ("dir/canary.txt", ReadAll(outside + "\\dir\\canary.txt"));
  EXPECT_EQ("file.txt", ReadAll(outside + "\\file.txt"));
  RunUnixShell("rm -f '" + UnixPath(root + "\\.file_link") + "' '" + UnixPath(root) + "/d/.dir_link'");
}

// Roots are refused when the opened directory is the root of its volume,
// whatever spelling reached it: a drive mapped onto a scratch folder is
// refused through the drive's spellings and through the folder's own paths,
// and so is a link at the top that leads there (a folder where a volume is
// mounted): the link stays and nothing on the volume is touched.
TEST(RemoveTreeEdges, VolumeRootsAreRefusedWhateverTheSpelling) {
  if (!RunningUnderWine()) GTEST_SKIP() << "drives are mapped through the Wine prefix";
  char prefix[MAX_PATH];
  const DWORD n = ::GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) GTEST_SKIP() << "WINEPREFIX is not set";
  char letter = 0;
  const DWORD drives = ::GetLogicalDrives();
  for (char c = 'Y'; c >= 'M' && !letter; --c)
    if (!(drives & (1u << (c - 'A')))) letter = c;
  ASSERT_NE(0, letter);
  ScratchDir scratch(false);
  const std::string volume = scratch.path() + "\\volume";
  ::CreateDirectoryA(volume.c_str(), nullptr);
  MakeTree(volume, {{"canary.txt"}, {"sub/deep.txt"}});
  const std::string device = std::string(prefix) + "/dosdevices/" + static_cast<char>(letter + 'a' - 'A') + ":";
  struct Unmount {
    std::string device;
    ~Unmount() { RunUnixShell("rm -f '" + device + "'"); }
  } unmount{device};
  ASSERT_TRUE(RunUnixShell("ln -s '" + UnixPath(volume) + "' '" + device + "'"));
  const std::string mounted = scratch.path() + "\\mounted";
  ASSERT_TRUE(MakeUnixSymlink(volume, mounted));
  struct Unlink {
    std::string link;
    ~Unlink() { RunUnixShell("rm -f '" + link + "'"); }
  } unlink{UnixPath(mounted)};
  const std::string drive = std::string(1, letter) + ":";
  ASSERT_TRUE(WaitFor([](const std::string& d) { return FileExists(d + "\\canary.txt"); }, drive));
  // Wine refreshes its table of drive roots, which names a folder by its
  // drive, at most once a second.
  ::Sleep(1500);

  std::string z_path = "Z:" + UnixPath(volume);
  for (char& ch : z_path) ch = ch == '/' ? '\\' : ch;
  const std::string refused[] = {drive + "\\",         drive,
                                 drive + "\\sub\\..",  "\\\\?\\" + drive + "\\",
                                 "\\\\.\\" + drive + "\\", "\\\\?\\GLOBALROOT\\??\\" + drive + "\\",
                                 "\\\\?\\UnC\\localhost\\" + drive.substr(0, 1) + "$",
                                 volume,               volume + "\\",
                                 "\\\\?\\" + volume,   z_path,
                                 mounted,              mounted + "\\"};
  for (const std::string& path : refused) {
    SCOPED_TRACE(path);
    EXPECT_EQ(0, Remove(Mur(), path.c_str()));
    // Refused before anything is opened for removal.
    Seam::Reset();
    EXPECT_EQ(0, Remove(MurSeam(), path.c_str()));
    EXPECT_EQ(0, Seam::Calls(seam::kOpenChildDirectory));
    EXPECT_EQ(0, Seam::LiveHandles());
    EXPECT_EQ("canary.txt", ReadAll(volume + "\\canary.txt"));
    EXPECT_EQ("sub/deep.txt", ReadAll(volume + "\\sub\\deep.txt"));
  }
  const DWORD link_attributes = ::GetFileAttributesA(mounted.c_str());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, link_attributes);
  EXPECT_TRUE(link_attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  RunUnixShell("rm -f '" + device + "'");
  ASSERT_TRUE(WaitFor([](const std::string& d) { return !FileExists(d + "\\"); }, drive));
  ::Sleep(1500);
  // No longer a volume: the folder is an ordinary tree again.
  EXPECT_EQ(1, Remove(Mur(), volume.c_str()));
}

class RemoveTreeRace : public SeamTest {};

// While the removal is held at its open of a listed subdirectory, the
// subdirectory is renamed away and a link to a tree outside takes its name.
// The removal acts only on what it listed: the outside tree survives byte for
// byte, and so does the renamed directory.
TEST_F(RemoveTreeRace, DirectorySwappedForALinkMidwayIsNotFollowed) {
  if (!RunningUnderWine()) GTEST_SKIP() << "Unix symbolic links are made under Wine only";
  ScratchDir scratch(false);
  const std::string outside = scratch.path() + "\\outside";
  const std::string root = scratch.path() + "\\tree";
  ::CreateDirectoryA(root.c_str(), nullptr);
  ::CreateDirectoryA(outside.c_str(), nullptr);
  MakeTree(outside, {{"canary.txt"}, {"inner/deep.txt"}, {"empty/"}});
  MakeTree(root, {{"sub/a.txt"}, {"sub/b/c.txt"}});
  const std::string swap = "mv '" + UnixPath(root) + "/sub' '" + UnixPath(scratch.path()) + "/moved' && ln -s '" +
                           UnixPath(outside) + "' '" + UnixPath(root) + "/sub'";
  const auto remove = MUR_CALL(MurSeam(), MUR_RemoveFiles);
  int result = -1;
  bool swapped = false;
  {
    HeldCall call(seam::kOpenChildDirectory, L"sub", [&] { result = remove(root.c_str()); });
    ASSERT_TRUE(call.Held()) << "the removal never came to open sub";
    ASSERT_TRUE(RunUnixShell(swap));
    swapped = WaitFor(
        [](const std::string& link) {
          const DWORD a = ::GetFileAttributesA(link.c_str());
          return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
        },
        root + "\\sub");
  }
  ASSERT_TRUE(swapped);

  EXPECT_EQ(0, result);
  EXPECT_EQ((Paths{"canary.txt", "empty/", "inner/", "inner/deep.txt"}), ListTree(outside));
  EXPECT_EQ("canary.txt", ReadAll(outside + "\\canary.txt"));
  EXPECT_EQ("inner/deep.txt", ReadAll(outside + "\\inner\\deep.txt"));
  EXPECT_EQ((Paths{"a.txt", "b/", "b/c.txt"}), ListTree(scratch.path() + "\\moved"));
  EXPECT_EQ(0, Seam::LiveHandles());
  RunUnixShell("rm -f '" + UnixPath(root) + "/sub'");
}

// Another party removes entries of the tree between the removal's listing of
// them and its open: each is gone, not kept, so its directory is still
// emptied and removed and the result tells whether the whole tree went. A
// file held open without delete sharing still stays, with its directories.
// The removal is held before its call of `held` on `name` (or its first call
// of `held`): what the other party removes there has been listed and is not
// yet opened.
struct VanishCase {
  const char* why;
  std::vector<TreeEntry> tree;
  seam::Op held;
  const wchar_t* name;
  Paths removed_meanwhile;  // "" the tree's top itself
  const char* held_open;    // held open without delete sharing, or null
  int result;
  Paths stays;
};

void PrintTo(const VanishCase& c, std::ostream* os) { *os << c.why; }

class RemoveTreeVanishing : public SeamTest, public ::testing::WithParamInterface<VanishCase> {};

TEST_P(RemoveTreeVanishing, AnEntryGoneBeforeItsOpenCountsAsRemoved) {
  const VanishCase& c = GetParam();
  ScratchDir scratch(false);
  const std::string root = scratch.path() + "\\tree";
  ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr));
  MakeTree(root, c.tree);
  std::unique_ptr<HeldFile> held_open;
  if (c.held_open) {
    held_open = std::make_unique<HeldFile>(root + "\\" + c.held_open, GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(held_open->ok());
  }
  const auto remove = MUR_CALL(MurSeam(), MUR_RemoveFiles);
  int result = -1;
  {
    const auto body = [&] { result = remove(root.c_str()); };
    HeldCall call = c.name ? HeldCall(c.held, c.name, body) : HeldCall(c.held, 1, body);
    ASSERT_TRUE(call.Held()) << "the removal never came to open the entries";
    for (const std::string& p : c.removed_meanwhile) {
      std::string native = p;
      for (char& ch : native) ch = ch == '/' ? '\\' : ch;
      RemoveTreeForTest(native.empty() ? root : root + "\\" + native);
    }
  }
  held_open.reset();

  EXPECT_EQ(c.result, result);
  if (c.result == 1) {
    EXPECT_FALSE(FileExists(root));
  } else {
    EXPECT_EQ(c.stays, ListTree(root));
  }
  EXPECT_EQ(0, Seam::LiveHandles());
}

const VanishCase kVanishCases[] = {
    // Held at the first file's open: sub is listed, no file opened yet.
    {"a directory's files, its last one included",
     {{"sub/a.txt"}, {"sub/b.txt"}, {"sub/c.txt"}},
     seam::kDeleteChildFile, nullptr,
     {"sub/a.txt", "sub/b.txt", "sub/c.txt"}, nullptr, 1, {}},
    {"a subdirectory with its tree",
     {{"a.txt"}, {"sub/b.txt"}, {"sub/deep/c.txt"}},
     seam::kOpenChildDirectory, L"sub",
     {"sub"}, nullptr, 1, {}},
    {"the top itself, once its parent's listing found it",
     {{"a.txt"}, {"sub/b.txt"}},
     seam::kOpenChildDirectory, L"tree",
     {""}, nullptr, 1, {}},
    {"the other files beside one held open",
     {{"keep/a.txt"}, {"keep/b.txt"}, {"keep/held.txt"}, {"other/c.txt"}},
     seam::kDeleteChildFile, nullptr,
     {"keep/a.txt", "keep/b.txt", "other/c.txt"}, "keep/held.txt", 0, {"keep/", "keep/held.txt"}},
};

INSTANTIATE_TEST_SUITE_P(Vanishing, RemoveTreeVanishing, ::testing::ValuesIn(kVanishCases),
                         [](const auto& info) { return CaseName(info.param.why); });

// An entry that someone else is already deleting (marked for deletion, gone
// when their handle closes) counts as removed, as one already gone does: its
// directory is still removed once it is gone. Wine opens such an entry as
// though nothing were pending, so the seam answers for the removal's open of
// it what Windows does (ERROR_DELETE_PENDING): the platform's own mapping of
// the native status is not exercised here. The removal is held at its first
// directory removal until the other party's handle has closed.
TEST_F(RemoveTreeFaults, AnEntryBeingDeletedElsewhereCountsAsRemoved) {
  struct Case {
    const char* why;
    std::vector<TreeEntry> tree;
    const char* pending;  // marked for deletion by the other party
    seam::Op open;        // the removal's open of it
    const wchar_t* name;
  };
  const Case cases[] = {
      {"a file, its directory's only entry", {{"sub/pending.txt"}}, "sub\\pending.txt", seam::kDeleteChildFile,
       L"pending.txt"},
      {"an empty directory", {{"a.txt"}, {"pending/"}}, "pending", seam::kOpenChildDirectory, L"pending"},
  };
  const auto remove = MUR_CALL(MurSeam(), MUR_RemoveFiles);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Seam::Reset();
    ScratchDir scratch(false);
    const std::string root = scratch.path() + "\\tree";
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr));
    MakeTree(root, c.tree);
    FileHandle pending(::CreateFileA((root + "\\" + c.pending).c_str(), DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(pending);
    FILE_DISPOSITION_INFO disposition{TRUE};
    ASSERT_TRUE(::SetFileInformationByHandle(pending.get(), FileDispositionInfo, &disposition, sizeof disposition));
    Seam::ArmNamed(c.open, c.name, ERROR_DELETE_PENDING);
    int result = -1;
    {
      HeldCall call(seam::kSetDisposition, 1, [&] { result = remove(root.c_str()); });
      ASSERT_TRUE(call.Held()) << "the removal never came to remove a directory";
      EXPECT_EQ(0u, pending.Close());
    }
    EXPECT_EQ(1, result);
    EXPECT_FALSE(FileExists(root));
    EXPECT_EQ(0, Seam::LiveHandles());
  }
}

}  // namespace
}  // namespace murtest
