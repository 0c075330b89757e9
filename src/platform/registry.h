// Registry keys, as the key tree copy needs them. Every key that this layer
// opens or creates is owned by a RegKey and closed on every path. Handles are
// carried as void* (a registry key handle, predefined roots included).
#pragma once

#include <string>
#include <vector>

namespace mur::platform {

using KeyHandle = void*;

class RegKey {
 public:
  RegKey() = default;
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey();

  // Opens parent + path for reading. Returns the platform's error code.
  static long Open(KeyHandle parent, const char* path, RegKey* key);
  // Creates or opens parent + path with all access, no class, default
  // security, non-volatile; *created tells which. Returns the error code.
  static long Create(KeyHandle parent, const char* path, RegKey* key, bool* created);

  KeyHandle handle() const { return handle_; }

  struct Value {
    std::string name;
    unsigned long type = 0;
    std::vector<unsigned char> data;
  };
  // Enumeration buffers, sized once per key from its own maxima and grown
  // when an item turns out larger: no size limit of the library's own.
  struct Buffers {
    std::vector<char> name;
    std::vector<unsigned char> data;
    std::vector<char> subkey;
  };
  long SizeBuffers(Buffers* buffers) const;
  // The value at `index` (ERROR_NO_MORE_ITEMS past the last).
  long EnumValue(unsigned long index, Buffers* buffers, Value* value) const;
  long SetValue(const Value& value) const;
  // The name of the subkey at `index` (ERROR_NO_MORE_ITEMS past the last).
  long EnumKey(unsigned long index, Buffers* buffers, std::string* name) const;

  void Close();

 private:
  KeyHandle handle_ = nullptr;
};

// Deletes one key that has no subkeys (parent + path).
long DeleteKey(KeyHandle parent, const char* path);

}  // namespace mur::platform
