// Seeding of the text layout: data\user10 and data\section10.
#pragma once

#include <string>

namespace mur::store {

enum class TextStore { kUser, kSection };

// Seed-if-empty of one text file: opened for reading and writing, created
// when absent, never truncated, writes appended, others may read but not
// write. Any content leaves the file alone (1). Returns 1 or 0.
int SeedTextFile(const std::string& path, const char* line_template, const std::string& name);

// The export flow for one store under `product_dir`. Returns 1 or 0.
int SeedTextStore(TextStore store, const std::string& product_dir, const std::string& name);

}  // namespace mur::store
