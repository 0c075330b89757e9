// The two probes of an installed product directory (a UTF-16 path).
#pragma once

#include <string_view>

namespace mur::probes {

// product_dir + "\TALVINORE.INI": 0, 1 or 2; 0 for every failure.
int GetAccessMode(std::wstring_view product_dir);

// product_dir + "\version.txt": 0 to 99; -1 for every failure.
int GetVersion(std::wstring_view product_dir);

}  // namespace mur::probes
