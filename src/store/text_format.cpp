#include "store/text_format.h"

#include "store/store_name.h"

namespace mur::store {
namespace {

bool AppendWithCrLf(std::string_view part, text::Bytes* out) {
  for (char c : part) {
    if (c == '\n' && !out->Append('\r')) return false;
    if (!out->Append(c)) return false;
  }
  return true;
}

}  // namespace

bool IsValidTextName(std::string_view name, const text::LeadBytes& leads) {
  return IsValidStoreName(name, leads) && name.find_first_of(",\r\n") == std::string_view::npos;
}

bool TextSeedLine(std::string_view line_template, std::string_view name, text::Bytes* line) {
  line->Clear();
  const std::size_t slot = line_template.find("%s");
  if (slot == std::string_view::npos) return AppendWithCrLf(line_template, line);
  std::string_view after = line_template;
  after.remove_prefix(slot + 2);
  return AppendWithCrLf(std::string_view(line_template.data(), slot), line) && AppendWithCrLf(name, line) &&
         AppendWithCrLf(after, line);
}

}  // namespace mur::store
