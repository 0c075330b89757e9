// Fault seam of the platform layer.
//
// Every operating-system call that tests make fail (those named in Op) goes
// through the seam: Tripped() before an ordinary call, Open() around a call
// that opens a handle, Close() around a close. In the shipped MUR.dll no
// hooks are installed, and each of these is one pointer test. The test
// build, MUR_seam.dll, links seam_controls.cpp, which installs hooks at load
// and exports the controls: fail the Nth call of one operation with a chosen
// error code, delay every call of one (or only its Nth), count the calls,
// and count the handles that the platform's owners hold open (now, and the
// most at once). A few native queries inside
// a call are reached through a table instead (seam_natives.h), which the
// test build swaps to stand in for their answers.
#pragma once

namespace mur::platform::seam {

enum Op : int {
  // Files: the stores and the probes.
  kOpenFileForWriting = 1,  // a store's open for writing, which creates it when absent
  kOpenFileForReading,      // the shared open that reads a store or a probed file
  kFileSize,
  kWriteFile,
  kReadFile,
  kCloseHandle,    // the close of a file's or a directory's handle
  kWaitForOpener,  // one wait before an open, a read or a write that another opener refused is
                   // tried again; an armed wait is not made, and the refusal stands
  // Directory tree removal (platform/directory.h).
  kFullPath = 10,          // FullPath
  kOpenDirectoryPath,      // OpenDirectoryForListing, the one open by path
  kOpenChildDirectory,     // OpenChildDirectory
  kDeleteChildFile,        // DeleteChildFile
  kQueryDirectory,         // ReadDirectory
  kQueryFileInformation,   // QueryFacts, QueryPathInVolume
  kSetDisposition,         // MarkForDeletion
  kOpenChildTarget,        // OpenChildTarget
  // These stand in for one native query inside a call (seam_natives.h): an
  // armed query is not made and answers the armed value as its NTSTATUS.
  kQueryFileId,            // QueryFacts's file id query
  kListWithIds,            // ReadDirectory's query for entries with file ids
  // An armed listing query answers success with no bytes, no query made.
  kEmptyListingRead,
  // Registry key tree copy (kRegDeleteKey deletes through a key's handle,
  // kRegQueryKeyName asks a key's full name, kRegQueryLinkTarget reads the
  // target of a link key, kRegWatchValues watches a key's values).
  kRegOpenKey = 30,
  kRegCreateKey,
  kRegQueryInfoKey,
  kRegEnumValue,
  kRegSetValue,
  kRegEnumKey,
  kRegDeleteKey,
  kRegCloseKey,
  kRegQueryKeyName,
  kRegQueryLinkTarget,
  kRegWatchValues,  // CreateWatchEvent, WatchValues
  // Every Buffer allocation (text/buffer.h).
  kAllocate = 50,
  kOpCount
};

struct Hooks {
  // Counts a call of `op`, after its delay if one is set; true when this call
  // is the armed one, which then fails with *error.
  bool (*trip)(Op op, unsigned long* error);
  void (*opened)();
  void (*closed)();
};

// Null unless the seam controls are linked in (seam.cpp holds it).
extern const Hooks* g_hooks;

inline bool Tripped(Op op, unsigned long* error) { return g_hooks && g_hooks->trip(op, error); }

// A call of `op` that opens a handle: `call()` makes it, hands the handle to
// its owner and returns 0, or returns an error code. With the hooks, an
// armed call is not made, and a handle opened is counted.
template <class Call>
unsigned long Open(Op op, Call call) {
  const Hooks* hooks = g_hooks;
  if (!hooks) return call();
  unsigned long error = 0;
  if (hooks->trip(op, &error)) return error;
  const unsigned long result = call();
  if (result == 0) hooks->opened();
  return result;
}

// Whether an armed close fails (a file's close can; a key's is only counted).
enum class CloseFault { kFails, kCounted };

// The close of a handle, `call()`, which returns 0 or its error code. The
// handle is released either way; with the hooks it is counted, and an armed
// close that may fail answers the armed error.
template <class Call>
unsigned long Close(Op op, CloseFault fault, Call call) {
  const Hooks* hooks = g_hooks;
  if (!hooks) return call();
  const unsigned long result = call();
  hooks->closed();
  unsigned long error = 0;
  return hooks->trip(op, &error) && fault == CloseFault::kFails ? error : result;
}

}  // namespace mur::platform::seam
