#include "support/registry.h"

#include <atomic>
#include <functional>
#include <stdexcept>

namespace murtest {

TestKey::TestKey(HKEY root, const std::string& parent) : root_(root) {
  static std::atomic<unsigned> counter{0};
  path_ = parent + "\\murtest_" + std::to_string(::GetCurrentProcessId()) + "_" +
          std::to_string(++counter) + "_" + std::to_string(::GetTickCount());
  ::RegDeleteTreeA(root_, path_.c_str());
  CreateRegKey(root_, path_);
}

TestKey::~TestKey() { ::RegDeleteTreeA(root_, path_.c_str()); }

void CreateRegKey(HKEY root, const std::string& path) {
  HKEY key;
  if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create key " + path);
  ::RegCloseKey(key);
}

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

void SetRegString(HKEY root, const std::string& path, const std::string& name, const std::string& text) {
  std::vector<BYTE> data(text.begin(), text.end());
  data.push_back(0);
  SetRegValue(root, path, name, REG_SZ, data);
}

bool RegKeyExists(HKEY root, const std::string& path) {
  HKEY key;
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

RegSnapshot Snapshot(HKEY root, const std::string& path) {
  RegSnapshot snap;
  std::function<void(const std::string&)> walk = [&](const std::string& rel) {
    HKEY key;
    const std::string full = rel.empty() ? path : path + "\\" + rel;
    if (::RegOpenKeyExA(root, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    auto& values = snap[rel];
    std::vector<char> name(32768);
    std::vector<BYTE> data(1 << 20);
    for (DWORD i = 0;; ++i) {
      DWORD name_size = static_cast<DWORD>(name.size()), data_size = static_cast<DWORD>(data.size()), type = 0;
      if (::RegEnumValueA(key, i, name.data(), &name_size, nullptr, &type, data.data(), &data_size) !=
          ERROR_SUCCESS)
        break;
      values[std::string(name.data(), name_size)] = {type, std::vector<BYTE>(data.begin(), data.begin() + data_size)};
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
      DWORD size = static_cast<DWORD>(name.size());
      if (::RegEnumKeyExA(key, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      children.emplace_back(name.data(), size);
    }
    ::RegCloseKey(key);
    for (const std::string& c : children) walk(rel.empty() ? c : rel + "\\" + c);
  };
  walk("");
  return snap;
}

std::vector<BYTE> Bytes(const std::string& s) { return std::vector<BYTE>(s.begin(), s.end()); }

}  // namespace murtest
