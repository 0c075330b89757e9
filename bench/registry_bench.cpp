// Registry copy and move: MUR_CopyRegistarInfo against RegCopyTreeA (and
// RegCopyTreeA followed by RegDeleteTreeA for the move) on a tree of about
// 10,000 keys three levels deep with 5 small values each. Any call that
// fails, ours or the reference, fails the benchmark: no figures are shown.
// `registry_bench handles` shows the most handles that each holds at once in
// a copy of about 100,000 new keys.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "mur.h"

namespace {

using CopyFn = decltype(&MUR_CopyRegistarInfo);

const std::string kBase = "Software\\murbench_" + std::to_string(::GetCurrentProcessId());

// The first call that failed, building a tree or timed: a call that fails
// fast would show as a good ratio, and a tree left short would be timed
// short, so any failure fails the benchmark.
struct Failures {
  std::string first;
  void Check(const char* what, long result) {
    if (result != 0 && first.empty()) first = std::string(what) + " returned " + std::to_string(result);
  }
};

void AddValues(HKEY key, Failures* failures) {
  for (int v = 0; v < 5; ++v) {
    const std::string name = "value" + std::to_string(v);
    const std::string data = "data " + std::to_string(v);
    failures->Check("building: RegSetValueExA",
                    ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                     static_cast<DWORD>(data.size() + 1)));
  }
}

HKEY Create(HKEY parent, const std::string& name, Failures* failures) {
  HKEY key = nullptr;
  failures->Check("building: RegCreateKeyExA",
                  ::RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  return key;
}

// 20 x 20 x 25 leaves under 20 x 20 and 20: 10,420 keys.
void BuildTree(const std::string& path, Failures* failures) {
  HKEY root = Create(HKEY_CURRENT_USER, path, failures);
  for (int a = 0; a < 20; ++a) {
    HKEY ka = Create(root, "a" + std::to_string(a), failures);
    AddValues(ka, failures);
    for (int b = 0; b < 20; ++b) {
      HKEY kb = Create(ka, "b" + std::to_string(b), failures);
      AddValues(kb, failures);
      for (int c = 0; c < 25; ++c) {
        HKEY kc = Create(kb, "c" + std::to_string(c), failures);
        AddValues(kc, failures);
        ::RegCloseKey(kc);
      }
      ::RegCloseKey(kb);
    }
    ::RegCloseKey(ka);
  }
  ::RegCloseKey(root);
}

// The reference copy: 0, or the first error of its registry calls.
long CopyTree(const std::string& from, const std::string& to) {
  HKEY src = nullptr, dst = nullptr;
  long result = ::RegOpenKeyExA(HKEY_CURRENT_USER, from.c_str(), 0, KEY_READ, &src);
  if (result != ERROR_SUCCESS) return result;
  result = ::RegCreateKeyExA(HKEY_CURRENT_USER, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &dst, nullptr);
  if (result == ERROR_SUCCESS) {
    result = ::RegCopyTreeA(src, nullptr, dst);
    ::RegCloseKey(dst);
  }
  ::RegCloseKey(src);
  return result;
}

// Runs `ours` and `reference` in turn (which goes first alternates), `rounds`
// times, each after `prepare`: times taken side by side share the machine's
// load of the moment, so the figure is the median of the rounds' ratios.
struct Paired {
  double ours;   // median seconds
  double reference;
  double ratio;  // median of ours / reference per round
};

Paired MeasurePaired(int rounds, const std::function<void()>& prepare, const std::function<void()>& ours,
                     const std::function<void()>& reference) {
  std::vector<double> a, b, r;
  auto time = [&](const std::function<void()>& work) {
    prepare();
    const double start = murbench::Now();
    work();
    return murbench::Now() - start;
  };
  for (int i = 0; i < rounds; ++i) {
    if (i % 2 == 0) {
      a.push_back(time(ours));
      b.push_back(time(reference));
    } else {
      b.push_back(time(reference));
      a.push_back(time(ours));
    }
    r.push_back(a.back() / b.back());
  }
  return {murbench::MedianOf(a), murbench::MedianOf(b), murbench::MedianOf(r)};
}

// The handles this process holds right now, as the system lists them; -1
// when it cannot tell.
int ProcessHandles() {
  using QueryFn = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  // SYSTEM_HANDLE_INFORMATION: a count, then one entry per handle.
  struct Entry {
    ULONG process;
    BYTE type;
    BYTE flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  static std::vector<char> buffer(1 << 20);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query ? query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) : -1;
    if (status == static_cast<LONG>(0xC0000004L) && buffer.size() < (1u << 28)) {  // too small
      buffer.resize(std::max<std::size_t>(needed, buffer.size() * 2));
      continue;
    }
    if (status != 0) return -1;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    int mine = 0;
    for (ULONG i = 0; i < count; ++i) mine += entries[i].process == ::GetCurrentProcessId();
    return mine;
  }
}

// The most handles a copy of about 100,000 new keys holds at once:
// MUR_CopyRegistarInfo by the test library's own count of the handles it
// opens, RegCopyTreeA by the process's handles, sampled while it runs, above
// those held before it began.
int MeasureHandles() {
  HMODULE seam = ::LoadLibraryA("MUR_seam.dll");
  auto proc = [seam](const char* name) {
    return seam ? reinterpret_cast<void*>(::GetProcAddress(seam, name)) : nullptr;
  };
  const auto copy = reinterpret_cast<CopyFn>(proc("MUR_CopyRegistarInfo"));
  const auto reset = reinterpret_cast<void(WINAPI*)()>(proc("MURSeam_Reset"));
  const auto peak = reinterpret_cast<int(WINAPI*)()>(proc("MURSeam_PeakHandles"));
  if (!copy || !reset || !peak) {
    std::printf("  registry handles: FAILED, MUR_seam.dll has no handle count\n");
    return 2;
  }
  const std::string src = kBase + "\\handles_src", dst = kBase + "\\handles_dst";
  Failures failures;
  HKEY top = Create(HKEY_CURRENT_USER, src, &failures);
  int keys = 1;
  for (int a = 0; a < 100; ++a) {
    HKEY ka = Create(top, "a" + std::to_string(a), &failures);
    for (int b = 0; b < 1000; ++b) ::RegCloseKey(Create(ka, "b" + std::to_string(b), &failures));
    ::RegCloseKey(ka);
    keys += 1001;
  }
  ::RegCloseKey(top);
  reset();
  failures.Check("handles: MUR_CopyRegistarInfo", copy(HKEY_CURRENT_USER, src.c_str(), dst.c_str(), 0));
  const int ours = peak();
  ::RegDeleteTreeA(HKEY_CURRENT_USER, dst.c_str());

  std::atomic<bool> started{false}, done{false};
  int before = -1, most = -1;
  std::thread sampler([&] {
    before = most = ProcessHandles();
    started = true;
    while (!done) most = std::max(most, ProcessHandles());
  });
  while (!started) ::Sleep(1);
  failures.Check("handles: RegCopyTreeA", CopyTree(src, dst));
  done = true;
  sampler.join();
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kBase.c_str());
  if (!failures.first.empty() || before < 0) {
    std::printf("  registry handles: FAILED: %s\n",
                failures.first.empty() ? "the process's handles cannot be listed" : failures.first.c_str());
    return 1;
  }
  std::printf("  registry, the most handles held at once in a copy of %d new keys:\n"
              "    MUR_CopyRegistarInfo %d, RegCopyTreeA %d (sampled)\n",
              keys, ours, most - before);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "handles") return MeasureHandles();
  HMODULE dll = ::LoadLibraryA("MUR.dll");
  auto copy = dll ? reinterpret_cast<CopyFn>(reinterpret_cast<void*>(::GetProcAddress(dll, "MUR_CopyRegistarInfo")))
                  : nullptr;
  if (!copy) return 2;
  const std::string pristine = kBase + "\\pristine", src = kBase + "\\src", dst = kBase + "\\dst";
  Failures failures;
  BuildTree(pristine, &failures);
  failures.Check("preparing the source: RegCopyTreeA", CopyTree(pristine, src));
  auto clear_dst = [&] { ::RegDeleteTreeA(HKEY_CURRENT_USER, dst.c_str()); };
  auto fresh_src = [&] {
    clear_dst();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, src.c_str());
    failures.Check("preparing the source: RegCopyTreeA", CopyTree(pristine, src));
  };
  constexpr int kRounds = 5;
  const Paired copying = MeasurePaired(
      kRounds, clear_dst,
      [&] { failures.Check("copy: MUR_CopyRegistarInfo", copy(HKEY_CURRENT_USER, src.c_str(), dst.c_str(), 0)); },
      [&] { failures.Check("copy: RegCopyTreeA", CopyTree(src, dst)); });
  const Paired moving = MeasurePaired(
      kRounds, fresh_src,
      [&] { failures.Check("move: MUR_CopyRegistarInfo", copy(HKEY_CURRENT_USER, src.c_str(), dst.c_str(), 1)); },
      [&] {
        failures.Check("move: RegCopyTreeA", CopyTree(src, dst));
        failures.Check("move: RegDeleteTreeA", ::RegDeleteTreeA(HKEY_CURRENT_USER, src.c_str()));
      });
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kBase.c_str());
  if (!failures.first.empty()) {
    std::printf("  registry: FAILED, no figures: %s\n", failures.first.c_str());
    return 1;
  }
  std::printf("  registry, 10,420 keys with 5 values each (%d rounds of both, medians):\n"
              "    copy: MUR_CopyRegistarInfo %.0f ms, RegCopyTreeA %.0f ms: ratio %.2f (target: at most 1.25)\n"
              "    move: MUR_CopyRegistarInfo %.0f ms, RegCopyTreeA + RegDeleteTreeA %.0f ms: ratio %.2f "
              "(target: at most 1.25)\n",
              kRounds, copying.ours * 1e3, copying.reference * 1e3, copying.ratio, moving.ours * 1e3,
              moving.reference * 1e3, moving.ratio);
  return copying.ratio <= 1.25 && moving.ratio <= 1.25 ? 0 : 1;
}
