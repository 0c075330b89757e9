// Each export's whole work, from the host's narrow arguments to its result,
// told to `observer` as it decides (null: told to no one, as the exported
// functions call it) and with *code set to the last error that the export
// leaves: ERROR_SUCCESS after a success, the Windows error code that decided
// a failure otherwise. murhost's explain runs these very functions.
#pragma once

#include <windows.h>

#include "report/observer.h"
#include "store/record_format.h"

namespace mur::exports {

using report::Observer;

enum class Layout { kRecord, kText };

// The four seeders: the record or the text layout of the user or section
// store. 1 or 0.
int SeedStore(Layout layout, store::StoreKind kind, const char* product_dir, const char* name,
              const Observer* observer, DWORD* code);
// The access mode (0, 1, 2; 0 on failure) and the version (0 to 99; -1).
int ReadAccessMode(const char* product_dir, const Observer* observer, DWORD* code);
int ReadVersion(const char* product_dir, const Observer* observer, DWORD* code);
// The quoting class, 1 to 4; it cannot fail.
int ClassifyQuoting(const char* command, const Observer* observer, DWORD* code);
// 1 when the whole tree is gone, 0 otherwise.
int RemoveTree(const char* directory, const Observer* observer, DWORD* code);
// 0, or the Windows error code that is also *code.
int CopyKeyTree(HKEY root, const char* source, const char* destination, int move_flag, const Observer* observer,
                DWORD* code);

}  // namespace mur::exports
