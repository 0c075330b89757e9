// The access-mode probe on a 64 MiB settings file, against a bare ReadFile of
// the same file in the same process (median of several runs), and the
// probe's peak memory growth in a fresh process.
//   probe_bench time DIR     ratio of MUR_GetAccessMode to CreateFile + ReadFile
//   probe_bench memory DIR   peak memory growth of one MUR_GetAccessMode
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "mur.h"

namespace {

constexpr DWORD kSize = 64u << 20;
using ProbeFn = decltype(&MUR_GetAccessMode);

double Now() {
  LARGE_INTEGER f, c;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(int runs, const std::function<void()>& work) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const double start = Now();
    work();
    t.push_back(Now() - start);
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// Comment lines, then the key near the end; written a line at a time so that
// making the file does not itself raise the process's peak memory.
bool WriteSettings(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const std::string line = "; a comment line of the settings file with no key in it\r\n";
  std::string block;
  while (block.size() + line.size() <= 65536) block += line;
  DWORD total = 0, put = 0;
  bool ok = true;
  while (ok && total + block.size() + 64 <= kSize) {
    ok = ::WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &put, nullptr) != FALSE;
    total += put;
  }
  std::string tail = "ACCESS_MODE 2\r\n";
  tail.resize(kSize - total, ' ');
  ok = ok && ::WriteFile(h, tail.data(), static_cast<DWORD>(tail.size()), &put, nullptr);
  ::CloseHandle(h);
  return ok;
}

// The reference: open, size, allocate, one read, close.
std::size_t BareRead(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  const DWORD size = ::GetFileSize(h, nullptr);
  std::vector<char> buffer(size);
  DWORD got = 0;
  ::ReadFile(h, buffer.data(), size, &got, nullptr);
  ::CloseHandle(h);
  return got + static_cast<unsigned char>(buffer[got / 2]);
}

SIZE_T PeakPrivate() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc.PeakWorkingSetSize;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: probe_bench time|memory DIR\n");
    return 2;
  }
  const std::string mode = argv[1], dir = argv[2];
  HMODULE dll = ::LoadLibraryA("MUR.dll");
  auto probe = dll ? reinterpret_cast<ProbeFn>(reinterpret_cast<void*>(::GetProcAddress(dll, "MUR_GetAccessMode")))
                   : nullptr;
  if (!probe) return 2;
  const std::string path = dir + "\\TALVINORE.INI";
  if (mode == "memory") {
    if (!WriteSettings(path)) return 2;
    const SIZE_T before = PeakPrivate();
    const int mode_read = probe(dir.c_str());
    const SIZE_T growth = PeakPrivate() - before;
    std::printf("  peak working set growth of one probe: %.2f MiB for a %.0f MiB file "
                "(target: at most file + 1 MiB, %.2f MiB); access mode %d\n",
                growth / 1048576.0, kSize / 1048576.0, (kSize + (1u << 20)) / 1048576.0, mode_read);
    return 0;
  }
  if (!WriteSettings(path)) return 2;
  volatile std::size_t sink = 0;
  int result = -1;
  probe(dir.c_str());  // warm the file cache for both
  const double ref = Median(7, [&] { sink = sink + BareRead(path); });
  const double ours = Median(7, [&] { result = probe(dir.c_str()); });
  std::printf("  MUR_GetAccessMode on a 64 MiB file: %.1f ms, bare ReadFile %.1f ms: ratio %.2f "
              "(target: at most 1.5); access mode %d\n",
              ours * 1e3, ref * 1e3, ours / ref, result);
  return 0;
}
