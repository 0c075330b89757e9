// The seam's controls, the one list of them: what the test build of the
// library, MUR_seam.dll, exports besides the library's own exports (the
// build makes its .def from this list), and what the tests call (by these
// declarations' types). seam_controls.cpp defines them; MUR.dll has none.
#pragma once

#include <windows.h>

// X(result, name, parameters) for each control.
#define MUR_SEAM_CONTROLS(X)                                                   \
  /* Makes call number `nth` (counted from 1 after this call) of operation  \
     `op` fail with `error`, which must not be 0. Resets every counter. */   \
  X(void, MURSeam_Arm, (int op, int nth, DWORD error))                        \
  /* Makes the first call of `op` that acts on `name` (the whole name it    \
     acts on, or its end after a backslash) fail with `error`. Resets every \
     counter. */                                                              \
  X(void, MURSeam_ArmNamed, (int op, const wchar_t* name, DWORD error))       \
  /* Disarms, ends every delay and pause, and resets every counter. */        \
  X(void, MURSeam_Reset, ())                                                  \
  /* Every call of `op` waits `milliseconds` first; 0 ends the waiting. */    \
  X(void, MURSeam_Delay, (int op, DWORD milliseconds))                        \
  /* Only call number `nth` of `op` waits `milliseconds` first. */            \
  X(void, MURSeam_DelayCall, (int op, int nth, DWORD milliseconds))           \
  /* Every call of `op` that acts on `name` waits `milliseconds` first. */    \
  X(void, MURSeam_DelayNamed, (int op, const wchar_t* name, DWORD milliseconds)) \
  /* Call number `nth` of `op` signals `reached` and waits for `release`    \
     first (with none, for good: the process is to be ended). */              \
  X(void, MURSeam_Pause, (int op, int nth, HANDLE reached, HANDLE release))   \
  /* The first call of `op` that acts on `name` (as for ArmNamed) signals   \
     `reached` and waits for `release` first. One pause is set at a time:  \
     this one, or the one of Pause, replaces the other. */                   \
  X(void, MURSeam_PauseNamed, (int op, const wchar_t* name, HANDLE reached, HANDLE release)) \
  /* Until the next Reset, the registry's clock as the library reads it    \
     (the system time and every key's last-write time) counts ticks: a     \
     time reads as the number of ticks begun by then, one beginning now and \
     one at each call of `tick_op` (0: at none). Two times within one tick  \
     then read alike, as on Windows, whose clock moves in ticks of about    \
     15.6 ms. */                                                              \
  X(void, MURSeam_CoarseClock, (int tick_op))                                 \
  /* Calls of `op` since the last Arm or Reset. */                            \
  X(int, MURSeam_Calls, (int op))                                             \
  /* Handles that the platform's owners hold open right now. */               \
  X(int, MURSeam_LiveHandles, ())                                             \
  /* The most handles held at once since the last Arm or Reset. */            \
  X(int, MURSeam_PeakHandles, ())

#define MUR_SEAM_DECLARE_CONTROL(result, name, parameters) result WINAPI name parameters;
extern "C" {
MUR_SEAM_CONTROLS(MUR_SEAM_DECLARE_CONTROL)
}
#undef MUR_SEAM_DECLARE_CONTROL
