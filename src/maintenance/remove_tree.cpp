#include "maintenance/remove_tree.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "maintenance/removal_rules.h"
#include "maintenance/root_paths.h"
#include "platform/directory.h"
#include "platform/owners.h"
#include "text/buffer.h"

namespace mur::maintenance {
namespace {

using platform::FileFacts;
using platform::ListedEntry;
using platform::UniqueHandle;

// Listing blocks: the first levels read an ordinary directory in one or two
// calls; deeper levels keep the smallest block, so that a tree thousands of
// levels deep costs about a kilobyte of listing per level.
constexpr std::uint32_t kShallowBlock = 16 * 1024;
constexpr std::uint32_t kDeepBlock = platform::kMinListingBlock;
constexpr std::size_t kShallowLevels = 8;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// A single component that names an entry and nothing else: not empty, not
// "." or "..", no separator, stream or wildcard character.
bool IsPlainName(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (const wchar_t c : name) {
    switch (c) {
      case L'\\': case L'/': case L':': case L'*': case L'?': case L'<': case L'>': case L'"':
        return false;
      default:
        break;
    }
  }
  return true;
}

// One open directory of the walk and the state of its listing (its handle
// is the stack's).
struct Frame {
  std::size_t block_at;  // its listing block, in 8-byte units of the stack's block store
  std::uint32_t block_bytes;
  std::uint32_t filled;  // bytes of the block the last read filled
  std::uint32_t next;    // offset of the next entry in the block
  bool started;          // the first read was made
  bool ended;            // the listing reported its end, or failed
  bool can_delete;       // the handle may mark the directory for deletion
  bool kept;             // something in it stayed
  bool with_ids;         // its listing carries file ids
};

// The open directories from the parent of the tree's top down to the one
// being listed, each with its listing block. Owns every handle it holds and
// closes what is left, deepest first, when destroyed.
class DirectoryStack {
 public:
  std::size_t size() const { return frames_.size(); }
  Frame& top() { return frames_[frames_.size() - 1]; }
  HANDLE top_dir() const { return dirs_.back(); }

  // Takes `dir` over as the new top; false (and `dir` closed) when memory
  // runs out.
  bool Push(UniqueHandle dir, bool can_delete) {
    const std::uint32_t bytes = frames_.size() < kShallowLevels ? kShallowBlock : kDeepBlock;
    const std::size_t at = blocks_.size();
    if (!blocks_.Resize(at + bytes / sizeof(std::uint64_t))) return false;
    Frame frame{};
    frame.block_at = at;
    frame.block_bytes = bytes;
    frame.can_delete = can_delete;
    frame.with_ids = true;
    if (!frames_.Append(frame)) {
      blocks_.Truncate(at);
      return false;
    }
    if (!dirs_.Push(std::move(dir))) {
      frames_.Truncate(frames_.size() - 1);
      blocks_.Truncate(at);
      return false;
    }
    return true;
  }

  // Closes the top directory (a directory marked for deletion goes now) and
  // returns the close's outcome.
  DWORD Pop() {
    blocks_.Truncate(top().block_at);
    frames_.Truncate(frames_.size() - 1);
    return dirs_.Pop().Close();
  }

  // The top directory's next entry (its name points into the listing block
  // and lasts until the next call); ERROR_NO_MORE_FILES after the last.
  // `mask`, on the first read only, lists just the entries of that name. A
  // read that fails, or that succeeds with no entry in it (no bytes, or a
  // malformed first entry), ends the listing as failed: asked again, such a
  // file system could answer the same forever.
  DWORD Next(ListedEntry* entry, std::wstring_view mask = {}) {
    Frame& frame = top();
    void* block = blocks_.data() + frame.block_at;
    if (platform::NextListedEntry(block, frame.filled, frame.with_ids, &frame.next, entry)) return ERROR_SUCCESS;
    if (frame.ended) return ERROR_NO_MORE_FILES;
    DWORD read = platform::ReadDirectory(top_dir(), block, frame.block_bytes, !frame.started, mask, &frame.filled,
                                         &frame.with_ids);
    frame.started = true;
    frame.next = 0;
    if (read == ERROR_SUCCESS) {
      if (platform::NextListedEntry(block, frame.filled, frame.with_ids, &frame.next, entry)) return ERROR_SUCCESS;
      read = ERROR_INVALID_DATA;
    }
    frame.ended = true;
    frame.filled = 0;
    return read;
  }

 private:
  text::Buffer<Frame> frames_;
  text::Buffer<std::uint64_t> blocks_;
  platform::Owners<platform::HandleTraits> dirs_;  // one for each frame
};

// Opens the directory entry `entry` of `parent` and decides, from its own
// handle, what it is (*action; kKeep when the handle cannot be asked).
// Returns the open's outcome: platform::EntryGone when the entry vanished,
// or began to be deleted, since it was listed.
DWORD OpenDirectoryEntry(HANDLE parent, const ListedEntry& entry, UniqueHandle* dir, bool* can_delete,
                         EntryAction* action) {
  *action = EntryAction::kKeep;
  const DWORD opened = platform::OpenChildDirectory(parent, entry.name, dir, can_delete);
  if (opened != ERROR_SUCCESS) return opened;
  FileFacts facts;
  if (platform::QueryFacts(dir->get(), &facts) == ERROR_SUCCESS)
    *action = ActionForOpenedDirectory(entry.facts.attributes, entry.facts.id, facts.attributes, facts.id);
  return ERROR_SUCCESS;
}

// Whether the open directory `dir` is the root of a volume or share; true as
// well when that cannot be told.
bool IsARoot(HANDLE dir) {
  text::Wide in_volume;
  bool remote = false;
  return platform::QueryPathInVolume(dir, &in_volume, &remote) != ERROR_SUCCESS ||
         IsVolumeOrShareRoot(in_volume.view(), remote);
}

// Whether the directory `name` of `parent` leads, links followed, to the root
// of a volume or share (a folder where a volume is mounted, a link to a
// drive); true as well when that cannot be told. A link that leads to
// nothing (a volume no longer there included), or to a file, leads to no
// root: it is removed as the link.
bool LeadsToARoot(HANDLE parent, std::wstring_view name) {
  UniqueHandle target;
  switch (platform::OpenChildTarget(parent, name, &target)) {
    case ERROR_SUCCESS:
      return IsARoot(target.get());
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
      return false;
    default:
      return true;
  }
}

// Removes a directory link through the handle it was inspected with.
bool RemoveLink(UniqueHandle* link, bool can_delete) {
  return can_delete && platform::MarkForDeletion(link->get()) == ERROR_SUCCESS && link->Close() == ERROR_SUCCESS;
}

// One entry of the directory on top of the stack. An entry that is gone by
// the time it is opened, or is being deleted by someone else, counts as
// removed.
void TakeEntry(DirectoryStack* stack, const ListedEntry& entry) {
  if (entry.name == L"." || entry.name == L"..") return;
  const HANDLE parent = stack->top_dir();
  if (!IsPlainName(entry.name)) {
    stack->top().kept = true;
    return;
  }
  switch (ActionFor(entry.facts.attributes)) {
    case EntryAction::kKeep:
      stack->top().kept = true;
      return;
    case EntryAction::kDelete: {
      const DWORD deleted = platform::DeleteChildFile(parent, entry.name);
      if (deleted != ERROR_SUCCESS && !platform::EntryGone(deleted)) stack->top().kept = true;
      return;
    }
    case EntryAction::kDescend:
    case EntryAction::kRemoveLink:
      break;
  }
  UniqueHandle dir;
  bool can_delete = false;
  EntryAction action = EntryAction::kKeep;
  const DWORD opened = OpenDirectoryEntry(parent, entry, &dir, &can_delete, &action);
  if (opened != ERROR_SUCCESS) {
    if (!platform::EntryGone(opened)) stack->top().kept = true;
    return;
  }
  switch (action) {
    case EntryAction::kDescend:
      if (!stack->Push(std::move(dir), can_delete)) stack->top().kept = true;
      return;
    case EntryAction::kRemoveLink:
      if (!RemoveLink(&dir, can_delete)) stack->top().kept = true;
      return;
    case EntryAction::kKeep:
    case EntryAction::kDelete:
      stack->top().kept = true;
      return;
  }
}

// Lists and empties every directory above the bottom frame, depth first; a
// directory emptied completely is marked for deletion and goes when it is
// closed. Whatever stays marks every frame below it as kept.
void Walk(DirectoryStack* stack) {
  while (stack->size() > 1) {
    ListedEntry entry;
    const DWORD listed = stack->Next(&entry);
    if (listed == ERROR_SUCCESS) {
      TakeEntry(stack, entry);
      continue;
    }
    const Frame& done = stack->top();
    bool kept = done.kept || listed != ERROR_NO_MORE_FILES;
    if (!kept && (!done.can_delete || platform::MarkForDeletion(stack->top_dir()) != ERROR_SUCCESS)) kept = true;
    if (stack->Pop() != ERROR_SUCCESS) kept = true;
    if (kept) stack->top().kept = true;
  }
}

// Opens the directory `parent_path` as the bottom frame of the empty `stack`
// and finds the entry `name` in its listing, `name` as the mask (a handle's
// listing keeps the mask of its first read, so each name is looked for on a
// handle of its own): ERROR_SUCCESS, with *top pointing into *top_name;
// ERROR_FILE_NOT_FOUND when the listing ended with no such entry; the error
// of the open or the listing otherwise. The listing matches the name
// regardless of letter case: the entry spelled exactly so is preferred.
DWORD FindTop(const wchar_t* parent_path, std::wstring_view name, DirectoryStack* stack, ListedEntry* top,
              text::Wide* top_name) {
  {
    UniqueHandle parent;
    const DWORD opened = platform::OpenDirectoryForListing(parent_path, &parent);
    if (opened != ERROR_SUCCESS) return opened;
    if (!stack->Push(std::move(parent), false)) return ERROR_NOT_ENOUGH_MEMORY;
  }
  bool found = false;
  ListedEntry entry;
  DWORD listed = ERROR_SUCCESS;
  while ((listed = stack->Next(&entry, name)) == ERROR_SUCCESS) {
    const bool exact = entry.name == name;
    if (!found || exact) {
      if (!top_name->Assign(entry.name)) return ERROR_NOT_ENOUGH_MEMORY;
      *top = entry;
      found = true;
      if (exact) break;
    }
  }
  if (found) {
    top->name = top_name->view();
    return ERROR_SUCCESS;
  }
  return listed == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : listed;
}

// Whether `trimmed` (not empty) is `name` with trailing dots and spaces cut off.
bool TrimmedTo(std::wstring_view name, std::wstring_view trimmed) {
  if (trimmed.empty() || name.size() <= trimmed.size() || std::wstring_view(name.data(), trimmed.size()) != trimmed)
    return false;
  for (std::size_t i = trimmed.size(); i < name.size(); ++i)
    if (name[i] != L'.' && name[i] != L' ') return false;
  return true;
}

// The last component of `path`, trailing separators left out.
std::wstring_view LastComponent(std::wstring_view path) {
  while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
  std::size_t at = path.size();
  while (at > 0 && !IsSeparator(path[at - 1])) --at;
  if (at == 0 && path.size() >= 2 && path[1] == L':') at = 2;  // "C:name"
  path.remove_prefix(at);
  return path;
}

}  // namespace

int RemoveFiles(std::wstring_view directory) {
  if (NamesARoot(directory)) return 0;
  text::Wide path;
  if (!path.Assign(directory)) return 0;
  text::Wide full;
  if (platform::FullPath(path.c_str(), &full) != ERROR_SUCCESS) return 0;
  // The full path as the path functions read the argument. Trailing
  // separators, which they keep (and then report no last component), name
  // the same directory.
  const std::wstring_view trimmed = LastComponent(full.view());
  const std::size_t name_at = static_cast<std::size_t>(trimmed.data() - full.data());
  if (NamesARoot(std::wstring_view(full.data(), name_at + trimmed.size()))) return 0;
  text::Wide parent_path;
  if (!parent_path.Assign(full.data(), name_at)) return 0;
  // The directory's own name is the argument's last component as spelled:
  // the path functions trim its trailing dots and spaces (with no separator
  // after it, or a single dot before one), which would name a neighbour. The
  // trimmed name stands in only when no entry has the name as spelled.
  // ("." and ".." are resolved; any other difference is refused.)
  std::wstring_view name = LastComponent(directory);
  if (name == L"." || name == L"..") name = trimmed;
  if (name != trimmed && !TrimmedTo(name, trimmed)) return 0;
  if (!IsPlainName(name)) return 0;

  // The parent is the one directory opened by path; the top is found in its
  // listing, which tells what the name held when it was listed.
  DirectoryStack stack;
  ListedEntry top;
  text::Wide top_name;
  DWORD listed = FindTop(parent_path.c_str(), name, &stack, &top, &top_name);
  // Only a listing that ended without the name lets the trimmed one stand in.
  if (listed == ERROR_FILE_NOT_FOUND && name != trimmed && IsPlainName(trimmed)) {
    stack.Pop();
    listed = FindTop(parent_path.c_str(), trimmed, &stack, &top, &top_name);
  }
  if (listed != ERROR_SUCCESS) return 0;
  const EntryAction listed_action = ActionFor(top.facts.attributes);
  if (listed_action != EntryAction::kDescend && listed_action != EntryAction::kRemoveLink)
    return 0;  // not a directory: there is no tree to remove
  // Whatever spelling or link reached it, the root of a volume or share is
  // refused before anything is opened for removal; a link at the top that
  // leads there (a folder where a volume is mounted) is left as it is.
  if (LeadsToARoot(stack.top_dir(), top.name)) return 0;

  UniqueHandle dir;
  bool can_delete = false;
  EntryAction action = EntryAction::kKeep;
  const DWORD opened = OpenDirectoryEntry(stack.top_dir(), top, &dir, &can_delete, &action);
  // A top removed by someone else since it was listed leaves no tree.
  if (opened != ERROR_SUCCESS) return platform::EntryGone(opened) ? 1 : 0;
  if (action == EntryAction::kKeep) return 0;
  // So is the directory acted on, should it turn out to be one.
  if (IsARoot(dir.get())) return 0;
  if (action == EntryAction::kRemoveLink) return RemoveLink(&dir, can_delete) ? 1 : 0;
  if (!stack.Push(std::move(dir), can_delete)) return 0;
  Walk(&stack);
  return stack.top().kept ? 0 : 1;
}

}  // namespace mur::maintenance
