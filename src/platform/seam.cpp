#include "platform/seam.h"

#include <windows.h>

#include <atomic>

namespace mur::platform::seam {
namespace {

std::atomic<long> g_calls[kOpCount];
std::atomic<int> g_armed_op{0};
std::atomic<long> g_armed_nth{0};
std::atomic<unsigned long> g_armed_error{0};
std::atomic<long> g_live_handles{0};
std::atomic<int> g_delay_op{0};
std::atomic<unsigned long> g_delay_ms{0};

}  // namespace

bool Trip(Op op, unsigned long* error) {
  if (g_delay_op.load() == op) ::Sleep(g_delay_ms.load());
  const long n = ++g_calls[op];
  if (g_armed_op.load() != op || g_armed_nth.load() != n) return false;
  *error = g_armed_error.load();
  return true;
}

bool TripSettingLastError(Op op) {
  unsigned long error = 0;
  if (!Trip(op, &error)) return false;
  ::SetLastError(error);
  return true;
}

void HandleOpened() { ++g_live_handles; }
void HandleClosed() { --g_live_handles; }

void Arm(Op op, long nth_call, unsigned long error) {
  Reset();
  g_armed_error = error;
  g_armed_nth = nth_call;
  g_armed_op = op;
}

void Delay(Op op, unsigned long milliseconds) {
  g_delay_ms = milliseconds;
  g_delay_op = milliseconds ? op : 0;
}

void Reset() {
  g_armed_op = 0;
  g_armed_nth = 0;
  for (auto& c : g_calls) c = 0;
}

long Calls(Op op) { return (op > 0 && op < kOpCount) ? g_calls[op].load() : -1; }

long LiveHandles() { return g_live_handles.load(); }

}  // namespace mur::platform::seam
