// Copying, or moving, a registry key with all its values and subkeys.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace mur::maintenance {

// Copies every value, then every subkey at any depth, of `source` into
// `destination`, creating missing subkeys (non-volatile) and appending to
// `created` the path, under the root, of each key it creates. Returns 0 or
// the first platform error code; stops at the first error.
long CopyKeyTree(const platform::RegKey& source, const platform::RegKey& destination,
                 const std::string& destination_path, std::vector<std::string>* created);

// Deletes root + path with all its subkeys, deepest first. Returns 0 or the
// first error, and stops there.
long DeleteKeyTree(platform::KeyHandle root, const std::string& path);

// The export: copies root + source to root + destination, and with a move
// flag whose low byte is 1 deletes the source afterwards. A destination equal
// to or inside the source is refused with ERROR_INVALID_PARAMETER. A failed
// copy deletes the keys it created and nothing else. Returns 0 or an error.
long CopyRegistryTree(platform::KeyHandle root, const char* source, const char* destination,
                      int move_flag);

}  // namespace mur::maintenance
