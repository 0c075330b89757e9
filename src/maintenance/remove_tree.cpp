#include "maintenance/remove_tree.h"

#include "maintenance/root_paths.h"
#include "platform/directory.h"

namespace mur::maintenance {

using platform::DirEntry;
using platform::DirListing;

int RemoveTree(const std::string& directory) {
  int outcome = 1;
  {
    DirListing listing = DirListing::Open(directory + "\\*.*");
    if (!listing.IsOpen()) return 0;
    DirEntry entry;
    while (listing.Next(&entry)) {
      if (entry.name == "." || entry.name == "..") continue;
      const std::string path = directory + "\\" + entry.name;
      if (entry.reparse_point) {
        // A link: remove the link itself; what it points to is not ours.
        const bool removed = entry.directory ? platform::RemoveEmptyDirectory(path)
                                             : platform::RemoveFile(path);
        if (!removed) outcome = 0;
      } else if (entry.directory) {
        if (RemoveTree(path) == 0) outcome = 0;
      } else if (entry.hidden || entry.system) {
        outcome = 0;
      } else if (!platform::RemoveFile(path)) {
        outcome = 0;
      }
    }
  }  // the listing is closed before its directory is removed
  if (outcome == 1 && !platform::RemoveEmptyDirectory(directory)) outcome = 0;
  return outcome;
}

int RemoveFiles(const std::string& directory) {
  if (NamesARoot(directory)) return 0;
  const std::optional<std::string> full = platform::FullPath(directory);
  if (full && NamesARoot(*full)) return 0;
  const std::optional<DirEntry> self = platform::PathAttributes(directory);
  if (self && self->reparse_point)
    return self->directory && platform::RemoveEmptyDirectory(directory) ? 1 : 0;
  return RemoveTree(directory);
}

}  // namespace mur::maintenance
