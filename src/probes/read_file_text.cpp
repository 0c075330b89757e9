#include "probes/read_file_text.h"

#include <cstdint>
#include <utility>

#include "platform/file.h"

namespace mur::probes {

ReadOutcome ReadFileText(const wchar_t* path, text::Bytes* bytes) {
  platform::UniqueHandle file;
  if (platform::OpenFileHandle(path, platform::FileMode::kReadExclusive, &file) != ERROR_SUCCESS)
    return ReadOutcome::kCannotOpen;
  std::uint64_t size = 0;
  if (platform::FileSize(file.get(), &size) != ERROR_SUCCESS || size > UINT32_MAX)
    return ReadOutcome::kReadFailed;
  if (size == 0) return ReadOutcome::kEmpty;
  text::Bytes read;
  if (!read.Resize(static_cast<std::size_t>(size))) return ReadOutcome::kReadFailed;
  // One read; a short read leaves zero bytes at the end.
  std::uint32_t got = 0;
  if (platform::ReadBytes(file.get(), read.data(), static_cast<std::uint32_t>(size), &got) != ERROR_SUCCESS)
    return ReadOutcome::kReadFailed;
  if (file.Close() != ERROR_SUCCESS) return ReadOutcome::kReadFailed;
  *bytes = std::move(read);
  return ReadOutcome::kRead;
}

}  // namespace mur::probes
