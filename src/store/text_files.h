// Seeding of the text layout: data\user10 and data\section10.
#pragma once

#include <string_view>

namespace mur::store {

enum class TextStore { kUser, kSection };

// Seed-if-empty of one text file: opened for reading and writing, created
// when absent, never truncated, writes appended, others may read but not
// write. Any content leaves the file alone (1). Returns 1 or 0.
int SeedTextFile(const wchar_t* path, std::string_view line_template, std::string_view name);

// The export flow for one store under `product_dir` (UTF-16), with the name
// as narrow bytes. Returns 1 or 0.
int SeedTextStore(TextStore store, std::wstring_view product_dir, std::string_view name);

}  // namespace mur::store
