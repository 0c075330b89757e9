// Fault seam of the platform layer.
//
// Every operating-system call that platform/ makes first asks Trip() whether
// it should fail. Nothing arms the seam in normal use, so Trip() is a counter
// increment and a false. The test build of the library exports the arming
// functions (seam_exports.cpp) so that tests can make the Nth call of one
// operation fail with a chosen error code, and can count the handles that the
// platform wrappers hold open.
#pragma once

namespace mur::platform::seam {

enum Op : int {
  kOpenFile = 1,
  kFileSize,
  kWriteFile,
  kReadFile,
  kCloseFile,
  kFindFirst,
  kFindNext,
  kDeleteFile,
  kRemoveDirectory,
  kRegOpenKey,
  kRegCreateKey,
  kRegQueryInfoKey,
  kRegEnumValue,
  kRegSetValue,
  kRegEnumKey,
  kRegDeleteKey,
  kRegCloseKey,
  kOpCount
};

// Counts a call of `op`, after waiting the delay set for it, if any. Returns
// true when this call is the armed one; the caller then fails the operation
// with *error as its last-error code.
bool Trip(Op op, unsigned long* error);

// Trip() for operations that report failure through the last-error code:
// when this call is the armed one, sets that code and returns true.
bool TripSettingLastError(Op op);

// Bookkeeping of the handles that the RAII wrappers hold.
void HandleOpened();
void HandleClosed();

// Arming, reading and resetting (reached from tests through seam_exports.cpp).
void Arm(Op op, long nth_call, unsigned long error);
// Makes every call of `op` wait `milliseconds` first (0: no wait), which
// widens the windows that concurrent callers race through.
void Delay(Op op, unsigned long milliseconds);
void Reset();
long Calls(Op op);
long LiveHandles();

}  // namespace mur::platform::seam
