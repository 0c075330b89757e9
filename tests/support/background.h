// Threads and waits of the tests' own, without traps: a Background thread is
// joined on every way out of the test that started it (a failed ASSERT
// included), so a failure never reaches std::terminate, and every wait is
// bounded.
#pragma once

#include <windows.h>

#include <thread>

namespace murtest {

class Background {
 public:
  template <class Body>
  explicit Background(Body body) : thread_(body) {}
  ~Background() { Join(); }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

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
