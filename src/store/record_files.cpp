#include "store/record_files.h"

#include <initializer_list>

#include "platform/file.h"
#include "store/store_name.h"
#include "text/buffer.h"

namespace mur::store {
namespace {

using platform::FileMode;
using platform::UniqueHandle;

// Longest name that ReadFirstRecordLength() looks for: well past what the
// installer seeds, so that a store renamed by the application still reads.
constexpr std::uint32_t kLongestReadableName = 4096;

// The opening rule shared by the data and the index step: exclusive open that
// creates but never truncates, then write `fields` one call each when the
// file is empty. Any content leaves the file untouched.
SeedOutcome SeedIfEmpty(const wchar_t* path, std::initializer_list<const Fields*> parts) {
  UniqueHandle file;
  if (platform::OpenFileHandle(path, FileMode::kUpdateExclusive, &file) != ERROR_SUCCESS)
    return SeedOutcome::kFailed;
  std::uint64_t size = 0;
  if (platform::FileSize(file.get(), &size) != ERROR_SUCCESS) return SeedOutcome::kFailed;
  if (size != 0) return file.Close() == ERROR_SUCCESS ? SeedOutcome::kAlreadyPresent : SeedOutcome::kFailed;
  SeedOutcome outcome = SeedOutcome::kSeeded;
  for (const Fields* fields : parts) {
    for (std::size_t i = 0; i < fields->size() && outcome == SeedOutcome::kSeeded; ++i) {
      const std::string_view field = (*fields)[i];
      if (platform::WriteBytes(file.get(), field.data(), field.size()) != ERROR_SUCCESS)
        outcome = SeedOutcome::kFailed;
    }
  }
  if (file.Close() != ERROR_SUCCESS) outcome = SeedOutcome::kFailed;
  return outcome;
}

DataStepResult SeedDataFile(StoreKind kind, const wchar_t* path, std::string_view name) {
  if (!path[0] || name.empty()) return {};
  const Fields header = DataHeaderFields();
  const Fields record = FirstRecordFields(kind, name);
  const SeedOutcome outcome = SeedIfEmpty(path, {&header, &record});
  return {outcome, outcome == SeedOutcome::kSeeded ? RecordLength(kind, name.size()) : 0};
}

// Whether the file at `path` exists and holds content, without creating it.
bool HoldsContent(const wchar_t* path) {
  UniqueHandle file;
  if (platform::OpenFileHandle(path, FileMode::kReadExclusive, &file) != ERROR_SUCCESS) return false;
  std::uint64_t size = 0;
  const bool sized = platform::FileSize(file.get(), &size) == ERROR_SUCCESS;
  return file.Close() == ERROR_SUCCESS && sized && size != 0;
}

bool StorePath(std::wstring_view product_dir, std::wstring_view tail, text::Wide* path) {
  return path->Assign(product_dir) && path->Append(tail);
}

}  // namespace

DataStepResult SeedUserDataFile(const wchar_t* path, std::string_view name) {
  return SeedDataFile(StoreKind::kUser, path, name);
}

DataStepResult SeedSectionDataFile(const wchar_t* path, std::string_view name) {
  return SeedDataFile(StoreKind::kSection, path, name);
}

int SeedIndexFile(const wchar_t* path, std::uint32_t record_length) {
  if (!path[0] || record_length == 0) return 0;
  const Fields index = IndexFields(record_length);
  return SeedIfEmpty(path, {&index}) == SeedOutcome::kFailed ? 0 : 1;
}

std::optional<std::uint32_t> ReadFirstRecordLength(const wchar_t* path, StoreKind kind) {
  UniqueHandle file;
  if (platform::OpenFileHandle(path, FileMode::kReadExclusive, &file) != ERROR_SUCCESS) return std::nullopt;
  text::Bytes prefix;
  if (!prefix.Resize(FirstRecordReadSize(kind, kLongestReadableName))) return std::nullopt;
  std::uint32_t have = 0;
  // Read until the prefix is full or the file ends.
  while (have < prefix.size()) {
    std::uint32_t got = 0;
    if (platform::ReadBytes(file.get(), prefix.data() + have, static_cast<std::uint32_t>(prefix.size() - have),
                            &got) != ERROR_SUCCESS)
      return std::nullopt;
    if (got == 0) break;
    have += got;
  }
  if (file.Close() != ERROR_SUCCESS) return std::nullopt;
  prefix.Truncate(have);
  return FirstRecordLength(kind, prefix.view());
}

int SeedRecordStore(StoreKind kind, std::wstring_view product_dir, std::string_view name) {
  if (product_dir.empty() || !IsValidStoreName(name)) return 0;
  const bool user = kind == StoreKind::kUser;
  text::Wide data_path, index_path;
  if (!StorePath(product_dir, user ? L"\\data\\UserInfo.Data" : L"\\data\\SectionInfo.Data", &data_path) ||
      !StorePath(product_dir, user ? L"\\data\\UserInfo.ID" : L"\\data\\SectionInfo.ID", &index_path))
    return 0;
  const DataStepResult data =
      user ? SeedUserDataFile(data_path.c_str(), name) : SeedSectionDataFile(data_path.c_str(), name);
  switch (data.outcome) {
    case SeedOutcome::kFailed:
      return 0;
    case SeedOutcome::kSeeded:
      return SeedIndexFile(index_path.c_str(), data.record_length);
    case SeedOutcome::kAlreadyPresent:
      break;
  }
  // The data file was already there. Its index may still be missing; an entry
  // for it must carry the length of the record that is really in the file,
  // and when that cannot be read the index is left as it is.
  if (HoldsContent(index_path.c_str())) return 1;
  const std::optional<std::uint32_t> length = ReadFirstRecordLength(data_path.c_str(), kind);
  return length ? SeedIndexFile(index_path.c_str(), *length) : 0;
}

}  // namespace mur::store
