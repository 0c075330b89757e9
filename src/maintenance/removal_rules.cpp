#include "maintenance/removal_rules.h"

namespace mur::maintenance {

EntryAction ActionFor(std::uint32_t attributes) {
  const bool link = (attributes & attribute::kReparsePoint) != 0;
  if (attributes & attribute::kDirectory) return link ? EntryAction::kRemoveLink : EntryAction::kDescend;
  if (attributes & (attribute::kHidden | attribute::kSystem)) return EntryAction::kKeep;
  return EntryAction::kDelete;
}

EntryAction ActionForOpenedDirectory(std::uint32_t listed_attributes, std::uint64_t listed_id,
                                     std::uint32_t opened_attributes, std::uint64_t opened_id) {
  if (listed_id != 0 && opened_id != 0 && opened_id != listed_id) return EntryAction::kKeep;
  const EntryAction listed = ActionFor(listed_attributes);
  const EntryAction opened = ActionFor(opened_attributes);
  if (opened != EntryAction::kDescend && opened != EntryAction::kRemoveLink) return EntryAction::kKeep;
  if (listed == EntryAction::kRemoveLink && opened != EntryAction::kRemoveLink) return EntryAction::kKeep;
  return opened;
}

}  // namespace mur::maintenance
