// Registry key paths as the registry reads them, and full key names compared
// as it compares them: the decisions behind the copy's refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "maintenance/key_paths.h"
#include "support/exhausted_memory.h"

namespace {

using mur::maintenance::AppendComponents;
using mur::maintenance::KeyPathComponents;
using mur::maintenance::KeyRelation;
using mur::maintenance::Relate;

// A stand-in for the registry's upper-case table, with the letters the tests
// use: ASCII, the full-width Latin letters and a few accented ones.
wchar_t Upcase(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<wchar_t>(c - 0xFF41 + 0xFF21);
  if (c == 0x00EB || c == 0x00E4) return static_cast<wchar_t>(c - 0x20);  // ë, ä
  return c;
}

// Folds nothing: what a comparison of spellings sees.
wchar_t Exact(wchar_t c) { return c; }

std::vector<std::wstring> Components(std::wstring_view path) {
  std::vector<std::wstring> parts;
  KeyPathComponents reader(path);
  std::wstring_view part;
  while (reader.Next(&part)) parts.emplace_back(part);
  return parts;
}

TEST(KeyPaths, ComponentsAsTheRegistryReadsThem) {
  struct Case {
    const wchar_t* path;
    std::vector<std::wstring> parts;
  };
  const Case cases[] = {
      {L"", {}},
      {L"\\", {}},
      {L"\\\\\\", {}},
      {L"App", {L"App"}},
      {L"Software\\V\\App", {L"Software", L"V", L"App"}},
      {L"Software\\V\\\\App", {L"Software", L"V", L"App"}},
      {L"\\Software\\\\\\V\\App\\\\", {L"Software", L"V", L"App"}},
      {L" A \\.\\..", {L" A ", L".", L".."}},
      {L"/App/x", {L"/App/x"}},  // a slash is part of a key name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::wstring(L"[") + c.path + L"]");
    EXPECT_EQ(c.parts, Components(c.path));
  }
}

TEST(KeyPaths, RestFollowsTheLastComponentRead) {
  const std::wstring_view path = L"A\\\\B\\C\\";
  KeyPathComponents reader(path);
  EXPECT_EQ(path, reader.rest());
  std::wstring_view part;
  ASSERT_TRUE(reader.Next(&part));
  EXPECT_EQ(L"\\\\B\\C\\", reader.rest());
  ASSERT_TRUE(reader.Next(&part));
  ASSERT_TRUE(reader.Next(&part));
  EXPECT_EQ(L"C", part);
  EXPECT_EQ(L"\\", reader.rest());
  EXPECT_FALSE(reader.Next(&part));
}

TEST(KeyPaths, RelationOfTwoKeyNames) {
  const std::wstring app = L"\\REGISTRY\\User\\S-1-5-21\\Software\\V\\App";
  struct Case {
    std::wstring base;
    std::wstring name;
    KeyRelation relation;
    std::wstring below;  // with kBelow
  };
  const Case cases[] = {
      {app, app, KeyRelation::kSame, L""},
      {app, L"\\registry\\USER\\s-1-5-21\\SOFTWARE\\v\\app", KeyRelation::kSame, L""},
      {app, L"\\REGISTRY\\User\\S-1-5-21\\Software\\\\V\\App\\", KeyRelation::kSame, L""},
      {L"\\R\\\xFF21pp", L"\\R\\\xFF41pp", KeyRelation::kSame, L""},  // full-width A, a
      {L"\\R\\\x00C4pp", L"\\r\\\x00E4pp", KeyRelation::kSame, L""},  // Ä, ä
      {app, app + L"\\Sub", KeyRelation::kBelow, L"Sub"},
      {app, app + L"\\\\Sub\\Deeper\\", KeyRelation::kBelow, L"Sub\\Deeper\\"},
      {L"\\R\\\xFF21pp", L"\\R\\\xFF41pp\\New", KeyRelation::kBelow, L"New"},
      {app, app + L"2", KeyRelation::kUnrelated, L""},
      {app + L"2", app, KeyRelation::kUnrelated, L""},
      {app, L"\\REGISTRY\\User\\S-1-5-21\\Software\\V", KeyRelation::kUnrelated, L""},  // above
      {app, L"\\REGISTRY\\Machine\\Software\\V\\App", KeyRelation::kUnrelated, L""},
      {L"\\R\\Zo\x00EB", L"\\R\\Zoe", KeyRelation::kUnrelated, L""},  // two names to the registry
      {L"\\R\\\xD83D\xDE00", L"\\R\\\xD83D\xDE00\\x", KeyRelation::kBelow, L"x"},  // a surrogate pair
      {L"\\R\\\xD83D\xDE00", L"\\R\\\xD83D\xDE01", KeyRelation::kUnrelated, L""},
      {L"", L"\\R\\X", KeyRelation::kBelow, L"R\\X"},
      {L"\\", L"", KeyRelation::kSame, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::wstring(L"[") + c.base + L"] [" + c.name + L"]");
    std::wstring_view below = L"untouched";
    EXPECT_EQ(c.relation, Relate(c.base, c.name, Upcase, &below));
    if (c.relation == KeyRelation::kBelow) {
      EXPECT_EQ(c.below, below);
      // A suffix of the name: zero-terminated wherever the name is.
      EXPECT_EQ(c.name.data() + c.name.size(), below.data() + below.size());
    } else {
      EXPECT_EQ(L"untouched", below);
    }
    EXPECT_EQ(c.relation, Relate(c.base, c.name, Upcase, nullptr));
  }
}

TEST(KeyPaths, CaseIsFoldedOnlyByTheGivenTable) {
  EXPECT_EQ(KeyRelation::kUnrelated, Relate(L"\\R\\App", L"\\R\\APP", Exact, nullptr));
  EXPECT_EQ(KeyRelation::kSame, Relate(L"\\R\\App", L"\\R\\\\App\\", Exact, nullptr));
  EXPECT_EQ(KeyRelation::kUnrelated, Relate(L"\\R\\\xFF21pp", L"\\R\\\xFF41pp", Exact, nullptr));
}

TEST(KeyPaths, AppendedComponentsFollowSingleSeparators) {
  struct Case {
    const wchar_t* name;
    const wchar_t* path;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"\\REGISTRY\\User\\S", L"New\\Deeper\\Dst", L"\\REGISTRY\\User\\S\\New\\Deeper\\Dst"},
      {L"\\REGISTRY\\User\\S", L"\\\\New\\\\Deeper\\", L"\\REGISTRY\\User\\S\\New\\Deeper"},
      {L"\\REGISTRY\\User\\S", L"", L"\\REGISTRY\\User\\S"},
      {L"\\REGISTRY\\User\\S", L"\\\\", L"\\REGISTRY\\User\\S"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::wstring(L"[") + c.path + L"]");
    mur::text::Wide name;
    ASSERT_TRUE(name.Assign(std::wstring_view(c.name)));
    ASSERT_TRUE(AppendComponents(c.path, &name));
    EXPECT_EQ(std::wstring_view(c.expected), name.view());
  }
}

TEST(KeyPaths, AppendingReportsExhaustedMemory) {
  mur::text::Wide name;
  const murtest::ExhaustedMemory exhausted;
  EXPECT_FALSE(AppendComponents(L"New\\Dst", &name));
}

}  // namespace
