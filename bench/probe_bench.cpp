// The access-mode probe on a 64 MiB settings file, against bare loops of
// ReadFile calls over the same file in the same process (a 64 KiB buffer,
// the reference, and the probe's own 256 KiB block), and the probe's peak
// memory growth in a fresh process.
//   probe_bench time DIR     ratio of MUR_GetAccessMode to CreateFile + a ReadFile loop
//   probe_bench memory DIR   peak memory growth of one MUR_GetAccessMode
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "mur.h"

namespace {

constexpr DWORD kSize = 64u << 20;
using ProbeFn = decltype(&MUR_GetAccessMode);

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

// The reference: open, read the file into one buffer of `block` bytes,
// a ReadFile call at a time, close.
std::size_t BareRead(const std::string& path, DWORD block) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  std::vector<char> buffer(block);
  std::size_t total = 0;
  DWORD got = 0;
  while (::ReadFile(h, buffer.data(), block, &got, nullptr) && got > 0)
    total += got + static_cast<unsigned char>(buffer[got / 2]);
  ::CloseHandle(h);
  return total;
}

SIZE_T PeakWorkingSet() {
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
    const SIZE_T before = PeakWorkingSet();
    const int mode_read = probe(dir.c_str());
    const SIZE_T growth = PeakWorkingSet() - before;
    std::printf("  peak working set growth of one probe: %.2f MiB for a %.0f MiB file "
                "(limit 1 MiB); access mode %d\n",
                growth / 1048576.0, kSize / 1048576.0, mode_read);
    return growth <= (1u << 20) && mode_read == 2 ? 0 : 1;
  }
  if (!WriteSettings(path)) return 2;
  volatile std::size_t sink = 0;
  int result = -1;
  probe(dir.c_str());  // warm the file cache for all
  // The probe and the two read loops alternate, round by round, each round's
  // ratios taken on their own; the figures are the medians of the rounds'.
  // The reference is a plain loop with a 64 KiB buffer; the loop with the
  // probe's own block (256 KiB) shows what the search adds to the reading.
  constexpr int kRounds = 21;
  constexpr DWORD kPlainBlock = 64u << 10, kProbeBlock = 256u << 10;
  std::vector<double> ratios, own_ratios, ours, plain;
  for (int round = 0; round < kRounds; ++round) {
    double start = murbench::Now();
    sink = sink + BareRead(path, kPlainBlock);
    const double plain_round = murbench::Now() - start;
    start = murbench::Now();
    sink = sink + BareRead(path, kProbeBlock);
    const double own_round = murbench::Now() - start;
    start = murbench::Now();
    result = probe(dir.c_str());
    const double ours_round = murbench::Now() - start;
    ratios.push_back(ours_round / plain_round);
    own_ratios.push_back(ours_round / own_round);
    ours.push_back(ours_round);
    plain.push_back(plain_round);
  }
  const double ratio = murbench::MedianOf(ratios);
  std::printf("  MUR_GetAccessMode on a 64 MiB file: %.1f ms, a bare ReadFile loop (64 KiB buffer) %.1f ms: "
              "ratio %.2f (median of %d rounds; limit 1.1); access mode %d\n",
              murbench::MedianOf(ours) * 1e3, murbench::MedianOf(plain) * 1e3, ratio, kRounds, result);
  std::printf("    against a ReadFile loop with the probe's own 256 KiB block: ratio %.2f (what the search adds)\n",
              murbench::MedianOf(own_ratios));
  return ratio <= 1.1 && result == 2 ? 0 : 1;
}
