// Seeding of the record layout: UserInfo.Data / UserInfo.ID and
// SectionInfo.Data / SectionInfo.ID in the product's data directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "store/record_format.h"

namespace mur::store {

enum class SeedOutcome {
  kFailed,          // nothing could be opened, sized, written or closed cleanly
  kAlreadyPresent,  // the file held content and was left untouched
  kSeeded,          // the file was empty or absent and now holds the seed
};

struct DataStepResult {
  SeedOutcome outcome = SeedOutcome::kFailed;
  std::uint32_t record_length = 0;  // set when kSeeded
};

// Seed-if-empty of one data file with the header and the first record.
DataStepResult SeedUserDataFile(const wchar_t* path, std::string_view name);
DataStepResult SeedSectionDataFile(const wchar_t* path, std::string_view name);

// Seed-if-empty of one index file with the entry of a first record of
// `record_length` bytes. Returns 1 (seeded or already present) or 0.
int SeedIndexFile(const wchar_t* path, std::uint32_t record_length);

// The length of the first record of an existing data file, read from its
// bytes; nullopt when the file cannot be read or holds no whole first record.
std::optional<std::uint32_t> ReadFirstRecordLength(const wchar_t* path, StoreKind kind);

// The whole export flow for one store under `product_dir` (UTF-16), with the
// name as narrow bytes. Returns 1 or 0.
int SeedRecordStore(StoreKind kind, std::wstring_view product_dir, std::string_view name);

}  // namespace mur::store
