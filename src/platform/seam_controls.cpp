// The seam's controls, linked into the test build of the library
// (MUR_seam.dll) only; its export table adds the MURSeam_* functions below.
// Loading that library installs the hooks of platform/seam.h and the Buffer
// allocation hook.
#include <windows.h>

#include <atomic>

#include "platform/seam.h"
#include "text/buffer.h"

namespace mur::platform::seam {
namespace {

std::atomic<long> g_calls[kOpCount];
std::atomic<int> g_armed_op{0};
std::atomic<long> g_armed_nth{0};
std::atomic<unsigned long> g_armed_error{0};
std::atomic<long> g_live_handles{0};
std::atomic<int> g_delay_op{0};
std::atomic<unsigned long> g_delay_ms{0};

bool Trip(Op op, unsigned long* error) {
  if (g_delay_op.load() == op) ::Sleep(g_delay_ms.load());
  const long n = ++g_calls[op];
  if (g_armed_op.load() != op || g_armed_nth.load() != n) return false;
  *error = g_armed_error.load();
  return true;
}

void Opened() { ++g_live_handles; }
void Closed() { --g_live_handles; }

bool AllocationFails() {
  unsigned long ignored = 0;
  return Trip(kAllocate, &ignored);
}

constexpr Hooks kHooks{Trip, Opened, Closed};

void ResetCounts() {
  g_armed_op = 0;
  g_armed_nth = 0;
  for (auto& c : g_calls) c = 0;
}

struct Install {
  Install() {
    g_hooks = &kHooks;
    text::g_allocation_fails = AllocationFails;
  }
} g_install;

bool Valid(int op) { return op > 0 && op < kOpCount; }

}  // namespace
}  // namespace mur::platform::seam

using namespace mur::platform::seam;

extern "C" {

// Makes call number `nth` (counted from 1 after this call) of operation `op`
// fail with `error`, which must not be 0 (ERROR_SUCCESS would fail nothing).
// Resets every call counter.
void WINAPI MURSeam_Arm(int op, int nth, DWORD error) {
  if (!Valid(op) || error == ERROR_SUCCESS) return;
  ResetCounts();
  g_armed_error = error;
  g_armed_nth = nth;
  g_armed_op = op;
}

// Disarms, ends every delay and resets every call counter.
void WINAPI MURSeam_Reset() {
  ResetCounts();
  g_delay_op = 0;
  g_delay_ms = 0;
}

// Every call of `op` waits `milliseconds` first; 0 ends the waiting.
void WINAPI MURSeam_Delay(int op, DWORD milliseconds) {
  if (!Valid(op)) return;
  g_delay_ms = milliseconds;
  g_delay_op = milliseconds ? op : 0;
}

// Calls of `op` since the last Arm or Reset.
int WINAPI MURSeam_Calls(int op) { return Valid(op) ? static_cast<int>(g_calls[op].load()) : -1; }

// Handles that the platform's owners hold open right now.
int WINAPI MURSeam_LiveHandles() { return static_cast<int>(g_live_handles.load()); }

}  // extern "C"
