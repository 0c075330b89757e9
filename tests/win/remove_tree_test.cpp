// MUR_RemoveFiles through the real DLL: best-effort removal, what stays, and
// the guards against removing anything outside the tree it was given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/library.h"
#include "support/scratch.h"
#include "support/seam.h"
#include "support/tree.h"

namespace murtest {
namespace {

using RemoveFn = int(WINAPI*)(const char*);

int Remove(const Library& lib, const char* dir) { return lib.Get<RemoveFn>("MUR_RemoveFiles")(dir); }

using Paths = std::vector<std::string>;

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
                         [](const auto& info) { return "case" + std::to_string(info.index); });

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
                                 "\\\\?\\UNC\\server\\share"};
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
}

TEST(RemoveTreeEdges, PathsPastThePlatformLimitFailCleanly) {
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
  HANDLE h = ::CreateFileW((deep + L"\\leaf.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  ::CloseHandle(h);

  EXPECT_EQ(0, Remove(Mur(), root.c_str()));
  EXPECT_FALSE(FileExists(root + "\\shallow.txt"));
  EXPECT_TRUE(FileExists(root));
  // Clean up through the long-path form.
  std::wstring leaf = deep + L"\\leaf.txt";
  ::DeleteFileW(leaf.c_str());
  while (deep.size() > 4 + root.size()) {
    ::RemoveDirectoryW(deep.c_str());
    deep.resize(deep.find_last_of(L'\\'));
  }
}

class RemoveTreeFaults : public SeamTest {};

TEST_F(RemoveTreeFaults, FailuresKeepGoingAndCloseEveryListing) {
  struct Fault {
    seam::Op op;
    int nth;
  };
  const Fault faults[] = {{seam::kDeleteFile, 1}, {seam::kDeleteFile, 3}, {seam::kRemoveDirectory, 1},
                          {seam::kFindFirst, 2},  {seam::kFindNext, 2}};
  for (const Fault& f : faults) {
    SCOPED_TRACE(std::to_string(f.op) + "#" + std::to_string(f.nth));
    ScratchDir scratch(false);
    const std::string root = scratch.path() + "\\tree";
    ::CreateDirectoryA(root.c_str(), nullptr);
    MakeTree(root, {{"a.txt"}, {"b/c.txt"}, {"b/d.txt"}, {"e/f/g.txt"}});
    Seam::Arm(f.op, f.nth, ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, Remove(MurSeam(), root.c_str()));
    EXPECT_EQ(0, Seam::LiveHandles());
    EXPECT_TRUE(FileExists(root));
    Seam::Reset();
    EXPECT_EQ(1, Remove(MurSeam(), root.c_str()));
  }
}

}  // namespace
}  // namespace murtest
