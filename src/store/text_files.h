// Seeding of the text layout: data\user10 and data\section10.
#pragma once

#include <string_view>

#include "store/record_format.h"
#include "store/seeding.h"
#include "text/lead_bytes.h"

namespace mur::store {

// Seed-if-empty of one text file with the layout's line for `name`,
// finishing a line that a seeding left cut short (a file holding a strict
// beginning of exactly that line); any other content leaves the file alone
// (1). What the file holds is read with sharing; a file to be written is then
// opened for reading and writing, created when absent, never truncated,
// others may read but not write, looked at again through that handle, and
// given what it lacks in one write after what it holds. Returns 1 or 0.
int SeedTextFile(const wchar_t* path, std::string_view line_template, std::string_view name, Seeding* seeding);

// The export flow for one store under `product_dir` (UTF-16), with the name
// as narrow bytes in the code page whose lead bytes are `leads`. Returns 1
// or 0; seeding->code is the error that decided a 0.
int SeedTextStore(StoreKind kind, std::wstring_view product_dir, std::string_view name,
                  const text::LeadBytes& leads, Seeding* seeding);

}  // namespace mur::store
