// Copying, or moving, a registry key with all its values and subkeys.
#pragma once

#include <windows.h>

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
// included) and nothing else, and returns the error. The move then deletes
// the source tree deepest first, each key through its own handle; a link key,
// inside the tree or named by the source path itself, is deleted as the link,
// its target neither entered nor deleted. A key that cannot be deleted stops
// the deletion and its error is returned, with the complete copy in place.
//
// A move deletes only what it copied: it opens the key that the source path
// ends in as itself first, and the copy reads that very key; when that key is
// a link, the copy reads the key the path leads to, and only when the name
// that link holds leads (links followed) to that key, so that the path did
// not change between the two opens: otherwise ERROR_INVALID_PARAMETER, with
// nothing touched.
//
// Returns ERROR_SUCCESS or the first error (ERROR_NOT_ENOUGH_MEMORY when
// memory runs out, undone like any other failure).
DWORD CopyRegistryTree(HKEY root, const wchar_t* source, const wchar_t* destination, int move_flag);

}  // namespace mur::maintenance
