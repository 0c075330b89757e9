#include "store/text_files.h"

#include <cstdint>

#include "store/store_name.h"
#include "store/text_format.h"
#include "text/buffer.h"

namespace mur::store {
namespace {

using platform::FileMode;
using platform::UniqueHandle;
using report::Event;

enum class Content { kNone, kSome, kUnknown };

void TellFound(const wchar_t* path, std::string_view state, std::uint64_t size, Seeding* seeding) {
  report::Tell(seeding->observer, {Event::kFileFound, path, static_cast<std::int64_t>(size), 0, 0, state});
}

// Whether the file at `path` holds a byte, read through a shared open.
Content HoldsContent(const wchar_t* path, Seeding* seeding) {
  UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, FileMode::kReadShared, &seeding->patience, &file);
  if (opened == ERROR_FILE_NOT_FOUND) {
    TellFound(path, "absent", 0, seeding);
    return Content::kNone;
  }
  if (opened != ERROR_SUCCESS) {
    seeding->Failed(path, "open for reading", opened);
    return Content::kUnknown;
  }
  std::uint64_t size = 0;
  DWORD error = platform::FileSize(file.get(), &size);
  std::string_view step = "size";
  if (error == ERROR_SUCCESS) {
    step = "close";
    error = file.Close();
  }
  if (error != ERROR_SUCCESS) {
    seeding->Failed(path, step, error);
    return Content::kUnknown;
  }
  TellFound(path, size != 0 ? "content" : "empty", size, seeding);
  return size != 0 ? Content::kSome : Content::kNone;
}

// Why IsValidTextName refuses `name`.
std::string_view TextNameProblem(std::string_view name, const text::LeadBytes& leads) {
  const std::string_view problem = StoreNameProblem(name, leads);
  return problem.empty() ? "the name holds a comma, CR or LF, which the layout cannot hold" : problem;
}

}  // namespace

int SeedTextFile(const wchar_t* path, std::string_view line_template, std::string_view name, Seeding* seeding) {
  switch (HoldsContent(path, seeding)) {
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
  const DWORD opened = platform::OpenFileHandle(path, FileMode::kAppendDenyWrite, &seeding->patience, &file);
  if (opened != ERROR_SUCCESS) return seeding->Failed(path, "open for writing", opened);
  std::uint64_t size = 0;
  const DWORD sized = platform::FileSize(file.get(), &size);
  if (sized != ERROR_SUCCESS) return seeding->Failed(path, "size", sized);
  if (size == 0) {
    text::Bytes line;
    if (!TextSeedLine(line_template, name, &line)) return seeding->Failed(path, "make the line", ERROR_NOT_ENOUGH_MEMORY);
    const DWORD written = platform::WriteBytes(file.get(), line.data(), line.size(), &seeding->patience);
    if (written != ERROR_SUCCESS) return seeding->Failed(path, "write", written);
    report::Tell(seeding->observer, {Event::kFileWritten, path, static_cast<std::int64_t>(line.size()), 0});
  } else {
    TellFound(path, "content", size, seeding);
  }
  const DWORD closed = file.Close();
  return closed == ERROR_SUCCESS ? 1 : seeding->Failed(path, "close", closed);
}

int SeedTextStore(TextStore store, std::wstring_view product_dir, std::string_view name,
                  const text::LeadBytes& leads, Seeding* seeding) {
  if (product_dir.empty()) return seeding->Refused("the product directory is empty");
  if (!IsValidTextName(name, leads)) return seeding->Refused(TextNameProblem(name, leads));
  const bool user = store == TextStore::kUser;
  text::Wide path;
  if (!path.Assign(product_dir) || !path.Append(user ? L"\\data\\user10" : L"\\data\\section10"))
    return seeding->Failed(product_dir, "build the store's path", ERROR_NOT_ENOUGH_MEMORY);
  return SeedTextFile(path.c_str(), user ? kUserLineTemplate : kSectionLineTemplate, name, seeding);
}

}  // namespace mur::store
