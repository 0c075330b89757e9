// The two probes of an installed product directory.
#pragma once

#include <string>

namespace mur::probes {

// product_dir + "\TALVINORE.INI": 0, 1 or 2; 0 for every failure.
int GetAccessMode(const std::string& product_dir);

// product_dir + "\version.txt": 0 to 99; -1 for every failure.
int GetVersion(const std::string& product_dir);

}  // namespace mur::probes
