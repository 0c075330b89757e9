// The fault seam: the library's one place where tests reach into it.
//
// Every operating-system call that tests make fail (those named in Op) goes
// through the seam, and so does every Buffer allocation: Tripped() before an
// ordinary call, Open() around a call that opens a handle, Close() around a
// close. Each names the operation and, where the call acts on a name (the
// path, key, value or entry it opens, creates, deletes or writes), that
// name, so that a test can fail or hold back the call about one name rather
// than the Nth call of its kind. A time read from the registry's clock goes
// through Clock(), for which a test can stand in a coarser clock. In the
// shipped MUR.dll no hooks are installed, and each of these is one pointer
// test. The test build, MUR_seam.dll, links the platform's seam_controls.cpp,
// which installs hooks at load and exports the controls. This layer is the
// lowest: it calls nothing, so the text layer's Buffer can use it as the
// platform does.
#pragma once

#include <cstdint>
#include <string_view>

namespace mur::seam {

enum Op : int {
  // Files: the stores and the probes.
  kOpenFileForWriting = 1,  // a store's open for writing, which creates it when absent
  kOpenFileForReading,      // the shared open that reads a store or a probed file
  kFileSize,
  kWriteFile,
  kReadFile,
  kCloseHandle,    // the close of a file's, a directory's or a watch event's handle (HandleTraits::Close)
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
  // One native query inside a call: an armed query is not made and answers
  // the armed value as its NTSTATUS.
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
  kRegWaitForClock,  // WaitForClock, a short wait for the clock to move on (an armed one is not made)
  // Every Buffer allocation (text/buffer.h).
  kAllocate = 50,
  kOpCount
};

struct Hooks {
  // Counts a call of `op` that acts on `subject` (empty when it acts on no
  // name), after its delay if one is set; true when this call is the armed
  // one, which then fails with *error.
  bool (*trip)(Op op, std::wstring_view subject, unsigned long* error);
  void (*opened)();
  void (*closed)();
  // A time of the registry's clock (the system time, or a key's last write,
  // in FILETIME units) as the test's stand-in for that clock reads it; null
  // reads every time as it is.
  std::uint64_t (*clock)(std::uint64_t time);
};

// Null unless the seam controls are linked in (seam.cpp holds it).
extern const Hooks* g_hooks;

inline bool Tripped(Op op, std::wstring_view subject, unsigned long* error) {
  return g_hooks && g_hooks->trip(op, subject, error);
}
inline bool Tripped(Op op, unsigned long* error) { return Tripped(op, std::wstring_view(), error); }

// A time read from the registry's clock, as the stand-in reads it when one is
// installed.
inline std::uint64_t Clock(std::uint64_t time) {
  const Hooks* hooks = g_hooks;
  return hooks && hooks->clock ? hooks->clock(time) : time;
}

// A call of `op` on `subject` that opens a handle: `call()` makes it, hands
// the handle to its owner and returns 0, or returns an error code. With the
// hooks, an armed call is not made, and a handle opened is counted.
template <class Call>
unsigned long Open(Op op, std::wstring_view subject, Call call) {
  const Hooks* hooks = g_hooks;
  if (!hooks) return call();
  unsigned long error = 0;
  if (hooks->trip(op, subject, &error)) return error;
  const unsigned long result = call();
  if (result == 0) hooks->opened();
  return result;
}
template <class Call>
unsigned long Open(Op op, Call call) {
  return Open(op, std::wstring_view(), call);
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
  return hooks->trip(op, std::wstring_view(), &error) && fault == CloseFault::kFails ? error : result;
}

}  // namespace mur::seam
