// MUR_CopyRegistarInfo through the real DLL, on the real registry under a key
// of the test's own: exact copies, moves, refusals, and failures that undo
// only what the call created.
#include <gtest/gtest.h>

#include <string>

#include "support/library.h"
#include "support/registry.h"
#include "support/seam.h"

namespace murtest {
namespace {

using CopyFn = int(WINAPI*)(HKEY, const char*, const char*, int);

int Copy(const Library& lib, HKEY root, const std::string& src, const std::string& dst, int move) {
  return lib.Get<CopyFn>("MUR_CopyRegistarInfo")(root, src.c_str(), dst.c_str(), move);
}

std::vector<BYTE> Dword(DWORD v) { return {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)}; }

// A source tree three levels deep with every value type.
void FillSource(const TestKey& t, const std::string& src) {
  const HKEY r = t.root();
  SetRegString(r, src, "", "the default value");
  SetRegString(r, src, "Path", "C:\\Program Files\\App");
  SetRegValue(r, src, "Expand", REG_EXPAND_SZ, Bytes(std::string("%SystemRoot%\\x") + '\0'));
  SetRegValue(r, src, "Multi", REG_MULTI_SZ, Bytes(std::string("one\0two\0\0", 9)));
  SetRegValue(r, src, "Dword", REG_DWORD, Dword(0x12345678));
  SetRegValue(r, src, "Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
  SetRegValue(r, src, "Binary", REG_BINARY, {0, 255, 0, 1});
  SetRegValue(r, src, "Empty", REG_BINARY, {});
  SetRegString(r, src + "\\a", "level", "1");
  SetRegValue(r, src + "\\a\\b", "level", REG_DWORD, Dword(2));
  SetRegString(r, src + "\\a\\b\\c", "level", "3");
  SetRegString(r, src + "\\a\\b\\c", "\x95\x5C\x8E\xA6", "\x95\x5C");
  CreateRegKey(r, src + "\\empty");
  SetRegString(r, src + "\\second", "x", "y");
}

TEST(RegistryCopy, CopiesEveryValueAndSubkeyExactly) {
  TestKey t;
  const std::string src = t.path("src"), dst = t.path("dst");
  FillSource(t, src);
  const RegSnapshot before = Snapshot(t.root(), src);
  ASSERT_EQ(5u + 1u, before.size());
  EXPECT_EQ(0, Copy(Mur(), t.root(), src, dst, 0));
  EXPECT_EQ(before, Snapshot(t.root(), dst));
  EXPECT_EQ(before, Snapshot(t.root(), src));
}

TEST(RegistryCopy, ExistingDestinationValuesOfOtherNamesStay) {
  TestKey t;
  const std::string src = t.path("src"), dst = t.path("dst");
  SetRegString(t.root(), src, "shared", "from source");
  SetRegString(t.root(), src + "\\sub", "s", "source");
  SetRegString(t.root(), dst, "shared", "old");
  SetRegString(t.root(), dst, "own", "kept");
  SetRegString(t.root(), dst + "\\sub", "mine", "kept too");
  EXPECT_EQ(0, Copy(Mur(), t.root(), src, dst, 0));
  const RegSnapshot d = Snapshot(t.root(), dst);
  EXPECT_EQ(Bytes(std::string("from source") + '\0'), d.at("").at("shared").data);
  EXPECT_EQ(Bytes(std::string("kept") + '\0'), d.at("").at("own").data);
  EXPECT_EQ(2u, d.at("sub").size());
}

TEST(RegistryCopy, MoveFlagLowByteDecides) {
  struct Case {
    int flag;
    bool moves;
  };
  for (const Case c : {Case{0, false}, Case{1, true}, Case{2, false}, Case{256, false}, Case{257, true},
                       Case{-255, true}}) {
    SCOPED_TRACE(c.flag);
    TestKey t;
    const std::string src = t.path("src"), dst = t.path("dst");
    FillSource(t, src);
    const RegSnapshot before = Snapshot(t.root(), src);
    EXPECT_EQ(0, Copy(Mur(), t.root(), src, dst, c.flag));
    EXPECT_EQ(before, Snapshot(t.root(), dst));
    EXPECT_EQ(!c.moves, RegKeyExists(t.root(), src));
  }
}

TEST(RegistryCopy, MissingSourceCreatesNothing) {
  TestKey t;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Copy(Mur(), t.root(), t.path("absent"), t.path("dst"), 1));
  EXPECT_FALSE(RegKeyExists(t.root(), t.path("dst")));
}

TEST(RegistryCopy, EmptySourceGivesAnEmptyDestination) {
  TestKey t;
  CreateRegKey(t.root(), t.path("src"));
  EXPECT_EQ(0, Copy(Mur(), t.root(), t.path("src"), t.path("dst"), 0));
  EXPECT_TRUE(RegKeyExists(t.root(), t.path("dst")));
  EXPECT_EQ((RegSnapshot{{"", {}}}), Snapshot(t.root(), t.path("dst")));
}

TEST(RegistryCopy, LargeValuesAndLongNamesAreCopied) {
  TestKey t;
  const std::string src = t.path("src");
  std::vector<BYTE> big(100 * 1024);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
  SetRegValue(t.root(), src, "big", REG_BINARY, big);
  SetRegString(t.root(), src, std::string(1000, 'n'), std::string(2000, 'v'));
  SetRegString(t.root(), src, "long path", "C:\\" + std::string(300, 'p'));
  SetRegString(t.root(), src + "\\" + std::string(200, 'k'), "x", "y");
  EXPECT_EQ(0, Copy(Mur(), t.root(), src, t.path("dst"), 0));
  EXPECT_EQ(Snapshot(t.root(), src), Snapshot(t.root(), t.path("dst")));
}

TEST(RegistryCopy, CreatedKeysAreNonVolatile) {
  TestKey t;
  SetRegString(t.root(), t.path("src\\sub"), "x", "y");
  ASSERT_EQ(0, Copy(Mur(), t.root(), t.path("src"), t.path("dst"), 0));
  // A non-volatile key cannot be created under a volatile one.
  for (const char* parent : {"dst", "dst\\sub"}) {
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(t.root(), t.path(std::string(parent) + "\\child").c_str(), 0,
                                               nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                               &key, nullptr))
        << parent;
    ::RegCloseKey(key);
  }
}

TEST(RegistryCopy, IntoItselfIsRefusedAndTouchesNothing) {
  TestKey t;
  const std::string src = t.path("Src");
  FillSource(t, src);
  const RegSnapshot before = Snapshot(t.root(), t.path());
  const std::string refused[] = {src, src + "\\", t.path("SRC"), t.path("src\\a"), t.path("sRc\\new\\deeper"),
                                 src + "\\\\"};
  for (const std::string& dst : refused) {
    SCOPED_TRACE(dst);
    for (int flag : {0, 1}) EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), t.root(), src, dst, flag));
  }
  // An empty or null source names the root, which holds every destination.
  EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), t.root(), "", t.path("dst"), 1));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            Mur().Get<CopyFn>("MUR_CopyRegistarInfo")(t.root(), nullptr, t.path("dst").c_str(), 0));
  EXPECT_EQ(before, Snapshot(t.root(), t.path()));
  // A sibling whose name merely starts like the source is not inside it.
  EXPECT_EQ(0, Copy(Mur(), t.root(), src, t.path("Src2"), 0));
}

TEST(RegistryCopy, IntoTheParentIsAllowed) {
  TestKey t;
  SetRegString(t.root(), t.path("p\\child"), "v", "1");
  SetRegString(t.root(), t.path("p\\child\\grand"), "g", "2");
  EXPECT_EQ(0, Copy(Mur(), t.root(), t.path("p\\child"), t.path("p"), 0));
  const RegSnapshot p = Snapshot(t.root(), t.path("p"));
  EXPECT_EQ(Bytes(std::string("1") + '\0'), p.at("").at("v").data);
  EXPECT_EQ(Bytes(std::string("2") + '\0'), p.at("grand").at("g").data);
  EXPECT_TRUE(p.count("child\\grand"));
}

TEST(RegistryCopy, MoveIntoTheParentKeepsEverything) {
  TestKey t;
  SetRegString(t.root(), t.path("p\\child"), "v", "1");
  SetRegString(t.root(), t.path("p\\child\\grand"), "g", "2");
  EXPECT_EQ(0, Copy(Mur(), t.root(), t.path("p\\child"), t.path("p"), 1));
  const RegSnapshot p = Snapshot(t.root(), t.path("p"));
  EXPECT_FALSE(p.count("child"));
  EXPECT_EQ(Bytes(std::string("1") + '\0'), p.at("").at("v").data);
  EXPECT_EQ(Bytes(std::string("2") + '\0'), p.at("grand").at("g").data);
}

// Copying A\B into A writes B's subkeys beside B; when B holds a subkey B,
// that copy would land on the source itself (and a move would then delete
// it): refused before anything is touched.
TEST(RegistryCopy, IntoAnAncestorThatWouldOverwriteTheSourceIsRefused) {
  TestKey t;
  SetRegString(t.root(), t.path("A\\B"), "top", "1");
  SetRegString(t.root(), t.path("A\\B\\B"), "inner", "2");
  SetRegString(t.root(), t.path("A\\B\\B\\C"), "deep", "3");
  const RegSnapshot before = Snapshot(t.root(), t.path());
  for (int flag : {0, 1}) {
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), t.root(), t.path("A\\B"), t.path("A"), flag));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), t.root(), t.path("a\\b\\"), t.path("a"), flag));
  }
  EXPECT_EQ(before, Snapshot(t.root(), t.path()));
}

class RegistryCopyFaults : public SeamTest {};

// A failure deep in the tree: the error comes back, every key the call
// created is gone, and the source and the destination's earlier keys and
// values are as they were.
TEST_F(RegistryCopyFaults, FailedCopyUndoesOnlyWhatItCreated) {
  struct Fault {
    seam::Op op;
    int nth;
    DWORD error;
  };
  const Fault faults[] = {{seam::kRegSetValue, 12, ERROR_ACCESS_DENIED},
                          {seam::kRegCreateKey, 4, ERROR_ACCESS_DENIED},
                          {seam::kRegEnumValue, 9, ERROR_MORE_DATA + 1000},
                          {seam::kRegOpenKey, 3, ERROR_FILE_NOT_FOUND}};
  for (const Fault& f : faults) {
    SCOPED_TRACE(std::to_string(f.op) + "#" + std::to_string(f.nth));
    TestKey t;
    const std::string src = t.path("src"), dst = t.path("dst");
    FillSource(t, src);
    SetRegString(t.root(), dst, "own", "kept");
    SetRegString(t.root(), dst + "\\a", "mine", "kept too");  // exists before: must stay
    const RegSnapshot source_before = Snapshot(t.root(), src);
    const RegSnapshot dest_before = Snapshot(t.root(), dst);
    Seam::Arm(f.op, f.nth, f.error);
    EXPECT_EQ(static_cast<int>(f.error), Copy(MurSeam(), t.root(), src, dst, 1));
    EXPECT_EQ(f.nth, Seam::Calls(f.op));
    EXPECT_EQ(0, Seam::LiveHandles());
    EXPECT_EQ(source_before, Snapshot(t.root(), src));
    // Values written before the failure may remain in keys that existed;
    // every key the call created is gone.
    const RegSnapshot dest_after = Snapshot(t.root(), dst);
    for (const auto& [key, values] : dest_after) EXPECT_TRUE(dest_before.count(key)) << key;
    EXPECT_EQ(Bytes(std::string("kept") + '\0'), dest_after.at("").at("own").data);
    EXPECT_EQ(Bytes(std::string("kept too") + '\0'), dest_after.at("a").at("mine").data);
  }
}

TEST_F(RegistryCopyFaults, FailedCopyIntoANewDestinationLeavesNoKey) {
  TestKey t;
  const std::string src = t.path("src"), dst = t.path("dst");
  FillSource(t, src);
  Seam::Arm(seam::kRegCreateKey, 5, ERROR_ACCESS_DENIED);
  EXPECT_EQ(ERROR_ACCESS_DENIED, Copy(MurSeam(), t.root(), src, dst, 0));
  EXPECT_FALSE(RegKeyExists(t.root(), dst));
  EXPECT_EQ(0, Seam::LiveHandles());
}

TEST_F(RegistryCopyFaults, MoveThatCannotDeleteTheSourceReportsItAndKeepsTheCopy) {
  for (int nth : {1, 3}) {
    SCOPED_TRACE(nth);
    TestKey t;
    const std::string src = t.path("src"), dst = t.path("dst");
    FillSource(t, src);
    const RegSnapshot before = Snapshot(t.root(), src);
    Seam::Arm(seam::kRegDeleteKey, nth, ERROR_ACCESS_DENIED);
    EXPECT_EQ(ERROR_ACCESS_DENIED, Copy(MurSeam(), t.root(), src, dst, 1));
    EXPECT_EQ(nth, Seam::Calls(seam::kRegDeleteKey));  // stopped at the failing key
    EXPECT_EQ(before, Snapshot(t.root(), dst));
    EXPECT_TRUE(RegKeyExists(t.root(), src));
    EXPECT_EQ(0, Seam::LiveHandles());
  }
}

TEST_F(RegistryCopyFaults, NoKeyLeftOpenOnAnyPath) {
  TestKey t;
  FillSource(t, t.path("src"));
  EXPECT_EQ(0, Copy(MurSeam(), t.root(), t.path("src"), t.path("dst"), 1));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Copy(MurSeam(), t.root(), t.path("src"), t.path("dst2"), 0));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(MurSeam(), t.root(), t.path("dst"), t.path("dst\\x"), 0));
  EXPECT_EQ(0, Seam::LiveHandles());
}

}  // namespace
}  // namespace murtest
