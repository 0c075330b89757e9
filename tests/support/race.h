// Races between a call of the library and a change made meanwhile: the call
// on a thread of its own, and bounded waits for the state the call must have
// reached before the change is made.
#pragma once

#include <windows.h>

#include <thread>
#include <utility>

#include "support/seam.h"

namespace murtest {

// A call of the library on a thread of its own, joined on every way out of
// the test (an ASSERT that returns early included).
class Background {
 public:
  template <class Body>
  explicit Background(Body body) : thread_(std::move(body)) {}
  ~Background() { Join(); }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

// Waits up to ten seconds until `op` has been called `calls` times since the
// seam was last reset; false when it was not. A delayed call is counted when
// its delay has passed, as it goes on.
inline bool WaitForCalls(seam::Op op, int calls) {
  for (int i = 0; i < 1000; ++i) {
    if (Seam::Calls(op) >= calls) return true;
    ::Sleep(10);
  }
  return false;
}

inline bool FirstCallOf(seam::Op op) { return WaitForCalls(op, 1); }

// Looks every few milliseconds, for up to `timeout_ms`, whether `reached()`
// holds; false when it never did.
template <class Reached>
bool WaitUntil(Reached reached, DWORD timeout_ms = 20000) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (reached()) return true;
    if (::GetTickCount() - start >= timeout_ms) return false;
    ::Sleep(2);
  }
}

}  // namespace murtest
