// Which paths name a root and what tree removal does with each entry: the
// guards of the tree removal.
#include <gtest/gtest.h>

#include "maintenance/removal_rules.h"
#include "maintenance/root_paths.h"

namespace {

std::string Narrow(const wchar_t* wide) {
  std::string out;
  for (; *wide; ++wide) out += *wide < 0x80 ? static_cast<char>(*wide) : '?';
  return out;
}

using mur::maintenance::IsVolumeOrShareRoot;
using mur::maintenance::NamesARoot;

TEST(MaintenancePaths, RootsInEverySpelling) {
  for (const wchar_t* root :
       {L"", L"\\", L"/", L"\\\\", L"C:", L"c:", L"C:\\", L"C:/", L"C:\\\\", L"\\\\server",
        L"\\\\server\\share", L"\\\\server\\share\\", L"//server/share", L"\\\\?\\C:\\",
        L"\\\\.\\C:", L"\\\\?\\UNC\\server\\share", L"\\\\?\\", L"\\\\?\\UNC\\server",
        // "UNC" in any letter case.
        L"\\\\?\\Unc\\server\\share", L"\\\\?\\uNC\\server\\share\\", L"\\\\.\\unc\\server",
        // The NT prefix the path functions pass through.
        L"\\??\\C:\\", L"\\??\\UNC\\server\\share",
        // Everything under GLOBALROOT that can name a drive, volume or share.
        L"\\\\?\\GLOBALROOT", L"\\\\?\\GLOBALROOT\\", L"\\\\?\\globalroot\\??\\C:\\",
        L"\\\\?\\GLOBALROOT\\GLOBAL??\\D:", L"\\\\?\\GLOBALROOT\\DosDevices\\C:\\",
        L"\\\\?\\GLOBALROOT\\??\\UNC\\server\\share", L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1",
        L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\", L"\\\\?\\GLOBALROOT\\Device\\Harddisk0\\Partition1",
        L"\\\\?\\GLOBALROOT\\Device\\Mup\\server\\share", L"\\\\.\\GLOBALROOT\\device\\mup\\server\\share\\",
        L"\\\\?\\GLOBALROOT\\Device\\LanmanRedirector\\server\\share",
        L"\\\\?\\Volume{0a1b2c3d-0000-0000-0000-000000000000}\\",
        L"\\\\?\\Volume{0a1b2c3d-0000-0000-0000-000000000000}", L"\\\\.\\HarddiskVolume1\\",
        L"\\\\?\\GLOBALROOT\\Device\\harddisk12\\partition3\\", L"\\\\?\\GLOBALROOT\\ArcName\\multi(0)disk(0)"}) {
    EXPECT_TRUE(NamesARoot(root)) << Narrow(root);
  }
  for (const wchar_t* not_root :
       {L"C:\\App", L"C:App", L"\\\\server\\share\\dir", L"\\App", L"App", L"C:\\App\\",
        L"\\\\?\\C:\\App", L"\\\\?\\UNC\\server\\share\\dir", L"\\\\?\\unc\\server\\share\\dir",
        L"CC:\\", L"\\??\\C:\\App", L"\\\\?\\GLOBALROOT\\??\\C:\\App",
        L"\\\\?\\GLOBALROOT\\Device\\Harddisk0\\Partition1\\App",
        L"\\\\?\\GLOBALROOT\\Device\\Mup\\server\\share\\App", L"\\\\?\\UNCX\\server\\share",
        // One component below a device or volume name is not its root.
        L"\\\\?\\Volume{0a1b2c3d-0000-0000-0000-000000000000}\\App",
        L"\\\\?\\Volume{0a1b2c3d-0000-0000-0000-000000000000}\\App\\", L"\\\\.\\HarddiskVolume1\\App",
        L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\App", L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\App\\",
        L"\\\\?\\GLOBALROOT\\??\\Volume{0a1b2c3d-0000-0000-0000-000000000000}\\App",
        L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\Partition1", L"\\\\?\\GLOBALROOT\\Device\\Harddisk0\\App"}) {
    EXPECT_FALSE(NamesARoot(not_root)) << Narrow(not_root);
  }
}

// What the file system reports for an open directory decides, whatever
// spelling reached it.
TEST(MaintenancePaths, VolumeAndShareRootsFromTheOpenDirectory) {
  EXPECT_TRUE(IsVolumeOrShareRoot(L"\\", false));
  EXPECT_TRUE(IsVolumeOrShareRoot(L"", false));
  EXPECT_FALSE(IsVolumeOrShareRoot(L"\\App", false));
  EXPECT_FALSE(IsVolumeOrShareRoot(L"\\server\\share", false));
  EXPECT_TRUE(IsVolumeOrShareRoot(L"\\", true));
  EXPECT_TRUE(IsVolumeOrShareRoot(L"\\server", true));
  EXPECT_TRUE(IsVolumeOrShareRoot(L"\\server\\share", true));
  EXPECT_TRUE(IsVolumeOrShareRoot(L"\\server\\share\\", true));
  EXPECT_FALSE(IsVolumeOrShareRoot(L"\\server\\share\\App", true));
}

namespace attr = mur::maintenance::attribute;
using mur::maintenance::ActionFor;
using mur::maintenance::ActionForOpenedDirectory;
using mur::maintenance::EntryAction;

// The rule order over every combination that matters, links included (a
// hidden or system link to a file stays, which Wine cannot show: it presents
// a link to a file as a plain file).
TEST(RemovalRules, FirstRuleThatFits) {
  struct Case {
    std::uint32_t attributes;
    EntryAction action;
  };
  const Case cases[] = {
      {0, EntryAction::kDelete},
      {0x80 /* normal */, EntryAction::kDelete},
      {0x20 /* archive */, EntryAction::kDelete},
      {0x100 /* temporary */, EntryAction::kDelete},
      {attr::kReadOnly, EntryAction::kDelete},  // attempted; the file system refuses it
      {attr::kHidden, EntryAction::kKeep},
      {attr::kSystem, EntryAction::kKeep},
      {attr::kHidden | attr::kSystem | attr::kReadOnly, EntryAction::kKeep},
      {attr::kReparsePoint, EntryAction::kDelete},  // a link to a file goes as a link
      {attr::kReparsePoint | attr::kHidden, EntryAction::kKeep},
      {attr::kReparsePoint | attr::kSystem, EntryAction::kKeep},
      {attr::kDirectory, EntryAction::kDescend},
      {attr::kDirectory | attr::kHidden, EntryAction::kDescend},
      {attr::kDirectory | attr::kSystem | attr::kReadOnly, EntryAction::kDescend},
      {attr::kDirectory | attr::kReparsePoint, EntryAction::kRemoveLink},
      {attr::kDirectory | attr::kReparsePoint | attr::kHidden, EntryAction::kRemoveLink},
      {attr::kDirectory | attr::kReparsePoint | attr::kSystem | attr::kHidden, EntryAction::kRemoveLink},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.action, ActionFor(c.attributes)) << std::hex << c.attributes;
  }
}

// A directory entry is acted on through its own handle, and only when that
// handle is the object the listing showed.
TEST(RemovalRules, OpenedDirectoryMustBeTheOneListed) {
  const std::uint32_t dir = attr::kDirectory, link = attr::kDirectory | attr::kReparsePoint;
  struct Case {
    const char* why;
    std::uint32_t listed;
    std::uint64_t listed_id;
    std::uint32_t opened;
    std::uint64_t opened_id;
    EntryAction action;
  };
  const Case cases[] = {
      {"plain directory", dir, 7, dir, 7, EntryAction::kDescend},
      {"hidden directory", dir | attr::kHidden, 7, dir | attr::kHidden, 7, EntryAction::kDescend},
      {"link opened as itself", link, 7, link, 7, EntryAction::kRemoveLink},
      {"hidden link opened as itself", link | attr::kHidden, 7, link | attr::kHidden, 7, EntryAction::kRemoveLink},
      {"swapped for another directory", dir, 7, dir, 8, EntryAction::kKeep},
      {"swapped for a followed link", dir, 7, dir, 9, EntryAction::kKeep},
      {"swapped for a link opened as itself", dir, 7, link, 8, EntryAction::kKeep},
      {"a link whose target was reached", link, 9, dir, 9, EntryAction::kKeep},
      {"became a link, no ids", dir, 0, link, 0, EntryAction::kRemoveLink},
      {"no ids: the handle decides", dir, 0, dir, 5, EntryAction::kDescend},
      {"no ids, link reached through", link, 0, dir, 5, EntryAction::kKeep},
      {"no id from the handle: its attributes decide", dir, 7, dir, 0, EntryAction::kDescend},
      {"no id from the handle, link reached through", link, 7, dir, 0, EntryAction::kKeep},
      {"no id from the handle, became a link", dir, 7, link, 0, EntryAction::kRemoveLink},
      {"no longer a directory", dir, 7, 0, 7, EntryAction::kKeep},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.action, ActionForOpenedDirectory(c.listed, c.listed_id, c.opened, c.opened_id)) << c.why;
  }
}

}  // namespace
