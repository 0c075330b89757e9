// Seeding of the record layout: UserInfo.Data / UserInfo.ID and
// SectionInfo.Data / SectionInfo.ID in the product's data directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "store/seeding.h"
#include "store/record_format.h"
#include "text/lead_bytes.h"

namespace mur::store {

enum class SeedOutcome {
  kFailed,          // it could not be read, opened, written or closed cleanly
  kAlreadyPresent,  // the file held content and was left untouched
  kSeeded,          // the file was empty, absent or cut short and now holds the whole seed
};

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

// Seed-if-empty of one store file with `seed`, finishing a seeding that was
// cut short. What the file holds is read with sharing; only when it is to be
// written is it opened exclusively (created when absent), looked at again
// through that handle, and given what it lacks of the seed in one write.
SeedOutcome SeedRecordFile(const wchar_t* path, std::string_view seed, Seeding* seeding);

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
