// The platform's one rule for a query whose answer may not fit the buffer it
// is given: grow the buffer and ask again, at most kMaxGrowths times. An item
// that keeps growing faster than it is read, or a system that keeps asking
// for more, then fails with ERROR_MORE_DATA. Platform-internal.
#pragma once

#include <windows.h>

namespace mur::platform {

inline constexpr int kMaxGrowths = 16;

// What an attempt answers when it has grown its buffers for another try: a
// code with the application bit set, which no system error has.
inline constexpr DWORD kGrownForAnotherTry = (1u << 29) | 1u;

// Runs `attempt()`, which makes the query once and answers its result, the
// error of a growth that failed (ERROR_NOT_ENOUGH_MEMORY), or
// kGrownForAnotherTry after growing its buffers to what the answer needs.
template <class Attempt>
DWORD WhileItGrows(Attempt attempt) {
  for (int growths = 0;; ++growths) {
    const DWORD result = attempt();
    if (result != kGrownForAnotherTry) return result;
    if (growths == kMaxGrowths) return ERROR_MORE_DATA;
  }
}

}  // namespace mur::platform
