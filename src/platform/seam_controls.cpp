// The seam's controls, linked into the test build of the library
// (MUR_seam.dll) only; its export table adds the MURSeam_* functions below.
// Loading that library installs the hooks of seam/seam.h.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/seam_controls.h"
#include "seam/seam.h"

namespace mur::seam {
namespace {

std::atomic<long> g_calls[kOpCount];
std::atomic<int> g_armed_op{0};
std::atomic<long> g_armed_nth{0};
std::atomic<unsigned long> g_armed_error{0};
std::atomic<long> g_live_handles{0};
std::atomic<int> g_delay_op{0};
std::atomic<unsigned long> g_delay_ms{0};
std::atomic<int> g_pause_op{0};
std::atomic<long> g_pause_nth{0};  // 0: the first call on g_pause_name
std::atomic<HANDLE> g_pause_reached{nullptr};
std::atomic<HANDLE> g_pause_release{nullptr};
std::atomic<long> g_delay_nth{0};  // 0: every call of g_delay_op waits
std::atomic<long> g_peak_handles{0};

// A name to hold a call's subject against: the whole subject, or its end
// after a backslash (the last components of a path). Set by a control
// before the calls it concerns.
class Name {
 public:
  void Set(const wchar_t* name) {
    size_ = 0;
    while (name && name[size_] && size_ < kMax) ++size_;
    for (std::size_t i = 0; i < size_; ++i) text_[i] = name[i];
  }
  bool Matches(std::wstring_view subject) const {
    const std::wstring_view name(text_, size_);
    if (name.empty() || subject.size() < name.size()) return false;
    const std::size_t at = subject.size() - name.size();
    return subject.substr(at) == name && (at == 0 || subject[at - 1] == L'\\');
  }

 private:
  static constexpr std::size_t kMax = 260;
  wchar_t text_[kMax] = {};
  std::size_t size_ = 0;
};

std::atomic<int> g_named_op{0};  // the first call of it on g_armed_name fails
std::atomic<bool> g_named_fired{false};
Name g_armed_name;
std::atomic<int> g_named_delay_op{0};  // its calls on g_delayed_name wait
std::atomic<unsigned long> g_named_delay_ms{0};
Name g_delayed_name;
std::atomic<bool> g_pause_fired{false};
Name g_pause_name;

// Whether call number `n` of the paused operation, on `subject`, is the one
// to hold.
bool PausesHere(long n, std::wstring_view subject) {
  const long nth = g_pause_nth.load();
  if (nth != 0) return nth == n;
  return g_pause_name.Matches(subject) && !g_pause_fired.exchange(true);
}

// The stand-in for the registry's clock (MURSeam_CoarseClock): the system
// times at which its ticks began. While it is on, a time reads as the number
// of ticks begun by then; when the room for ticks runs out, the clock stops.
std::atomic<bool> g_coarse_clock{false};
std::atomic<int> g_tick_op{0};
constexpr std::size_t kMaxTicks = 4096;
std::uint64_t g_tick_starts[kMaxTicks];
std::atomic<std::size_t> g_ticks{0};

void BeginTick() {
  const std::size_t n = g_ticks.load();
  if (n == kMaxTicks) return;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  g_tick_starts[n] = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  g_ticks.store(n + 1);
}

std::uint64_t Clock(std::uint64_t time) {
  if (!g_coarse_clock.load()) return time;
  const std::size_t ticks = g_ticks.load();
  std::size_t begun = 0;
  while (begun < ticks && g_tick_starts[begun] <= time) ++begun;
  return begun;
}

bool Trip(Op op, std::wstring_view subject, unsigned long* error) {
  if (g_coarse_clock.load() && g_tick_op.load() == op) BeginTick();
  if (g_delay_op.load() == op) {
    const long nth = g_delay_nth.load();
    if (nth == 0 || nth == g_calls[op].load() + 1) ::Sleep(g_delay_ms.load());
  }
  if (g_named_delay_op.load() == op && g_delayed_name.Matches(subject)) ::Sleep(g_named_delay_ms.load());
  const long n = ++g_calls[op];
  if (g_pause_op.load() == op && PausesHere(n, subject)) {
    const HANDLE release = g_pause_release.load();
    ::SetEvent(g_pause_reached.load());
    if (release) {
      ::WaitForSingleObject(release, INFINITE);
    } else {
      for (;;) ::Sleep(INFINITE);
    }
  }
  const bool armed_nth = g_armed_op.load() == op && g_armed_nth.load() == n;
  const bool armed_name =
      g_named_op.load() == op && g_armed_name.Matches(subject) && !g_named_fired.exchange(true);
  if (!armed_nth && !armed_name) return false;
  *error = g_armed_error.load();
  return true;
}

void Opened() {
  const long live = ++g_live_handles;
  long peak = g_peak_handles.load();
  while (live > peak && !g_peak_handles.compare_exchange_weak(peak, live)) {
  }
}
void Closed() { --g_live_handles; }

constexpr Hooks kHooks{Trip, Opened, Closed, Clock};

void ResetCounts() {
  g_armed_op = 0;
  g_armed_nth = 0;
  g_named_op = 0;
  for (auto& c : g_calls) c = 0;
  g_peak_handles = g_live_handles.load();
}

struct Install {
  Install() {
    g_hooks = &kHooks;
  }
} g_install;

bool Valid(int op) { return op > 0 && op < kOpCount; }

}  // namespace
}  // namespace mur::seam

using namespace mur::seam;

extern "C" {

// Each control as platform/seam_controls.h describes it.

void WINAPI MURSeam_Arm(int op, int nth, DWORD error) {
  if (!Valid(op) || error == ERROR_SUCCESS) return;
  ResetCounts();
  g_armed_error = error;
  g_armed_nth = nth;
  g_armed_op = op;
}

void WINAPI MURSeam_Reset() {
  ResetCounts();
  g_delay_op = 0;
  g_delay_ms = 0;
  g_pause_op = 0;
  g_delay_nth = 0;
  g_named_delay_op = 0;
  g_coarse_clock = false;
  g_tick_op = 0;
  g_ticks = 0;
}

void WINAPI MURSeam_ArmNamed(int op, const wchar_t* name, DWORD error) {
  if (!Valid(op) || error == ERROR_SUCCESS || !name || !*name) return;
  ResetCounts();
  g_armed_error = error;
  g_armed_name.Set(name);
  g_named_fired = false;
  g_named_op = op;
}

void WINAPI MURSeam_DelayNamed(int op, const wchar_t* name, DWORD milliseconds) {
  if (!Valid(op)) return;
  g_named_delay_op = 0;
  g_delayed_name.Set(name);
  g_named_delay_ms = milliseconds;
  if (milliseconds && name && *name) g_named_delay_op = op;
}

void WINAPI MURSeam_Delay(int op, DWORD milliseconds) {
  if (!Valid(op)) return;
  g_delay_ms = milliseconds;
  g_delay_nth = 0;
  g_delay_op = milliseconds ? op : 0;
}

void WINAPI MURSeam_DelayCall(int op, int nth, DWORD milliseconds) {
  if (!Valid(op) || nth < 1) return;
  g_delay_ms = milliseconds;
  g_delay_nth = nth;
  g_delay_op = milliseconds ? op : 0;
}

void WINAPI MURSeam_Pause(int op, int nth, HANDLE reached, HANDLE release) {
  if (!Valid(op) || !reached || nth < 1) return;
  g_pause_op = 0;
  g_pause_reached = reached;
  g_pause_release = release;
  g_pause_nth = nth;
  g_pause_op = op;
}

void WINAPI MURSeam_PauseNamed(int op, const wchar_t* name, HANDLE reached, HANDLE release) {
  if (!Valid(op) || !reached || !name || !*name) return;
  g_pause_op = 0;
  g_pause_reached = reached;
  g_pause_release = release;
  g_pause_name.Set(name);
  g_pause_fired = false;
  g_pause_nth = 0;
  g_pause_op = op;
}

void WINAPI MURSeam_CoarseClock(int tick_op) {
  g_coarse_clock = false;
  g_ticks = 0;
  g_tick_op = Valid(tick_op) ? tick_op : 0;
  BeginTick();
  g_coarse_clock = true;
}

int WINAPI MURSeam_Calls(int op) { return Valid(op) ? static_cast<int>(g_calls[op].load()) : -1; }

int WINAPI MURSeam_LiveHandles() { return static_cast<int>(g_live_handles.load()); }

int WINAPI MURSeam_PeakHandles() { return static_cast<int>(g_peak_handles.load()); }

}  // extern "C"
