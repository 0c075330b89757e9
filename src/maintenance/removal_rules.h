// What tree removal does with each entry it lists, decided from attribute
// bits and file ids alone. Platform-free.
#pragma once

#include <cstdint>

namespace mur::maintenance {

// The attribute bits the rules read (the platform's FILE_ATTRIBUTE_* values).
namespace attribute {
constexpr std::uint32_t kReadOnly = 0x1;
constexpr std::uint32_t kHidden = 0x2;
constexpr std::uint32_t kSystem = 0x4;
constexpr std::uint32_t kDirectory = 0x10;
constexpr std::uint32_t kReparsePoint = 0x400;
}  // namespace attribute

enum class EntryAction {
  kDescend,     // a directory: empty it, then remove it
  kRemoveLink,  // a directory link: remove the link itself, never what it points to
  kKeep,        // leave it in place; the tree then stays (result 0)
  kDelete,      // delete it (a read-only file is refused by the file system and stays)
};

// The first rule that fits: a directory that is not a link is descended and
// a directory link is removed as a link, hidden or not; a hidden or system
// entry that is not a directory stays, link or not; everything else is
// deleted, read-only included (no attribute is changed first).
EntryAction ActionFor(std::uint32_t attributes);

// What to do with a directory entry once it is open: `listed_*` is what the
// listing of its parent said, `opened_*` what its own handle says. Only the
// object the listing showed is acted on: a different file id (when both the
// listing and the handle give one; 0 means none) keeps it. An entry listed as a link whose
// handle does not show a link reached what the link points to, and is kept.
// Otherwise the handle's attributes decide; only kDescend, kRemoveLink or
// kKeep come back.
EntryAction ActionForOpenedDirectory(std::uint32_t listed_attributes, std::uint64_t listed_id,
                                     std::uint32_t opened_attributes, std::uint64_t opened_id);

}  // namespace mur::maintenance
