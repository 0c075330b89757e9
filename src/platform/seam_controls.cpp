// The seam's controls, linked into the test build of the library
// (MUR_seam.dll) only; its export table adds the MURSeam_* functions below.
// Loading that library installs the hooks of platform/seam.h, the stand-ins
// of platform/seam_natives.h and the Buffer allocation hook.
#include <windows.h>

#include <atomic>

#include "platform/seam.h"
#include "platform/seam_natives.h"
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
std::atomic<int> g_pause_op{0};
std::atomic<long> g_pause_nth{0};
std::atomic<HANDLE> g_pause_reached{nullptr};
std::atomic<HANDLE> g_pause_release{nullptr};
std::atomic<long> g_delay_nth{0};  // 0: every call of g_delay_op waits
std::atomic<long> g_peak_handles{0};

bool Trip(Op op, unsigned long* error) {
  if (g_delay_op.load() == op) {
    const long nth = g_delay_nth.load();
    if (nth == 0 || nth == g_calls[op].load() + 1) ::Sleep(g_delay_ms.load());
  }
  const long n = ++g_calls[op];
  if (g_pause_op.load() == op && g_pause_nth.load() == n) {
    const HANDLE release = g_pause_release.load();
    ::SetEvent(g_pause_reached.load());
    if (release) {
      ::WaitForSingleObject(release, INFINITE);
    } else {
      for (;;) ::Sleep(INFINITE);
    }
  }
  if (g_armed_op.load() != op || g_armed_nth.load() != n) return false;
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

bool AllocationFails() {
  unsigned long ignored = 0;
  return Trip(kAllocate, &ignored);
}

constexpr Hooks kHooks{Trip, Opened, Closed};

// FILE_INFORMATION_CLASS values of the queries stood in for.
constexpr int kFileInternalInformation = 6;
constexpr int kFileIdFullDirectoryInformation = 38;

// A handle's file id (kQueryFileId answers for it).
NTSTATUS NTAPI QueryInformationFile(HANDLE file, PIO_STATUS_BLOCK io, PVOID info, ULONG length,
                                    FILE_INFORMATION_CLASS information_class) {
  unsigned long armed = 0;
  if (information_class == kFileInternalInformation && Trip(kQueryFileId, &armed))
    return static_cast<NTSTATUS>(armed);
  return ::NtQueryInformationFile(file, io, info, length, information_class);
}

// Every listing read: kEmptyListingRead answers success with no bytes;
// kListWithIds answers for a read of entries with file ids.
NTSTATUS NTAPI QueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc_routine, PVOID apc_context,
                                  PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                  FILE_INFORMATION_CLASS information_class, BOOLEAN single_entry,
                                  PUNICODE_STRING file_name, BOOLEAN restart_scan) {
  unsigned long armed = 0;
  if (Trip(kEmptyListingRead, &armed)) {
    io->Status = 0;
    io->Information = 0;
    return 0;
  }
  if (information_class == kFileIdFullDirectoryInformation && Trip(kListWithIds, &armed))
    return static_cast<NTSTATUS>(armed);
  return ::NtQueryDirectoryFile(file, event, apc_routine, apc_context, io, buffer, length, information_class,
                                single_entry, file_name, restart_scan);
}

void ResetCounts() {
  g_armed_op = 0;
  g_armed_nth = 0;
  for (auto& c : g_calls) c = 0;
  g_peak_handles = g_live_handles.load();
}

struct Install {
  Install() {
    g_hooks = &kHooks;
    g_natives.query_information_file = QueryInformationFile;
    g_natives.query_directory_file = QueryDirectoryFile;
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

// Disarms, ends every delay and pause, and resets every call counter.
void WINAPI MURSeam_Reset() {
  ResetCounts();
  g_delay_op = 0;
  g_delay_ms = 0;
  g_pause_op = 0;
  g_delay_nth = 0;
}

// Every call of `op` waits `milliseconds` first; 0 ends the waiting.
void WINAPI MURSeam_Delay(int op, DWORD milliseconds) {
  if (!Valid(op)) return;
  g_delay_ms = milliseconds;
  g_delay_nth = 0;
  g_delay_op = milliseconds ? op : 0;
}

// Only call number `nth` of `op` (counted as MURSeam_Calls counts) waits
// `milliseconds` first; 0 ends the waiting. It is counted once it goes on.
void WINAPI MURSeam_DelayCall(int op, int nth, DWORD milliseconds) {
  if (!Valid(op) || nth < 1) return;
  g_delay_ms = milliseconds;
  g_delay_nth = nth;
  g_delay_op = milliseconds ? op : 0;
}

// Call number `nth` of `op` (counted as Arm counts) signals the event
// `reached` and waits, before that call is made, until the event `release`
// is signalled; with no `release` it never goes on, and the process stays
// there until it is ended from outside. Reset ends the pausing of later calls.
void WINAPI MURSeam_Pause(int op, int nth, HANDLE reached, HANDLE release) {
  if (!Valid(op) || !reached) return;
  g_pause_reached = reached;
  g_pause_release = release;
  g_pause_nth = nth;
  g_pause_op = op;
}

// Calls of `op` since the last Arm or Reset.
int WINAPI MURSeam_Calls(int op) { return Valid(op) ? static_cast<int>(g_calls[op].load()) : -1; }

// Handles that the platform's owners hold open right now.
int WINAPI MURSeam_LiveHandles() { return static_cast<int>(g_live_handles.load()); }

// The most handles they held at once since the last Arm or Reset.
int WINAPI MURSeam_PeakHandles() { return static_cast<int>(g_peak_handles.load()); }

}  // extern "C"
