// Removing a directory tree, best effort, through open handles.
#pragma once

#include <windows.h>

#include <string_view>

#include "report/observer.h"

namespace mur::maintenance {

// Removes the directory `directory` (UTF-16, as the caller spelled it) and
// everything below it, going on after failures; 1 when the whole tree is
// gone, 0 otherwise.
//
// The empty path, and any path that names a drive, volume or share root, by
// its spelling or by what the opened directory turns out to be, are refused.
// The directory's parent is the only thing opened by path (resolved as the
// path functions resolve it); the directory's own name is the argument's last
// component as spelled, a trailing dot or space kept, and the name the path
// functions trim it to stands in only when no entry is so named. The directory
// itself and everything below it are opened relative to their parent's
// handle by their true names, without following a reparse point, and each
// is acted on through the handle it was inspected with. Entries follow
// ActionFor (maintenance/removal_rules.h): hidden, system and read-only files
// stay, and so do their directories and every directory above them. An entry
// that vanished between the listing and its open, or that someone else is
// already deleting, counts as removed. A
// directory that is itself a link is removed as a link, never emptied; one
// that leads to a volume or share root (followed only to see where it leads)
// is refused and left as it is. The
// walk keeps its own stack of open directories: depth is bounded by memory
// and handles only, not by the host thread's stack or any path length.
//
// *code is ERROR_SUCCESS after a 1; after a 0, the error that decided it: that
// of the first entry that stayed (ERROR_DIR_NOT_EMPTY for one a rule kept:
// hidden, system, read-only), or why the call was refused. An observer is
// told each entry kept and why, each directory kept for what stayed inside,
// and the counts of what went.
int RemoveFiles(std::wstring_view directory, const report::Observer* observer, DWORD* code);

}  // namespace mur::maintenance
