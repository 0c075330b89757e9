#include "maintenance/remove_tree.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "maintenance/removal_rules.h"
#include "maintenance/root_paths.h"
#include "platform/directory.h"
#include "platform/owners.h"
#include "report/observer.h"
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
  std::size_t path_size;  // its path's length in the stack's path, when the walk is observed
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
  // Keeps each frame's path for PathOf (an observed walk), starting from
  // `base`, the path of the bottom frame.
  void KeepPaths(std::wstring_view base) {
    keep_paths_ = path_.Assign(base);
    base_size_ = base.size();
  }

  std::size_t size() const { return frames_.size(); }
  Frame& top() { return frames_[frames_.size() - 1]; }
  HANDLE top_dir() const { return dirs_.back(); }

  // The path of the top directory's entry `name` (the top directory itself
  // when `name` is empty); empty unless paths are kept.
  std::wstring_view PathOf(std::wstring_view name) {
    if (!keep_paths_) return {};
    const std::size_t at = frames_.empty() ? base_size_ : top().path_size;
    path_.Truncate(at);
    if (!name.empty() && !(path_.Append(L'\\') && path_.Append(name))) path_.Truncate(at);
    return path_.view();
  }

  // Takes `dir` over as the new top; false (and `dir` closed) when memory
  // runs out.
  bool Push(UniqueHandle dir, bool can_delete, std::wstring_view name = {}) {
    const std::uint32_t bytes = frames_.size() < kShallowLevels ? kShallowBlock : kDeepBlock;
    const std::size_t at = blocks_.size();
    if (!blocks_.Resize(at + bytes / sizeof(std::uint64_t))) return false;
    Frame frame{};
    frame.path_size = PathOf(name).size();
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
  bool keep_paths_ = false;
  std::size_t base_size_ = 0;
  text::Wide path_;
};

// What one removal call decides: the code of the first entry that stayed
// (ERROR_DIR_NOT_EMPTY when a rule kept it), what went, and who is told.
struct Removal {
  const report::Observer* observer = nullptr;
  DWORD code = ERROR_SUCCESS;
  std::int64_t files = 0;
  std::int64_t directories = 0;

  // An entry stays: `why`, with the error of the call that refused it (or
  // ERROR_DIR_NOT_EMPTY for one kept by rule).
  void Kept(std::wstring_view path, std::string_view why, DWORD error) {
    if (code == ERROR_SUCCESS) code = error;
    report::Tell(observer, {report::Event::kEntryKept, path, 0, 0, error, why});
  }
  // The call ends at the top, with nothing below it taken.
  int Refused(std::wstring_view path, std::string_view why, DWORD error) {
    Kept(path, why, error);
    return 0;
  }
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

// Removes a directory link through the handle it was inspected with: the
// error of the step that failed, ERROR_ACCESS_DENIED when it may not be
// deleted.
DWORD RemoveLink(UniqueHandle* link, bool can_delete) {
  if (!can_delete) return ERROR_ACCESS_DENIED;
  const DWORD marked = platform::MarkForDeletion(link->get());
  return marked != ERROR_SUCCESS ? marked : link->Close();
}

// One entry of the directory on top of the stack. An entry that is gone by
// the time it is opened, or is being deleted by someone else, counts as
// removed.
void TakeEntry(DirectoryStack* stack, const ListedEntry& entry, Removal* removal) {
  if (entry.name == L"." || entry.name == L"..") return;
  const HANDLE parent = stack->top_dir();
  auto keep = [&](std::string_view why, DWORD error) {
    stack->top().kept = true;
    removal->Kept(stack->PathOf(entry.name), why, error);
  };
  if (!IsPlainName(entry.name)) return keep("a name that is no single component", ERROR_INVALID_NAME);
  const std::uint32_t attributes = entry.facts.attributes;
  switch (ActionFor(attributes)) {
    case EntryAction::kKeep:
      return keep(attributes & attribute::kSystem ? "system" : "hidden", ERROR_DIR_NOT_EMPTY);
    case EntryAction::kDelete: {
      const DWORD deleted = platform::DeleteChildFile(parent, entry.name);
      if (deleted == ERROR_SUCCESS || platform::EntryGone(deleted)) {
        ++removal->files;
      } else if (attributes & attribute::kReadOnly) {
        keep("read-only", ERROR_DIR_NOT_EMPTY);
      } else {
        keep("could not be deleted", deleted);
      }
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
    if (!platform::EntryGone(opened)) keep("could not be opened", opened);
    return;
  }
  switch (action) {
    case EntryAction::kDescend:
      if (!stack->Push(std::move(dir), can_delete, entry.name)) keep("no memory to go into it", ERROR_NOT_ENOUGH_MEMORY);
      return;
    case EntryAction::kRemoveLink: {
      const DWORD removed = RemoveLink(&dir, can_delete);
      if (removed == ERROR_SUCCESS) {
        ++removal->directories;
      } else {
        keep("a link that could not be removed", removed);
      }
      return;
    }
    case EntryAction::kKeep:
    case EntryAction::kDelete:
      return keep("not the entry that was listed, or a link reached through", ERROR_DIR_NOT_EMPTY);
  }
}

// Lists and empties every directory above the bottom frame, depth first; a
// directory emptied completely is marked for deletion and goes when it is
// closed. Whatever stays marks every frame below it as kept.
void Walk(DirectoryStack* stack, Removal* removal) {
  while (stack->size() > 1) {
    ListedEntry entry;
    const DWORD listed = stack->Next(&entry);
    if (listed == ERROR_SUCCESS) {
      TakeEntry(stack, entry, removal);
      continue;
    }
    const Frame& done = stack->top();
    const std::wstring_view path = stack->PathOf({});
    bool kept = done.kept;
    if (listed != ERROR_NO_MORE_FILES) {
      removal->Kept(path, "its listing failed", listed);
      kept = true;
    } else if (kept) {
      report::Tell(removal->observer, {report::Event::kDirectoryKept, path});
    } else if (!done.can_delete) {
      removal->Kept(path, "it may not be deleted", ERROR_ACCESS_DENIED);
      kept = true;
    } else {
      const DWORD marked = platform::MarkForDeletion(stack->top_dir());
      if (marked != ERROR_SUCCESS) {
        removal->Kept(path, "could not be deleted", marked);
        kept = true;
      }
    }
    const DWORD closed = stack->Pop();
    if (closed != ERROR_SUCCESS && !kept) {
      removal->Kept(path, "its close failed", closed);
      kept = true;
    }
    if (kept) {
      stack->top().kept = true;
    } else {
      ++removal->directories;
    }
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


// The removal of `directory`: 1 when the whole tree is gone.
int RemoveTree(std::wstring_view directory, Removal* removal) {
  constexpr DWORD kRefused = ERROR_INVALID_PARAMETER;
  if (NamesARoot(directory)) return removal->Refused(directory, "an empty path or a root", kRefused);
  text::Wide path;
  if (!path.Assign(directory)) return removal->Refused(directory, "no memory", ERROR_NOT_ENOUGH_MEMORY);
  text::Wide full;
  const DWORD resolved = platform::FullPath(path.c_str(), &full);
  if (resolved != ERROR_SUCCESS) return removal->Refused(directory, "its full path cannot be made", resolved);
  // The full path as the path functions read the argument. Trailing
  // separators, which they keep (and then report no last component), name
  // the same directory.
  const std::wstring_view trimmed = LastComponent(full.view());
  const std::size_t name_at = static_cast<std::size_t>(trimmed.data() - full.data());
  if (NamesARoot(std::wstring_view(full.data(), name_at + trimmed.size())))
    return removal->Refused(full.view(), "a root", kRefused);
  text::Wide parent_path;
  if (!parent_path.Assign(full.data(), name_at)) return removal->Refused(directory, "no memory", ERROR_NOT_ENOUGH_MEMORY);
  // The directory's own name is the argument's last component as spelled:
  // the path functions trim its trailing dots and spaces (with no separator
  // after it, or a single dot before one), which would name a neighbour. The
  // trimmed name stands in only when no entry has the name as spelled.
  // ("." and ".." are resolved; any other difference is refused.)
  std::wstring_view name = LastComponent(directory);
  if (name == L"." || name == L"..") name = trimmed;
  if ((name != trimmed && !TrimmedTo(name, trimmed)) || !IsPlainName(name))
    return removal->Refused(directory, "its last component names no single entry", ERROR_INVALID_NAME);

  // The parent is the one directory opened by path; the top is found in its
  // listing, which tells what the name held when it was listed.
  DirectoryStack stack;
  if (removal->observer) stack.KeepPaths(std::wstring_view(parent_path.data(), name_at ? name_at - 1 : 0));
  ListedEntry top;
  text::Wide top_name;
  DWORD listed = FindTop(parent_path.c_str(), name, &stack, &top, &top_name);
  // Only a listing that ended without the name lets the trimmed one stand in.
  if (listed == ERROR_FILE_NOT_FOUND && name != trimmed && IsPlainName(trimmed)) {
    stack.Pop();
    listed = FindTop(parent_path.c_str(), trimmed, &stack, &top, &top_name);
  }
  if (listed != ERROR_SUCCESS) return removal->Refused(full.view(), "not found in its parent's listing", listed);
  const std::wstring_view top_path = stack.PathOf(top.name);
  const EntryAction listed_action = ActionFor(top.facts.attributes);
  if (listed_action != EntryAction::kDescend && listed_action != EntryAction::kRemoveLink)
    return removal->Refused(top_path, "not a directory: there is no tree to remove", ERROR_DIRECTORY);
  // Whatever spelling or link reached it, the root of a volume or share is
  // refused before anything is opened for removal; a link at the top that
  // leads there (a folder where a volume is mounted) is left as it is.
  if (LeadsToARoot(stack.top_dir(), top.name))
    return removal->Refused(top_path, "leads to the root of a volume or share", kRefused);

  UniqueHandle dir;
  bool can_delete = false;
  EntryAction action = EntryAction::kKeep;
  const DWORD opened = OpenDirectoryEntry(stack.top_dir(), top, &dir, &can_delete, &action);
  // A top removed by someone else since it was listed leaves no tree.
  if (opened != ERROR_SUCCESS) {
    if (platform::EntryGone(opened)) return 1;
    return removal->Refused(top_path, "could not be opened", opened);
  }
  if (action == EntryAction::kKeep)
    return removal->Refused(top_path, "not the directory that was listed, or a link reached through",
                            ERROR_DIR_NOT_EMPTY);
  // So is the directory acted on, should it turn out to be one.
  if (IsARoot(dir.get())) return removal->Refused(top_path, "the root of a volume or share", kRefused);
  if (action == EntryAction::kRemoveLink) {
    const DWORD removed = RemoveLink(&dir, can_delete);
    if (removed != ERROR_SUCCESS) return removal->Refused(top_path, "a link that could not be removed", removed);
    ++removal->directories;
    return 1;
  }
  if (!stack.Push(std::move(dir), can_delete, top.name))
    return removal->Refused(top_path, "no memory to go into it", ERROR_NOT_ENOUGH_MEMORY);
  Walk(&stack, removal);
  return stack.top().kept ? 0 : 1;
}

}  // namespace

int RemoveFiles(std::wstring_view directory, const report::Observer* observer, DWORD* code) {
  Removal removal;
  removal.observer = observer;
  const int result = RemoveTree(directory, &removal);
  report::Tell(observer, {report::Event::kRemovalCounts, directory, removal.files, removal.directories});
  *code = result == 1 ? ERROR_SUCCESS : removal.code;
  return result;
}

}  // namespace mur::maintenance
