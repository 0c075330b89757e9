#include "store/text_files.h"

#include <cstdint>

#include "platform/file.h"
#include "store/text_format.h"
#include "text/buffer.h"

namespace mur::store {

int SeedTextFile(const wchar_t* path, std::string_view line_template, std::string_view name) {
  platform::UniqueHandle file;
  if (platform::OpenFileHandle(path, platform::FileMode::kAppendDenyWrite, &file) != ERROR_SUCCESS) return 0;
  std::uint64_t size = 0;
  if (platform::FileSize(file.get(), &size) != ERROR_SUCCESS) return 0;
  if (size != 0) return file.Close() == ERROR_SUCCESS ? 1 : 0;
  text::Bytes line;
  if (!TextSeedLine(line_template, name, &line)) return 0;
  const bool written = platform::WriteBytes(file.get(), line.data(), line.size()) == ERROR_SUCCESS;
  const bool closed = file.Close() == ERROR_SUCCESS;
  return written && closed ? 1 : 0;
}

int SeedTextStore(TextStore store, std::wstring_view product_dir, std::string_view name) {
  if (product_dir.empty() || !IsValidTextName(name)) return 0;
  const bool user = store == TextStore::kUser;
  text::Wide path;
  if (!path.Assign(product_dir) || !path.Append(user ? L"\\data\\user10" : L"\\data\\section10")) return 0;
  return SeedTextFile(path.c_str(), user ? kUserLineTemplate : kSectionLineTemplate, name);
}

}  // namespace mur::store
