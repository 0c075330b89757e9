// Registry fixtures for the copy tests: a key of the test's own under
// HKEY_CURRENT_USER\Software, removed with everything below it afterwards
// (links as links), and snapshots of key trees to compare.
//
// Paths and names given as std::string are in the system code page and go
// through the narrow functions, as a host's script would set them; those
// given as std::wstring go through the UTF-16 functions and may hold any
// character.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/code_page.h"
#include "support/handles.h"

namespace murtest {

struct RegValue {
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
};
// For failure messages: the type and the bytes in hexadecimal.
void PrintTo(const RegValue& value, std::ostream* os);

// Relative key path ("" for the key itself) -> value name -> value, read
// through the UTF-16 functions: names, types and data exactly as stored.
// Links are followed, as a reader of the keys sees them.
using RegSnapshot = std::map<std::wstring, std::map<std::wstring, RegValue>>;

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
  std::wstring wpath(const std::wstring& sub = L"") const;

 private:
  HKEY root_;
  std::string path_;
};

// Creates root\path (and its parents) and sets a value in it.
void SetRegValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 const std::vector<BYTE>& data);
void SetRegValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                 const std::vector<BYTE>& data);
// A REG_SZ with its terminator.
void SetRegString(HKEY root, const std::string& path, const std::string& name, const std::string& text);
void SetRegString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
void CreateRegKey(HKEY root, const std::string& path);
void CreateRegKey(HKEY root, const std::wstring& path);
bool RegKeyExists(HKEY root, const std::string& path);
bool RegKeyExists(HKEY root, const std::wstring& path);
// Every value of root\path and of every key below it; empty when absent.
RegSnapshot Snapshot(HKEY root, const std::string& path);
RegSnapshot Snapshot(HKEY root, const std::wstring& path);

// Registry links. The full name of an existing key ("\REGISTRY\..."), as a
// link's target is written.
std::wstring KeyFullName(HKEY root, const std::wstring& path);
// Creates root\path as a link to the key of that full name, spelled in any
// case (or naming a key that does not exist yet); false (with the reason in
// *why) when the registry does not make links. The link must then lead to
// the key named `leads_to` (the target itself when empty: a target spelled
// through other links leads elsewhere than its spelling says).
bool CreateRegLink(HKEY root, const std::wstring& path, const std::wstring& target_full_name, std::string* why,
                   const std::wstring& leads_to = std::wstring());
// Creates the key `name` under root\parent through the native function, which
// takes a counted name: one holding a zero unit too. False (with the reason
// in *why) when it cannot.
bool CreateRegKeyNative(HKEY root, const std::wstring& parent, const std::wstring& name, std::string* why);
// True when root\path is a link key itself.
bool IsRegLink(HKEY root, const std::wstring& path);
// Deletes root\path with everything below it, a link as the link.
void DeleteRegTree(HKEY root, const std::wstring& path);

// While it lives, root\path (which exists) refuses deletion to everyone and
// grants every other access; its own security is put back at the end.
class RegDeletionDenied {
 public:
  RegDeletionDenied(HKEY root, const std::wstring& path);
  ~RegDeletionDenied();
  RegDeletionDenied(const RegDeletionDenied&) = delete;
  RegDeletionDenied& operator=(const RegDeletionDenied&) = delete;

 private:
  Key key_;
  std::vector<BYTE> saved_;  // the key's own security descriptor
};

// Notices every change of the keys and values at and below root\path from
// its construction on, through the registry's change notification.
class RegChangeWatch {
 public:
  RegChangeWatch(HKEY root, const std::wstring& path);
  ~RegChangeWatch();
  RegChangeWatch(const RegChangeWatch&) = delete;
  RegChangeWatch& operator=(const RegChangeWatch&) = delete;
  // True when something there has changed, waiting up to `milliseconds` for
  // the notice.
  bool Changed(DWORD milliseconds = 20) const;

 private:
  Key key_;
  Handle event_;
};

std::vector<BYTE> Bytes(const std::string& s);
// What a REG_SZ of `text` holds: UTF-16 with its terminator.
std::vector<BYTE> Sz(const std::wstring& text);
// UTF-16 without a terminator.
std::vector<BYTE> Utf16(const std::wstring& text);

}  // namespace murtest
