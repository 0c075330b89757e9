#include "store/text_files.h"

#include <cstdint>

#include "store/text_format.h"
#include "text/buffer.h"

namespace mur::store {
namespace {

using platform::FileMode;
using platform::OpenerPatience;
using platform::UniqueHandle;

enum class Content { kNone, kSome, kUnknown };

// Whether the file at `path` holds a byte, read through a shared open.
Content HoldsContent(const wchar_t* path, OpenerPatience* patience) {
  UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, FileMode::kReadShared, patience, &file);
  if (opened == ERROR_FILE_NOT_FOUND) return Content::kNone;
  std::uint64_t size = 0;
  if (opened != ERROR_SUCCESS || platform::FileSize(file.get(), &size) != ERROR_SUCCESS ||
      file.Close() != ERROR_SUCCESS)
    return Content::kUnknown;
  return size != 0 ? Content::kSome : Content::kNone;
}

}  // namespace

int SeedTextFile(const wchar_t* path, std::string_view line_template, std::string_view name,
                 OpenerPatience* patience) {
  switch (HoldsContent(path, patience)) {
    case Content::kSome:
      return 1;
    case Content::kUnknown:
      return 0;
    case Content::kNone:
      break;
  }
  // To be written: looked at again through the writing handle, as another
  // seeder may have been first.
  UniqueHandle file;
  if (platform::OpenFileHandle(path, FileMode::kAppendDenyWrite, patience, &file) != ERROR_SUCCESS) return 0;
  std::uint64_t size = 0;
  if (platform::FileSize(file.get(), &size) != ERROR_SUCCESS) return 0;
  if (size != 0) return file.Close() == ERROR_SUCCESS ? 1 : 0;
  text::Bytes line;
  if (!TextSeedLine(line_template, name, &line)) return 0;
  const bool written = platform::WriteBytes(file.get(), line.data(), line.size(), patience) == ERROR_SUCCESS;
  const bool closed = file.Close() == ERROR_SUCCESS;
  return written && closed ? 1 : 0;
}

int SeedTextStore(TextStore store, std::wstring_view product_dir, std::string_view name,
                  const text::LeadBytes& leads) {
  if (product_dir.empty() || !IsValidTextName(name, leads)) return 0;
  const bool user = store == TextStore::kUser;
  text::Wide path;
  if (!path.Assign(product_dir) || !path.Append(user ? L"\\data\\user10" : L"\\data\\section10")) return 0;
  OpenerPatience patience;
  return SeedTextFile(path.c_str(), user ? kUserLineTemplate : kSectionLineTemplate, name, &patience);
}

}  // namespace mur::store
