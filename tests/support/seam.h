// Drives the platform fault seam of MUR_seam.dll. Operation numbers are the
// library's own (platform/seam.h).
#pragma once

#include "platform/seam.h"
#include "support/library.h"

namespace murtest {

namespace seam = mur::platform::seam;

struct Seam {
  static void Arm(seam::Op op, int nth, DWORD error) {
    MurSeam().Get<SeamArmFn>("MURSeam_Arm")(op, nth, error);
  }
  // Every call of `op` waits `milliseconds` first (0: no wait).
  static void Delay(seam::Op op, DWORD milliseconds) {
    MurSeam().Get<SeamDelayFn>("MURSeam_Delay")(op, milliseconds);
  }
  // Disarms, ends every delay and resets the call counters.
  static void Reset() { MurSeam().Get<SeamResetFn>("MURSeam_Reset")(); }
  static int Calls(seam::Op op) { return MurSeam().Get<SeamCountFn>("MURSeam_Calls")(op); }
  static int LiveHandles() { return MurSeam().Get<SeamLiveFn>("MURSeam_LiveHandles")(); }
  // Call `nth` of `op` signals `reached`, then waits for `release` first.
  static void Pause(seam::Op op, int nth, HANDLE reached, HANDLE release) {
    MurSeam().Get<SeamPauseFn>("MURSeam_Pause")(op, nth, reached, release);
  }
  // Only call number `nth` of `op` waits `milliseconds` first (0: no wait).
  static void DelayCall(seam::Op op, int nth, DWORD milliseconds) {
    MurSeam().Get<SeamDelayCallFn>("MURSeam_DelayCall")(op, nth, milliseconds);
  }
  // The most handles the library held at once since the last Arm or Reset.
  static int PeakHandles() { return MurSeam().Get<SeamLiveFn>("MURSeam_PeakHandles")(); }
};

// Resets the seam before and after each test.
class SeamTest : public ::testing::Test {
 protected:
  void SetUp() override { Seam::Reset(); }
  void TearDown() override { Seam::Reset(); }
};

}  // namespace murtest
