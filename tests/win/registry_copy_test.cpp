// MUR_CopyRegistarInfo through the real DLL, on the real registry under a key
// of the test's own: exact copies (names and data outside the code page
// included), moves, refusals of every spelling of the source, links, and
// failures that undo only what the call created. Runs in code pages 932 and
// 1252.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cwctype>
#include <set>
#include <string>

#include "support/library.h"
#include "support/race.h"
#include "support/registry.h"
#include "support/seam.h"
#include "support/tree.h"

namespace murtest {
namespace {

using CopyFn = decltype(&MUR_CopyRegistarInfo);

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

// Names and data that the system code page cannot spell, names that it would
// merge (two names with one narrow form in the active code page, found among
// a few pairs: Zoë and Zoe in 932, Āpp and App in 1252), and data that no
// narrow function passes unchanged: strings without a terminator, odd
// lengths, types the registry does not interpret.
TEST(RegistryCopy, NamesAndDataOutsideTheCodePageArriveAsStored) {
  const std::pair<std::wstring, std::wstring> pairs[] = {
      {L"\x0100pp", L"App"}, {L"Zo\x00EB", L"Zoe"}, {L"\x0141odz", L"Lodz"}, {L"\x00C5sa", L"Asa"}};
  const std::pair<std::wstring, std::wstring>* merged = nullptr;
  for (const auto& pair : pairs) {
    if (BestFitSpelling(pair.first) == BestFitSpelling(pair.second)) {
      merged = &pair;
      break;
    }
  }
  ASSERT_NE(nullptr, merged) << "no pair of names is one name in this code page";
  // Values stored byte for byte as given.
  struct Raw {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> data;
  };
  const Raw raw[] = {
      {L"NoTerminator", REG_SZ, Utf16(L"abc")},
      {L"OddString", REG_SZ, {'a', 0, 'b', 0, 'c'}},
      {L"OddExpand", REG_EXPAND_SZ, {'%', 0, 'x'}},
      {L"OpenMulti", REG_MULTI_SZ, Utf16(std::wstring(L"one\0two", 7))},
      {L"OddBinary", REG_BINARY, {1, 2, 3}},
      {L"OwnType", 0x4D5552, {0, 0, 0, 0, 0}},
      {L"None", REG_NONE, {}},
  };
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    TestKey t;
    const std::wstring src = t.wpath(L"src");
    const HKEY r = t.root();
    std::set<std::wstring> names, keys = {L""};
    const auto string = [&](const std::wstring& key, const std::wstring& name, const std::wstring& text) {
      SetRegString(r, key.empty() ? src : src + L"\\" + key, name, text);
      if (key.empty()) names.insert(name);
      keys.insert(key);
    };
    string(L"", L"InstallDir", L"C:\\Users\\Zo\x00EB\\App");
    string(L"", L"Zo\x00EB", L"with diaeresis");
    string(L"", L"Zoe", L"without");
    string(L"", merged->first, L"the first of a merged pair");
    string(L"", merged->second, L"the second of a merged pair");
    string(L"", L"\xC124\xCE58", L"\xD83D\xDE00 \x8868\x793A");  // Hangul name, emoji and kanji data
    for (const Raw& value : raw) {
      SetRegValue(r, src, value.name, value.type, value.data);
      names.insert(value.name);
    }
    string(L"\xD55C\xAE00", L"v", L"Hangul subkey");
    string(L"Zo\x00EB", L"v", L"one");
    string(L"Zoe", L"v", L"two");
    string(merged->first, L"v", L"first");
    string(merged->second, L"v", L"second");
    string(L"\xD83D\xDCE6\\\x30A2\x30D7\x30EA", L"", L"emoji, then katakana");
    keys.insert(L"\xD83D\xDCE6");
    const RegSnapshot before = Snapshot(r, src);
    // The fixture as set: every name its own, every raw value as given.
    ASSERT_EQ(keys.size(), before.size());
    ASSERT_EQ(names.size(), before.at(L"").size());
    for (const Raw& value : raw) EXPECT_EQ((RegValue{value.type, value.data}), before.at(L"").at(value.name)) << value.name;
    EXPECT_EQ(Sz(L"the first of a merged pair"), before.at(L"").at(merged->first).data);
    EXPECT_EQ(Sz(L"the second of a merged pair"), before.at(L"").at(merged->second).data);

    EXPECT_EQ(0, Copy(Mur(), r, t.path("src"), t.path("dst"), flag));
    EXPECT_EQ(before, Snapshot(r, t.wpath(L"dst")));
    EXPECT_EQ(flag == 0, RegKeyExists(r, src));
  }
}

// The paths arrive in the system code page and name the keys that the
// narrow registry functions name with them (a trail byte 0x5C included).
TEST(RegistryCopy, PathsAreReadInTheSystemCodePage) {
  const std::wstring names[] = {L"\x8868\x793A", L"\xFF71\xFF8C\xFF9F\xFF98", L"Zo\x00EB", L"\x00C4pp"};
  int spelled = 0;
  for (const std::wstring& name : names) {
    const std::optional<std::string> narrow = SystemSpelling(name);
    if (!narrow) continue;  // no spelling in this code page
    ++spelled;
    SCOPED_TRACE(*narrow);
    TestKey t;
    SetRegString(t.root(), t.wpath(name + L"\\" + name), name, name);
    EXPECT_EQ(0, Copy(Mur(), t.root(), t.path(*narrow), t.path(*narrow + "2\\" + *narrow), 1));
    EXPECT_FALSE(RegKeyExists(t.root(), t.wpath(name)));
    EXPECT_EQ(Sz(name), Snapshot(t.root(), t.wpath(name + L"2\\" + name)).at(name).at(name).data);
  }
  EXPECT_GE(spelled, 2) << "the code page spells too few of the names";
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
  EXPECT_EQ(Sz(L"from source"), d.at(L"").at(L"shared").data);
  EXPECT_EQ(Sz(L"kept"), d.at(L"").at(L"own").data);
  EXPECT_EQ(2u, d.at(L"sub").size());
}

// Destination keys that grant writing but refuse deletion (the destination
// itself and a subkey of it) are written to all the same: the copy never
// asks to delete a key that it did not create.
TEST(RegistryCopy, DestinationKeysThatMayNotBeDeletedAreWrittenTo) {
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    TestKey t;
    const HKEY r = t.root();
    SetRegString(r, t.wpath(L"src"), L"v", L"top");
    SetRegString(r, t.wpath(L"src\\a"), L"w", L"child");
    SetRegString(r, t.wpath(L"src\\a\\b"), L"x", L"grandchild");
    SetRegString(r, t.wpath(L"dst\\a"), L"own", L"kept");
    const RegSnapshot source = Snapshot(r, t.wpath(L"src"));
    {
      const RegDeletionDenied dst(r, t.wpath(L"dst")), dst_a(r, t.wpath(L"dst\\a"));
      Key key;
      ASSERT_EQ(ERROR_ACCESS_DENIED, ::RegOpenKeyExW(r, t.wpath(L"dst\\a").c_str(), 0, KEY_READ | DELETE, key.put()));
      EXPECT_EQ(0, Copy(Mur(), r, t.path("src"), t.path("dst"), flag));
    }
    RegSnapshot expected = source;
    expected[L"a"][L"own"] = {REG_SZ, Sz(L"kept")};
    EXPECT_EQ(expected, Snapshot(r, t.wpath(L"dst")));
    EXPECT_EQ(flag == 0, RegKeyExists(r, t.wpath(L"src")));
  }
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
  EXPECT_EQ((RegSnapshot{{L"", {}}}), Snapshot(t.root(), t.path("dst")));
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
  ASSERT_EQ(0, Copy(Mur(), t.root(), t.path("src"), t.path("new\\dst"), 0));
  // A non-volatile key cannot be created under a volatile one.
  for (const char* parent : {"new", "new\\dst", "new\\dst\\sub"}) {
    Key key;
    EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(t.root(), t.path(std::string(parent) + "\\child").c_str(), 0,
                                               nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                               key.put(), nullptr))
        << parent;
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

// Only an empty or null path names the root key itself, here an open key of
// the test's own handed over as the root. Any other path goes to the registry
// as it is, one made only of separators or starting with one included: the
// registry refuses those, and the copy returns its answer.
TEST(RegistryCopy, OnlyAnEmptyOrNullPathNamesTheRoot) {
  TestKey t;
  Key owned_root;
  ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(t.root(), t.wpath().c_str(), 0, KEY_ALL_ACCESS, owned_root.put()));
  const HKEY root = owned_root.get();
  SetRegString(root, L"src\\sub", L"s", L"sub");
  SetRegString(root, L"src", L"v", L"value");
  // The copy of A\B into the root would land A\B\A\B on A\B itself.
  SetRegString(root, L"A\\B\\A\\B", L"deep", L"1");
  const RegSnapshot before = Snapshot(t.root(), t.wpath());
  const auto copy = Mur().Get<CopyFn>("MUR_CopyRegistarInfo");
  // What the registry answers for a path that it refuses to open.
  const auto refusal = [root](const char* path) {
    Key key;
    const LONG result = ::RegOpenKeyExA(root, path, 0, KEY_READ, key.put());
    EXPECT_NE(ERROR_SUCCESS, result) << path;
    EXPECT_NE(ERROR_FILE_NOT_FOUND, result) << path;
    return static_cast<int>(result);
  };
  struct Case {
    const char* source;
    const char* destination;
    int expected;
  };
  const Case cases[] = {
      {"A\\B", nullptr, ERROR_INVALID_PARAMETER},
      {"A\\B", "", ERROR_INVALID_PARAMETER},
      {"A\\B", "\\", refusal("\\")},
      {"A\\B", "\\\\", refusal("\\\\")},
      {"src", "\\", refusal("\\")},
      {"src", "\\dst", refusal("\\dst")},
      {"src", "\\A", refusal("\\A")},
      {nullptr, "dst", ERROR_INVALID_PARAMETER},
      {"", "dst", ERROR_INVALID_PARAMETER},
      {"\\", "dst", refusal("\\")},
      {"\\src", "dst", refusal("\\src")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source ? c.source : "(null)") + " -> " + (c.destination ? c.destination : "(null)"));
    for (int flag : {0, 1}) {
      EXPECT_EQ(c.expected, copy(root, c.source, c.destination, flag));
      EXPECT_EQ(before, Snapshot(t.root(), t.wpath()));
    }
  }
  EXPECT_EQ(0, copy(root, "src", nullptr, 0));
  const RegSnapshot after = Snapshot(t.root(), t.wpath());
  EXPECT_EQ(Sz(L"value"), after.at(L"").at(L"v").data);
  EXPECT_EQ(Sz(L"sub"), after.at(L"sub").at(L"s").data);
}

// Other spellings of the source (or of a key inside it, existing or not)
// that the registry resolves to the same key: refused with 87 for a copy and
// a move, and nothing is touched. Each case is spelled in the code pages
// that can spell it.
TEST(RegistryCopy, EverySpellingOfTheSourceIsRefused) {
  struct Alias {
    const char* why;
    std::wstring source;       // under the test key, with a value and a subkey Sub
    std::wstring destination;  // under the test key
    std::wstring extra;        // a further key to create, when not empty
    bool link = false;         // Alias is a link to V\App
  };
  const Alias aliases[] = {
      {"doubled separator", L"V\\App", L"V\\\\App", L""},
      {"trailing separators", L"V\\App", L"V\\App\\\\", L""},
      {"doubled separator, new key inside", L"V\\App", L"V\\\\App\\\\New\\Deeper", L""},
      {"full-width letter in the other case", L"V\\\xFF21pp", L"V\\\xFF41pp", L""},
      {"full-width, new key inside", L"V\\\xFF21pp", L"v\\\xFF41PP\\New", L""},
      {"full-width, existing key inside", L"V\\\xFF21pp", L"V\\\xFF41pp\\sub", L""},
      {"accented letter in the other case", L"V\\\x00C4pp", L"V\\\x00E4pp", L""},
      {"accented, new key inside", L"V\\\x00C4pp", L"V\\\x00E4pp\\New\\Deeper", L""},
      {"full-width parent that would receive the source onto itself", L"\xFF21\\B", L"\xFF41", L"\xFF21\\B\\B"},
      {"accented parent that would receive the source onto itself", L"\x00C4\\B", L"\x00E4", L"\x00C4\\B\\B"},
      {"link to the source", L"V\\App", L"Alias", L"", true},
      {"new key inside, through a link", L"V\\App", L"Alias\\New\\Deeper", L"", true},
      {"existing key inside, through a link", L"V\\App", L"Alias\\Sub", L"", true},
  };
  std::string skipped;
  for (const Alias& a : aliases) {
    SCOPED_TRACE(a.why);
    TestKey t;
    const std::optional<std::string> source = SystemSpelling(t.wpath(a.source));
    const std::optional<std::string> destination = SystemSpelling(t.wpath(a.destination));
    if (!source || !destination) continue;  // not spelled in this code page
    SetRegString(t.root(), t.wpath(a.source), L"v", L"value");
    SetRegString(t.root(), t.wpath(a.source + L"\\Sub"), L"s", L"sub");
    if (!a.extra.empty()) SetRegString(t.root(), t.wpath(a.extra), L"e", L"extra");
    if (a.link) {
      std::string why;
      if (!CreateRegLink(t.root(), t.wpath(L"Alias"), KeyFullName(t.root(), t.wpath(a.source)), &why)) {
        skipped = why;
        continue;
      }
    }
    const RegSnapshot before = Snapshot(t.root(), t.wpath());
    for (int flag : {0, 1}) {
      EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), t.root(), *source, *destination, flag)) << flag;
      EXPECT_EQ(before, Snapshot(t.root(), t.wpath()));
    }
  }
  if (!skipped.empty()) GTEST_SKIP() << "skipped the cases through a link: " << skipped;
}

TEST(RegistryCopy, IntoTheParentIsAllowed) {
  TestKey t;
  SetRegString(t.root(), t.path("p\\child"), "v", "1");
  SetRegString(t.root(), t.path("p\\child\\grand"), "g", "2");
  EXPECT_EQ(0, Copy(Mur(), t.root(), t.path("p\\child"), t.path("p"), 0));
  const RegSnapshot p = Snapshot(t.root(), t.path("p"));
  EXPECT_EQ(Sz(L"1"), p.at(L"").at(L"v").data);
  EXPECT_EQ(Sz(L"2"), p.at(L"grand").at(L"g").data);
  EXPECT_TRUE(p.count(L"child\\grand"));
}

TEST(RegistryCopy, MoveIntoTheParentKeepsEverything) {
  TestKey t;
  SetRegString(t.root(), t.path("p\\child"), "v", "1");
  SetRegString(t.root(), t.path("p\\child\\grand"), "g", "2");
  EXPECT_EQ(0, Copy(Mur(), t.root(), t.path("p\\child"), t.path("p"), 1));
  const RegSnapshot p = Snapshot(t.root(), t.path("p"));
  EXPECT_FALSE(p.count(L"child"));
  EXPECT_EQ(Sz(L"1"), p.at(L"").at(L"v").data);
  EXPECT_EQ(Sz(L"2"), p.at(L"grand").at(L"g").data);
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
    EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), t.root(), t.path("A\\\\B"), t.path("A\\"), flag));
  }
  EXPECT_EQ(before, Snapshot(t.root(), t.path()));
}

// A 32-bit process on 64-bit Windows sees HKLM\Software through the
// redirected view: Software\X and Software\Wow6432Node\X are one key to it.
TEST(RegistryCopy, RedirectedSpellingOfTheSourceIsRefused) {
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  if (!wow64) GTEST_SKIP() << "skipped: not a 32-bit process on 64-bit Windows, where there is no redirection";
  TestKey t(HKEY_LOCAL_MACHINE, "Software");
  const std::string name = t.path().substr(std::string("Software\\").size());
  const std::string redirected = "Software\\Wow6432Node\\" + name;
  SetRegString(HKEY_LOCAL_MACHINE, t.path("X"), "v", "1");
  SetRegString(HKEY_LOCAL_MACHINE, t.path("X\\Inner"), "i", "2");
  ASSERT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, redirected + "\\X\\Inner"));
  const RegSnapshot before = Snapshot(HKEY_LOCAL_MACHINE, t.path());
  for (const std::string& dst : {redirected + "\\X", redirected + "\\X\\Inner", redirected + "\\X\\New"}) {
    SCOPED_TRACE(dst);
    for (int flag : {0, 1}) EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), HKEY_LOCAL_MACHINE, t.path("X"), dst, flag));
  }
  EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), HKEY_LOCAL_MACHINE, redirected + "\\X", t.path("X\\Inner"), 1));
  EXPECT_EQ(before, Snapshot(HKEY_LOCAL_MACHINE, t.path()));
}

// The copy follows links as the registry's own tree copy does: a link inside
// the source arrives as an ordinary key with its target's values and
// subkeys. The move deletes the link as the link: its target stays whole.
TEST(RegistryCopy, LinksAreCopiedAsTheirTargetsAndMovedAwayAsLinks) {
  TestKey t;
  const HKEY r = t.root();
  SetRegString(r, t.wpath(L"Common"), L"c", L"common");
  SetRegString(r, t.wpath(L"Common\\Inner"), L"i", L"inner");
  SetRegString(r, t.wpath(L"App"), L"a", L"app");
  SetRegString(r, t.wpath(L"App\\Own"), L"o", L"own");
  std::string why;
  if (!CreateRegLink(r, t.wpath(L"App\\Shared"), KeyFullName(r, t.wpath(L"Common")), &why))
    GTEST_SKIP() << "skipped: " << why;
  const RegSnapshot common = Snapshot(r, t.wpath(L"Common"));
  const RegSnapshot app = Snapshot(r, t.wpath(L"App"));
  ASSERT_EQ(common.at(L""), app.at(L"Shared"));

  EXPECT_EQ(0, Copy(Mur(), r, t.path("App"), t.path("Copied"), 0));
  EXPECT_EQ(app, Snapshot(r, t.wpath(L"Copied")));
  EXPECT_FALSE(IsRegLink(r, t.wpath(L"Copied\\Shared")));
  EXPECT_TRUE(IsRegLink(r, t.wpath(L"App\\Shared")));

  EXPECT_EQ(0, Copy(Mur(), r, t.path("App"), t.path("Moved"), 1));
  EXPECT_EQ(app, Snapshot(r, t.wpath(L"Moved")));
  EXPECT_FALSE(RegKeyExists(r, t.wpath(L"App")));
  EXPECT_EQ(common, Snapshot(r, t.wpath(L"Common")));

  // A source path that is itself a link: its target is copied, the link
  // alone is moved away.
  ASSERT_TRUE(CreateRegLink(r, t.wpath(L"Door"), KeyFullName(r, t.wpath(L"Common")), &why)) << why;
  EXPECT_EQ(0, Copy(Mur(), r, t.path("Door"), t.path("Through"), 1));
  EXPECT_EQ(common, Snapshot(r, t.wpath(L"Through")));
  EXPECT_FALSE(IsRegLink(r, t.wpath(L"Door")));
  EXPECT_EQ(common, Snapshot(r, t.wpath(L"Common")));
}

// How a link names its target.
enum class Spelling {
  kAsTheRegistry,  // the target's full name as the registry gives it
  kUpperCase,      // the same in upper case
  kThroughALink,   // through the link Via, made to the test key
  kChain,          // the name of the link Middle, made to the target
};

// Makes the link `link` under the test key to its key `target`, naming that
// key as `spelling` says; false (with the reason in *why) when the registry
// makes no link. The link Via or Middle it makes on the way is returned in
// *other_link (null when none).
bool LinkSpelled(const TestKey& t, const std::wstring& link, const std::wstring& target, Spelling spelling,
                 const wchar_t** other_link, std::string* why) {
  const HKEY r = t.root();
  const std::wstring here = KeyFullName(r, t.wpath());
  const std::wstring resolved = KeyFullName(r, t.wpath(target));
  std::wstring name = resolved;
  *other_link = nullptr;
  switch (spelling) {
    case Spelling::kAsTheRegistry:
      break;
    case Spelling::kUpperCase:
      for (wchar_t& unit : name) unit = static_cast<wchar_t>(std::towupper(unit));
      break;
    case Spelling::kThroughALink:
      *other_link = L"Via";
      if (!CreateRegLink(r, t.wpath(L"Via"), here, why)) return false;
      name = here + L"\\Via\\" + target;
      break;
    case Spelling::kChain:
      *other_link = L"Middle";
      if (!CreateRegLink(r, t.wpath(L"Middle"), resolved, why)) return false;
      name = here + L"\\Middle";
      break;
  }
  return CreateRegLink(r, t.wpath(link), name, why, resolved);
}

// A link inside the source to another key of it: the copy gives the link a
// copy of its target, and the move deletes the target as a key and the link
// as the link, in whichever order their names put them. A link whose target
// this very move has deleted is no change, decided by the key that the
// link's name led to, however it spells it (through another link, in
// another case), not by the spelling.
TEST(RegistryCopy, ALinkToAKeyOfTheSourceIsMovedAwayWhateverItsName) {
  struct Case {
    const char* why;
    const wchar_t* link;    // under S
    const wchar_t* target;  // under S
    Spelling spelling;
  };
  const Case cases[] = {
      {"a link named after its target", L"L", L"A", Spelling::kAsTheRegistry},
      {"a link named before its target", L"0", L"A", Spelling::kAsTheRegistry},
      {"a link to a key below another, named after it", L"L", L"A\\x", Spelling::kAsTheRegistry},
      {"a link naming its target in upper case", L"L", L"A", Spelling::kUpperCase},
      {"a link naming its target through a link outside the source", L"L", L"A", Spelling::kThroughALink},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TestKey t;
    const HKEY r = t.root();
    SetRegString(r, t.wpath(L"S\\A"), L"a", L"a");
    SetRegString(r, t.wpath(L"S\\A\\x"), L"b", L"b");
    const std::wstring link = std::wstring(L"S\\") + c.link, target = std::wstring(L"S\\") + c.target;
    const wchar_t* other_link = nullptr;
    std::string why;
    if (!LinkSpelled(t, link, target, c.spelling, &other_link, &why)) GTEST_SKIP() << "skipped: " << why;
    const RegSnapshot source = Snapshot(r, t.wpath(L"S"));
    ASSERT_EQ(Snapshot(r, t.wpath(target)), Snapshot(r, t.wpath(link)));
    EXPECT_EQ(0, Copy(Mur(), r, t.path("S"), t.path("D"), 1));
    EXPECT_EQ(source, Snapshot(r, t.wpath(L"D")));
    EXPECT_FALSE(RegKeyExists(r, t.wpath(L"S")));
    EXPECT_FALSE(IsRegLink(r, t.wpath(link)));
    if (other_link) {
      EXPECT_TRUE(IsRegLink(r, t.wpath(other_link)));
    }
  }
}

// A move of a path that ends in a link copies the key it leads to and deletes
// the link alone, however the link spells that key's name (in another case,
// through another link) and however many links it takes to get there: the
// link is accepted when the key its name leads to is the copied one. Only
// the link at the end of the path goes; the other links and the target stay.
TEST(RegistryCopy, AMoveOfAPathEndingInALinkDeletesOnlyTheLink) {
  struct Case {
    const char* why;
    Spelling spelling;
  };
  const Case cases[] = {
      {"a link naming the key as the registry does", Spelling::kAsTheRegistry},
      {"a link naming the key in upper case", Spelling::kUpperCase},
      {"a link naming the key through another link (Via)", Spelling::kThroughALink},
      {"a link to a link (Middle) to the key", Spelling::kChain},
  };
  for (const Case& c : cases) {
    for (int flag : {0, 1}) {
      SCOPED_TRACE(std::string(c.why) + (flag ? ", move" : ", copy"));
      TestKey t;
      const HKEY r = t.root();
      SetRegString(r, t.wpath(L"Target"), L"t", L"target");
      SetRegString(r, t.wpath(L"Target\\Inner"), L"i", L"inner");
      const wchar_t* other_link = nullptr;
      std::string why;
      if (!LinkSpelled(t, L"Door", L"Target", c.spelling, &other_link, &why)) GTEST_SKIP() << "skipped: " << why;
      const RegSnapshot copied = Snapshot(r, t.wpath(L"Target"));
      EXPECT_EQ(0, Copy(Mur(), r, t.path("Door"), t.path("Dst"), flag));
      EXPECT_EQ(copied, Snapshot(r, t.wpath(L"Dst")));
      EXPECT_EQ(copied, Snapshot(r, t.wpath(L"Target")));
      EXPECT_EQ(flag == 0, IsRegLink(r, t.wpath(L"Door")));
      if (other_link) {
        EXPECT_TRUE(IsRegLink(r, t.wpath(other_link)));
      }
    }
  }
}

// A link back into the source makes the tree endless: the copy fails, at
// the latest 512 levels down, and leaves nothing it made; the move deletes
// nothing.
TEST(RegistryCopy, ALinkBackIntoTheSourceFailsAndLeavesNothing) {
  TestKey t;
  const HKEY r = t.root();
  SetRegString(r, t.wpath(L"App"), L"a", L"app");
  SetRegString(r, t.wpath(L"App\\Sub"), L"s", L"sub");
  std::string why;
  if (!CreateRegLink(r, t.wpath(L"App\\Sub\\Back"), KeyFullName(r, t.wpath(L"App")), &why))
    GTEST_SKIP() << "skipped: " << why;
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    const int result = Copy(Mur(), r, t.path("App"), t.path("New\\Dst"), flag);
    EXPECT_NE(0, result);
    // Wine's registry has no depth limit of its own: the copy's bound ends it.
    if (RunningUnderWine()) {
      EXPECT_EQ(ERROR_CANT_RESOLVE_FILENAME, result);
    }
    EXPECT_FALSE(RegKeyExists(r, t.wpath(L"New")));
    EXPECT_TRUE(IsRegLink(r, t.wpath(L"App\\Sub\\Back")));
    // The tree is endless through the link: one value read through it.
    wchar_t text[16] = {};
    DWORD size = sizeof(text);
    EXPECT_EQ(ERROR_SUCCESS, ::RegGetValueW(r, t.wpath(L"App\\Sub\\Back\\Sub\\Back").c_str(), L"a",
                                            RRF_RT_REG_SZ, nullptr, text, &size));
    EXPECT_STREQ(L"app", text);
  }
}

// The copy follows links, so a dangling link inside the source is a key it
// cannot open: the copy fails with the registry's answer (2), every key it
// created is gone, and a move deletes nothing.
TEST(RegistryCopy, ADanglingLinkInsideTheSourceFailsTheCopyAndLeavesNothing) {
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    TestKey t;
    const HKEY r = t.root();
    SetRegString(r, t.wpath(L"S"), L"v", L"top");
    SetRegString(r, t.wpath(L"S\\A"), L"w", L"child");
    std::string why;
    if (!CreateRegLink(r, t.wpath(L"S\\Z"), KeyFullName(r, t.wpath()) + L"\\Missing", &why))
      GTEST_SKIP() << "skipped: " << why;
    const RegSnapshot before = Snapshot(r, t.wpath());
    Key key;
    const LONG answer = ::RegOpenKeyExW(r, t.wpath(L"S\\Z").c_str(), 0, KEY_READ, key.put());
    ASSERT_NE(ERROR_SUCCESS, answer);
    EXPECT_EQ(answer, Copy(Mur(), r, t.path("S"), t.path("New\\Dst"), flag));
    EXPECT_FALSE(RegKeyExists(r, t.wpath(L"New")));
    EXPECT_EQ(before, Snapshot(r, t.wpath()));
    EXPECT_TRUE(IsRegLink(r, t.wpath(L"S\\Z")));
  }
}

// A link inside an existing destination may lead back into the source, or,
// dangling, name a key inside it that creating it would make there: the copy
// never writes into its source, not even for a moment, and a move never
// deletes what it could not copy. Refused with 87, with the source as it was
// and nothing of the call's own left behind.
TEST(RegistryCopy, ALinkInTheDestinationNeverLeadsTheCopyIntoTheSource) {
  struct Case {
    const char* why;
    const wchar_t* link_target;  // below the source ("" the source itself)
  };
  const Case cases[] = {
      {"a link to the source", L""},
      {"a link to a key inside the source", L"\\L"},
      {"a dangling link to a missing key inside the source", L"\\New"},
  };
  for (const Case& c : cases) {
    for (int flag : {0, 1}) {
      SCOPED_TRACE(std::string(c.why) + (flag ? ", move" : ", copy"));
      TestKey t;
      const HKEY r = t.root();
      SetRegString(r, t.wpath(L"S"), L"v", L"top");
      SetRegString(r, t.wpath(L"S\\L"), L"w", L"child");
      SetRegString(r, t.wpath(L"S\\L\\K"), L"x", L"grandchild");
      SetRegString(r, t.wpath(L"D"), L"own", L"kept");
      std::string why;
      if (!CreateRegLink(r, t.wpath(L"D\\L"), KeyFullName(r, t.wpath(L"S")) + c.link_target, &why))
        GTEST_SKIP() << "skipped: " << why;
      const RegSnapshot source = Snapshot(r, t.wpath(L"S"));
      const RegChangeWatch watch(r, t.wpath(L"S"));
      EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), r, t.path("S"), t.path("D"), flag));
      EXPECT_FALSE(watch.Changed());
      EXPECT_EQ(source, Snapshot(r, t.wpath(L"S")));
      EXPECT_FALSE(RegKeyExists(r, t.wpath(L"S\\New")));
      EXPECT_TRUE(IsRegLink(r, t.wpath(L"D\\L")));
      EXPECT_EQ(Sz(L"kept"), Snapshot(r, t.wpath(L"D")).at(L"").at(L"own").data);
    }
  }
}

// A dangling link in the destination path, where the copy would create a
// key: creating through it would create the link's target, here a missing
// key inside the source or one elsewhere. Refused with 87 before anything is
// created: the source never changes, not even for a moment, and no key
// appears, at the link's target or anywhere else.
TEST(RegistryCopy, ADanglingLinkInTheDestinationPathIsRefusedBeforeAnythingIsCreated) {
  const wchar_t* const targets[] = {L"S\\New", L"Elsewhere"};  // under the test key, both missing
  const char* const destinations[] = {"D\\L", "D\\L\\Deeper", "D\\\\L\\"};
  for (const wchar_t* target : targets) {
    for (const char* destination : destinations) {
      for (int flag : {0, 1}) {
        SCOPED_TRACE(std::string(destination) + (flag ? ", move" : ", copy"));
        TestKey t;
        const HKEY r = t.root();
        SetRegString(r, t.wpath(L"S"), L"v", L"top");
        SetRegString(r, t.wpath(L"S\\K"), L"w", L"child");
        SetRegString(r, t.wpath(L"D"), L"own", L"kept");
        std::string why;
        if (!CreateRegLink(r, t.wpath(L"D\\L"), KeyFullName(r, t.wpath()) + L"\\" + target, &why))
          GTEST_SKIP() << "skipped: " << why;
        const RegSnapshot before = Snapshot(r, t.wpath());
        const RegChangeWatch watch(r, t.wpath(L"S"));
        EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(Mur(), r, t.path("S"), t.path(destination), flag));
        EXPECT_FALSE(watch.Changed());
        EXPECT_FALSE(RegKeyExists(r, t.wpath(target)));
        EXPECT_EQ(before, Snapshot(r, t.wpath()));
        EXPECT_TRUE(IsRegLink(r, t.wpath(L"D\\L")));
      }
    }
  }
}

// The registry reads a path as one counted string of at most 32,767 units;
// a longer one would be cut to a leading part that names another key. Such a
// path is refused before anything is touched.
TEST(RegistryCopy, PathsLongerThanTheRegistryReadsAreRefused) {
  TestKey t;
  const HKEY r = t.root();
  SetRegString(r, t.path("A"), "v", "parent");
  SetRegString(r, t.path("S"), "v", "source");
  const std::string overlong_source = t.path("A") + std::string(33000, '\\') + "B";  // A\B, absent
  const std::string overlong_destination = t.path("A") + std::string(33000, '\\') + "Q";
  const RegSnapshot before = Snapshot(r, t.path());
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, Copy(Mur(), r, overlong_source, t.path("Dst"), flag));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, Copy(Mur(), r, t.path("S"), overlong_destination, flag));
    EXPECT_EQ(before, Snapshot(r, t.path()));
  }
}

// A key name with a zero inside it (which only the native functions make)
// cannot be handed on as the name it is: the copy stops and is undone, and
// a move deletes nothing.
TEST(RegistryCopy, AKeyNameHoldingAZeroStopsTheCopy) {
  TestKey t;
  const HKEY r = t.root();
  SetRegString(r, t.wpath(L"S\\A"), L"v", L"plain A");
  const std::wstring raw(L"A\0B", 3);
  std::string why;
  if (!CreateRegKeyNative(r, t.wpath(L"S"), raw, &why)) GTEST_SKIP() << "skipped: " << why;
  const RegSnapshot source = Snapshot(r, t.wpath(L"S"));
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    EXPECT_EQ(ERROR_INVALID_NAME, Copy(Mur(), r, t.path("S"), t.path("D"), flag));
    EXPECT_FALSE(RegKeyExists(r, t.wpath(L"D")));
    EXPECT_EQ(source, Snapshot(r, t.wpath(L"S")));
  }
}

class RegistryCopyFaults : public SeamTest {};

// An error that means nothing to the copy: what fails with it must come back
// as it is.
constexpr DWORD kOddError = 0x4D55;

// A fault of the first call of `op` on `name`.
struct NamedFault {
  const char* why;
  seam::Op op;
  const wchar_t* name;
};

// A failure deep in the tree: the error comes back, every key the call
// created is gone, and the source and the destination's earlier keys and
// values are as they were. The destination and its subkey a exist before;
// below a, b and c are created, and so are empty and second.
TEST_F(RegistryCopyFaults, FailedCopyUndoesOnlyWhatItCreated) {
  const NamedFault faults[] = {
      {"setting the value of second, a key the call created", seam::kRegSetValue, L"x"},
      {"creating c below b, which the call created", seam::kRegCreateKey, L"c"},
      {"opening the source's a\\b (one that is refused, not one deleted since it was listed)", seam::kRegOpenKey,
       L"b"},
  };
  for (const NamedFault& f : faults) {
    SCOPED_TRACE(f.why);
    TestKey t;
    const std::string src = t.path("src"), dst = t.path("dst");
    FillSource(t, src);
    SetRegString(t.root(), dst, "own", "kept");
    SetRegString(t.root(), dst + "\\a", "mine", "kept too");  // exists before: must stay
    const RegSnapshot source_before = Snapshot(t.root(), src);
    const RegSnapshot dest_before = Snapshot(t.root(), dst);
    Seam::ArmNamed(f.op, f.name, kOddError);
    EXPECT_EQ(static_cast<int>(kOddError), Copy(MurSeam(), t.root(), src, dst, 1));
    EXPECT_GT(Seam::Calls(seam::kRegSetValue), 0) << "failed before the copy began";
    EXPECT_EQ(0, Seam::LiveHandles());
    EXPECT_EQ(source_before, Snapshot(t.root(), src));
    // Values written before the failure may remain in keys that existed;
    // every key the call created is gone.
    const RegSnapshot dest_after = Snapshot(t.root(), dst);
    for (const auto& [key, values] : dest_after) EXPECT_TRUE(dest_before.count(key)) << key;
    EXPECT_EQ(Sz(L"kept"), dest_after.at(L"").at(L"own").data);
    EXPECT_EQ(Sz(L"kept too"), dest_after.at(L"a").at(L"mine").data);
  }
}

TEST_F(RegistryCopyFaults, FailedCopyIntoANewDestinationLeavesNoKey) {
  TestKey t;
  const std::string src = t.path("src"), dst = t.path("dst");
  FillSource(t, src);
  Seam::ArmNamed(seam::kRegCreateKey, L"empty", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ERROR_ACCESS_DENIED, Copy(MurSeam(), t.root(), src, dst, 0));
  EXPECT_FALSE(RegKeyExists(t.root(), dst));
  EXPECT_EQ(0, Seam::LiveHandles());
}

// New\Deeper\Dst where New does not exist: the call creates New, Deeper and
// Dst itself before it copies. Whatever fails, none of them remains.
TEST_F(RegistryCopyFaults, FailedCopyIntoAMultiLevelNewDestinationLeavesNoKeyItMade) {
  const NamedFault faults[] = {
      {"creating Deeper", seam::kRegCreateKey, L"Deeper"},
      {"creating Dst", seam::kRegCreateKey, L"Dst"},
      {"creating a subkey of the copy", seam::kRegCreateKey, L"c"},
      {"setting a value of the top", seam::kRegSetValue, L"Path"},
      {"setting the value of the last subkey", seam::kRegSetValue, L"x"},
      {"opening a source subkey", seam::kRegOpenKey, L"b"},
  };
  for (const NamedFault& f : faults) {
    SCOPED_TRACE(f.why);
    TestKey t;
    FillSource(t, t.path("src"));
    const RegSnapshot before = Snapshot(t.root(), t.path());
    Seam::ArmNamed(f.op, f.name, kOddError);
    EXPECT_EQ(static_cast<int>(kOddError), Copy(MurSeam(), t.root(), t.path("src"), t.path("New\\Deeper\\Dst"), 1));
    EXPECT_FALSE(RegKeyExists(t.root(), t.path("New")));
    EXPECT_EQ(before, Snapshot(t.root(), t.path()));
    EXPECT_EQ(0, Seam::LiveHandles());
  }
}

// Every key and every value of `expected` is in `first` or in `second`,
// with its type and data.
void ExpectEachIn(const RegSnapshot& expected, const RegSnapshot& first, const RegSnapshot& second) {
  for (const auto& [key, values] : expected) {
    const auto in_first = first.find(key), in_second = second.find(key);
    EXPECT_TRUE(in_first != first.end() || in_second != second.end()) << "key lost: " << key;
    for (const auto& [name, value] : values) {
      const bool kept = (in_first != first.end() && in_first->second.count(name) &&
                         in_first->second.at(name) == value) ||
                        (in_second != second.end() && in_second->second.count(name) &&
                         in_second->second.at(name) == value);
      EXPECT_TRUE(kept) << "value lost: " << key << " " << name;
    }
  }
}

// Each call of the operations that act on no name (listing values and
// subkeys, asking a key's state) fails in turn, with an error that comes
// back as it is, until a run no longer reaches the armed call. A failure in
// the copy leaves nothing of the call's own; one in the move's deletion (the
// state queries there) leaves the complete copy, and nothing is lost.
TEST_F(RegistryCopyFaults, EveryFailingListingOrStateQueryIsUndoneOrKeepsTheCopy) {
  for (const seam::Op op : {seam::kRegEnumValue, seam::kRegEnumKey, seam::kRegQueryInfoKey}) {
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::to_string(op) + "#" + std::to_string(nth));
      ASSERT_LT(nth, 200) << "the move never got past the armed call";
      TestKey t;
      FillSource(t, t.path("src"));
      const RegSnapshot tree = Snapshot(t.root(), t.path());
      const RegSnapshot source = Snapshot(t.root(), t.path("src"));
      Seam::Arm(op, nth, kOddError);
      const int result = Copy(MurSeam(), t.root(), t.path("src"), t.path("New\\Deeper\\Dst"), 1);
      EXPECT_EQ(0, Seam::LiveHandles());
      if (Seam::Calls(op) < nth) {  // every call of it made: the move went through
        EXPECT_EQ(0, result);
        EXPECT_EQ(source, Snapshot(t.root(), t.path("New\\Deeper\\Dst")));
        EXPECT_FALSE(RegKeyExists(t.root(), t.path("src")));
        break;
      }
      EXPECT_EQ(static_cast<int>(kOddError), result);
      if (RegKeyExists(t.root(), t.path("New"))) {
        const RegSnapshot copy = Snapshot(t.root(), t.path("New\\Deeper\\Dst"));
        EXPECT_EQ(source, copy) << "a failed deletion keeps the whole copy";
        ExpectEachIn(source, copy, Snapshot(t.root(), t.path("src")));
      } else {
        EXPECT_EQ(tree, Snapshot(t.root(), t.path()));
      }
    }
  }
}

// Every allocation of the call fails in turn: each run returns
// ERROR_NOT_ENOUGH_MEMORY and leaves either nothing it made (a failure in
// the copy) or the complete copy (a failure in the move's deletion).
TEST_F(RegistryCopyFaults, ExhaustedMemoryIsUndoneLikeAnyFailure) {
  int nth = 1;
  for (;; ++nth) {
    SCOPED_TRACE(nth);
    ASSERT_LT(nth, 500) << "the copy never succeeded";
    TestKey t;
    FillSource(t, t.path("src"));
    const RegSnapshot tree = Snapshot(t.root(), t.path());
    const RegSnapshot source = Snapshot(t.root(), t.path("src"));
    Seam::Arm(seam::kAllocate, nth, ERROR_NOT_ENOUGH_MEMORY);
    const int result = Copy(MurSeam(), t.root(), t.path("src"), t.path("New\\Deeper\\Dst"), 1);
    EXPECT_EQ(0, Seam::LiveHandles());
    if (result == 0) {
      EXPECT_LT(Seam::Calls(seam::kAllocate), nth);
      EXPECT_EQ(source, Snapshot(t.root(), t.path("New\\Deeper\\Dst")));
      break;
    }
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, result);
    if (RegKeyExists(t.root(), t.path("New"))) {
      EXPECT_EQ(source, Snapshot(t.root(), t.path("New\\Deeper\\Dst"))) << "a failed deletion keeps the whole copy";
    } else {
      EXPECT_EQ(tree, Snapshot(t.root(), t.path()));
    }
  }
  EXPECT_GT(nth, 5);
}

// Where the native key query does not know the name class (older systems
// answer ERROR_INVALID_PARAMETER), the object's name decides the same:
// each name query of the call (the source's, the destination's, and one
// for each key the copy writes to) answers so in turn.
TEST_F(RegistryCopyFaults, KeyNamesFromTheObjectNameDecideTheSame) {
  struct Case {
    const char* source;
    const char* destination;
    int expected;
  };
  const Case cases[] = {
      {"p\\child", "p", 0},
      {"p\\child", "New\\Deeper", 0},
      {"p\\child", "p\\\\child\\\\New", ERROR_INVALID_PARAMETER},
      {"A\\B", "a", ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::string(c.destination) + " #" + std::to_string(nth));
      ASSERT_LT(nth, 50);
      TestKey t;
      SetRegString(t.root(), t.path("p\\child"), "v", "1");
      SetRegString(t.root(), t.path("A\\B\\B"), "b", "2");
      const RegSnapshot source = Snapshot(t.root(), t.path(c.source));
      const RegSnapshot before = Snapshot(t.root(), t.path());
      Seam::Arm(seam::kRegQueryKeyName, nth, ERROR_INVALID_PARAMETER);
      EXPECT_EQ(c.expected, Copy(MurSeam(), t.root(), t.path(c.source), t.path(c.destination), 0));
      EXPECT_EQ(0, Seam::LiveHandles());
      if (c.expected == 0) {
        RegSnapshot copied = Snapshot(t.root(), t.path(c.destination));
        for (const auto& [key, values] : source) EXPECT_EQ(values, copied[key]) << key;
      } else {
        EXPECT_EQ(before, Snapshot(t.root(), t.path()));
      }
      if (Seam::Calls(seam::kRegQueryKeyName) < nth) {
        EXPECT_GE(nth, 3) << "the source's and the destination's names are always asked";
        break;
      }
    }
  }
}

// A failure in the move's deletion: a key that cannot be deleted, or a watch
// on the values of a key whose subkeys are to be deleted first that cannot be
// made (its event, its watch), each in turn. The deletion stops there with
// the error, and the complete copy stays.
TEST_F(RegistryCopyFaults, MoveThatCannotDeleteTheSourceReportsItAndKeepsTheCopy) {
  for (const seam::Op op : {seam::kRegDeleteKey, seam::kRegWatchValues}) {
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::to_string(op) + "#" + std::to_string(nth));
      ASSERT_LT(nth, 50);
      TestKey t;
      const std::string src = t.path("src"), dst = t.path("dst");
      FillSource(t, src);
      const RegSnapshot before = Snapshot(t.root(), src);
      Seam::Arm(op, nth, ERROR_ACCESS_DENIED);
      const int result = Copy(MurSeam(), t.root(), src, dst, 1);
      EXPECT_EQ(before, Snapshot(t.root(), dst));
      EXPECT_EQ(0, Seam::LiveHandles());
      if (Seam::Calls(op) < nth) {
        EXPECT_EQ(0, result);
        EXPECT_GT(nth, 2);
        break;
      }
      EXPECT_EQ(ERROR_ACCESS_DENIED, result);
      EXPECT_EQ(nth, Seam::Calls(op));  // stopped at the failing key
      EXPECT_TRUE(RegKeyExists(t.root(), src));
      ExpectEachIn(before, Snapshot(t.root(), dst), Snapshot(t.root(), src));
    }
  }
}

// A source that may be read but not deleted is copied whole and then left
// whole: not one of its subkeys is deleted before the denial is reported.
TEST_F(RegistryCopyFaults, MoveOfASourceThatMayNotBeDeletedDeletesNothing) {
  TestKey t;
  const std::string src = t.path("src"), dst = t.path("dst");
  FillSource(t, src);
  const RegSnapshot before = Snapshot(t.root(), src);
  // The move's first open of the source asks to delete it.
  Seam::ArmNamed(seam::kRegOpenKey, L"src", ERROR_ACCESS_DENIED);
  EXPECT_EQ(ERROR_ACCESS_DENIED, Copy(MurSeam(), t.root(), src, dst, 1));
  EXPECT_EQ(0, Seam::Calls(seam::kRegDeleteKey));
  EXPECT_EQ(before, Snapshot(t.root(), src));
  EXPECT_EQ(before, Snapshot(t.root(), dst));
  EXPECT_EQ(0, Seam::LiveHandles());
}

// A move through a link whose target cannot be read: the error comes back
// and nothing is touched. The link's target is read once, there.
TEST_F(RegistryCopyFaults, MoveThroughALinkThatCannotBeReadTouchesNothing) {
  TestKey t;
  const HKEY r = t.root();
  SetRegString(r, t.wpath(L"Target"), L"t", L"target");
  std::string why;
  if (!CreateRegLink(r, t.wpath(L"Door"), KeyFullName(r, t.wpath(L"Target")), &why)) GTEST_SKIP() << "skipped: " << why;
  const RegSnapshot before = Snapshot(r, t.wpath());
  Seam::Arm(seam::kRegQueryLinkTarget, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(ERROR_ACCESS_DENIED, Copy(MurSeam(), r, t.path("Door"), t.path("Dst"), 1));
  EXPECT_EQ(1, Seam::Calls(seam::kRegQueryLinkTarget));
  EXPECT_EQ(before, Snapshot(r, t.wpath()));
  EXPECT_TRUE(IsRegLink(r, t.wpath(L"Door")));
  EXPECT_EQ(0, Seam::LiveHandles());
}

TEST_F(RegistryCopyFaults, NoKeyLeftOpenOnAnyPath) {
  TestKey t;
  FillSource(t, t.path("src"));
  EXPECT_EQ(0, Copy(MurSeam(), t.root(), t.path("src"), t.path("dst"), 1));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, Copy(MurSeam(), t.root(), t.path("src"), t.path("dst2"), 0));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(MurSeam(), t.root(), t.path("dst"), t.path("dst\\x"), 0));
  EXPECT_EQ(0, Copy(MurSeam(), t.root(), t.path("dst"), t.path("a\\b\\c"), 0));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, Copy(MurSeam(), t.root(), t.path("dst"), t.path("DST\\\\a"), 1));
  EXPECT_EQ(0, Seam::LiveHandles());
}

class RegistryCopyRace : public SeamTest {};

// MUR_CopyRegistarInfo of `lib`, resolved on the test's thread for a call on
// another.
CopyFn CopyExport(const Library& lib) { return lib.Get<CopyFn>("MUR_CopyRegistarInfo"); }

// While the copy is held at its creation of Deeper, the second key of its
// new destination New\Deeper\Dst, someone else makes Deeper, granting
// writing but refusing deletion. The copy opens it without deletion and goes
// on; it is not the call's own key, and it stays after the copy as it was
// made.
TEST_F(RegistryCopyRace, AKeyMadeMeanwhileThatMayNotBeDeletedIsWrittenTo) {
  TestKey t;
  const HKEY r = t.root();
  SetRegString(r, t.wpath(L"src"), L"v", L"top");
  SetRegString(r, t.wpath(L"src\\a"), L"w", L"child");
  const RegSnapshot source = Snapshot(r, t.wpath(L"src"));
  const CopyFn copy = CopyExport(MurSeam());
  const std::string src = t.path("src"), dst = t.path("New\\Deeper\\Dst");
  int result = -1;
  {
    HeldCall call(seam::kRegCreateKey, L"Deeper", [&] { result = copy(r, src.c_str(), dst.c_str(), 0); });
    ASSERT_TRUE(call.Held()) << "the copy never came to create Deeper";
    ASSERT_TRUE(RegKeyExists(r, t.wpath(L"New")));
    SetRegString(r, t.wpath(L"New\\Deeper"), L"made", L"meanwhile");
    const RegDeletionDenied deeper(r, t.wpath(L"New\\Deeper"));
    call.Finish();
  }
  EXPECT_EQ(0, result);
  EXPECT_EQ(source, Snapshot(r, t.wpath(L"New\\Deeper\\Dst")));
  EXPECT_EQ(Sz(L"meanwhile"), Snapshot(r, t.wpath(L"New\\Deeper")).at(L"").at(L"made").data);
  EXPECT_EQ(0, Seam::LiveHandles());
}

// While the move is held at its second open of the source path, the link
// that the path ended in is replaced by an ordinary key with a tree of its
// own. The move acts only on what it opened first: the key now at the path
// is neither copied nor deleted, the link's target stays whole, and nothing
// is created.
TEST_F(RegistryCopyRace, ASourcePathSwappedBetweenItsOpensIsNeverDeleted) {
  TestKey t;
  const HKEY r = t.root();
  SetRegString(r, t.wpath(L"Target"), L"t", L"target");
  SetRegString(r, t.wpath(L"Target\\Inner"), L"i", L"inner");
  std::string why;
  if (!CreateRegLink(r, t.wpath(L"S"), KeyFullName(r, t.wpath(L"Target")), &why)) GTEST_SKIP() << "skipped: " << why;
  const RegSnapshot target = Snapshot(r, t.wpath(L"Target"));
  const CopyFn copy = CopyExport(MurSeam());
  const std::string src = t.path("S"), dst = t.path("Dst");
  int result = -1;
  RegSnapshot swapped;
  {
    // The path's first open takes the link as itself; the second follows it.
    HeldCall call(seam::kRegOpenKey, 2, [&] { result = copy(r, src.c_str(), dst.c_str(), 1); });
    ASSERT_TRUE(call.Held()) << "the move never came to its second open";
    DeleteRegTree(r, t.wpath(L"S"));
    SetRegString(r, t.wpath(L"S"), L"swapped", L"in");
    SetRegString(r, t.wpath(L"S\\Child"), L"c", L"child");
    swapped = Snapshot(r, t.wpath(L"S"));
  }
  ASSERT_EQ(2u, swapped.size());

  // The link opened first is gone: asked its name it answers that it was
  // deleted, or (where the registry still names it) it names the key now at
  // the path, which is no link to what the copy would read.
  EXPECT_TRUE(result == ERROR_KEY_DELETED || result == ERROR_INVALID_PARAMETER) << result;
  EXPECT_EQ(swapped, Snapshot(r, t.wpath(L"S")));
  EXPECT_EQ(target, Snapshot(r, t.wpath(L"Target")));
  EXPECT_FALSE(RegKeyExists(r, t.wpath(L"Dst")));
  EXPECT_EQ(0, Seam::LiveHandles());
}

// The source of the races below, under the test key's S: two values, 20
// subkeys k00 to k19 with a value each (k03 with a subkey of its own) and a
// subkey "values" with 200 values. Every key is read, copied and deleted in
// the order of its name.
void FillChangingSource(const TestKey& t) {
  const HKEY r = t.root();
  SetRegString(r, t.wpath(L"S"), L"a", L"top a");
  SetRegString(r, t.wpath(L"S"), L"b", L"top b");
  for (int k = 0; k < 20; ++k) {
    const std::wstring name = (k < 10 ? L"k0" : L"k") + std::to_wstring(k);
    SetRegString(r, t.wpath(L"S\\" + name), L"x", name);
  }
  SetRegString(r, t.wpath(L"S\\k03\\inner"), L"y", L"inner");
  Key values;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(r, t.wpath(L"S\\values").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, values.put(), nullptr));
  for (int v = 0; v < 200; ++v) {
    wchar_t name[8];
    std::swprintf(name, 8, L"v%03d", v);
    const std::vector<BYTE> data = Sz(name);
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(values.get(), name, 0, REG_SZ, data.data(), DWORD(data.size())));
  }
}

// What stayed in the source for the whole call: the keys and values of
// `before` that `after` holds alike.
RegSnapshot Stayed(const RegSnapshot& before, const RegSnapshot& after) {
  RegSnapshot stayed;
  for (const auto& [key, values] : before) {
    const auto now = after.find(key);
    if (now == after.end()) continue;
    auto& kept = stayed[key];
    for (const auto& [name, value] : values)
      if (now->second.count(name) && now->second.at(name) == value) kept[name] = value;
  }
  return stayed;
}

// Another party changes the source while the copy reads it, or while a move
// deletes it: it deletes keys and values the copy has read, adds a subkey or a
// value or changes a value's data where the copy has passed, or, during the
// deletion, sets a value or adds a subkey on a key whose subkeys are being
// deleted. A copy loses nothing that stayed in the source the whole call (no
// change shifts a key or value out of the reading), and returns 0. A move
// loses nothing at all: every key and value is in the destination or still in
// the source. It deletes only what it copied, as it was when copied; a key
// that changed since stays, with the keys above it, and the move answers
// ERROR_RETRY, unless the change fell inside the key's reading, which then
// read it again. The change is made while the call is held before one call: on
// a name (creating D\k09, once k00 to k08 are copied; writing v100, once v000
// to v099 are), or by its number (the deletion's first watch, made once the
// copy is complete, is the second call of its kind after the watch's event;
// its second key deletion comes once k00 went).
TEST_F(RegistryCopyRace, ChangesMadeMeanwhileLoseNothing) {
  enum class Change {
    kDeleteCopiedKeys,
    kDeleteCopiedValues,
    kDeleteKeyBeingRead,
    kAddSubkeys,
    kAddValue,
    kChangeValue,
    kDeleteSource,
    kSetTopValue,
    kAddTopSubkey
  };
  struct Case {
    const char* why;
    Change change;
    seam::Op held;
    const wchar_t* name;  // the call held on, or null: call number `nth` of `held`
    int nth;
    bool copies;  // also run as a plain copy (a change during the deletion is a move's only)
    DWORD moved;  // what the move returns
    bool unread_deleted = false;  // the change deletes what the call has not read: only that is lost
  };
  const Case cases[] = {
      {"subkeys already copied deleted", Change::kDeleteCopiedKeys, seam::kRegCreateKey, L"k09", 0, true,
       ERROR_RETRY},
      {"values already copied deleted while their key is read", Change::kDeleteCopiedValues, seam::kRegSetValue,
       L"v100", 0, true, 0},
      {"a key deleted while it is read", Change::kDeleteKeyBeingRead, seam::kRegSetValue, L"v100", 0, true,
       ERROR_RETRY, true},
      {"a subkey added to a key already copied, and one beside them", Change::kAddSubkeys, seam::kRegCreateKey,
       L"k09", 0, true, ERROR_RETRY},
      {"a value added to a key already copied", Change::kAddValue, seam::kRegCreateKey, L"k09", 0, true,
       ERROR_RETRY},
      {"the data of a value of a key already copied changed, counts unchanged", Change::kChangeValue,
       seam::kRegCreateKey, L"k09", 0, true, ERROR_RETRY},
      {"the whole source deleted once copied", Change::kDeleteSource, seam::kRegWatchValues, nullptr, 2, false,
       ERROR_RETRY},
      {"a value set on the top while its subkeys are deleted", Change::kSetTopValue, seam::kRegDeleteKey, nullptr,
       2, false, ERROR_RETRY},
      {"a subkey added to the top while its subkeys are deleted", Change::kAddTopSubkey, seam::kRegDeleteKey,
       nullptr, 2, false, ERROR_RETRY},
  };
  const CopyFn copy = CopyExport(MurSeam());
  for (const Case& c : cases) {
    for (int flag : {0, 1}) {
      if (flag == 0 && !c.copies) continue;
      SCOPED_TRACE(std::string(c.why) + (flag ? ", move" : ", copy"));
      Seam::Reset();
      TestKey t;
      const HKEY r = t.root();
      ASSERT_NO_FATAL_FAILURE(FillChangingSource(t));
      const std::wstring source = t.wpath(L"S");
      const std::string src = t.path("S"), dst = t.path("D");
      const RegSnapshot before = Snapshot(r, source);
      int result = -1;
      RegSnapshot meanwhile;
      {
        const auto body = [&] { result = copy(r, src.c_str(), dst.c_str(), flag); };
        HeldCall call = c.name ? HeldCall(c.held, c.name, body) : HeldCall(c.held, c.nth, body);
        ASSERT_TRUE(call.Held()) << "the call never came where the change is to be made";
        const RegSnapshot copied = Snapshot(r, t.wpath(L"D"));
        switch (c.change) {
          case Change::kDeleteCopiedKeys:
            for (const auto& [key, values] : copied)
              if (!key.empty() && key.find(L'\\') == std::wstring::npos) DeleteRegTree(r, source + L"\\" + key);
            break;
          case Change::kDeleteCopiedValues: {
            Key key;
            ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(r, (source + L"\\values").c_str(), 0, KEY_SET_VALUE, key.put()));
            for (const auto& [name, value] : copied.at(L"values")) ::RegDeleteValueW(key.get(), name.c_str());
            break;
          }
          case Change::kDeleteKeyBeingRead:
            DeleteRegTree(r, source + L"\\values");
            break;
          case Change::kAddSubkeys:
            SetRegString(r, source + L"\\k00\\late", L"z", L"late subkey");
            SetRegString(r, source + L"\\zz", L"z", L"late beside");
            break;
          case Change::kAddValue:
            SetRegString(r, source + L"\\k00", L"late", L"late value");
            break;
          case Change::kChangeValue:
            SetRegString(r, source + L"\\k00", L"x", L"changed");
            break;
          case Change::kDeleteSource:
            DeleteRegTree(r, source);
            break;
          case Change::kSetTopValue:
            SetRegString(r, source, L"late", L"late value");
            break;
          case Change::kAddTopSubkey:
            SetRegString(r, source + L"\\zz", L"z", L"late subkey");
            break;
        }
        meanwhile = Snapshot(r, source);
      }
      ASSERT_NE(before, meanwhile);

      const RegSnapshot destination = Snapshot(r, t.wpath(L"D"));
      const RegSnapshot after = Snapshot(r, source);
      if (flag == 0) {
        EXPECT_EQ(0, result);
        EXPECT_EQ(meanwhile, after);
        ExpectEachIn(Stayed(before, meanwhile), destination, RegSnapshot());
      } else {
        EXPECT_EQ(static_cast<int>(c.moved), result);
        if (c.moved == 0) {
          EXPECT_TRUE(after.empty());
        }
        if (!c.unread_deleted) {
          ExpectEachIn(before, destination, after);
        }
        ExpectEachIn(meanwhile, destination, after);
      }
      EXPECT_EQ(0, Seam::LiveHandles());
    }
  }
}

// A source key that changes every time the copy reads it: held as it writes
// each reading's value v1 (before it asks the key's state again), the key
// gets a new value. Read again and again, then given up: the call answers
// ERROR_RETRY, leaves no key of its own, and a move deletes nothing.
TEST_F(RegistryCopyRace, ASourceKeyThatNeverHoldsStillIsGivenUp) {
  const CopyFn copy = CopyExport(MurSeam());
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    Seam::Reset();
    TestKey t;
    const HKEY r = t.root();
    SetRegString(r, t.wpath(L"S"), L"v0", L"zero");
    SetRegString(r, t.wpath(L"S"), L"v1", L"one");
    SetRegString(r, t.wpath(L"S\\sub"), L"s", L"sub");
    const std::string src = t.path("S"), dst = t.path("New\\D");
    int result = -1;
    int changes = 0;
    {
      HeldCall call(seam::kRegSetValue, L"v1", [&] { result = copy(r, src.c_str(), dst.c_str(), flag); });
      while (changes < 100 && call.Held()) {
        SetRegValue(r, t.wpath(L"S"), L"tick", REG_DWORD, Dword(DWORD(++changes)));
        call.HoldAgain(seam::kRegSetValue, L"v1");
        call.Release();
      }
    }
    EXPECT_EQ(ERROR_RETRY, result);
    EXPECT_GE(changes, 2) << "the key was never read again";
    EXPECT_LT(changes, 100) << "the copy never gave up";
    EXPECT_FALSE(RegKeyExists(r, t.wpath(L"New")));
    const RegSnapshot after = Snapshot(r, t.wpath(L"S"));
    EXPECT_EQ(Sz(L"zero"), after.at(L"").at(L"v0").data);
    EXPECT_EQ(Sz(L"sub"), after.at(L"sub").at(L"s").data);
    EXPECT_EQ(0, Seam::LiveHandles());
  }
}

// The registry's clock moves in ticks (about 15.6 ms on Windows), and a
// change within the tick of a key's last write leaves the key's state (its
// counts and last-write time) as it was. So the copy reads a key only once
// the clock has passed its last write, and waits for that when it must:
// every later change then shows. Wine's clock is finer than any tick, so the
// seam stands in a clock that moves in ticks, a tick beginning only where
// the copy waits for the clock: a change made without such a wait lands in
// the tick in which the source was written. Unseen, the changes below would
// shift a value out of the reading (b, which stays, missed), leave old data
// in the copy, or let the move delete a value it never copied. What this
// cannot show is the real clock's ticks, which come whether or not the copy
// waits; how long the copy waits for one is bounded, not tested here.
TEST_F(RegistryCopyRace, ChangesWithinOneTickOfTheClockAreSeen) {
  enum class Change { kShiftValues, kChangeReadValue, kChangeValueOfAKeyRead };
  struct Case {
    const char* why;
    Change change;
    seam::Op held;
    const wchar_t* name;  // the change is made while the call is held at this call
    bool within_reading;  // the change falls inside K's reading, which is then read again
    DWORD copied;
    DWORD moved;
  };
  const Case cases[] = {
      {"a value before the one being read deleted and one added after it, counts unchanged",
       Change::kShiftValues, seam::kRegSetValue, L"a", true, 0, 0},
      {"the data of a value read changed while its key is read", Change::kChangeReadValue, seam::kRegSetValue,
       L"b", true, 0, 0},
      {"the data of a value changed once its key was read", Change::kChangeValueOfAKeyRead, seam::kRegCreateKey,
       L"L", false, 0, ERROR_RETRY},
  };
  const CopyFn copy = CopyExport(MurSeam());
  for (const Case& c : cases) {
    for (int flag : {0, 1}) {
      SCOPED_TRACE(std::string(c.why) + (flag ? ", move" : ", copy"));
      Seam::Reset();
      Seam::CoarseClock(seam::kRegWaitForClock);  // the source is written in its first tick
      TestKey t;
      const HKEY r = t.root();
      const std::wstring source = t.wpath(L"S");
      SetRegString(r, source + L"\\K", L"a", L"a");
      SetRegString(r, source + L"\\K", L"b", L"b");
      SetRegString(r, source + L"\\K", L"c", L"c");
      SetRegString(r, source + L"\\L", L"x", L"x");
      const RegSnapshot before = Snapshot(r, source);
      const std::string src = t.path("S"), dst = t.path("D");
      int result = -1;
      RegSnapshot meanwhile;
      {
        HeldCall call(c.held, c.name, [&] { result = copy(r, src.c_str(), dst.c_str(), flag); });
        ASSERT_TRUE(call.Held()) << "the call never came where the change is to be made";
        Key k;
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(r, (source + L"\\K").c_str(), 0, KEY_SET_VALUE, k.put()));
        switch (c.change) {
          case Change::kShiftValues:  // K now holds b, c, d: index 1 is c
            ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteValueW(k.get(), L"a"));
            SetRegString(r, source + L"\\K", L"d", L"d");
            break;
          case Change::kChangeReadValue:
          case Change::kChangeValueOfAKeyRead:
            SetRegString(r, source + L"\\K", L"a", L"a, changed");
            break;
        }
        meanwhile = Snapshot(r, source);
      }
      ASSERT_EQ(before.at(L"K").size(), meanwhile.at(L"K").size()) << "the counts must not change";
      const RegSnapshot destination = Snapshot(r, t.wpath(L"D"));
      const RegSnapshot after = Snapshot(r, source);
      if (flag == 0) {
        EXPECT_EQ(static_cast<int>(c.copied), result);
        ExpectEachIn(Stayed(before, meanwhile), destination, RegSnapshot());
        if (c.within_reading) {
          ExpectEachIn(meanwhile, destination, RegSnapshot());
        }
      } else {
        EXPECT_EQ(static_cast<int>(c.moved), result);
        ExpectEachIn(meanwhile, destination, after);
      }
      EXPECT_EQ(0, Seam::LiveHandles());
    }
  }
}

// While the copy writes the values of S\k (held as it is about to write b,
// which it has read), someone deletes a key. The destination's D\k: the copy cannot be
// finished; it fails with ERROR_KEY_DELETED and leaves nothing of its own,
// and a move deletes nothing. The source's S\k (with S\k\deep): it is not
// copied, and the destination key this call made for it goes again (one
// that existed keeps what was written to it); the rest is copied, and a move
// answers that the source changed.
TEST_F(RegistryCopyRace, AKeyDeletedWhileItsValuesAreWritten) {
  struct Case {
    const char* why;
    bool source_side;       // S\k deleted, else D\k
    bool destination_there;  // D\k exists before the call, with a value of its own
    DWORD copied;
    DWORD moved;
  };
  const Case cases[] = {
      {"the destination key, made by the call", false, false, ERROR_KEY_DELETED, ERROR_KEY_DELETED},
      {"the source key, its destination key made by the call", true, false, 0, ERROR_RETRY},
      {"the source key, its destination key there before", true, true, 0, ERROR_RETRY},
  };
  const CopyFn copy = CopyExport(MurSeam());
  for (const Case& c : cases) {
    for (int flag : {0, 1}) {
      SCOPED_TRACE(std::string(c.why) + (flag ? ", move" : ", copy"));
      Seam::Reset();
      TestKey t;
      const HKEY r = t.root();
      const std::wstring source = t.wpath(L"S"), destination = t.wpath(L"D");
      SetRegString(r, source, L"top", L"top");
      SetRegString(r, source + L"\\k", L"a", L"a");
      SetRegString(r, source + L"\\k", L"b", L"b");
      SetRegString(r, source + L"\\k\\deep", L"c", L"c");
      SetRegString(r, source + L"\\m", L"d", L"d");
      if (c.destination_there) SetRegString(r, destination + L"\\k", L"own", L"own");
      const RegSnapshot before = Snapshot(r, source);
      const RegSnapshot destination_before = Snapshot(r, destination);
      const std::string src = t.path("S"), dst = t.path("D");
      int result = -1;
      RegSnapshot meanwhile;
      {
        HeldCall call(seam::kRegSetValue, L"b", [&] { result = copy(r, src.c_str(), dst.c_str(), flag); });
        ASSERT_TRUE(call.Held()) << "the call never came to write b";
        ASSERT_TRUE(RegKeyExists(r, destination + L"\\k"));
        DeleteRegTree(r, (c.source_side ? source : destination) + L"\\k");
        meanwhile = Snapshot(r, source);
      }
      const RegSnapshot after = Snapshot(r, source);
      const RegSnapshot copied = Snapshot(r, destination);
      EXPECT_EQ(static_cast<int>(flag ? c.moved : c.copied), result);
      if (!c.source_side) {
        EXPECT_EQ(before, after);
        EXPECT_EQ(destination_before, copied);
      } else {
        RegSnapshot expected{{L"", {{L"top", {REG_SZ, Sz(L"top")}}}}, {L"m", {{L"d", {REG_SZ, Sz(L"d")}}}}};
        if (c.destination_there)
          expected[L"k"] = {{L"own", {REG_SZ, Sz(L"own")}}, {L"a", {REG_SZ, Sz(L"a")}}, {L"b", {REG_SZ, Sz(L"b")}}};
        EXPECT_EQ(expected, copied);
        if (flag == 0) {
          EXPECT_EQ(meanwhile, after);
        } else {
          ExpectEachIn(meanwhile, copied, after);
        }
      }
      EXPECT_EQ(0, Seam::LiveHandles());
    }
  }
}

// A subkey added to a key of the source just before the move deletes it,
// once the move found the key as the copy read it: the registry refuses to
// delete a key that has a subkey, and the key stays, with the keys above it,
// and the move answers that the source changed. The move is held at its
// first key deletion (k itself, which has no subkeys), or its second (k,
// once k\deep went).
TEST_F(RegistryCopyRace, ASubkeyAddedJustBeforeADeletionKeepsTheKey) {
  struct Case {
    const char* why;
    bool deep;  // k holds k\deep
    int deletion;
  };
  const Case cases[] = {
      {"a key without subkeys", false, 1},
      {"a key whose subkeys the move deleted", true, 2},
  };
  const CopyFn copy = CopyExport(MurSeam());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    Seam::Reset();
    TestKey t;
    const HKEY r = t.root();
    const std::wstring source = t.wpath(L"S");
    SetRegString(r, source, L"top", L"top");
    SetRegString(r, source + L"\\k", L"a", L"a");
    if (c.deep) SetRegString(r, source + L"\\k\\deep", L"b", L"b");
    const RegSnapshot before = Snapshot(r, source);
    const std::string src = t.path("S"), dst = t.path("D");
    int result = -1;
    {
      HeldCall call(seam::kRegDeleteKey, c.deletion, [&] { result = copy(r, src.c_str(), dst.c_str(), 1); });
      ASSERT_TRUE(call.Held()) << "the move never came to delete k";
      SetRegString(r, source + L"\\k\\late", L"z", L"late");
    }
    EXPECT_EQ(ERROR_RETRY, result);
    EXPECT_EQ(before, Snapshot(r, t.wpath(L"D")));
    const RegSnapshot after = Snapshot(r, source);
    EXPECT_EQ(Sz(L"late"), after.at(L"k\\late").at(L"z").data);
    ExpectEachIn(before, Snapshot(r, t.wpath(L"D")), after);
    EXPECT_EQ(0, Seam::LiveHandles());
  }
}

// The shipped library under changes made while it runs, timed by watching
// the destination: the source holds 600 subkeys of 10 values each, and once
// D\k0100 exists, another thread deletes the 100 subkeys already copied
// (k0000 to k0099), or adds a subkey and a value to one already copied. The
// copy loses nothing that stayed; the move loses nothing at all, and answers
// that the source changed. A change that came after the call had copied
// everything shows nothing: the run is made again, a few times at most.
TEST(RegistryCopyWatchedRace, TheShippedLibraryLosesNothingWhileTheSourceChanges) {
  enum class Change { kDeleteCopiedKeys, kAddToACopiedKey };
  struct Case {
    const char* why;
    Change change;
    int flag;
    DWORD expected;
  };
  const Case cases[] = {
      {"subkeys already copied deleted, copy", Change::kDeleteCopiedKeys, 0, 0},
      {"subkeys already copied deleted, move", Change::kDeleteCopiedKeys, 1, ERROR_RETRY},
      {"a subkey and a value added to a key already copied, copy", Change::kAddToACopiedKey, 0, 0},
      {"a subkey and a value added to a key already copied, move", Change::kAddToACopiedKey, 1, ERROR_RETRY},
  };
  const CopyFn copy = CopyExport(Mur());
  const auto key_name = [](int k) {
    wchar_t name[8];
    std::swprintf(name, 8, L"k%04d", k);
    return std::wstring(name);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    bool in_time = false;
    for (int run = 0; run < 3 && !in_time; ++run) {
      TestKey t;
      const HKEY r = t.root();
      const std::wstring source = t.wpath(L"S"), destination = t.wpath(L"D");
      for (int k = 0; k < 600; ++k) {
        Key key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(r, (source + L"\\" + key_name(k)).c_str(), 0, nullptr, 0,
                                                   KEY_SET_VALUE, nullptr, key.put(), nullptr));
        for (int v = 0; v < 10; ++v) {
          const std::vector<BYTE> data = Sz(key_name(k) + L"." + std::to_wstring(v));
          ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.get(), (L"v" + std::to_wstring(v)).c_str(), 0, REG_SZ,
                                                    data.data(), DWORD(data.size())));
        }
      }
      const RegSnapshot before = Snapshot(r, source);
      const std::string src = t.path("S"), dst = t.path("D");
      std::atomic<bool> done{false};
      int result = -1;
      RegSnapshot meanwhile;
      {
        Background call([&] {
          result = copy(r, src.c_str(), dst.c_str(), c.flag);
          done = true;
        });
        ASSERT_TRUE(WaitUntil([&] { return done || RegKeyExists(r, destination + L"\\k0100"); }));
        switch (c.change) {
          case Change::kDeleteCopiedKeys:
            for (int k = 0; k < 100; ++k) DeleteRegTree(r, source + L"\\" + key_name(k));
            break;
          case Change::kAddToACopiedKey:
            SetRegString(r, source + L"\\k0050\\late", L"z", L"late subkey");
            SetRegString(r, source + L"\\k0050", L"late", L"late value");
            break;
        }
        in_time = !done;
        meanwhile = Snapshot(r, source);
      }
      if (!in_time) continue;
      const RegSnapshot copied = Snapshot(r, destination);
      const RegSnapshot after = Snapshot(r, source);
      EXPECT_EQ(static_cast<int>(c.expected), result);
      if (c.flag == 0) {
        EXPECT_EQ(meanwhile, after);
        ExpectEachIn(Stayed(before, meanwhile), copied, RegSnapshot());
      } else {
        ExpectEachIn(before, copied, after);
        ExpectEachIn(meanwhile, copied, after);
      }
    }
    EXPECT_TRUE(in_time) << "the change never landed while the call ran";
  }
}

}  // namespace
}  // namespace murtest
