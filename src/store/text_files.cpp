#include "store/text_files.h"

#include "store/seed_file.h"
#include "store/store_name.h"
#include "store/text_format.h"
#include "text/buffer.h"

namespace mur::store {
namespace {

// Why IsValidTextName refuses `name`.
std::string_view TextNameProblem(std::string_view name, const text::LeadBytes& leads) {
  const std::string_view problem = StoreNameProblem(name, leads);
  return problem.empty() ? "the name holds a comma, CR or LF, which the layout cannot hold" : problem;
}

}  // namespace

int SeedTextFile(const wchar_t* path, std::string_view line_template, std::string_view name, Seeding* seeding) {
  text::Bytes line;
  if (!TextSeedLine(line_template, name, &line)) return seeding->Failed(path, "make the line", ERROR_NOT_ENOUGH_MEMORY);
  return SeedFile(path, line.view(), platform::FileMode::kUpdateDenyWrite, seeding) == SeedOutcome::kFailed ? 0 : 1;
}

int SeedTextStore(StoreKind kind, std::wstring_view product_dir, std::string_view name,
                  const text::LeadBytes& leads, Seeding* seeding) {
  if (product_dir.empty()) return seeding->Refused("the product directory is empty");
  if (!IsValidTextName(name, leads)) return seeding->Refused(TextNameProblem(name, leads));
  const bool user = kind == StoreKind::kUser;
  text::Wide path;
  if (!path.Assign(product_dir) || !path.Append(user ? L"\\data\\user10" : L"\\data\\section10"))
    return seeding->Failed(product_dir, "build the store's path", ERROR_NOT_ENOUGH_MEMORY);
  return SeedTextFile(path.c_str(), user ? kUserLineTemplate : kSectionLineTemplate, name, seeding);
}

}  // namespace mur::store
