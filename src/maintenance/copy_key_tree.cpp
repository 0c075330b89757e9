#include "maintenance/copy_key_tree.h"

#include <string_view>
#include <utility>

#include "maintenance/key_paths.h"
#include "platform/registry.h"
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

// The keys this call created, in the order of their creation, each held
// through the handle it was created with until the copy ends.
class CreatedKeys {
 public:
  CreatedKeys() = default;
  CreatedKeys(const CreatedKeys&) = delete;
  CreatedKeys& operator=(const CreatedKeys&) = delete;
  ~CreatedKeys() { CloseAll(); }

  // Takes over `key`, which this call has just created. When no room can be
  // made to hold it, deletes it at once and returns ERROR_NOT_ENOUGH_MEMORY.
  DWORD Add(UniqueKey* key) {
    if (!keys_.Append(key->get())) {
      platform::DeleteKey(key->get());
      key->reset();
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    key->release();
    return kSuccess;
  }
  HKEY last() const { return keys_[keys_.size() - 1]; }

  // Deletes every one, the last created first (children were created after
  // their parents), then closes them. Best effort: the failure being undone
  // is what the caller reports.
  void Undo() {
    for (std::size_t i = keys_.size(); i-- > 0;) platform::DeleteKey(keys_[i]);
    CloseAll();
  }
  void CloseAll() {
    for (HKEY key : keys_) platform::KeyTraits::Close(key);
    keys_.Clear();
  }

 private:
  text::Buffer<HKEY> keys_;
};

// One key of the source being copied and its counterpart in the destination;
// each handle owned by the stack or held elsewhere (the roots, and created
// keys, which CreatedKeys holds).
struct CopyFrame {
  HKEY source;
  HKEY destination;
  DWORD next_subkey;
  DWORD subkeys;
  bool owns_source;
  bool owns_destination;
  bool fresh_destination;  // created by this call: it had no subkeys
};

// The path of keys from the copy's root down to the one being copied: an
// explicit stack, so the depth of a tree never reaches the host's stack.
class CopyStack {
 public:
  CopyStack() = default;
  CopyStack(const CopyStack&) = delete;
  CopyStack& operator=(const CopyStack&) = delete;
  ~CopyStack() {
    while (!empty()) Pop();
  }

  bool empty() const { return frames_.empty(); }
  std::size_t size() const { return frames_.size(); }
  CopyFrame& top() { return frames_[frames_.size() - 1]; }
  // False when memory runs out; the handles then stay with the caller.
  [[nodiscard]] bool Push(const CopyFrame& frame) { return frames_.Append(frame); }
  void Pop() {
    const CopyFrame frame = top();
    frames_.Truncate(frames_.size() - 1);
    if (frame.owns_source) platform::KeyTraits::Close(frame.source);
    if (frame.owns_destination) platform::KeyTraits::Close(frame.destination);
  }

 private:
  text::Buffer<CopyFrame> frames_;
};

// Owned handles of the keys from the top of a deletion down to the one being
// emptied; closes what is left.
class KeyStack {
 public:
  KeyStack() = default;
  KeyStack(const KeyStack&) = delete;
  KeyStack& operator=(const KeyStack&) = delete;
  ~KeyStack() {
    while (!empty()) Pop();
  }

  bool empty() const { return keys_.empty(); }
  HKEY top() const { return keys_[keys_.size() - 1]; }
  // Takes over `key`; when memory runs out, leaves it with the caller.
  [[nodiscard]] bool Push(UniqueKey* key) {
    if (!keys_.Append(key->get())) return false;
    key->release();
    return true;
  }
  void Pop() {
    const HKEY key = top();
    keys_.Truncate(keys_.size() - 1);
    platform::KeyTraits::Close(key);
  }

 private:
  text::Buffer<HKEY> keys_;
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

// Copies the values of `source` into `destination`; *subkeys is the number of
// subkeys of `source`.
DWORD CopyValues(HKEY source, HKEY destination, EnumBuffers* buffers, DWORD* subkeys) {
  platform::KeyCounts counts;
  DWORD result = platform::PrepareEnum(source, buffers, &counts);
  if (result != kSuccess) return result;
  platform::ValueRef value;
  for (DWORD index = 0; index < counts.values; ++index) {
    result = platform::EnumValue(source, index, buffers, &value);
    if (result == ERROR_NO_MORE_ITEMS) break;  // values removed meanwhile
    if (result != kSuccess) return result;
    result = platform::SetValue(destination, value);
    if (result != kSuccess) return result;
  }
  *subkeys = counts.subkeys;
  return kSuccess;
}

// Copies every value, then every subkey at any depth, of `source` into
// `destination` (created by this call when `destination_created`), parents
// before children; each subkey of the destination that does not exist is
// created and handed to `created`, and every one is checked by `guard`
// before anything is written to it. Stops at the first error; a source
// deeper than the registry can hold (a link that leads back into it) gives
// ERROR_CANT_RESOLVE_FILENAME.
DWORD CopyTree(HKEY source, HKEY destination, bool destination_created, CreatedKeys* created,
               SourceGuard* guard) {
  EnumBuffers buffers;
  DWORD subkeys = 0;
  DWORD result = CopyValues(source, destination, &buffers, &subkeys);
  if (result != kSuccess) return result;
  CopyStack stack;
  if (!stack.Push({source, destination, 0, subkeys, false, false, destination_created}))
    return ERROR_NOT_ENOUGH_MEMORY;
  while (!stack.empty()) {
    CopyFrame& frame = stack.top();
    if (frame.next_subkey >= frame.subkeys) {
      stack.Pop();
      continue;
    }
    const wchar_t* name = nullptr;
    result = platform::EnumKey(frame.source, frame.next_subkey++, &buffers, &name);
    if (result == ERROR_NO_MORE_ITEMS) {  // subkeys removed meanwhile
      stack.Pop();
      continue;
    }
    if (result != kSuccess) return result;
    if (stack.size() >= kMaxLevels) return ERROR_CANT_RESOLVE_FILENAME;
    UniqueKey child_source, child_destination;
    result = platform::OpenKey(frame.source, name, KeyAccess::kRead, &child_source);
    if (result != kSuccess) return result;
    bool was_created = false;
    result = OpenOrCreate(frame.destination, name, frame.fresh_destination, &child_destination, &was_created);
    if (result != kSuccess) return result;
    const HKEY destination_child = child_destination.get();
    if (was_created) {
      result = created->Add(&child_destination);
      if (result != kSuccess) return result;
    }
    result = guard->Check(destination_child);
    if (result != kSuccess) return result;
    result = CopyValues(child_source.get(), destination_child, &buffers, &subkeys);
    if (result != kSuccess) return result;
    if (subkeys == 0) continue;  // a leaf: done with it here
    if (!stack.Push({child_source.get(), destination_child, 0, subkeys, true, !was_created, was_created}))
      return ERROR_NOT_ENOUGH_MEMORY;
    child_source.release();
    if (!was_created) child_destination.release();
  }
  return kSuccess;
}

// Deletes the key that `key` refers to with everything below it, deepest
// first, each key through its own handle. Subkeys are opened as themselves:
// a link key is deleted as the link. Always the first subkey: each one is
// gone before the next is asked for, and a key that cannot be deleted ends
// the deletion with its error.
DWORD DeleteTree(UniqueKey* key) {
  EnumBuffers buffers;
  KeyStack stack;
  if (!stack.Push(key)) return ERROR_NOT_ENOUGH_MEMORY;
  while (!stack.empty()) {
    const wchar_t* name = nullptr;
    DWORD result = platform::EnumKey(stack.top(), 0, &buffers, &name);
    if (result == kSuccess) {
      UniqueKey child;
      result = platform::OpenKeyNoFollow(stack.top(), name, KeyAccess::kReadDelete, &child);
      if (result != kSuccess) return result;
      if (!stack.Push(&child)) return ERROR_NOT_ENOUGH_MEMORY;
      continue;
    }
    if (result != ERROR_NO_MORE_ITEMS) return result;
    result = platform::DeleteKey(stack.top());
    if (result != kSuccess) return result;
    stack.Pop();
  }
  return kSuccess;
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
  // Shorter and shorter leading parts of the path, each up to the end of one
  // of its components, the longest first.
  text::Buffer<std::size_t> ends;
  KeyPathComponents parts(path);
  std::wstring_view part;
  while (parts.Next(&part)) {
    if (!ends.Append(static_cast<std::size_t>(part.data() + part.size() - path.data())))
      return ERROR_NOT_ENOUGH_MEMORY;
  }
  text::Wide prefix;
  for (std::size_t count = ends.size() - 1; count > 0; --count) {
    if (!prefix.Assign(path.data(), ends[count - 1])) return ERROR_NOT_ENOUGH_MEMORY;
    result = platform::OpenKey(root, prefix.c_str(), KeyAccess::kInspect, &destination->key);
    if (result == kSuccess) {
      destination->missing = std::wstring_view(path.data() + ends[count - 1], path.size() - ends[count - 1]);
      return kSuccess;
    }
    if (result != ERROR_FILE_NOT_FOUND) return result;
  }
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
  const auto names_it = [followed_name](const text::Wide& name) {
    return Relate(name.view(), followed_name, platform::UpcaseKeyNameUnit, nullptr) == KeyRelation::kSame;
  };
  *same_key = false;
  text::Wide name;
  DWORD result = platform::QueryKeyName(unfollowed, &name);
  if (result != kSuccess) return result;
  if (names_it(name)) {
    *same_key = true;
    return kSuccess;
  }
  // The key that the link's name leads to, however it spells it.
  UniqueKey target;
  result = platform::OpenLinkTarget(unfollowed, KeyAccess::kInspect, &target);
  if (result == ERROR_FILE_NOT_FOUND) return ERROR_INVALID_PARAMETER;  // no link, or none that leads anywhere
  if (result != kSuccess) return result;
  result = platform::QueryKeyName(target.get(), &name);
  if (result != kSuccess) return result;
  return names_it(name) ? kSuccess : ERROR_INVALID_PARAMETER;
}

}  // namespace

DWORD CopyRegistryTree(HKEY root, const wchar_t* source, const wchar_t* destination, int move_flag) {
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
  result = CheckOverlap(copy_source, source_name.view(), destination_name.view());
  if (result != kSuccess) return result;

  // From here on the keys inspected above are the ones written to.
  UniqueKey writable;
  result = platform::ReopenKey(target.key.get(),
                               target.missing.empty() ? KeyAccess::kWrite : KeyAccess::kCreateBelow, &writable);
  target.key.reset();
  if (result != kSuccess) return result;
  {
    CreatedKeys created;
    SourceGuard guard(source_name.view());
    HKEY destination_key = nullptr;
    bool destination_created = false;
    result = CreateMissing(&writable, target.missing, &created, &guard, &destination_key, &destination_created);
    if (result == kSuccess) result = CopyTree(copy_source, destination_key, destination_created, &created, &guard);
    if (result != kSuccess) {
      created.Undo();
      return result;
    }
  }  // every destination key closed before the source is deleted
  writable.reset();
  source_key.reset();
  if (!move) return kSuccess;
  return deletion_denied != kSuccess ? deletion_denied : DeleteTree(&deletion_key);
}

}  // namespace mur::maintenance
