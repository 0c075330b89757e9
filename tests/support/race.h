// Races between a call of the library and a change made meanwhile: the call
// on a thread of its own, held by the seam where the change is to land or
// watched for the state it must have reached, with bounded waits.
#pragma once

#include <windows.h>

#include <memory>
#include <thread>
#include <utility>

#include "support/handles.h"
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

// A call of the library (in MUR_seam.dll) on a thread of its own, held by
// the seam's pause before one call of an operation is made: the test makes
// its change while the call waits there, then lets it go on. `body` calls
// exports resolved on the test's thread beforehand. Released and joined on
// every way out of the test.
class HeldCall {
 public:
  // Holds call number `nth` of `op` (counted since the seam's last reset).
  template <class Body>
  HeldCall(seam::Op op, int nth, Body body) {
    Seam::Pause(op, nth, reached_.get(), release_.get());
    Start(std::move(body));
  }
  // Holds the first call of `op` on `name` (or on a path ending in it).
  template <class Body>
  HeldCall(seam::Op op, const wchar_t* name, Body body) {
    Seam::PauseNamed(op, name, reached_.get(), release_.get());
    Start(std::move(body));
  }
  ~HeldCall() { Finish(); }
  HeldCall(const HeldCall&) = delete;
  HeldCall& operator=(const HeldCall&) = delete;

  // Waits up to twenty seconds until the call is held; false when it ended
  // first, or never got there.
  bool Held() const {
    const HANDLE events[] = {reached_.get(), done_.get()};
    return ::WaitForMultipleObjects(2, events, FALSE, 20000) == WAIT_OBJECT_0;
  }
  // While the call is held: holds it once more, at a later call.
  void HoldAgain(seam::Op op, const wchar_t* name) {
    Seam::PauseNamed(op, name, reached_.get(), release_.get());
  }
  // Lets the held call go on.
  void Release() { ::SetEvent(release_.get()); }
  // Lets it go on and waits for its end.
  void Finish() {
    Release();
    if (thread_) thread_->Join();
  }

 private:
  template <class Body>
  void Start(Body body) {
    const HANDLE done = done_.get();
    thread_ = std::make_unique<Background>([body = std::move(body), done]() mutable {
      body();
      ::SetEvent(done);
    });
  }

  // Auto-reset: each hold is reached and released once.
  Handle reached_{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  Handle release_{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  Handle done_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::unique_ptr<Background> thread_;
};

}  // namespace murtest
