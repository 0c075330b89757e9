#include "store/record_files.h"

#include "store/store_name.h"
#include "text/buffer.h"

namespace mur::store {
namespace {

using platform::FileMode;
using platform::UniqueHandle;
using report::Event;

// Longest name that ReadFirstRecordLength() looks for: well past what the
// installer seeds, so that a store renamed by the application still reads.
constexpr std::uint32_t kLongestReadableName = 4096;

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

// Looks at the file at `path` through a shared open; an absent file is empty.
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

// Tells an observer what a look found. Whether content is the whole seed or
// the application's is read only for the observer: the seeding itself never
// needs to know.
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

bool StorePath(std::wstring_view product_dir, std::wstring_view tail, text::Wide* path) {
  return path->Assign(product_dir) && path->Append(tail);
}

DataStepResult SeedDataFile(StoreKind kind, const wchar_t* path, std::string_view name, Seeding* seeding) {
  const SeedBytes seed = DataFileSeed(kind, name);
  if (!path[0] || name.empty() || !seed.ok()) return {};
  const SeedOutcome outcome = SeedRecordFile(path, seed.view(), seeding);
  return {outcome, outcome == SeedOutcome::kSeeded ? RecordLength(kind, name.size()) : 0};
}

// The data file was already there. Its index may be missing or cut short:
// its entry must carry the length of the record that is really in the data
// file. When that cannot be read, an index that may be a cut entry is left as
// it is, and the store is not reported whole.
int RepairIndex(StoreKind kind, const wchar_t* data_path, const wchar_t* index_path, Seeding* seeding) {
  Look index;
  if (!LookAt(index_path, kIndexFileSize, seeding, &index)) return 0;
  if (index.size >= kIndexFileSize || (index.size != 0 && !MayBeCutIndex(index.bytes()))) {
    report::Tell(seeding->observer, {Event::kFileFound, index_path, static_cast<std::int64_t>(index.size), 0, 0,
                                     index.size >= kIndexFileSize ? "an entry or more" : "the application's content"});
    return 1;
  }
  const std::optional<std::uint32_t> length = ReadFirstRecordLength(data_path, kind, seeding);
  if (!length) {
    if (seeding->code == ERROR_SUCCESS) seeding->Failed(data_path, "read a whole first record", ERROR_INVALID_DATA);
    return 0;
  }
  report::Tell(seeding->observer, {Event::kIndexFrom, data_path, *length});
  return SeedIndexFile(index_path, *length, seeding);
}

}  // namespace

SeedOutcome SeedRecordFile(const wchar_t* path, std::string_view seed, Seeding* seeding) {
  if (!path[0] || seed.empty()) return SeedOutcome::kFailed;
  Look look;
  if (!LookAt(path, seed.size(), seeding, &look)) return SeedOutcome::kFailed;
  TellFound(path, look, seed, seeding);
  if (look.Of(seed) == FileState::kContent) return SeedOutcome::kAlreadyPresent;
  // To be written: taken exclusively and looked at again, as another seeder
  // may have been first.
  UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, FileMode::kUpdateExclusive, &seeding->patience, &file);
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


DataStepResult SeedUserDataFile(const wchar_t* path, std::string_view name, Seeding* seeding) {
  return SeedDataFile(StoreKind::kUser, path, name, seeding);
}

DataStepResult SeedSectionDataFile(const wchar_t* path, std::string_view name, Seeding* seeding) {
  return SeedDataFile(StoreKind::kSection, path, name, seeding);
}

int SeedIndexFile(const wchar_t* path, std::uint32_t record_length, Seeding* seeding) {
  if (!path[0] || record_length == 0) return 0;
  const SeedBytes seed = IndexFileSeed(record_length);
  // A short index that begins like an entry, but for a record of another
  // length (an earlier version gave a missing index the length 1), is a cut
  // entry that this call cannot finish: it stays, and the store is not whole.
  Look index;
  if (!LookAt(path, seed.view().size(), seeding, &index)) return 0;
  if (index.Of(seed.view()) == FileState::kContent && index.size < kIndexFileSize &&
      MayBeCutIndex(index.bytes())) {
    TellFound(path, index, seed.view(), seeding);
    return seeding->Failed(path, "finish an entry cut short for a record of another length", ERROR_INVALID_DATA);
  }
  return SeedRecordFile(path, seed.view(), seeding) == SeedOutcome::kFailed ? 0 : 1;
}

std::optional<std::uint32_t> ReadFirstRecordLength(const wchar_t* path, StoreKind kind, Seeding* seeding) {
  UniqueHandle file;
  text::Bytes prefix;
  std::size_t have = 0;
  DWORD error = platform::OpenFileHandle(path, FileMode::kReadShared, &seeding->patience, &file);
  std::string_view step = "open for reading";
  if (error == ERROR_SUCCESS) {
    step = "read";
    error = prefix.Resize(FirstRecordReadSize(kind, kLongestReadableName))
                ? ReadUpTo(file.get(), prefix.data(), prefix.size(), &have, seeding)
                : ERROR_NOT_ENOUGH_MEMORY;
  }
  if (error == ERROR_SUCCESS) {
    step = "close";
    error = file.Close();
  }
  if (error != ERROR_SUCCESS) {
    seeding->Failed(path, step, error);
    return std::nullopt;
  }
  prefix.Truncate(have);
  return FirstRecordLength(kind, prefix.view());
}

int SeedRecordStore(StoreKind kind, std::wstring_view product_dir, std::string_view name,
                    const text::LeadBytes& leads, Seeding* seeding) {
  // The files of each store, and the step that seeds its data file.
  struct Files {
    const wchar_t* data;
    const wchar_t* index;
    DataStepResult (*seed_data)(const wchar_t* path, std::string_view name, Seeding* seeding);
  };
  static constexpr Files kUser{L"\\data\\UserInfo.Data", L"\\data\\UserInfo.ID", SeedUserDataFile};
  static constexpr Files kSection{L"\\data\\SectionInfo.Data", L"\\data\\SectionInfo.ID", SeedSectionDataFile};
  const Files& files = kind == StoreKind::kUser ? kUser : kSection;
  if (product_dir.empty()) return seeding->Refused("the product directory is empty");
  if (!IsValidStoreName(name, leads)) return seeding->Refused(StoreNameProblem(name, leads));
  text::Wide data_path, index_path;
  if (!StorePath(product_dir, files.data, &data_path) || !StorePath(product_dir, files.index, &index_path))
    return seeding->Failed(product_dir, "build the store's paths", ERROR_NOT_ENOUGH_MEMORY);
  const DataStepResult data = files.seed_data(data_path.c_str(), name, seeding);
  switch (data.outcome) {
    case SeedOutcome::kFailed:
      return 0;
    case SeedOutcome::kSeeded:
      return SeedIndexFile(index_path.c_str(), data.record_length, seeding);
    case SeedOutcome::kAlreadyPresent:
      break;
  }
  return RepairIndex(kind, data_path.c_str(), index_path.c_str(), seeding);
}

}  // namespace mur::store
