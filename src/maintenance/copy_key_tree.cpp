#include "maintenance/copy_key_tree.h"

#include <cwchar>
#include <string_view>
#include <utility>

#include "maintenance/key_paths.h"
#include "platform/owners.h"
#include "platform/registry.h"
#include "report/observer.h"
#include "text/buffer.h"

namespace mur::maintenance {
namespace {

using platform::EnumBuffers;
using platform::KeyAccess;
using platform::UniqueKey;

constexpr DWORD kSuccess = ERROR_SUCCESS;

// The registry holds keys at most 512 levels deep, so a source that goes
// deeper leads back into itself through a link: the copy stops there.
constexpr std::size_t kMaxLevels = 512;

// The answer of a move that left part of its source because it changed
// since it was copied, and of a copy whose source key never held still while
// it was read: the operation may be run again.
constexpr DWORD kSourceChanged = ERROR_RETRY;

// How often one source key is read before the copy gives up on a key that
// changes every time it is read.
constexpr int kMaxReadings = 8;

// How many short waits (WaitForClock) the copy makes, before a key is read
// again, for the registry's clock to pass the key's last write: some ticks
// of the clock however short the waits.
constexpr int kMaxClockWaits = 64;

// The keys this call created, in the order of their creation, each held
// through the handle it was created with until the copy ends.
class CreatedKeys {
 public:
  explicit CreatedKeys(const report::Observer* observer) : observer_(observer) {}

  // Takes over `key`, which this call has just created. When no room can be
  // made to hold it, deletes it at once and returns ERROR_NOT_ENOUGH_MEMORY.
  DWORD Add(UniqueKey* key) {
    if (!keys_.Reserve(keys_.size() + 1)) {
      platform::DeleteKey(key->get());
      key->reset();
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    Tell(report::Event::kKeyCreated, key->get());
    return keys_.Push(std::move(*key)) ? kSuccess : ERROR_NOT_ENOUGH_MEMORY;
  }
  HKEY last() const { return keys_.back(); }

  // Deletes the key created last, which has no subkeys yet, and lets it go
  // (one that someone else deleted first is gone all the same).
  DWORD DeleteLast() {
    const DWORD result = platform::DeleteKey(last());
    if (result != kSuccess && result != ERROR_KEY_DELETED) return result;
    keys_.Pop();
    return kSuccess;
  }

  // Deletes every one, the last created first (children were created after
  // their parents), then closes them. Best effort: the failure being undone
  // is what the caller reports.
  void Undo() {
    for (std::size_t i = keys_.size(); i-- > 0;) {
      Tell(report::Event::kKeyUndone, keys_[i]);
      platform::DeleteKey(keys_[i]);
    }
    keys_.Truncate(0);
  }

 private:
  // Tells the observer about `key` by its full name, asked only for it.
  void Tell(report::Event event, HKEY key) const {
    if (!observer_) return;
    text::Wide name;
    platform::QueryKeyName(key, &name);
    report::Tell(observer_, {event, name.view()});
  }

  const report::Observer* observer_;
  platform::Owners<platform::KeyTraits> keys_;
};

// What a move's copy read of each source key, for its deletion to tell what
// changed since: the keys in the order they were read, each before the keys
// below it, each with its name under its parent (zero-terminated; empty for
// the top), its state when it was read, and whether the deletion has deleted
// it (as a key, never a link).
class CopiedTree {
 public:
  struct Key {
    std::size_t name_at;  // in names_
    platform::KeyState state;
    std::size_t end;  // one past the last key below it
    bool deleted;
  };

  std::size_t size() const { return keys_.size(); }
  Key& operator[](std::size_t i) { return keys_[i]; }
  const Key& operator[](std::size_t i) const { return keys_[i]; }
  const wchar_t* name(std::size_t i) const { return names_.c_str() + keys_[i].name_at; }
  bool has_subkeys(std::size_t i) const { return keys_[i].end > i + 1; }

  // Adds a key below the last one whose subtree is still open, with nothing
  // below it yet; false when memory runs out.
  [[nodiscard]] bool Add(std::wstring_view name) {
    const std::size_t at = keys_.size();
    if (!keys_.Resize(at + 1)) return false;
    keys_[at] = {names_.size(), {}, at + 1, false};
    if (names_.Append(name) && names_.Append(L'\0')) return true;
    keys_.Truncate(at);
    return false;
  }

  // The entry of the key named `name` (a full name) when the deletion has
  // deleted it: found below the top, whose full name is `top_name`, by the
  // names read, each component compared as the registry compares key names.
  bool FindDeleted(std::wstring_view top_name, std::wstring_view name, std::size_t* entry) const {
    std::wstring_view below;
    const KeyRelation relation = Relate(top_name, name, platform::UpcaseKeyNameUnit, &below);
    if (relation == KeyRelation::kUnrelated) return false;
    std::size_t at = 0;
    KeyPathComponents parts(relation == KeyRelation::kBelow ? below : std::wstring_view());
    std::wstring_view part;
    while (parts.Next(&part)) {
      std::size_t child = at + 1;
      while (child < keys_[at].end &&
             Relate(this->name(child), part, platform::UpcaseKeyNameUnit, nullptr) != KeyRelation::kSame)
        child = keys_[child].end;
      if (child >= keys_[at].end) return false;
      at = child;
    }
    *entry = at;
    return keys_[at].deleted;
  }

 private:
  text::Buffer<Key> keys_;
  text::Wide names_;
};

// One key of the source being copied and its counterpart in the destination.
// Its subkeys' names, as read, lie in the names shared by the stack, from
// names_at to names_end.
struct CopyFrame {
  HKEY source;
  HKEY destination;
  std::size_t names_at;
  std::size_t next_name;
  std::size_t names_end;
  std::size_t copied;      // its entry in the CopiedTree, for a move
  bool fresh_destination;  // created by this call: it had no subkeys
  std::size_t owned_at;    // the stack's owned handles before this frame's
};

// The path of keys from the copy's root down to the one being copied: an
// explicit stack, so the depth of a tree never reaches the host's stack. It
// owns the handles given to it with a frame (a source key it opened, a
// destination key that existed); the others are held elsewhere (the roots,
// and created keys, which CreatedKeys holds).
class CopyStack {
 public:
  bool empty() const { return frames_.empty(); }
  std::size_t size() const { return frames_.size(); }
  CopyFrame& top() { return frames_[frames_.size() - 1]; }
  // Takes `frame` on top, and over the handles of the owners given; false
  // when memory runs out (the handles are then closed, or left with their
  // owners when the frame itself found no room).
  [[nodiscard]] bool Push(CopyFrame frame, UniqueKey* owned_source = nullptr,
                          UniqueKey* owned_destination = nullptr) {
    frame.owned_at = owned_.size();
    if (!frames_.Append(frame)) return false;
    for (UniqueKey* owner : {owned_source, owned_destination}) {
      if (owner && *owner && !owned_.Push(std::move(*owner))) {
        Pop();
        return false;
      }
    }
    return true;
  }
  void Pop() {
    owned_.Truncate(top().owned_at);
    frames_.Truncate(frames_.size() - 1);
  }

 private:
  text::Buffer<CopyFrame> frames_;
  platform::Owners<platform::KeyTraits> owned_;
};

// One key of a move's deletion: its handle, its entry in the CopiedTree, the
// entry of its next copied subkey, the watch on its values (while the keys
// below it go), and whether it stays.
struct DeletionFrame {
  HKEY key;
  std::size_t copied;
  std::size_t next;
  HANDLE watch;
  bool stays;
};

// The keys from the top of a deletion down to the one being emptied, each
// handle owned, and one watch event for each level, made when first needed.
// Closes what is left.
class DeletionStack {
 public:
  bool empty() const { return frames_.empty(); }
  DeletionFrame& top() { return frames_[frames_.size() - 1]; }
  // Whether the top of the whole deletion stays.
  bool top_stays() const { return top_stays_; }

  // Watches the values of `key`, which is to be taken on top, with the
  // event of its level.
  DWORD Watch(HKEY key, HANDLE* watch) {
    const std::size_t level = frames_.size();
    if (level == events_.size()) {
      platform::UniqueHandle event;
      const DWORD made = platform::CreateWatchEvent(&event);
      if (made != kSuccess) return made;
      if (!events_.Push(std::move(event))) return ERROR_NOT_ENOUGH_MEMORY;
    }
    *watch = events_[level];
    return platform::WatchValues(key, *watch);
  }
  // Takes over `key`; when memory runs out, leaves it with the caller.
  DWORD Push(UniqueKey* key, std::size_t copied, HANDLE watch, bool stays) {
    if (!keys_.Reserve(keys_.size() + 1) || !frames_.Append({key->get(), copied, copied + 1, watch, stays}))
      return ERROR_NOT_ENOUGH_MEMORY;
    return keys_.Push(std::move(*key)) ? kSuccess : ERROR_NOT_ENOUGH_MEMORY;
  }
  void Pop() {
    frames_.Truncate(frames_.size() - 1);
    keys_.Pop();
  }
  // The key on top stays (the top of the deletion when none is on it).
  void MarkStays() {
    if (empty()) {
      top_stays_ = true;
    } else {
      top().stays = true;
    }
  }

 private:
  text::Buffer<DeletionFrame> frames_;
  platform::Owners<platform::KeyTraits> keys_;       // one for each frame
  platform::Owners<platform::HandleTraits> events_;  // one for each level reached
  bool top_stays_ = false;
};

// The source's full name, against which every key that the copy writes to is
// checked: creating or opening a destination subkey follows a registry link,
// and one inside the destination may lead back into the source (or, dangling,
// create a key there). A copy that would write into its source stops with
// ERROR_INVALID_PARAMETER before it writes.
class SourceGuard {
 public:
  explicit SourceGuard(std::wstring_view source_name) : source_name_(source_name) {}

  DWORD Check(HKEY destination) {
    const DWORD result = platform::QueryKeyName(destination, &name_);
    if (result != kSuccess) return result;
    return Relate(source_name_, name_.view(), platform::UpcaseKeyNameUnit, nullptr) == KeyRelation::kUnrelated
               ? kSuccess
               : ERROR_INVALID_PARAMETER;
  }

 private:
  std::wstring_view source_name_;
  text::Wide name_;
};

// The subkey `name` (one component) of `parent` for the copy to write to:
// opened when it exists (links followed), created when it does not. A
// dangling link there, which creating would follow to create its target
// (maybe inside the source), is refused with ERROR_INVALID_PARAMETER before
// anything is made. Below a key that this call has just created there is
// nothing to find: `fresh_parent` goes straight to the creation.
DWORD OpenOrCreate(HKEY parent, const wchar_t* name, bool fresh_parent, UniqueKey* key, bool* created) {
  *created = false;
  if (!fresh_parent) {
    DWORD result = platform::OpenKey(parent, name, KeyAccess::kWrite, key);
    if (result != ERROR_FILE_NOT_FOUND) return result;
    UniqueKey unfollowed;
    result = platform::OpenKeyNoFollow(parent, name, KeyAccess::kInspect, &unfollowed);
    if (result == kSuccess) return ERROR_INVALID_PARAMETER;
    if (result != ERROR_FILE_NOT_FOUND) return result;
  }
  return platform::CreateKey(parent, name, key, created);
}

// How one reading of a key went.
enum class Reading {
  kSteady,     // the key held still while it was read: what was read is the key at one moment
  kChanged,    // it changed while it was read
  kTooRecent,  // it was last written too recently to tell a later change from that one: not read
};

// One reading of the source key `source`: copies its values into
// `destination` and appends the names of its subkeys, each zero-terminated,
// to `names`; *state is what the key held when the reading began, and
// *outcome tells whether it held the same at its end, every item read, with
// nothing removed or added meanwhile to shift the ones read by index. That
// is told by the key's state (its counts and last-write time), which shows
// every change made after the registry's clock passed the key's last write:
// a key last written no earlier than the clock read just before the reading
// is not read at all (kTooRecent), since a change within that same tick of
// the clock would leave its state as it was.
DWORD ReadKeyOnce(HKEY source, HKEY destination, EnumBuffers* buffers, text::Wide* names,
                  platform::KeyState* state, Reading* outcome) {
  *outcome = Reading::kChanged;
  const std::uint64_t began = platform::ReadClock();
  DWORD result = platform::PrepareEnum(source, buffers, state);
  if (result != kSuccess) return result;
  if (began <= state->last_write) {
    *outcome = Reading::kTooRecent;
    return kSuccess;
  }
  platform::ValueRef value;
  DWORD values = 0;
  for (; values < state->values; ++values) {
    result = platform::EnumValue(source, values, buffers, &value);
    if (result == ERROR_NO_MORE_ITEMS) break;  // removed meanwhile
    if (result != kSuccess) return result;
    result = platform::SetValue(destination, value);
    if (result != kSuccess) return result;
  }
  DWORD subkeys = 0;
  for (; subkeys < state->subkeys; ++subkeys) {
    const wchar_t* name = nullptr;
    result = platform::EnumKey(source, subkeys, buffers, &name);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != kSuccess) return result;
    if (!names->Append(std::wstring_view(name)) || !names->Append(L'\0')) return ERROR_NOT_ENOUGH_MEMORY;
  }
  platform::KeyState after;
  result = platform::QueryKeyState(source, &after);
  if (result != kSuccess) return result;
  const bool steady = values == state->values && subkeys == state->subkeys && after == *state;
  *outcome = steady ? Reading::kSteady : Reading::kChanged;
  return kSuccess;
}

// Reads the source key `source` as it stands at one moment (ReadKeyOnce),
// again as long as it changes while it is read (its values written again over
// the ones written before), and after the registry's clock has passed its
// last write when it was written too recently; one that never holds still
// gives kSourceChanged.
DWORD ReadKey(HKEY source, HKEY destination, EnumBuffers* buffers, text::Wide* names, platform::KeyState* state) {
  const std::size_t names_at = names->size();
  for (int reading = 0; reading < kMaxReadings; ++reading) {
    names->Truncate(names_at);
    Reading outcome = Reading::kChanged;
    const DWORD result = ReadKeyOnce(source, destination, buffers, names, state, &outcome);
    if (result != kSuccess || outcome == Reading::kSteady) return result;
    for (int wait = 0; outcome == Reading::kTooRecent && wait < kMaxClockWaits; ++wait) {
      platform::WaitForClock();
      if (platform::ReadClock() > state->last_write) break;
    }
  }
  names->Truncate(names_at);
  return kSourceChanged;
}

// Opens the subkey `name` of the source key `parent` for reading, links
// followed. *gone when it is no longer there: deleted since it was listed
// (or with `parent`), it is not copied. A dangling link, which is there but
// leads to no key, fails the copy with the registry's answer.
DWORD OpenSourceChild(HKEY parent, const wchar_t* name, UniqueKey* key, bool* gone) {
  const DWORD result = platform::OpenKey(parent, name, KeyAccess::kRead, key);
  *gone = result == ERROR_KEY_DELETED;
  if (result != ERROR_FILE_NOT_FOUND) return *gone ? kSuccess : result;
  UniqueKey itself;
  const DWORD found = platform::OpenKeyNoFollow(parent, name, KeyAccess::kInspect, &itself);
  *gone = found == ERROR_FILE_NOT_FOUND;
  if (*gone) return kSuccess;
  return found == kSuccess ? result : found;
}

// After a reading failed with ERROR_KEY_DELETED, which the source key and its
// counterpart in the destination both answer once deleted: whether it was
// the source key that went (it answers so itself).
bool SourceGone(HKEY source) {
  platform::KeyState state;
  return platform::QueryKeyState(source, &state) == ERROR_KEY_DELETED;
}

// Copies every value, then every subkey at any depth, of `source` into
// `destination` (created by this call when `destination_created`), parents
// before children, each key read by ReadKey and each subkey opened by the
// name read, relative to its parent: one deleted meanwhile is not copied (or
// only what was read of it before), and none that stays is missed. Each
// subkey of the destination that does not exist is created and handed to
// `created`, and every one is checked by `guard` before anything is written
// to it. For a move, `copied` receives what was read. Stops at the first
// error; a source deeper than the registry can hold (a link that leads back
// into it) gives ERROR_CANT_RESOLVE_FILENAME.
DWORD CopyTree(HKEY source, HKEY destination, bool destination_created, CreatedKeys* created,
               SourceGuard* guard, CopiedTree* copied, const report::Observer* observer) {
  // A step that failed on the key `name` (below the key being copied), told.
  auto failed = [observer](const wchar_t* name, std::string_view step, DWORD error) {
    report::Tell(observer, {report::Event::kItemFailed, name, 0, 0, error, step});
    return error;
  };
  EnumBuffers buffers;
  text::Wide names;
  platform::KeyState state;
  if (copied && !copied->Add(L"")) return ERROR_NOT_ENOUGH_MEMORY;
  DWORD result = ReadKey(source, destination, &buffers, &names, &state);
  if (result != kSuccess) return failed(L"", "copy the source key's values", result);
  if (copied) (*copied)[0].state = state;
  CopyStack stack;
  if (!stack.Push({source, destination, 0, 0, names.size(), 0, destination_created, 0}))
    return ERROR_NOT_ENOUGH_MEMORY;
  while (!stack.empty()) {
    CopyFrame& frame = stack.top();
    if (frame.next_name >= frame.names_end) {
      if (copied) (*copied)[frame.copied].end = copied->size();
      names.Truncate(frame.names_at);
      stack.Pop();
      continue;
    }
    // Valid until more names are read.
    const wchar_t* name = names.data() + frame.next_name;
    frame.next_name += std::wcslen(name) + 1;
    if (stack.size() >= kMaxLevels) return ERROR_CANT_RESOLVE_FILENAME;
    UniqueKey child_source, child_destination;
    bool gone = false;
    result = OpenSourceChild(frame.source, name, &child_source, &gone);
    if (result != kSuccess) return failed(name, "open the source key", result);
    if (gone) continue;
    bool was_created = false;
    result = OpenOrCreate(frame.destination, name, frame.fresh_destination, &child_destination, &was_created);
    if (result != kSuccess) return failed(name, "create or open the destination key", result);
    const HKEY destination_child = child_destination.get();
    if (was_created) {
      result = created->Add(&child_destination);
      if (result != kSuccess) return result;
    }
    result = guard->Check(destination_child);
    if (result != kSuccess) return failed(name, "write into the source through a link", result);
    const std::size_t entry = copied ? copied->size() : 0;
    if (copied && !copied->Add(name)) return ERROR_NOT_ENOUGH_MEMORY;
    const std::size_t names_at = names.size();
    result = ReadKey(child_source.get(), destination_child, &buffers, &names, &state);
    if (result == ERROR_KEY_DELETED && SourceGone(child_source.get())) {
      // Deleted while it was read: not copied. A key this call created for
      // it goes again (nothing lies below it yet); one that existed keeps
      // what was written to it.
      names.Truncate(names_at);
      if (was_created) {
        result = created->DeleteLast();
        if (result != kSuccess) return result;
      }
      continue;
    }
    if (result != kSuccess) return failed(name, "copy its values", result);  // the destination key deleted meanwhile included
    if (copied) (*copied)[entry].state = state;
    if (names.size() == names_at) continue;  // no subkeys: done with it here
    if (!stack.Push({child_source.get(), destination_child, names_at, names_at, names.size(), entry, was_created, 0},
                    &child_source, was_created ? nullptr : &child_destination))
      return ERROR_NOT_ENOUGH_MEMORY;
  }
  return kSuccess;
}

// The longest leading part of `path` short of the whole, each such part
// ending with one of its components, that `open` (a callable taking the part
// and returning an error code) opens, the longest first: *rest receives what
// follows it. ERROR_FILE_NOT_FOUND when none opens; another error stops the
// search and is returned.
template <class Open>
DWORD OpenLongestLeadingPart(std::wstring_view path, Open open, std::wstring_view* rest) {
  text::Buffer<std::size_t> ends;  // of the components, the first one's first
  KeyPathComponents parts(path);
  std::wstring_view part;
  while (parts.Next(&part)) {
    if (!ends.Append(static_cast<std::size_t>(part.data() + part.size() - path.data())))
      return ERROR_NOT_ENOUGH_MEMORY;
  }
  for (std::size_t count = ends.size(); count-- > 1;) {
    const std::size_t end = ends[count - 1];
    const DWORD result = open(std::wstring_view(path.data(), end));
    if (result == kSuccess) *rest = std::wstring_view(path.data() + end, path.size() - end);
    if (result != ERROR_FILE_NOT_FOUND) return result;
  }
  return ERROR_FILE_NOT_FOUND;
}

// What a move's deletion works from: what its copy read, where the deletion
// marks each key it deletes, and the full name of the key the copy read at
// the top.
struct Deletion {
  CopiedTree* copied;
  std::wstring_view top_name;
  const report::Observer* observer;

  // Tells that the key, entry `entry`, stays in the source, and why.
  void Stays(std::size_t entry, std::string_view why) const {
    report::Tell(observer, {report::Event::kKeyKeptInSource, copied->name(entry), 0, 0, 0, why});
  }
};

// For a link whose target, the full name `target`, leads to no key: whether
// that was a key this deletion has deleted (*deleted, its entry *entry).
// Decided on keys, not on the name's spelling: the longest leading part of
// the name that still leads to a key is resolved by the registry (links in
// it followed) to that key's full name, which, with the rest of the name's
// components, must name a key that the copy read below its top.
DWORD FindDeletedTarget(std::wstring_view target, const Deletion& deletion, std::size_t* entry, bool* deleted) {
  *deleted = false;
  UniqueKey existing;
  std::wstring_view rest;
  const auto open = [&existing](std::wstring_view part) {
    return platform::OpenKeyByFullName(part, KeyAccess::kInspect, &existing);
  };
  DWORD result = OpenLongestLeadingPart(target, open, &rest);
  if (result == ERROR_FILE_NOT_FOUND) return kSuccess;
  if (result != kSuccess) return result;
  text::Wide name;
  result = platform::QueryKeyName(existing.get(), &name);
  if (result != kSuccess) return result;
  if (!AppendComponents(rest, &name)) return ERROR_NOT_ENOUGH_MEMORY;
  *deleted = deletion.copied->FindDeleted(deletion.top_name, name.view(), entry);
  return kSuccess;
}

// Whether the link key of entry `entry`, which holds the full name `target`,
// is as the copy read it through the link: the key it leads to has the
// state that the copy read, or, when it leads to no key, it led to a key that
// this deletion has deleted, as the copy read that key there too (a key the
// copy never read, or one someone else deleted, makes the link changed).
DWORD LinkAsRead(std::wstring_view target, std::size_t entry, const Deletion& deletion, bool* same) {
  *same = false;
  const CopiedTree& copied = *deletion.copied;
  UniqueKey key;
  DWORD result = platform::OpenKeyByFullName(target, KeyAccess::kInspect, &key);
  if (result == kSuccess) {
    platform::KeyState now;
    result = platform::QueryKeyState(key.get(), &now);
    *same = result == kSuccess && now == copied[entry].state;
    return result == ERROR_KEY_DELETED ? kSuccess : result;
  }
  if (result != ERROR_FILE_NOT_FOUND) return result;
  std::size_t deleted_entry = 0;
  bool deleted = false;
  result = FindDeletedTarget(target, deletion, &deleted_entry, &deleted);
  *same = result == kSuccess && deleted && copied[deleted_entry].state == copied[entry].state;
  return result;
}

// After the registry refused to delete `key`: whether it changed since it was
// last compared, so that it stays rather than fail the move. It now has a
// subkey (which is what makes the registry refuse), its state is no longer
// `compared` (when given), or it went.
bool ChangedSince(HKEY key, const platform::KeyState* compared) {
  platform::KeyState now;
  const DWORD result = platform::QueryKeyState(key, &now);
  if (result == ERROR_KEY_DELETED) return true;
  return result == kSuccess && (now.subkeys != 0 || (compared && now != *compared));
}

// Deletes `key`, entry `entry` of what the copy read (a link key as the
// link), through its handle, once it was found as the copy read it. One that
// someone else deleted first, or that changed since it was compared and so
// was refused, stays, and so does the key it lies in.
DWORD DeleteOne(HKEY key, std::size_t entry, bool link, const Deletion& deletion, DeletionStack* stack) {
  const DWORD result = platform::DeleteKey(key);
  if (result == kSuccess) {
    if (!link) (*deletion.copied)[entry].deleted = true;
    return kSuccess;
  }
  if (result != ERROR_KEY_DELETED && !ChangedSince(key, link ? nullptr : &(*deletion.copied)[entry].state))
    return result;
  deletion.Stays(entry, result == ERROR_KEY_DELETED ? "someone else deleted it" : "it changed before its deletion");
  stack->MarkStays();
  return kSuccess;
}

// A key of the source, opened as itself for deletion, entry `entry` of what
// the copy read: when it is as the copy read it, deleted at once or, when it
// had subkeys, taken on `stack` with a watch on its values, so that the keys
// below it go first; otherwise it stays, and so does the key it lies in. One
// that changed still has the keys below it visited. A link key, which the
// copy read through, is told by the value that makes it one, read from the
// key itself; it is never entered, and it goes (as the link) when the key it
// leads to is as the copy read it, or is a key that this deletion deleted.
DWORD Visit(DeletionStack* stack, UniqueKey* key, std::size_t entry, const Deletion& deletion) {
  const CopiedTree& copied = *deletion.copied;
  const bool below = copied.has_subkeys(entry);
  // The watch begins before the key is compared: no change falls between.
  HANDLE watch = nullptr;
  DWORD result = below ? stack->Watch(key->get(), &watch) : kSuccess;
  platform::KeyState now;
  if (result == kSuccess) result = platform::QueryKeyState(key->get(), &now);
  if (result == kSuccess && now == copied[entry].state) {
    if (below) return stack->Push(key, entry, watch, false);
    return DeleteOne(key->get(), entry, false, deletion, stack);
  }
  // Not as read, unless it is a link key, which the copy read through.
  text::Wide target;
  if (result == kSuccess) result = platform::QueryLinkTarget(key->get(), &target);
  if (result == ERROR_FILE_NOT_FOUND) {  // no link: it changed
    deletion.Stays(entry, "it changed since it was copied");
    if (below) return stack->Push(key, entry, watch, true);
    stack->MarkStays();
    return kSuccess;
  }
  bool same = false;
  if (result == kSuccess) result = LinkAsRead(target.view(), entry, deletion, &same);
  if (result == ERROR_KEY_DELETED) {  // by someone else, since it was opened
    result = kSuccess;
    same = false;
  }
  if (result != kSuccess) return result;
  if (!same) {
    deletion.Stays(entry, "a link whose target is not as it was copied");
    stack->MarkStays();
    return kSuccess;
  }
  return DeleteOne(key->get(), entry, true, deletion, stack);
}

// The key on top of `stack`, once the keys below it were visited: deleted
// unless it stays, that is unless it changed since the copy read it (a value
// set or deleted while the keys below it went included) or it still has a
// subkey (one that stayed, or one the copy never saw, even one added just
// before the deletion, which the registry then refuses). Then taken off.
DWORD Leave(DeletionStack* stack, const Deletion& deletion) {
  DeletionFrame& frame = stack->top();
  bool stays = frame.stays || platform::ValuesChanged(frame.watch);
  if (!stays) {
    platform::KeyState now;
    const DWORD result = platform::QueryKeyState(frame.key, &now);
    if (result != kSuccess && result != ERROR_KEY_DELETED) return result;
    stays = result != kSuccess || now.subkeys != 0;
  }
  if (!stays) {
    const DWORD result = platform::DeleteKey(frame.key);
    if (result == kSuccess) {
      (*deletion.copied)[frame.copied].deleted = true;
    } else if (result == ERROR_KEY_DELETED || ChangedSince(frame.key, nullptr) ||
               platform::ValuesChanged(frame.watch)) {
      stays = true;
    } else {
      return result;
    }
  }
  if (stays && !frame.stays) deletion.Stays(frame.copied, "it changed, or gained a subkey, while the keys below it went");
  stack->Pop();
  if (stays) stack->MarkStays();
  return kSuccess;
}

// A move's deletion of what its copy read, starting at `top` (the key that
// the source path ends in, opened as itself), deepest first, each key through
// its own handle; subkeys are opened as themselves by the names read, so a
// link is deleted as the link, never entered. A key that changed since the
// copy read it stays, with every key above it: kSourceChanged. The first
// error stops the deletion and is returned.
DWORD DeleteCopied(UniqueKey* top, const Deletion& deletion) {
  const CopiedTree& copied = *deletion.copied;
  DeletionStack stack;
  DWORD result = Visit(&stack, top, 0, deletion);
  while (result == kSuccess && !stack.empty()) {
    DeletionFrame& frame = stack.top();
    if (frame.next >= copied[frame.copied].end) {
      result = Leave(&stack, deletion);
      continue;
    }
    const std::size_t entry = frame.next;
    frame.next = copied[entry].end;
    UniqueKey child;
    result = platform::OpenKeyNoFollow(frame.key, copied.name(entry), KeyAccess::kReadDelete, &child);
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_KEY_DELETED) {  // gone since it was copied, or its parent
      deletion.Stays(frame.copied, "a key below it went since it was copied");
      frame.stays = true;
      result = kSuccess;
      continue;
    }
    if (result == kSuccess) result = Visit(&stack, &child, entry, deletion);
  }
  if (result != kSuccess) return result;
  return stack.top_stays() ? kSourceChanged : kSuccess;
}

// The destination as it stands: the key itself, or its nearest existing
// ancestor (opened for inspection) with the components below it that do not
// exist yet.
struct Destination {
  UniqueKey key;
  std::wstring_view missing;
};

// Finds root\path, or its nearest existing ancestor, as the registry resolves
// each of those paths from the root. `path` is zero-terminated; only an empty
// one names the root (any other goes to the registry as it is, which refuses
// one that starts with a separator).
DWORD FindDestination(HKEY root, std::wstring_view path, Destination* destination) {
  destination->missing = std::wstring_view();
  if (path.empty()) return platform::ReopenKey(root, KeyAccess::kInspect, &destination->key);
  DWORD result = platform::OpenKey(root, path.data(), KeyAccess::kInspect, &destination->key);
  if (result != ERROR_FILE_NOT_FOUND) return result;
  // Shorter and shorter leading parts of the path, the longest first.
  text::Wide prefix;
  const auto open = [root, &prefix, destination](std::wstring_view part) -> DWORD {
    if (!prefix.Assign(part)) return ERROR_NOT_ENOUGH_MEMORY;
    return platform::OpenKey(root, prefix.c_str(), KeyAccess::kInspect, &destination->key);
  };
  result = OpenLongestLeadingPart(path, open, &destination->missing);
  if (result != ERROR_FILE_NOT_FOUND) return result;
  destination->missing = path;
  return platform::ReopenKey(root, KeyAccess::kInspect, &destination->key);
}

// ERROR_INVALID_PARAMETER when the copy of `source` into the destination
// would write into the source: the destination is the source or lies inside
// it, or lies above it and the source holds, at the path that leads from the
// destination down to the source, a key that the copy would write onto the
// source itself. Decided on the full names that the registry resolved.
DWORD CheckOverlap(HKEY source, std::wstring_view source_name, std::wstring_view destination_name) {
  if (Relate(source_name, destination_name, platform::UpcaseKeyNameUnit, nullptr) != KeyRelation::kUnrelated)
    return ERROR_INVALID_PARAMETER;
  std::wstring_view below;
  if (Relate(destination_name, source_name, platform::UpcaseKeyNameUnit, &below) == KeyRelation::kBelow) {
    UniqueKey clash;
    const DWORD result = platform::OpenKey(source, below.data(), KeyAccess::kInspect, &clash);
    if (result == kSuccess) return ERROR_INVALID_PARAMETER;
    if (result != ERROR_FILE_NOT_FOUND) return result;
  }
  return kSuccess;
}

// Creates the components of `missing` one at a time below `*key` (open to
// create subkeys), handing each key created to `created` and checking each
// with `guard`; *key ends as the last key of the path when that one existed
// already, *destination as the last key either way, and *last_created tells
// whether this call created it. A dangling link among them is refused with
// ERROR_INVALID_PARAMETER before it is followed.
DWORD CreateMissing(UniqueKey* key, std::wstring_view missing, CreatedKeys* created, SourceGuard* guard,
                    HKEY* destination, bool* last_created) {
  *destination = key->get();
  *last_created = false;
  KeyPathComponents parts(missing);
  std::wstring_view part;
  text::Wide name;
  while (parts.Next(&part)) {
    if (!name.Assign(part)) return ERROR_NOT_ENOUGH_MEMORY;
    UniqueKey child;
    bool was_created = false;
    DWORD result = OpenOrCreate(*destination, name.c_str(), *last_created, &child, &was_created);
    if (result != kSuccess) return result;
    *last_created = was_created;
    if (was_created) {
      result = created->Add(&child);
      if (result != kSuccess) return result;
      key->reset();
      *destination = created->last();
    } else {  // made meanwhile by someone else: not ours to delete
      *key = std::move(child);
      *destination = key->get();
    }
    result = guard->Check(*destination);
    if (result != kSuccess) return result;
  }
  return kSuccess;
}

// For a move: whether the key that the source path ends in, `unfollowed`
// (opened as itself), is the key that the copy reads, named `followed_name`
// (the path with links followed). *same_key when it is that key itself;
// otherwise the path ends in a link, accepted only when `unfollowed` is a
// link key whose name leads, links followed, to that key (the deletion then
// deletes the link alone). Anything else, such as a path that changed
// between the two opens, is refused with ERROR_INVALID_PARAMETER before
// anything is written.
DWORD MatchSourceEnd(HKEY unfollowed, std::wstring_view followed_name, bool* same_key) {
  *same_key = false;
  text::Wide name;
  const auto names_it = [&name, followed_name](HKEY candidate, bool* matched) {
    const DWORD result = platform::QueryKeyName(candidate, &name);
    *matched = result == kSuccess &&
               Relate(name.view(), followed_name, platform::UpcaseKeyNameUnit, nullptr) == KeyRelation::kSame;
    return result;
  };
  bool matched = false;
  DWORD result = names_it(unfollowed, &matched);
  if (result != kSuccess || matched) {
    *same_key = matched;
    return result;
  }
  UniqueKey target;
  result = platform::OpenLinkTarget(unfollowed, KeyAccess::kInspect, &target);
  // No link, one that leads nowhere, or a key deleted meanwhile.
  if (result == ERROR_FILE_NOT_FOUND || result == ERROR_KEY_DELETED) return ERROR_INVALID_PARAMETER;
  if (result != kSuccess) return result;
  result = names_it(target.get(), &matched);
  if (result != kSuccess) return result;
  return matched ? kSuccess : ERROR_INVALID_PARAMETER;
}

}  // namespace

DWORD CopyRegistryTree(HKEY root, const wchar_t* source, const wchar_t* destination, int move_flag,
                       const report::Observer* observer) {
  const std::wstring_view source_path = source ? source : L"";
  const std::wstring_view destination_path = destination ? destination : L"";
  // An empty source names the root, which holds every destination. Any
  // other goes to the registry as it is.
  if (source_path.empty()) return ERROR_INVALID_PARAMETER;
  const bool move = (move_flag & 0xFF) == 1;

  // For a move, first the key that the path itself ends in, which the
  // deletion starts from; then the key that the copy reads (links followed).
  // The deletion acts on the key it was opened on, so the copy must read
  // that very key or, when the path ends in a link, the link's own target.
  UniqueKey source_key, deletion_key;
  // A source that may be read but not deleted is still copied; its deletion
  // then reports the denial and deletes nothing below it either.
  DWORD deletion_denied = kSuccess;
  DWORD result = kSuccess;
  if (move) {
    result = platform::OpenKeyNoFollow(root, source_path.data(), KeyAccess::kReadDelete, &deletion_key);
    if (result == ERROR_ACCESS_DENIED) {
      deletion_denied = result;
    } else if (result != kSuccess) {
      return result;
    }
  }
  result = platform::OpenKey(root, source_path.data(), KeyAccess::kRead, &source_key);
  if (result != kSuccess) return result;
  text::Wide source_name;
  result = platform::QueryKeyName(source_key.get(), &source_name);
  if (result != kSuccess) return result;
  HKEY copy_source = source_key.get();
  if (deletion_key) {
    bool same_key = false;
    result = MatchSourceEnd(deletion_key.get(), source_name.view(), &same_key);
    if (result != kSuccess) return result;
    if (same_key) {  // read through the deletion's own handle: one key for both
      copy_source = deletion_key.get();
      source_key.reset();
    }
  }

  Destination target;
  result = FindDestination(root, destination_path, &target);
  if (result != kSuccess) return result;
  text::Wide destination_name;
  result = platform::QueryKeyName(target.key.get(), &destination_name);
  if (result != kSuccess) return result;
  if (!AppendComponents(target.missing, &destination_name)) return ERROR_NOT_ENOUGH_MEMORY;
  report::Tell(observer, {report::Event::kKeyResolved, source_name.view(), 0, 0, 0, "source"});
  report::Tell(observer, {report::Event::kKeyResolved, destination_name.view(), 0, 0, 0, "destination"});
  result = CheckOverlap(copy_source, source_name.view(), destination_name.view());
  if (result != kSuccess) return result;

  // From here on the keys inspected above are the ones written to.
  UniqueKey writable;
  result = platform::ReopenKey(target.key.get(),
                               target.missing.empty() ? KeyAccess::kWrite : KeyAccess::kCreateBelow, &writable);
  target.key.reset();
  if (result != kSuccess) return result;
  CopiedTree copied;  // what a move reads, for its deletion
  {
    CreatedKeys created(observer);
    SourceGuard guard(source_name.view());
    HKEY destination_key = nullptr;
    bool destination_created = false;
    result = CreateMissing(&writable, target.missing, &created, &guard, &destination_key, &destination_created);
    if (result == kSuccess)
      result = CopyTree(copy_source, destination_key, destination_created, &created, &guard,
                        deletion_key ? &copied : nullptr, observer);
    if (result != kSuccess) {
      created.Undo();
      return result;
    }
  }  // every destination key closed before the source is deleted
  writable.reset();
  source_key.reset();
  if (!move) return kSuccess;
  if (deletion_denied != kSuccess) return deletion_denied;
  return DeleteCopied(&deletion_key, Deletion{&copied, source_name.view(), observer});
}

}  // namespace mur::maintenance
