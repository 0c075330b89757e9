#include "support/registry.h"

#include <sddl.h>
#include <winternl.h>

#include <atomic>
#include <functional>
#include <stdexcept>

namespace murtest {
namespace {

using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
using NtQueryKeyFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

template <class Fn>
Fn Ntdll(const char* name) {
  const FARPROC p = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name);
  if (!p) throw std::runtime_error(std::string("ntdll lacks ") + name);
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

std::string Utf8(const std::wstring& w) {
  std::string s(w.size() * 3, '\0');
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(),
                                      static_cast<int>(s.size()), nullptr, nullptr);
  s.resize(n > 0 ? n : 0);
  return s;
}

HKEY CreateW(HKEY root, const std::wstring& path, DWORD options = REG_OPTION_NON_VOLATILE) {
  HKEY key;
  const LONG r = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (r != ERROR_SUCCESS) throw std::runtime_error("cannot create key " + Utf8(path) + ": " + std::to_string(r));
  return key;
}

}  // namespace

void PrintTo(const RegValue& value, std::ostream* os) {
  static const char kHex[] = "0123456789ABCDEF";
  *os << "type " << value.type << ", " << value.data.size() << " bytes:";
  for (BYTE b : value.data) *os << ' ' << kHex[b >> 4] << kHex[b & 15];
}

TestKey::TestKey(HKEY root, const std::string& parent) : root_(root) {
  static std::atomic<unsigned> counter{0};
  path_ = parent + "\\murtest_" + std::to_string(::GetCurrentProcessId()) + "_" +
          std::to_string(++counter) + "_" + std::to_string(::GetTickCount());
  DeleteRegTree(root_, FromSystem(path_));
  CreateRegKey(root_, path_);
}

TestKey::~TestKey() { DeleteRegTree(root_, FromSystem(path_)); }

std::wstring TestKey::wpath(const std::wstring& sub) const {
  const std::wstring base = FromSystem(path_);
  return sub.empty() ? base : base + L"\\" + sub;
}

void CreateRegKey(HKEY root, const std::string& path) {
  HKEY key;
  if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create key " + path);
  ::RegCloseKey(key);
}

void CreateRegKey(HKEY root, const std::wstring& path) { ::RegCloseKey(CreateW(root, path)); }

void SetRegValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 const std::vector<BYTE>& data) {
  HKEY key;
  if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create key " + path);
  const LONG r = ::RegSetValueExA(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                  static_cast<DWORD>(data.size()));
  ::RegCloseKey(key);
  if (r != ERROR_SUCCESS) throw std::runtime_error("cannot set " + name);
}

void SetRegValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                 const std::vector<BYTE>& data) {
  const HKEY key = CreateW(root, path);
  // RegSetValueEx would add a terminator to string data that lacks one when
  // the memory after it holds a zero: a copy with a nonzero tail keeps the
  // data as given.
  std::vector<BYTE> padded(data);
  padded.insert(padded.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  const LONG r = ::RegSetValueExW(key, name.c_str(), 0, type, padded.data(), static_cast<DWORD>(data.size()));
  ::RegCloseKey(key);
  if (r != ERROR_SUCCESS) throw std::runtime_error("cannot set " + Utf8(name));
}

void SetRegString(HKEY root, const std::string& path, const std::string& name, const std::string& text) {
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  SetRegValue(root, path, name, REG_SZ, data);
}

void SetRegString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
  SetRegValue(root, path, name, REG_SZ, Sz(text));
}

bool RegKeyExists(HKEY root, const std::string& path) { return RegKeyExists(root, FromSystem(path)); }

bool RegKeyExists(HKEY root, const std::wstring& path) {
  HKEY key;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

RegSnapshot Snapshot(HKEY root, const std::string& path) { return Snapshot(root, FromSystem(path)); }

RegSnapshot Snapshot(HKEY root, const std::wstring& path) {
  RegSnapshot snap;
  std::function<void(const std::wstring&)> walk = [&](const std::wstring& rel) {
    HKEY key;
    const std::wstring full = rel.empty() ? path : path + L"\\" + rel;
    if (::RegOpenKeyExW(root, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    auto& values = snap[rel];
    std::vector<wchar_t> name(32768);
    std::vector<BYTE> data(1 << 20);
    for (DWORD i = 0;; ++i) {
      DWORD name_size = static_cast<DWORD>(name.size()), data_size = static_cast<DWORD>(data.size()), type = 0;
      if (::RegEnumValueW(key, i, name.data(), &name_size, nullptr, &type, data.data(), &data_size) !=
          ERROR_SUCCESS)
        break;
      values[std::wstring(name.data(), name_size)] = {type,
                                                      std::vector<BYTE>(data.begin(), data.begin() + data_size)};
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
      DWORD size = static_cast<DWORD>(name.size());
      if (::RegEnumKeyExW(key, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      children.emplace_back(name.data(), size);
    }
    ::RegCloseKey(key);
    for (const std::wstring& c : children) walk(rel.empty() ? c : rel + L"\\" + c);
  };
  walk(L"");
  return snap;
}

std::wstring KeyFullName(HKEY root, const std::wstring& path) {
  HKEY key;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    throw std::runtime_error("cannot open " + Utf8(path));
  std::vector<ULONG> info(16384);
  ULONG got = 0;
  const LONG status = Ntdll<NtQueryKeyFn>("NtQueryKey")(key, 3 /* KeyNameInformation */, info.data(),
                                                        static_cast<ULONG>(info.size() * sizeof(ULONG)), &got);
  ::RegCloseKey(key);
  if (status != 0) throw std::runtime_error("cannot query the name of " + Utf8(path));
  return std::wstring(reinterpret_cast<const wchar_t*>(info.data() + 1), info[0] / sizeof(wchar_t));
}

bool CreateRegLink(HKEY root, const std::wstring& path, const std::wstring& target_full_name, std::string* why) {
  HKEY link;
  LONG r = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE | REG_OPTION_CREATE_LINK,
                             KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr);
  if (r != ERROR_SUCCESS) {
    *why = "the registry makes no link key (RegCreateKeyEx with REG_OPTION_CREATE_LINK gave " + std::to_string(r) + ")";
    return false;
  }
  // The target's name without a terminator.
  r = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target_full_name.data()),
                       static_cast<DWORD>(target_full_name.size() * sizeof(wchar_t)));
  ::RegCloseKey(link);
  if (r != ERROR_SUCCESS) {
    DeleteRegTree(root, path);
    *why = "the registry takes no SymbolicLinkValue (" + std::to_string(r) + ")";
    return false;
  }
  // A link to a key that does not exist (yet) cannot be followed to check.
  HKEY through;
  const bool resolves = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &through) == ERROR_SUCCESS;
  if (resolves) ::RegCloseKey(through);
  // The registry reads the target's name without regard to case.
  const auto same_name = [](const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
  };
  if (!IsRegLink(root, path) || (resolves && !same_name(KeyFullName(root, path), target_full_name))) {
    DeleteRegTree(root, path);
    *why = "a link key does not lead to its target";
    return false;
  }
  return true;
}

bool CreateRegKeyNative(HKEY root, const std::wstring& parent, const std::wstring& name, std::string* why) {
  using NtCreateKeyFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG, PUNICODE_STRING, ULONG, PULONG);
  HKEY parent_key;
  if (::RegOpenKeyExW(root, parent.c_str(), 0, KEY_CREATE_SUB_KEY, &parent_key) != ERROR_SUCCESS) {
    *why = "cannot open " + Utf8(parent);
    return false;
  }
  std::wstring counted_name = name;
  UNICODE_STRING counted{static_cast<USHORT>(counted_name.size() * sizeof(wchar_t)),
                         static_cast<USHORT>(counted_name.size() * sizeof(wchar_t)), counted_name.data()};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, 0, parent_key, nullptr);
  HANDLE key = nullptr;
  const LONG status = Ntdll<NtCreateKeyFn>("NtCreateKey")(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr);
  ::RegCloseKey(parent_key);
  if (status != 0) {
    *why = "NtCreateKey refused a counted name (" + std::to_string(status) + ")";
    return false;
  }
  ::RegCloseKey(static_cast<HKEY>(key));
  return true;
}

bool IsRegLink(HKEY root, const std::wstring& path) {
  HKEY key;
  if (::RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  const LONG r = ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
  ::RegCloseKey(key);
  return r == ERROR_SUCCESS && type == REG_LINK;
}

namespace {

// Deletes the key behind `key` (open as itself, for reading and deletion) with
// everything below it; each subkey opened by its counted name relative to its
// parent, as itself, so that a name holding a zero or a link is handled as it
// is. False when something stayed.
bool DeleteTreeAt(HKEY key) {
  using NtOpenKeyFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
  constexpr ULONG kOpenLink = 0x100;  // OBJ_OPENLINK
  std::vector<wchar_t> name(256);
  for (;;) {
    DWORD size = static_cast<DWORD>(name.size());
    if (::RegEnumKeyExW(key, 0, name.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    UNICODE_STRING counted{static_cast<USHORT>(size * sizeof(wchar_t)), static_cast<USHORT>(size * sizeof(wchar_t)),
                           name.data()};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, kOpenLink, key, nullptr);
    HANDLE child = nullptr;
    if (Ntdll<NtOpenKeyFn>("NtOpenKey")(&child, KEY_READ | DELETE, &attributes) != 0) return false;
    const bool gone = DeleteTreeAt(static_cast<HKEY>(child));
    ::RegCloseKey(static_cast<HKEY>(child));
    if (!gone) return false;  // stop rather than meet it again
  }
  return Ntdll<NtDeleteKeyFn>("NtDeleteKey")(key) == 0;
}

}  // namespace

void DeleteRegTree(HKEY root, const std::wstring& path) {
  HKEY key;
  if (::RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE, &key) != ERROR_SUCCESS) return;
  DeleteTreeAt(key);
  ::RegCloseKey(key);
}

RegDeletionDenied::RegDeletionDenied(HKEY root, const std::wstring& path) {
  if (::RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS)
    throw std::runtime_error("cannot open " + Utf8(path) + " to set its security");
  DWORD size = 0;
  ::RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
  saved_.resize(size);
  PSECURITY_DESCRIPTOR denying = nullptr;
  if (size == 0 ||
      ::RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS ||
      !::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;SD;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                              &denying, nullptr)) {
    ::RegCloseKey(key_);
    throw std::runtime_error("cannot read the security of " + Utf8(path));
  }
  const LONG r = ::RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, denying);
  ::LocalFree(denying);
  if (r != ERROR_SUCCESS) {
    ::RegCloseKey(key_);
    throw std::runtime_error("cannot set the security of " + Utf8(path) + ": " + std::to_string(r));
  }
}

RegDeletionDenied::~RegDeletionDenied() {
  ::RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
  ::RegCloseKey(key_);
}

RegChangeWatch::RegChangeWatch(HKEY root, const std::wstring& path) {
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_NOTIFY, &key_) != ERROR_SUCCESS)
    throw std::runtime_error("cannot watch " + Utf8(path));
  event_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
  if (!event_ || ::RegNotifyChangeKeyValue(key_, TRUE, filter, event_, TRUE) != ERROR_SUCCESS) {
    if (event_) ::CloseHandle(event_);
    ::RegCloseKey(key_);
    throw std::runtime_error("cannot watch " + Utf8(path) + " for changes");
  }
}

RegChangeWatch::~RegChangeWatch() {
  ::RegCloseKey(key_);
  ::CloseHandle(event_);
}

bool RegChangeWatch::Changed(DWORD milliseconds) const {
  return ::WaitForSingleObject(event_, milliseconds) == WAIT_OBJECT_0;
}

std::vector<BYTE> Bytes(const std::string& s) { return std::vector<BYTE>(s.begin(), s.end()); }

std::vector<BYTE> Utf16(const std::wstring& text) {
  const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(p, p + text.size() * sizeof(wchar_t));
}

std::vector<BYTE> Sz(const std::wstring& text) { return Utf16(text + L'\0'); }

std::wstring FromSystem(const std::string& narrow) {
  if (narrow.empty()) return std::wstring();
  std::wstring wide(narrow.size(), L'\0');
  const int n = ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(),
                                      static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n : 0);
  return wide;
}

std::optional<std::string> SystemSpelling(const std::wstring& text) {
  std::string narrow(text.size() * 2 + 1, '\0');
  BOOL defaulted = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      narrow.data(), static_cast<int>(narrow.size()), nullptr, &defaulted);
  if (n <= 0 && !text.empty()) return std::nullopt;
  narrow.resize(n);
  if (defaulted || FromSystem(narrow) != text) return std::nullopt;
  return narrow;
}

std::string BestFitSpelling(const std::wstring& text) {
  std::string narrow(text.size() * 2 + 1, '\0');
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                                      static_cast<int>(narrow.size()), nullptr, nullptr);
  narrow.resize(n > 0 ? n : 0);
  return narrow;
}

}  // namespace murtest
