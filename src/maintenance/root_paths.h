// Recognising paths that name a whole drive or share. Platform-free.
#pragma once

#include <string>

namespace mur::maintenance {

// True for the empty path and for every spelling of a drive root or a share
// root: "\", "C:", "C:\", "\\server", "\\server\share" (with or without
// trailing separators, either separator, and the "\\?\" and "\\.\" prefixes,
// "\\?\UNC\server\share" included).
bool NamesARoot(const std::string& path);

}  // namespace mur::maintenance
