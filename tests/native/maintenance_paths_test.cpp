// Which paths name a root, and which registry destinations lie inside a
// source: the guards of the two destructive exports.
#include <gtest/gtest.h>

#include "maintenance/key_paths.h"
#include "maintenance/root_paths.h"

namespace {

using mur::maintenance::DestinationWithinSource;
using mur::maintenance::NamesARoot;
using mur::text::LeadBytes;

TEST(MaintenancePaths, RootsInEverySpelling) {
  for (const char* root : {"", "\\", "/", "\\\\", "C:", "c:", "C:\\", "C:/", "C:\\\\", "\\\\server",
                           "\\\\server\\share", "\\\\server\\share\\", "//server/share", "\\\\?\\C:\\",
                           "\\\\.\\C:", "\\\\?\\UNC\\server\\share", "\\\\?\\", "\\\\?\\UNC\\server"}) {
    EXPECT_TRUE(NamesARoot(root)) << root;
  }
  for (const char* not_root : {"C:\\App", "C:App", "\\\\server\\share\\dir", "\\App", "App", "C:\\App\\",
                               "\\\\?\\C:\\App", "\\\\?\\UNC\\server\\share\\dir", "CC:\\"}) {
    EXPECT_FALSE(NamesARoot(not_root)) << not_root;
  }
}

TEST(MaintenancePaths, DestinationsWithinTheSource) {
  const LeadBytes single, cp932 = LeadBytes::CodePage932();
  struct Case {
    const char* source;
    const char* destination;
    bool within;
  };
  const Case cases[] = {
      {"Software\\App", "Software\\App", true},
      {"Software\\App", "software\\APP", true},
      {"Software\\App\\", "Software\\App", true},
      {"Software\\App", "Software\\App\\", true},
      {"Software\\App", "Software\\App\\Sub", true},
      {"Software\\App", "Software\\App2", false},
      {"Software\\App", "Software", false},
      {"Software\\App", "Other\\App", false},
      {"", "Software", true},
      {"\\", "Software", true},
      {"Software", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " -> " + c.destination);
    EXPECT_EQ(c.within, DestinationWithinSource(c.source, c.destination, single));
    EXPECT_EQ(c.within, DestinationWithinSource(c.source, c.destination, cp932));
  }
  // In code page 932, 0x95 0x5C is one character whose trail byte is a
  // backslash: "\x95" is not a parent of "\x95\x5C" + "X", and a trailing
  // 0x5C that is a trail byte is not a separator to drop.
  EXPECT_FALSE(DestinationWithinSource("Soft\x95", "Soft\x95\x5CX", cp932));
  EXPECT_TRUE(DestinationWithinSource("Soft\x95", "Soft\x95\x5CX", single));
  EXPECT_FALSE(DestinationWithinSource("A\x95\x5C", "A\x95", cp932));
  // Letters inside double-byte characters are not folded.
  EXPECT_FALSE(DestinationWithinSource("\x83\x61", "\x83\x41", cp932));
}

TEST(MaintenancePaths, PathBelowAnAncestor) {
  const LeadBytes cp932 = LeadBytes::CodePage932();
  using mur::maintenance::PathBelow;
  EXPECT_EQ(std::optional<std::string>("Child\\Grand"), PathBelow("software\\app", "Software\\App\\Child\\Grand", cp932));
  EXPECT_EQ(std::optional<std::string>("Child"), PathBelow("Software\\App\\", "Software\\App\\Child\\", cp932));
  EXPECT_EQ(std::optional<std::string>(""), PathBelow("Software\\App", "SOFTWARE\\APP", cp932));
  EXPECT_EQ(std::optional<std::string>("Software\\App"), PathBelow("", "Software\\App", cp932));
  EXPECT_EQ(std::nullopt, PathBelow("Software\\App", "Software\\Apple", cp932));
  EXPECT_EQ(std::nullopt, PathBelow("Software\\App\\X", "Software\\App", cp932));
}

}  // namespace
