// Drives the fault seam of MUR_seam.dll. Operation numbers are the
// library's own (seam/seam.h); the controls are those of its one list
// (platform/seam_controls.h).
#pragma once

#include "platform/seam_controls.h"
#include "seam/seam.h"
#include "support/library.h"

namespace murtest {

namespace seam = mur::seam;

// The control `name` of the loaded test library, typed by its declaration.
#define MUR_SEAM(name) (::murtest::MurSeam().Get<decltype(&::name)>(#name))

struct Seam {
  static void Arm(seam::Op op, int nth, DWORD error) { MUR_SEAM(MURSeam_Arm)(op, nth, error); }
  // The first call of `op` on `name` (or a path ending in it) fails.
  static void ArmNamed(seam::Op op, const wchar_t* name, DWORD error) {
    MUR_SEAM(MURSeam_ArmNamed)(op, name, error);
  }
  // Call `nth` of `op` signals `reached`, then waits for `release` first.
  static void Pause(seam::Op op, int nth, HANDLE reached, HANDLE release) {
    MUR_SEAM(MURSeam_Pause)(op, nth, reached, release);
  }
  // As Pause, for the first call of `op` on `name` (or a path ending in it).
  static void PauseNamed(seam::Op op, const wchar_t* name, HANDLE reached, HANDLE release) {
    MUR_SEAM(MURSeam_PauseNamed)(op, name, reached, release);
  }
  // Until the next Reset, the registry's clock as the library reads it moves
  // in ticks: one now, and one at each call of `tick_op`.
  static void CoarseClock(seam::Op tick_op) { MUR_SEAM(MURSeam_CoarseClock)(tick_op); }
  // Disarms, ends every delay and pause, and resets the call counters.
  static void Reset() { MUR_SEAM(MURSeam_Reset)(); }
  static int Calls(seam::Op op) { return MUR_SEAM(MURSeam_Calls)(op); }
  static int LiveHandles() { return MUR_SEAM(MURSeam_LiveHandles)(); }
};

// Resets the seam before and after each test.
class SeamTest : public ::testing::Test {
 protected:
  void SetUp() override { Seam::Reset(); }
  void TearDown() override { Seam::Reset(); }
};

}  // namespace murtest
