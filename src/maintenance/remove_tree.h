// Removing a directory tree, best effort.
#pragma once

#include <string>

namespace mur::maintenance {

// Removes `directory` and everything below it, going on after failures.
// Hidden and system files stay, and so do their directories and every
// directory above them. Links (reparse points) are removed as links, never
// followed. Returns 1 when the whole tree is gone, 0 otherwise.
int RemoveTree(const std::string& directory);

// The export: refuses a root or empty path, and removes a directory that is
// itself a link only as a link. Returns 1 or 0.
int RemoveFiles(const std::string& directory);

}  // namespace mur::maintenance
