#include "maintenance/key_paths.h"

namespace mur::maintenance {
namespace {

constexpr wchar_t kSeparator = L'\\';

bool SameComponent(std::wstring_view a, std::wstring_view b, FoldUnit fold) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

bool KeyPathComponents::Next(std::wstring_view* component) {
  while (!rest_.empty() && rest_.front() == kSeparator) rest_.remove_prefix(1);
  if (rest_.empty()) return false;
  std::size_t length = 0;
  while (length < rest_.size() && rest_[length] != kSeparator) ++length;
  *component = std::wstring_view(rest_.data(), length);
  rest_.remove_prefix(length);
  return true;
}

KeyRelation Relate(std::wstring_view base, std::wstring_view name, FoldUnit fold, std::wstring_view* below) {
  KeyPathComponents base_parts(base), name_parts(name);
  std::wstring_view base_part, name_part;
  while (base_parts.Next(&base_part)) {
    if (!name_parts.Next(&name_part) || !SameComponent(base_part, name_part, fold)) return KeyRelation::kUnrelated;
  }
  // Every component of `base` matched: what is left of `name` lies below it.
  std::wstring_view rest = name_parts.rest();
  while (!rest.empty() && rest.front() == kSeparator) rest.remove_prefix(1);
  if (rest.empty()) return KeyRelation::kSame;
  if (below) *below = rest;
  return KeyRelation::kBelow;
}

bool AppendComponents(std::wstring_view path, text::Wide* name) {
  KeyPathComponents parts(path);
  std::wstring_view part;
  while (parts.Next(&part)) {
    if (!name->Append(kSeparator) || !name->Append(part)) return false;
  }
  return true;
}

}  // namespace mur::maintenance
