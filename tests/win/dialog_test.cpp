// The completion dialog shown by murhost as a host shows it (DialogBoxParam
// with the library's module), driven like a user: a check box clicked, then
// the finish button. Needs a display (wine-up starts Xvfb).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/process.h"

namespace murtest {
namespace {

struct Found {
  DWORD pid;
  HWND dialog;
};

BOOL CALLBACK FindDialogOf(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  char cls[64] = "";
  ::GetClassNameA(window, cls, sizeof cls);
  if (pid == found->pid && std::string(cls) == "#32770" && ::IsWindowVisible(window)) {
    found->dialog = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForDialog(DWORD pid) {
  Found found{pid, nullptr};
  for (int i = 0; i < 300 && !found.dialog; ++i) {
    ::EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&found));
    if (!found.dialog) ::Sleep(100);
  }
  return found.dialog;
}

std::string Murhost() { return Quote(BinDir() + "\\murhost.exe"); }

TEST(Dialog, ChoicesMadeInTheDialogAreReported) {
  struct Case {
    std::vector<int> clicks;
    const char* expected;
  };
  const Case cases[] = {
      {{1001}, "start menu: unchecked\ndesktop shortcut: checked\n"},
      {{1000, 1001, 1001}, "start menu: checked\ndesktop shortcut: unchecked\n"},
      {{}, "start menu: unchecked\ndesktop shortcut: unchecked\n"},
  };
  for (const Case& c : cases) {
    Child host(Murhost() + " dialog");
    const HWND dialog = WaitForDialog(host.pid());
    ASSERT_NE(nullptr, dialog) << "no dialog window appeared";
    // The window as the template describes it.
    wchar_t caption[64] = L"";
    ::GetWindowTextW(dialog, caption, 64);
    EXPECT_EQ(std::wstring(L"\xFF72\xFF9D\xFF7D\xFF84\xFF70\xFF99\x306E\x5B8C\x4E86"), caption);
    for (int id : {1000, 1001}) EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0));
    for (int id : c.clicks) ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    ::SendMessageW(::GetDlgItem(dialog, 1002), BM_CLICK, 0, 0);
    const RunResult r = host.Wait();
    EXPECT_EQ(0u, r.exit_code) << r.err;
    EXPECT_EQ(c.expected, r.out);
  }
}

}  // namespace
}  // namespace murtest
