#include "store/seed_file.h"

namespace mur::store {
namespace {

using platform::FileMode;
using platform::UniqueHandle;
using report::Event;

// Looks at the file through `file`, positioned at its start, for a seed of
// `seed_size` bytes. When the file is shorter, the position is then its end.
bool LookThrough(const wchar_t* path, HANDLE file, std::size_t seed_size, Seeding* seeding, Look* look) {
  look->read = 0;
  const DWORD sized = platform::FileSize(file, &look->size);
  if (sized != ERROR_SUCCESS) return seeding->Failed(path, "size", sized);
  if (look->size >= seed_size) return true;
  // Read up to the seed's length: a file that grew meanwhile reads as long.
  const DWORD read = ReadUpTo(file, look->head, seed_size, &look->read, seeding);
  look->size = look->read;
  return read == ERROR_SUCCESS || seeding->Failed(path, "read", read);
}

}  // namespace

DWORD ReadUpTo(HANDLE file, char* into, std::size_t size, std::size_t* got, Seeding* seeding) {
  *got = 0;
  while (*got < size) {
    std::uint32_t n = 0;
    const DWORD read = platform::ReadBytes(file, into + *got, static_cast<std::uint32_t>(size - *got), &n,
                                           &seeding->patience);
    if (read != ERROR_SUCCESS) return read;
    if (n == 0) break;
    *got += n;
  }
  return ERROR_SUCCESS;
}

bool LookAt(const wchar_t* path, std::size_t seed_size, Seeding* seeding, Look* look) {
  UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, FileMode::kReadShared, &seeding->patience, &file);
  look->absent = opened == ERROR_FILE_NOT_FOUND;
  if (look->absent) {
    look->size = look->read = 0;
    return true;
  }
  if (opened != ERROR_SUCCESS) return seeding->Failed(path, "open for reading", opened);
  if (!LookThrough(path, file.get(), seed_size, seeding, look)) return false;
  const DWORD closed = file.Close();
  return closed == ERROR_SUCCESS || seeding->Failed(path, "close", closed);
}

// Whether content is the whole seed or the application's is read only for
// the observer: the seeding itself never needs to know.
void TellFound(const wchar_t* path, const Look& look, std::string_view seed, Seeding* seeding) {
  if (!seeding->observer) return;
  std::string_view state;
  switch (look.Of(seed)) {
    case FileState::kEmpty:
      state = look.absent ? "absent" : "empty";
      break;
    case FileState::kCut:
      state = "a seeding cut short";
      break;
    case FileState::kContent: {
      state = "the application's content";
      if (look.size == seed.size()) {
        UniqueHandle file;
        char bytes[SeedBytes::kCapacity];
        std::size_t got = 0;
        if (platform::OpenFileHandle(path, FileMode::kReadShared, &seeding->patience, &file) == ERROR_SUCCESS &&
            ReadUpTo(file.get(), bytes, seed.size(), &got, seeding) == ERROR_SUCCESS &&
            std::string_view(bytes, got) == seed)
          state = "whole";
      }
      break;
    }
  }
  report::Tell(seeding->observer, {Event::kFileFound, path, static_cast<std::int64_t>(look.size), 0, 0, state});
}

SeedOutcome SeedFile(const wchar_t* path, std::string_view seed, FileMode writing, Seeding* seeding) {
  if (!path[0] || seed.empty() || seed.size() > SeedBytes::kCapacity) return SeedOutcome::kFailed;
  Look look;
  if (!LookAt(path, seed.size(), seeding, &look)) return SeedOutcome::kFailed;
  TellFound(path, look, seed, seeding);
  if (look.Of(seed) == FileState::kContent) return SeedOutcome::kAlreadyPresent;
  // To be written: opened for writing and looked at again, as another seeder
  // may have been first.
  UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, writing, &seeding->patience, &file);
  if (opened != ERROR_SUCCESS) {
    seeding->Failed(path, "open for writing", opened);
    return SeedOutcome::kFailed;
  }
  if (!LookThrough(path, file.get(), seed.size(), seeding, &look)) return SeedOutcome::kFailed;
  const bool present = look.Of(seed) == FileState::kContent;
  if (present) {
    TellFound(path, look, seed, seeding);
  } else {
    // What the file lacks of the seed (all of it when the file is empty).
    const std::size_t have = static_cast<std::size_t>(look.size);
    const DWORD written =
        platform::WriteBytes(file.get(), seed.data() + have, seed.size() - have, &seeding->patience);
    if (written != ERROR_SUCCESS) {
      seeding->Failed(path, "write", written);
      return SeedOutcome::kFailed;
    }
    report::Tell(seeding->observer, {Event::kFileWritten, path, static_cast<std::int64_t>(seed.size() - have),
                                     static_cast<std::int64_t>(have)});
  }
  const DWORD closed = file.Close();
  if (closed != ERROR_SUCCESS) {
    seeding->Failed(path, "close", closed);
    return SeedOutcome::kFailed;
  }
  return present ? SeedOutcome::kAlreadyPresent : SeedOutcome::kSeeded;
}

}  // namespace mur::store
