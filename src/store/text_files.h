// Seeding of the text layout: data\user10 and data\section10.
#pragma once

#include <string_view>

#include "store/seeding.h"
#include "text/lead_bytes.h"

namespace mur::store {

enum class TextStore { kUser, kSection };

// Seed-if-empty of one text file. Whether it holds content is read with
// sharing; an empty or absent file is then opened for reading and writing,
// created when absent, never truncated, writes appended, others may read but
// not write, and given the line in one write. Any content leaves the file
// alone (1). Returns 1 or 0.
int SeedTextFile(const wchar_t* path, std::string_view line_template, std::string_view name, Seeding* seeding);

// The export flow for one store under `product_dir` (UTF-16), with the name
// as narrow bytes in the code page whose lead bytes are `leads`. Returns 1
// or 0; seeding->code is the error that decided a 0.
int SeedTextStore(TextStore store, std::wstring_view product_dir, std::string_view name,
                  const text::LeadBytes& leads, Seeding* seeding);

}  // namespace mur::store
