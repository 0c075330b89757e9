// Timing helpers of the Windows benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace murbench {

inline double Now() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// The median of `v` (the upper one of an even count).
inline double MedianOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median time of `work` over `runs` runs; `prepare` runs untimed before each.
inline double Median(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const double start = Now();
    work();
    t.push_back(Now() - start);
  }
  return MedianOf(std::move(t));
}

}  // namespace murbench
