// Seed-if-empty of one store file, either layout: what the file holds is
// looked at with sharing, and only a file to be written is opened for
// writing, looked at again through that handle, and given what it lacks of
// the seed in one write.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "platform/file.h"
#include "store/record_format.h"
#include "store/seeding.h"

namespace mur::store {

enum class SeedOutcome {
  kFailed,          // it could not be read, opened, written or closed cleanly
  kAlreadyPresent,  // the file held content and was left untouched
  kSeeded,          // the file was empty, absent or cut short and now holds the whole seed
};

// What a store file holds, as far as a seeding needs to know: its size and,
// when it is shorter than the seed, every byte of it.
struct Look {
  bool absent = false;
  std::uint64_t size = 0;  // of the file, or of what was read when it is shorter than the seed
  std::size_t read = 0;    // bytes of head read
  char head[SeedBytes::kCapacity] = {};

  std::string_view bytes() const { return {head, read}; }
  FileState Of(std::string_view seed) const { return ClassifyFile(size, bytes(), seed); }
};

// Reads `size` bytes (fewer when the file ends first) from the current
// position into `into`; *got is the count read.
DWORD ReadUpTo(HANDLE file, char* into, std::size_t size, std::size_t* got, Seeding* seeding);

// Looks at the file at `path` through a shared open, for a seed of
// `seed_size` bytes (at most SeedBytes::kCapacity); an absent file is empty.
// False when it cannot be looked at (seeding->code says why).
bool LookAt(const wchar_t* path, std::size_t seed_size, Seeding* seeding, Look* look);

// Tells an observer what a look found: absent, empty, a seeding cut short,
// whole, or the application's content.
void TellFound(const wchar_t* path, const Look& look, std::string_view seed, Seeding* seeding);

// Seed-if-empty of the file at `path` with `seed`, finishing a seeding that
// was cut short (a file holding a strict beginning of `seed`); any other
// content stays as it is. The file is written through an open in `writing`
// mode, which creates it when absent and never truncates it.
SeedOutcome SeedFile(const wchar_t* path, std::string_view seed, platform::FileMode writing, Seeding* seeding);

}  // namespace mur::store
