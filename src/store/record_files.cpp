#include "store/record_files.h"

#include "platform/file.h"
#include "store/store_name.h"

namespace mur::store {
namespace {

using platform::File;
using platform::FileMode;

// Longest name that ReadFirstRecordLength() looks for: well past what the
// installer seeds, so that a store renamed by the application still reads.
constexpr std::uint32_t kLongestReadableName = 4096;

// The opening rule shared by the data and the index step: exclusive open that
// creates but never truncates, then write `fields` one call each when the
// file is empty. Any content leaves the file untouched.
SeedOutcome SeedIfEmpty(const std::string& path, const Fields& fields) {
  File file = File::Open(path, FileMode::kUpdateExclusive);
  if (!file.IsOpen()) return SeedOutcome::kFailed;
  const std::optional<std::uint64_t> size = file.Size();
  if (!size) {
    file.Close();
    return SeedOutcome::kFailed;
  }
  if (*size != 0) return file.Close() ? SeedOutcome::kAlreadyPresent : SeedOutcome::kFailed;
  SeedOutcome outcome = SeedOutcome::kSeeded;
  for (const std::string& field : fields) {
    if (!file.Write(field.data(), field.size())) {
      outcome = SeedOutcome::kFailed;
      break;
    }
  }
  if (!file.Close()) outcome = SeedOutcome::kFailed;
  return outcome;
}

DataStepResult SeedDataFile(StoreKind kind, const std::string& path, const std::string& name) {
  if (path.empty() || name.empty()) return {};
  Fields fields = DataHeaderFields();
  for (std::string& f : FirstRecordFields(kind, name)) fields.push_back(std::move(f));
  const SeedOutcome outcome = SeedIfEmpty(path, fields);
  return {outcome, outcome == SeedOutcome::kSeeded ? RecordLength(kind, name.size()) : 0};
}

// Whether the file at `path` exists and holds content, without creating it.
bool HoldsContent(const std::string& path) {
  File file = File::Open(path, FileMode::kReadExclusive);
  if (!file.IsOpen()) return false;
  const std::optional<std::uint64_t> size = file.Size();
  return file.Close() && size && *size != 0;
}

}  // namespace

DataStepResult SeedUserDataFile(const std::string& path, const std::string& name) {
  return SeedDataFile(StoreKind::kUser, path, name);
}

DataStepResult SeedSectionDataFile(const std::string& path, const std::string& name) {
  return SeedDataFile(StoreKind::kSection, path, name);
}

int SeedIndexFile(const std::string& path, std::uint32_t record_length) {
  if (path.empty() || record_length == 0) return 0;
  return SeedIfEmpty(path, IndexFields(record_length)) == SeedOutcome::kFailed ? 0 : 1;
}

std::optional<std::uint32_t> ReadFirstRecordLength(const std::string& path, StoreKind kind) {
  File file = File::Open(path, FileMode::kReadExclusive);
  if (!file.IsOpen()) return std::nullopt;
  std::string prefix(FirstRecordReadSize(kind, kLongestReadableName), '\0');
  std::uint32_t have = 0;
  // Read until the prefix is full or the file ends.
  while (have < prefix.size()) {
    const std::optional<std::uint32_t> got =
        file.Read(&prefix[have], static_cast<std::uint32_t>(prefix.size() - have));
    if (!got) return std::nullopt;
    if (*got == 0) break;
    have += *got;
  }
  if (!file.Close()) return std::nullopt;
  prefix.resize(have);
  return FirstRecordLength(kind, prefix);
}

int SeedRecordStore(StoreKind kind, const std::string& product_dir, const std::string& name) {
  if (product_dir.empty() || !IsValidStoreName(name)) return 0;
  const bool user = kind == StoreKind::kUser;
  const std::string data_path = product_dir + (user ? "\\data\\UserInfo.Data" : "\\data\\SectionInfo.Data");
  const std::string index_path = product_dir + (user ? "\\data\\UserInfo.ID" : "\\data\\SectionInfo.ID");
  const DataStepResult data =
      user ? SeedUserDataFile(data_path, name) : SeedSectionDataFile(data_path, name);
  switch (data.outcome) {
    case SeedOutcome::kFailed:
      return 0;
    case SeedOutcome::kSeeded:
      return SeedIndexFile(index_path, data.record_length);
    case SeedOutcome::kAlreadyPresent:
      break;
  }
  // The data file was already there. Its index may still be missing; an entry
  // for it must carry the length of the record that is really in the file,
  // and when that cannot be read the index is left as it is.
  if (HoldsContent(index_path)) return 1;
  const std::optional<std::uint32_t> length = ReadFirstRecordLength(data_path, kind);
  return length ? SeedIndexFile(index_path, *length) : 0;
}

}  // namespace mur::store
