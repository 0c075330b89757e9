// Copying, or moving, a registry key with all its values and subkeys.
#pragma once

#include <windows.h>

#include "report/observer.h"

namespace mur::maintenance {

// The export's operation, on UTF-16 paths under `root` (only an empty path
// names the root itself; any other, one made of separators included, goes to
// the registry as it is and gets its answer; `root` must be a local key,
// whose full name can be asked): copies every value (type and bytes as stored) and every
// subkey at any depth of root\source into root\destination, and with a move
// flag whose low byte is 1 then deletes the source tree.
//
// Which keys the two paths name is decided by the keys themselves, as the
// registry resolves the paths (separators, Unicode case, links, the 32-bit
// view): a destination that is the source or lies inside it, or that lies
// above it where the copy would land on the source, is refused with
// ERROR_INVALID_PARAMETER before anything is touched.
//
// The destination and its missing ancestors are created one at a time,
// non-volatile. A dangling link where a key is to be created (in the
// destination path, or in a destination key that existed) is refused with
// ERROR_INVALID_PARAMETER before anything is created: creating through it
// would create its target, which may lie in the source. The copy follows links, as the registry's own tree copy does:
// a link key inside the source arrives as an ordinary key holding a copy of
// its target's values and subkeys, and a source path that ends in a link
// copies the link's target. A link that leads back into the source makes it
// endless: the copy fails where the registry refuses keys deeper than 512
// levels, or 512 levels below the source with ERROR_CANT_RESOLVE_FILENAME.
// A failed copy deletes every key this call created (the intermediate ones
// included) and nothing else, and returns the error.
//
// The source may change while the call runs. Each key is read at one moment:
// its values copied and its subkeys' names listed, then its state (counts and
// last-write time) asked again, and the key read again when it changed
// meanwhile. The registry stamps a key's last write by a clock that moves in
// ticks (about 15.6 ms on Windows), so a key is read only once that clock
// has passed its last write, after short waits when it must: every later
// change of the key then changes its state. Each subkey is then opened by
// the name read, relative to its parent; one deleted since is passed over,
// and so is one deleted while it is read, with the destination key that this
// call created for it (one that existed keeps what was written to it). A
// destination key that someone else deletes while the copy writes to it
// fails the copy with ERROR_KEY_DELETED, undone. So the copy reads and writes
// every key and value that stays in the source for the whole call, unless
// the system clock is set back meanwhile. A key that changes every time it is
// read, 8 times over, or whose last write the clock has still not passed
// after 8 rounds of waits, fails the copy with ERROR_RETRY, undone.
//
// The move then deletes what it read, deepest first, each key through its
// own handle, subkeys opened as themselves by the names read. A link key,
// told by the link value read through the key itself, inside the tree or
// named by the source path itself, is deleted as the link, its target
// neither entered nor deleted. It deletes a key only as the copy read it: a
// key whose state differs (a value added, changed or removed, a subkey added
// or removed; for a link, the key it leads to), a key one of whose values is
// set or deleted while the keys below it are deleted, and a key that has a
// subkey when it is to be deleted (one that stays, or one the copy never saw,
// even one added just before the deletion, which the registry then refuses)
// stays, with every key above it, and the move returns ERROR_RETRY with the
// complete copy in place. A link whose target is a key of the source that
// this move has deleted before it is as read, whatever name the link holds
// for it. A value set on a key between its last check and its deletion is
// deleted with it. A key that cannot be deleted for another reason stops the
// deletion and its error is returned, with the complete copy in place.
//
// A move deletes only what it copied: it opens the key that the source path
// ends in as itself first, and the copy reads that very key; when that key is
// a link, the copy reads the key the path leads to, and only when the name
// that link holds leads (links followed) to that key, so that the path did
// not change between the two opens: otherwise ERROR_INVALID_PARAMETER, with
// nothing touched.
//
// Returns ERROR_SUCCESS or the first error (ERROR_NOT_ENOUGH_MEMORY when
// memory runs out, undone like any other failure; ERROR_RETRY for a source
// that changed, as above).
// An observer is told the full names the registry resolved for the source and
// the destination, each key created, each step that failed with its code,
// each key undone, and each key the move left in the source, and why.
DWORD CopyRegistryTree(HKEY root, const wchar_t* source, const wchar_t* destination, int move_flag,
                       const report::Observer* observer = nullptr);

}  // namespace mur::maintenance
