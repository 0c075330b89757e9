#include "support/registry.h"

#include <sddl.h>
#include <winternl.h>

#include <atomic>
#include <functional>
#include <stdexcept>

#include "support/handles.h"

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

Key CreateW(HKEY root, const std::wstring& path, DWORD options = REG_OPTION_NON_VOLATILE) {
  Key key;
  const LONG r = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
  if (r != ERROR_SUCCESS) throw std::runtime_error("cannot create key " + Utf8(path) + ": " + std::to_string(r));
  return key;
}

Key CreateA(HKEY root, const std::string& path) {
  Key key;
  if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create key " + path);
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

void CreateRegKey(HKEY root, const std::string& path) { CreateA(root, path); }

void CreateRegKey(HKEY root, const std::wstring& path) { CreateW(root, path); }

void SetRegValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                 const std::vector<BYTE>& data) {
  const Key key = CreateA(root, path);
  const LONG r = ::RegSetValueExA(key.get(), name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                  static_cast<DWORD>(data.size()));
  if (r != ERROR_SUCCESS) throw std::runtime_error("cannot set " + name);
}

void SetRegValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                 const std::vector<BYTE>& data) {
  const Key key = CreateW(root, path);
  // RegSetValueEx would add a terminator to string data that lacks one when
  // the memory after it holds a zero: a copy with a nonzero tail keeps the
  // data as given.
  std::vector<BYTE> padded(data);
  padded.insert(padded.end(), {0xFF, 0xFF, 0xFF, 0xFF});
  const LONG r = ::RegSetValueExW(key.get(), name.c_str(), 0, type, padded.data(), static_cast<DWORD>(data.size()));
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
  Key key;
  return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

RegSnapshot Snapshot(HKEY root, const std::string& path) { return Snapshot(root, FromSystem(path)); }

RegSnapshot Snapshot(HKEY root, const std::wstring& path) {
  RegSnapshot snap;
  std::function<void(const std::wstring&)> walk = [&](const std::wstring& rel) {
    Key key;
    const std::wstring full = rel.empty() ? path : path + L"\\" + rel;
    if (::RegOpenKeyExW(root, full.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    auto& values = snap[rel];
    std::vector<wchar_t> name(32768);
    std::vector<BYTE> data(1 << 20);
    for (DWORD i = 0;; ++i) {
      DWORD name_size = static_cast<DWORD>(name.size()), data_size = static_cast<DWORD>(data.size()), type = 0;
      if (::RegEnumValueW(key.get(), i, name.data(), &name_size, nullptr, &type, data.data(), &data_size) !=
          ERROR_SUCCESS)
        break;
      values[std::wstring(name.data(), name_size)] = {type,
                                                      std::vector<BYTE>(data.begin(), data.begin() + data_size)};
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
      DWORD size = static_cast<DWORD>(name.size());
      if (::RegEnumKeyExW(key.get(), i, name.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      children.emplace_back(name.data(), size);
    }
    key.reset();
    for (const std::wstring& c : children) walk(rel.empty() ? c : rel + L"\\" + c);
  };
  walk(L"");
  return snap;
}

std::wstring KeyFullName(HKEY root, const std::wstring& path) {
  Key key;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    throw std::runtime_error("cannot open " + Utf8(path));
  std::vector<ULONG> info(16384);
  ULONG got = 0;
  const LONG status = Ntdll<NtQueryKeyFn>("NtQueryKey")(key.get(), 3 /* KeyNameInformation */, info.data(),
                                                        static_cast<ULONG>(info.size() * sizeof(ULONG)), &got);
  if (status != 0) throw std::runtime_error("cannot query the name of " + Utf8(path));
  return std::wstring(reinterpret_cast<const wchar_t*>(info.data() + 1), info[0] / sizeof(wchar_t));
}

bool CreateRegLink(HKEY root, const std::wstring& path, const std::wstring& target_full_name, std::string* why,
                   const std::wstring& leads_to) {
  Key link;
  LONG r = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE | REG_OPTION_CREATE_LINK,
                             KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, link.put(), nullptr);
  if (r != ERROR_SUCCESS) {
    *why = "the registry makes no link key (RegCreateKeyEx with REG_OPTION_CREATE_LINK gave " + std::to_string(r) + ")";
    return false;
  }
  // The target's name without a terminator.
  r = ::RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target_full_name.data()),
                       static_cast<DWORD>(target_full_name.size() * sizeof(wchar_t)));
  link.reset();
  if (r != ERROR_SUCCESS) {
    DeleteRegTree(root, path);
    *why = "the registry takes no SymbolicLinkValue (" + std::to_string(r) + ")";
    return false;
  }
  // A link to a key that does not exist (yet) cannot be followed to check.
  const bool resolves = RegKeyExists(root, path);
  // The registry reads the target's name without regard to case.
  const auto same_name = [](const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
  };
  const std::wstring& expected = leads_to.empty() ? target_full_name : leads_to;
  if (!IsRegLink(root, path) || (resolves && !same_name(KeyFullName(root, path), expected))) {
    DeleteRegTree(root, path);
    *why = "a link key does not lead to its target";
    return false;
  }
  return true;
}

bool CreateRegKeyNative(HKEY root, const std::wstring& parent, const std::wstring& name, std::string* why) {
  using NtCreateKeyFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG, PUNICODE_STRING, ULONG, PULONG);
  Key parent_key;
  if (::RegOpenKeyExW(root, parent.c_str(), 0, KEY_CREATE_SUB_KEY, parent_key.put()) != ERROR_SUCCESS) {
    *why = "cannot open " + Utf8(parent);
    return false;
  }
  std::wstring counted_name = name;
  UNICODE_STRING counted{static_cast<USHORT>(counted_name.size() * sizeof(wchar_t)),
                         static_cast<USHORT>(counted_name.size() * sizeof(wchar_t)), counted_name.data()};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, 0, parent_key.get(), nullptr);
  Key key;
  const LONG status = Ntdll<NtCreateKeyFn>("NtCreateKey")(reinterpret_cast<PHANDLE>(key.put()), KEY_ALL_ACCESS,
                                                          &attributes, 0, nullptr, 0, nullptr);
  if (status != 0) {
    *why = "NtCreateKey refused a counted name (" + std::to_string(status) + ")";
    return false;
  }
  return true;
}

bool IsRegLink(HKEY root, const std::wstring& path) {
  Key key;
  if (::RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  const LONG r = ::RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
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
    Key child;
    if (Ntdll<NtOpenKeyFn>("NtOpenKey")(reinterpret_cast<PHANDLE>(child.put()), KEY_READ | DELETE, &attributes) != 0)
      return false;
    if (!DeleteTreeAt(child.get())) return false;  // stop rather than meet it again
  }
  return Ntdll<NtDeleteKeyFn>("NtDeleteKey")(key) == 0;
}

}  // namespace

void DeleteRegTree(HKEY root, const std::wstring& path) {
  Key key;
  if (::RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE, key.put()) != ERROR_SUCCESS)
    return;
  DeleteTreeAt(key.get());
}

RegDeletionDenied::RegDeletionDenied(HKEY root, const std::wstring& path) {
  if (::RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL | WRITE_DAC, key_.put()) != ERROR_SUCCESS)
    throw std::runtime_error("cannot open " + Utf8(path) + " to set its security");
  DWORD size = 0;
  ::RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
  saved_.resize(size);
  PSECURITY_DESCRIPTOR denying = nullptr;
  if (size == 0 ||
      ::RegGetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS ||
      !::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;SD;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                              &denying, nullptr))
    throw std::runtime_error("cannot read the security of " + Utf8(path));
  const LONG r = ::RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, denying);
  ::LocalFree(denying);
  if (r != ERROR_SUCCESS)
    throw std::runtime_error("cannot set the security of " + Utf8(path) + ": " + std::to_string(r));
}

RegDeletionDenied::~RegDeletionDenied() { ::RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, saved_.data()); }

RegChangeWatch::RegChangeWatch(HKEY root, const std::wstring& path) {
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_NOTIFY, key_.put()) != ERROR_SUCCESS)
    throw std::runtime_error("cannot watch " + Utf8(path));
  event_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
  if (!event_ || ::RegNotifyChangeKeyValue(key_.get(), TRUE, filter, event_.get(), TRUE) != ERROR_SUCCESS)
    throw std::runtime_error("cannot watch " + Utf8(path) + " for changes");
}

RegChangeWatch::~RegChangeWatch() = default;

bool RegChangeWatch::Changed(DWORD milliseconds) const {
  return ::WaitForSingleObject(event_.get(), milliseconds) == WAIT_OBJECT_0;
}

std::vector<BYTE> Bytes(const std::string& s) { return std::vector<BYTE>(s.begin(), s.end()); }

std::vector<BYTE> Utf16(const std::wstring& text) {
  const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(p, p + text.size() * sizeof(wchar_t));
}

std::vector<BYTE> Sz(const std::wstring& text) { return Utf16(text + L'\0'); }

}  // namespace murtest
