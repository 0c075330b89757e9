#include "store/record_files.h"

#include "store/store_name.h"
#include "text/buffer.h"

namespace mur::store {
namespace {

using platform::FileMode;
using platform::OpenerPatience;
using platform::UniqueHandle;

// Longest name that ReadFirstRecordLength() looks for: well past what the
// installer seeds, so that a store renamed by the application still reads.
constexpr std::uint32_t kLongestReadableName = 4096;

// What a store file holds, as far as a seeding needs to know: its size and,
// when it is shorter than the seed, every byte of it.
struct Look {
  std::uint64_t size = 0;  // of the file, or of what was read when it is shorter than the seed
  std::size_t read = 0;    // bytes of head read
  char head[SeedBytes::kCapacity] = {};

  std::string_view bytes() const { return {head, read}; }
  FileState Of(std::string_view seed) const { return ClassifyFile(size, bytes(), seed); }
};

// Reads `size` bytes (fewer when the file ends first) from the current
// position into `into`; *got is the count read.
DWORD ReadUpTo(HANDLE file, char* into, std::size_t size, std::size_t* got, OpenerPatience* patience) {
  *got = 0;
  while (*got < size) {
    std::uint32_t n = 0;
    const DWORD read =
        platform::ReadBytes(file, into + *got, static_cast<std::uint32_t>(size - *got), &n, patience);
    if (read != ERROR_SUCCESS) return read;
    if (n == 0) break;
    *got += n;
  }
  return ERROR_SUCCESS;
}

// Looks at the file through `file`, positioned at its start, for a seed of
// `seed_size` bytes. When the file is shorter, the position is then its end.
DWORD LookThrough(HANDLE file, std::size_t seed_size, OpenerPatience* patience, Look* look) {
  look->read = 0;
  const DWORD sized = platform::FileSize(file, &look->size);
  if (sized != ERROR_SUCCESS || look->size >= seed_size) return sized;
  // Read up to the seed's length: a file that grew meanwhile reads as long.
  const DWORD read = ReadUpTo(file, look->head, seed_size, &look->read, patience);
  look->size = look->read;
  return read;
}

// Looks at the file at `path` through a shared open; an absent file is empty.
DWORD LookAt(const wchar_t* path, std::size_t seed_size, OpenerPatience* patience, Look* look) {
  UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, FileMode::kReadShared, patience, &file);
  if (opened == ERROR_FILE_NOT_FOUND) {
    look->size = look->read = 0;
    return ERROR_SUCCESS;
  }
  if (opened != ERROR_SUCCESS) return opened;
  const DWORD looked = LookThrough(file.get(), seed_size, patience, look);
  const DWORD closed = file.Close();
  return looked != ERROR_SUCCESS ? looked : closed;
}

bool StorePath(std::wstring_view product_dir, std::wstring_view tail, text::Wide* path) {
  return path->Assign(product_dir) && path->Append(tail);
}

DataStepResult SeedDataFile(StoreKind kind, const wchar_t* path, std::string_view name,
                            OpenerPatience* patience) {
  const SeedBytes seed = DataFileSeed(kind, name);
  if (!path[0] || name.empty() || !seed.ok()) return {};
  const SeedOutcome outcome = SeedRecordFile(path, seed.view(), patience);
  return {outcome, outcome == SeedOutcome::kSeeded ? RecordLength(kind, name.size()) : 0};
}

// The data file was already there. Its index may be missing or cut short:
// its entry must carry the length of the record that is really in the data
// file. When that cannot be read, an index that may be a cut entry is left as
// it is, and the store is not reported whole.
int RepairIndex(StoreKind kind, const wchar_t* data_path, const wchar_t* index_path, OpenerPatience* patience) {
  Look index;
  if (LookAt(index_path, kIndexFileSize, patience, &index) != ERROR_SUCCESS) return 0;
  if (index.size >= kIndexFileSize || (index.size != 0 && !MayBeCutIndex(index.bytes()))) return 1;
  const std::optional<std::uint32_t> length = ReadFirstRecordLength(data_path, kind, patience);
  return length ? SeedIndexFile(index_path, *length, patience) : 0;
}

}  // namespace

SeedOutcome SeedRecordFile(const wchar_t* path, std::string_view seed, OpenerPatience* patience) {
  if (!path[0] || seed.empty()) return SeedOutcome::kFailed;
  Look look;
  if (LookAt(path, seed.size(), patience, &look) != ERROR_SUCCESS) return SeedOutcome::kFailed;
  if (look.Of(seed) == FileState::kContent) return SeedOutcome::kAlreadyPresent;
  // To be written: taken exclusively and looked at again, as another seeder
  // may have been first.
  UniqueHandle file;
  if (platform::OpenFileHandle(path, FileMode::kUpdateExclusive, patience, &file) != ERROR_SUCCESS ||
      LookThrough(file.get(), seed.size(), patience, &look) != ERROR_SUCCESS)
    return SeedOutcome::kFailed;
  if (look.Of(seed) == FileState::kContent)
    return file.Close() == ERROR_SUCCESS ? SeedOutcome::kAlreadyPresent : SeedOutcome::kFailed;
  // What the file lacks of the seed (all of it when the file is empty).
  const std::size_t have = static_cast<std::size_t>(look.size);
  if (platform::WriteBytes(file.get(), seed.data() + have, seed.size() - have, patience) != ERROR_SUCCESS)
    return SeedOutcome::kFailed;
  return file.Close() == ERROR_SUCCESS ? SeedOutcome::kSeeded : SeedOutcome::kFailed;
}

DataStepResult SeedUserDataFile(const wchar_t* path, std::string_view name, OpenerPatience* patience) {
  return SeedDataFile(StoreKind::kUser, path, name, patience);
}

DataStepResult SeedSectionDataFile(const wchar_t* path, std::string_view name, OpenerPatience* patience) {
  return SeedDataFile(StoreKind::kSection, path, name, patience);
}

int SeedIndexFile(const wchar_t* path, std::uint32_t record_length, OpenerPatience* patience) {
  if (!path[0] || record_length == 0) return 0;
  const SeedBytes seed = IndexFileSeed(record_length);
  // A short index that begins like an entry, but for a record of another
  // length (an earlier version gave a missing index the length 1), is a cut
  // entry that this call cannot finish: it stays, and the store is not whole.
  Look index;
  if (LookAt(path, seed.view().size(), patience, &index) != ERROR_SUCCESS) return 0;
  if (index.Of(seed.view()) == FileState::kContent && index.size < kIndexFileSize &&
      MayBeCutIndex(index.bytes()))
    return 0;
  return SeedRecordFile(path, seed.view(), patience) == SeedOutcome::kFailed ? 0 : 1;
}

std::optional<std::uint32_t> ReadFirstRecordLength(const wchar_t* path, StoreKind kind,
                                                   OpenerPatience* patience) {
  UniqueHandle file;
  if (platform::OpenFileHandle(path, FileMode::kReadShared, patience, &file) != ERROR_SUCCESS)
    return std::nullopt;
  text::Bytes prefix;
  if (!prefix.Resize(FirstRecordReadSize(kind, kLongestReadableName))) return std::nullopt;
  std::size_t have = 0;
  if (ReadUpTo(file.get(), prefix.data(), prefix.size(), &have, patience) != ERROR_SUCCESS) return std::nullopt;
  if (file.Close() != ERROR_SUCCESS) return std::nullopt;
  prefix.Truncate(have);
  return FirstRecordLength(kind, prefix.view());
}

int SeedRecordStore(StoreKind kind, std::wstring_view product_dir, std::string_view name,
                    const text::LeadBytes& leads) {
  // The files of each store, and the step that seeds its data file.
  struct Files {
    const wchar_t* data;
    const wchar_t* index;
    DataStepResult (*seed_data)(const wchar_t* path, std::string_view name, OpenerPatience* patience);
  };
  static constexpr Files kUser{L"\\data\\UserInfo.Data", L"\\data\\UserInfo.ID", SeedUserDataFile};
  static constexpr Files kSection{L"\\data\\SectionInfo.Data", L"\\data\\SectionInfo.ID", SeedSectionDataFile};
  const Files& files = kind == StoreKind::kUser ? kUser : kSection;
  if (product_dir.empty() || !IsValidStoreName(name, leads)) return 0;
  text::Wide data_path, index_path;
  if (!StorePath(product_dir, files.data, &data_path) || !StorePath(product_dir, files.index, &index_path)) return 0;
  OpenerPatience patience;
  const DataStepResult data = files.seed_data(data_path.c_str(), name, &patience);
  switch (data.outcome) {
    case SeedOutcome::kFailed:
      return 0;
    case SeedOutcome::kSeeded:
      return SeedIndexFile(index_path.c_str(), data.record_length, &patience);
    case SeedOutcome::kAlreadyPresent:
      break;
  }
  return RepairIndex(kind, data_path.c_str(), index_path.c_str(), &patience);
}

}  // namespace mur::store
