// The platform-free tests' own hooks on the library's seam: while an
// ExhaustedMemory lives, every Buffer allocation fails, and the allocations
// asked for are counted.
#pragma once

#include "seam/seam.h"

namespace murtest {

class ExhaustedMemory {
 public:
  ExhaustedMemory() {
    asked_count() = 0;
    mur::seam::g_hooks = &kHooks;
  }
  int asked() const { return asked_count(); }
  ~ExhaustedMemory() { mur::seam::g_hooks = nullptr; }
  ExhaustedMemory(const ExhaustedMemory&) = delete;
  ExhaustedMemory& operator=(const ExhaustedMemory&) = delete;

 private:
  static int& asked_count() {
    static int n = 0;
    return n;
  }
  static bool Trip(mur::seam::Op op, std::wstring_view, unsigned long*) {
    if (op != mur::seam::kAllocate) return false;
    ++asked_count();
    return true;
  }
  static void Nothing() {}
  static constexpr mur::seam::Hooks kHooks{Trip, Nothing, Nothing};
};

}  // namespace murtest
