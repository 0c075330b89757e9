#include "platform/registry.h"

#include <windows.h>

#include <algorithm>

#include "platform/seam.h"

namespace mur::platform {
namespace {

HKEY H(KeyHandle k) { return static_cast<HKEY>(k); }

// An armed seam call fails with its error code, as the registry reports one.
bool Tripped(seam::Op op, long* result) {
  unsigned long error = 0;
  if (!seam::Tripped(op, &error)) return false;
  *result = static_cast<long>(error);
  return true;
}

}  // namespace

RegKey::RegKey(RegKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

RegKey::~RegKey() { Close(); }

long RegKey::Open(KeyHandle parent, const char* path, RegKey* key) {
  key->Close();
  long result;
  if (Tripped(seam::kRegOpenKey, &result)) return result;
  HKEY h = nullptr;
  result = ::RegOpenKeyExA(H(parent), path, 0, KEY_READ, &h);
  if (result == ERROR_SUCCESS) {
    seam::Opened();
    key->handle_ = h;
  }
  return result;
}

long RegKey::Create(KeyHandle parent, const char* path, RegKey* key, bool* created) {
  key->Close();
  *created = false;
  long result;
  if (Tripped(seam::kRegCreateKey, &result)) return result;
  HKEY h = nullptr;
  DWORD disposition = 0;
  // A null path names the parent itself, which RegCreateKeyEx takes as "".
  result = ::RegCreateKeyExA(H(parent), path ? path : "", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                             nullptr, &h, &disposition);
  if (result == ERROR_SUCCESS) {
    seam::Opened();
    key->handle_ = h;
    *created = disposition == REG_CREATED_NEW_KEY;
  }
  return result;
}

long RegKey::SizeBuffers(Buffers* buffers) const {
  long result;
  if (Tripped(seam::kRegQueryInfoKey, &result)) return result;
  DWORD max_subkey = 0, max_name = 0, max_data = 0;
  result = ::RegQueryInfoKeyA(H(handle_), nullptr, nullptr, nullptr, nullptr, &max_subkey, nullptr,
                              nullptr, &max_name, &max_data, nullptr, nullptr);
  if (result != ERROR_SUCCESS) return result;
  // Room for the terminating zeros, and for the double-byte form of names
  // that the key counts in characters.
  buffers->name.resize(2 * max_name + 2);
  buffers->data.resize(max_data + 1);
  buffers->subkey.resize(2 * max_subkey + 2);
  return ERROR_SUCCESS;
}

// How often an enumeration grows its buffers before it gives up with
// ERROR_MORE_DATA: far more than any item that the registry holds needs.
constexpr int kMaxGrowths = 16;

long RegKey::EnumValue(unsigned long index, Buffers* buffers, Value* value) const {
  // Never hand the registry an empty buffer, whether or not SizeBuffers ran.
  if (buffers->name.size() < 2) buffers->name.resize(256);
  if (buffers->data.empty()) buffers->data.resize(256);
  for (int growths = 0;; ++growths) {
    long result;
    if (Tripped(seam::kRegEnumValue, &result)) return result;
    DWORD name_size = static_cast<DWORD>(buffers->name.size());
    DWORD data_size = static_cast<DWORD>(buffers->data.size());
    DWORD type = 0;
    result = ::RegEnumValueA(H(handle_), index, buffers->name.data(), &name_size, nullptr, &type,
                             buffers->data.data(), &data_size);
    if (result == ERROR_MORE_DATA && growths < kMaxGrowths) {
      // A value grew since the buffers were sized: make room and ask again.
      buffers->name.resize(buffers->name.size() * 2 + 256);
      buffers->data.resize(std::max<std::size_t>(data_size + 1, buffers->data.size() * 2));
      continue;
    }
    if (result != ERROR_SUCCESS) return result;
    value->name.assign(buffers->name.data(), name_size);
    value->type = type;
    value->data.assign(buffers->data.begin(), buffers->data.begin() + data_size);
    return ERROR_SUCCESS;
  }
}

long RegKey::SetValue(const Value& value) const {
  long result;
  if (Tripped(seam::kRegSetValue, &result)) return result;
  return ::RegSetValueExA(H(handle_), value.name.c_str(), 0, value.type,
                          value.data.empty() ? nullptr : value.data.data(),
                          static_cast<DWORD>(value.data.size()));
}

long RegKey::EnumKey(unsigned long index, Buffers* buffers, std::string* name) const {
  if (buffers->subkey.size() < 2) buffers->subkey.resize(256);
  for (int growths = 0;; ++growths) {
    long result;
    if (Tripped(seam::kRegEnumKey, &result)) return result;
    DWORD size = static_cast<DWORD>(buffers->subkey.size());
    result = ::RegEnumKeyExA(H(handle_), index, buffers->subkey.data(), &size, nullptr, nullptr,
                             nullptr, nullptr);
    if (result == ERROR_MORE_DATA && growths < kMaxGrowths) {
      buffers->subkey.resize(buffers->subkey.size() * 2 + 256);
      continue;
    }
    if (result != ERROR_SUCCESS) return result;
    name->assign(buffers->subkey.data(), size);
    return ERROR_SUCCESS;
  }
}

void RegKey::Close() {
  if (!handle_) return;
  unsigned long ignored = 0;
  seam::Tripped(seam::kRegCloseKey, &ignored);  // counted only: a close is not failed
  ::RegCloseKey(H(handle_));
  seam::Closed();
  handle_ = nullptr;
}

long DeleteKey(KeyHandle parent, const char* path) {
  long result;
  if (Tripped(seam::kRegDeleteKey, &result)) return result;
  return ::RegDeleteKeyA(H(parent), path);
}

}  // namespace mur::platform
