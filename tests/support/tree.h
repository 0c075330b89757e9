// Small directory trees for the removal tests, and Unix symbolic links made
// from a Windows program under Wine.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace murtest {

// One entry of a tree: a relative path with '/' separators; a trailing '/'
// makes it a directory. Attributes are set after the whole tree exists.
struct TreeEntry {
  std::string path;
  DWORD attributes = 0;  // FILE_ATTRIBUTE_HIDDEN, _READONLY, _SYSTEM or 0
};

// Creates the entries under `root` (which must exist). Files hold their own path.
void MakeTree(const std::string& root, const std::vector<TreeEntry>& entries);

// Relative paths of everything below `root` ('/' separators, directories
// with a trailing '/'), sorted.
std::vector<std::string> ListTree(const std::string& root);

bool RunningUnderWine();

// Creates a Unix symbolic link at `link` pointing to `target` (both Windows
// paths). Wine only: runs /bin/ln. Returns false when that is not possible.
bool MakeUnixSymlink(const std::string& target, const std::string& link);

}  // namespace murtest
