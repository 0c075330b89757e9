#include "probes/read_file_text.h"

#include <limits>
#include <optional>

#include "platform/file.h"

namespace mur::probes {

FileText ReadFileText(const std::string& path) {
  platform::File file = platform::File::Open(path, platform::FileMode::kReadExclusive);
  if (!file.IsOpen()) return {ReadOutcome::kCannotOpen, {}};
  const std::optional<std::uint64_t> size = file.Size();
  if (!size || *size > std::numeric_limits<std::uint32_t>::max() ||
      *size > std::string().max_size())
    return {ReadOutcome::kReadFailed, {}};
  if (*size == 0) return {ReadOutcome::kEmpty, {}};
  FileText text{ReadOutcome::kRead, std::string(static_cast<std::size_t>(*size), '\0')};
  // One read; a short read leaves zero bytes at the end.
  if (!file.Read(&text.bytes[0], static_cast<std::uint32_t>(*size))) return {ReadOutcome::kReadFailed, {}};
  if (!file.Close()) return {ReadOutcome::kReadFailed, {}};
  return text;
}

}  // namespace mur::probes
