// Seeding of the record layout: UserInfo.Data / UserInfo.ID and
// SectionInfo.Data / SectionInfo.ID in the product's data directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "store/record_format.h"
#include "store/seed_file.h"
#include "store/seeding.h"
#include "text/lead_bytes.h"

namespace mur::store {

struct DataStepResult {
  SeedOutcome outcome = SeedOutcome::kFailed;
  std::uint32_t record_length = 0;  // set when kSeeded
};

// Seed-if-empty of one data file with the header and the first record.
DataStepResult SeedUserDataFile(const wchar_t* path, std::string_view name, Seeding* seeding);
DataStepResult SeedSectionDataFile(const wchar_t* path, std::string_view name,
                                   Seeding* seeding);

// Seed-if-empty of one index file with the entry of a first record of
// `record_length` bytes, finishing one cut short. Returns 1 (seeded or
// already present) or 0; 0 also for a short index that begins like an entry
// for a record of another length, which stays as it is.
int SeedIndexFile(const wchar_t* path, std::uint32_t record_length, Seeding* seeding);

// The length of the first record of an existing data file, read from its
// bytes with sharing; nullopt when the file cannot be read or holds no whole
// first record.
std::optional<std::uint32_t> ReadFirstRecordLength(const wchar_t* path, StoreKind kind,
                                                   Seeding* seeding);

// The whole export flow for one store under `product_dir` (UTF-16), with the
// name as narrow bytes in the code page whose lead bytes are `leads`.
// Returns 1 or 0; seeding->code is the error that decided a 0.
int SeedRecordStore(StoreKind kind, std::wstring_view product_dir, std::string_view name,
                    const text::LeadBytes& leads, Seeding* seeding);

}  // namespace mur::store
