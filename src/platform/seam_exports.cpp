// Seam controls, exported only by the test build of the library (MUR_seam.dll,
// see mur_seam.def). The shipped MUR.dll carries the same code unexported.
#include "platform/seam.h"

#include <windows.h>

using namespace mur::platform;

extern "C" {

// Makes call number `nth` (counted from 1 after this call) of operation `op`
// fail with `error`. Resets every call counter.
void WINAPI MURSeam_Arm(int op, int nth, DWORD error) {
  if (op > 0 && op < seam::kOpCount) seam::Arm(static_cast<seam::Op>(op), nth, error);
}

void WINAPI MURSeam_Reset() { seam::Reset(); }

// Every call of `op` waits `milliseconds` first; 0 ends the waiting.
void WINAPI MURSeam_Delay(int op, DWORD milliseconds) {
  if (op > 0 && op < seam::kOpCount) seam::Delay(static_cast<seam::Op>(op), milliseconds);
}

// Calls of `op` since the last Arm or Reset.
int WINAPI MURSeam_Calls(int op) {
  return op > 0 && op < seam::kOpCount ? static_cast<int>(seam::Calls(static_cast<seam::Op>(op))) : -1;
}

// Handles that the platform wrappers hold open right now.
int WINAPI MURSeam_LiveHandles() { return static_cast<int>(seam::LiveHandles()); }

}  // extern "C"
