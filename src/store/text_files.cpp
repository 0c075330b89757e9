#include "store/text_files.h"

#include "platform/file.h"
#include "store/text_format.h"

namespace mur::store {

int SeedTextFile(const std::string& path, const char* line_template, const std::string& name) {
  platform::File file = platform::File::Open(path, platform::FileMode::kAppendDenyWrite);
  if (!file.IsOpen()) return 0;
  const std::optional<std::uint64_t> size = file.Size();
  if (!size) return 0;
  if (*size != 0) return file.Close() ? 1 : 0;
  const std::string line = TextSeedLine(line_template, name);
  const bool written = file.Write(line.data(), line.size());
  const bool closed = file.Close();
  return written && closed ? 1 : 0;
}

int SeedTextStore(TextStore store, const std::string& product_dir, const std::string& name) {
  if (product_dir.empty() || !IsValidTextName(name)) return 0;
  if (store == TextStore::kUser)
    return SeedTextFile(product_dir + "\\data\\user10", kUserLineTemplate, name);
  return SeedTextFile(product_dir + "\\data\\section10", kSectionLineTemplate, name);
}

}  // namespace mur::store
