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

bool StorePath(std::wstring_view product_dir, std::wstring_view tail, text::Wide* path) {
  return path->Assign(product_dir) && path->Append(tail);
}

DataStepResult SeedDataFile(StoreKind kind, const wchar_t* path, std::string_view name, Seeding* seeding) {
  const SeedBytes seed = DataFileSeed(kind, name);
  if (!path[0] || name.empty() || !seed.ok()) return {};
  const SeedOutcome outcome = SeedFile(path, seed.view(), FileMode::kUpdateExclusive, seeding);
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
  return SeedFile(path, seed.view(), FileMode::kUpdateExclusive, seeding) == SeedOutcome::kFailed ? 0 : 1;
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
