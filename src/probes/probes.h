// The two probes of an installed product directory (a UTF-16 path).
#pragma once

#include <windows.h>

#include <string_view>

#include "report/observer.h"

namespace mur::probes {

// product_dir + "\TALVINORE.INI": 0, 1 or 2; 0 for every failure. *code is
// ERROR_SUCCESS when a mode was read, ERROR_NOT_FOUND when the file holds no
// key, ERROR_INVALID_DATA when no digit 0 to 2 follows the key, else the
// error of the file's open, read or close (ERROR_HANDLE_EOF: it is empty).
int GetAccessMode(std::wstring_view product_dir, const report::Observer* observer, DWORD* code);

// product_dir + "\version.txt": 0 to 99; -1 for every failure. *code is
// ERROR_SUCCESS when the key was found (whatever follows it), ERROR_NOT_FOUND
// when the file holds none, else the error of the file's open, read or close.
int GetVersion(std::wstring_view product_dir, const report::Observer* observer, DWORD* code);

}  // namespace mur::probes
