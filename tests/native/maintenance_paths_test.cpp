// Which paths name a root: the guard of the tree removal.
#include <gtest/gtest.h>

#include "maintenance/root_paths.h"

namespace {

using mur::maintenance::NamesARoot;

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

}  // namespace
