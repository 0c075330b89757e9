// Registry key paths and full key names, read and compared as the registry
// reads and compares them. Platform-free: how one UTF-16 unit folds to upper
// case comes from the caller (the registry's own table on Windows).
#pragma once

#include <string_view>

#include "text/buffer.h"

namespace mur::maintenance {

// The components of a key path in order, as the registry reads the path:
// backslashes separate them, and empty components (from leading, doubled or
// trailing separators) are skipped.
class KeyPathComponents {
 public:
  explicit KeyPathComponents(std::wstring_view path) : rest_(path) {}

  // The next component, a view into the path; false after the last one.
  bool Next(std::wstring_view* component);
  // The path after the component that Next returned last (all of it before
  // the first call).
  std::wstring_view rest() const { return rest_; }

 private:
  std::wstring_view rest_;
};

// One UTF-16 unit in upper case.
using FoldUnit = wchar_t (*)(wchar_t);

enum class KeyRelation {
  kUnrelated,  // neither is the other nor lies below it, or `name` lies above `base`
  kSame,
  kBelow,  // `name` lies below `base`
};

// Where the key named `name` lies relative to the key named `base`, both
// full names (or both paths from one key), compared component by component
// with every unit folded. With kBelow, *below (when not null) receives the
// part of `name` under `base`: a suffix of `name` from its first component
// there on (so it is zero-terminated when `name` is).
KeyRelation Relate(std::wstring_view base, std::wstring_view name, FoldUnit fold, std::wstring_view* below);

// Appends every component of `path` to `name`, each after one backslash.
// False when memory runs out.
[[nodiscard]] bool AppendComponents(std::wstring_view path, text::Wide* name);

}  // namespace mur::maintenance
