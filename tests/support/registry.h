// Registry fixtures for the copy tests: a key of the test's own under
// HKEY_CURRENT_USER\Software, removed with everything below it afterwards,
// and snapshots of key trees to compare.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace murtest {

struct RegValue {
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
};

// Relative key path ("" for the key itself) -> value name -> value.
using RegSnapshot = std::map<std::string, std::map<std::string, RegValue>>;

class TestKey {
 public:
  // Creates HKEY_CURRENT_USER\Software\murtest_<pid>_<n> (or under `root`).
  explicit TestKey(HKEY root = HKEY_CURRENT_USER, const std::string& parent = "Software");
  ~TestKey();
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  HKEY root() const { return root_; }
  // The test key's path under the root, or a path below it.
  std::string path(const std::string& sub = "") const { return sub.empty() ? path_ : path_ + "\\" + sub; }

 private:
  HKEY root_;
  std::string path_;
};

// Creates root\path (and its parents) and sets a value in it.
void SetRegValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 const std::vector<BYTE>& data);
void SetRegString(HKEY root, const std::string& path, const std::string& name, const std::string& text);
void CreateRegKey(HKEY root, const std::string& path);
bool RegKeyExists(HKEY root, const std::string& path);
// Every value of root\path and of every key below it; empty when absent.
RegSnapshot Snapshot(HKEY root, const std::string& path);

std::vector<BYTE> Bytes(const std::string& s);

}  // namespace murtest
