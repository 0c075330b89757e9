#include "maintenance/copy_key_tree.h"

#include <new>
#include <optional>
#include <string_view>

#include "maintenance/key_paths.h"
#include "platform/codepage.h"

namespace mur::maintenance {
namespace {

using platform::RegKey;

constexpr long kSuccess = 0;
constexpr long kNoMoreItems = 259;       // ERROR_NO_MORE_ITEMS
constexpr long kInvalidParameter = 87;   // ERROR_INVALID_PARAMETER
constexpr long kNotEnoughMemory = 8;     // ERROR_NOT_ENOUGH_MEMORY

std::string Join(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "\\" + name;
}

}  // namespace

long CopyKeyTree(const RegKey& source, const RegKey& destination, const std::string& destination_path,
                 std::vector<std::string>* created) {
  RegKey::Buffers buffers;
  long result = source.SizeBuffers(&buffers);
  if (result != kSuccess) return result;
  RegKey::Value value;
  for (unsigned long index = 0;; ++index) {
    result = source.EnumValue(index, &buffers, &value);
    if (result == kNoMoreItems) break;
    if (result != kSuccess) return result;
    result = destination.SetValue(value);
    if (result != kSuccess) return result;
  }
  std::string name;
  for (unsigned long index = 0;; ++index) {
    result = source.EnumKey(index, &buffers, &name);
    if (result == kNoMoreItems) return kSuccess;
    if (result != kSuccess) return result;
    RegKey source_child, destination_child;
    result = RegKey::Open(source.handle(), name.c_str(), &source_child);
    if (result != kSuccess) return result;
    bool was_created = false;
    result = RegKey::Create(destination.handle(), name.c_str(), &destination_child, &was_created);
    if (result != kSuccess) return result;
    const std::string child_path = Join(destination_path, name);
    if (was_created) created->push_back(child_path);
    result = CopyKeyTree(source_child, destination_child, child_path, created);
    if (result != kSuccess) return result;
  }
}

long DeleteKeyTree(platform::KeyHandle root, const std::string& path) {
  {
    RegKey key;
    long result = RegKey::Open(root, path.c_str(), &key);
    if (result != kSuccess) return result;
    RegKey::Buffers buffers;
    result = key.SizeBuffers(&buffers);
    if (result != kSuccess) return result;
    std::string child;
    // Always the first subkey: each one is gone before the next is asked for,
    // and a subkey that cannot be deleted ends the deletion.
    for (;;) {
      result = key.EnumKey(0, &buffers, &child);
      if (result == kNoMoreItems) break;
      if (result != kSuccess) return result;
      result = DeleteKeyTree(root, Join(path, child));
      if (result != kSuccess) return result;
    }
  }
  return platform::DeleteKey(root, path.c_str());
}

long CopyRegistryTree(platform::KeyHandle root, const char* source, const char* destination,
                      int move_flag) {
  const std::string_view source_path = source ? source : "";
  const std::string_view destination_path = destination ? destination : "";
  const text::LeadBytes leads = platform::SystemLeadBytes();
  if (DestinationWithinSource(source_path, destination_path, leads)) return kInvalidParameter;
  // A destination above the source receives the source's subkeys beside it:
  // when the source itself holds a subkey of the name that leads from the
  // destination down to it, the copy would write into the source (and a move
  // would then delete part of the copy).
  if (const std::optional<std::string> below = PathBelow(destination_path, source_path, leads)) {
    RegKey clash;
    if (RegKey::Open(root, (std::string(source_path) + "\\" + *below).c_str(), &clash) == kSuccess)
      return kInvalidParameter;
  }

  std::vector<std::string> created;
  long result;
  {
    RegKey source_key, destination_key;
    result = RegKey::Open(root, source, &source_key);
    if (result != kSuccess) return result;
    bool was_created = false;
    result = RegKey::Create(root, destination, &destination_key, &was_created);
    if (result != kSuccess) return result;
    if (was_created) created.push_back(std::string(destination_path));
    try {
      result = CopyKeyTree(source_key, destination_key, std::string(destination_path), &created);
    } catch (const std::bad_alloc&) {
      result = kNotEnoughMemory;  // undone below like any other failure
    }
  }  // both keys closed before anything is deleted

  if (result != kSuccess) {
    // Undo exactly what this call made: children were created after their
    // parents, so the reverse order deletes each key once it is empty.
    for (auto it = created.rbegin(); it != created.rend(); ++it) platform::DeleteKey(root, it->c_str());
    return result;
  }
  if ((move_flag & 0xFF) == 1) return DeleteKeyTree(root, std::string(source_path));
  return kSuccess;
}

}  // namespace mur::maintenance
