// Small directory trees for the removal tests (names in UTF-16 too, and chains
// thousands of levels deep), and Unix symbolic links and commands run from a
// Windows program under Wine.
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

// The same with UTF-16 names, made through the "\\?\" form so that a trailing
// dot or space stays part of the name. Files hold "data".
struct WideTreeEntry {
  std::wstring path;
  DWORD attributes = 0;
};
void MakeWideTree(const std::string& root, const std::vector<WideTreeEntry>& entries);
bool WideExists(const std::string& root, const std::wstring& relative);
// Removes what is left of the entries (which the narrow functions of the
// scratch cleanup may not be able to name), deepest first.
void RemoveWideTree(const std::string& root, const std::vector<WideTreeEntry>& entries);

// Creates a chain of `levels` directories named `name` below `root`, each
// opened relative to its parent (no path length applies), and a file
// "leaf.txt" in the last one. False when the platform refuses a level.
bool MakeDeepChain(const std::string& root, int levels, const std::wstring& name);

// Relative paths of everything below `root` ('/' separators, directories
// with a trailing '/'), sorted.
std::vector<std::string> ListTree(const std::string& root);

bool RunningUnderWine();

// Creates a Unix symbolic link at `link` pointing to `target` (both Windows
// paths). Wine only: runs /bin/ln. Returns false when that is not possible.
bool MakeUnixSymlink(const std::string& target, const std::string& link);

// The Unix path of a Windows path (Wine only; empty when there is none).
std::string UnixPath(const std::string& path);

// Runs `script` with /bin/sh -c and waits for it (Wine only). Wine may report
// the child ended before it has run: callers wait for its effect.
bool RunUnixShell(const std::string& script);

// Waits up to five seconds for `done()`.
bool WaitFor(bool (*done)(const std::string&), const std::string& argument);

}  // namespace murtest
