// Tree removal: MUR_RemoveFiles against a minimal FindFirstFileA /
// DeleteFileA / RemoveDirectoryA recursion (the floor under Wine for a
// removal by paths) and Wine's own `cmd /c rmdir /s /q` (tools/bench.sh times
// `rm -rf` for scale). The tree (2,000 small files in about 50 directories,
// three levels deep) is rebuilt before each run. The two removals alternate
// round by round and the ratio is the median of the rounds' ratios, so that a
// machine whose load changes during the run weighs on both alike;
// MURBENCH_ROUNDS=1 prints every round.
//   removal_bench DIR
//
// Server round trips: `removal_bench DIR count-build DIRS FILES` makes DIR\tree
// with DIRS directories of FILES empty files; `removal_bench DIR count-mur`
// or `count-minimal` then removes it between two marker requests (named
// events MARKSTART and MARKEND). tools/bench.sh runs the removal under
//   strace -f -e trace=write,writev -s 200 -o LOG wine removal_bench.exe ...
// counts the writes to the server's request descriptor between the two
// markers, and prints the figure per file from the difference between two
// tree sizes, for both removals. (Under Wine 8, 64-bit: 2.0 for both,
// MUR_RemoveFiles with one relative open with delete-on-close and one close,
// the minimal recursion with DeleteFileA's open and close; the listing
// reaches the server only when a directory is opened.)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "mur.h"

namespace {

using RemoveFn = decltype(&MUR_RemoveFiles);

// 3 top directories, 4 below each, 3 below those: 3 + 12 + 36 = 51 directories,
// 40 files in each of the 50 deepest-first ones (2,040 files).
void BuildTree(const std::string& root) {
  ::CreateDirectoryA(root.c_str(), nullptr);
  int dirs = 0;
  auto fill = [&](const std::string& dir) {
    ::CreateDirectoryA(dir.c_str(), nullptr);
    if (dirs++ >= 50) return;
    for (int f = 0; f < 40; ++f) {
      HANDLE h = ::CreateFileA((dir + "\\file" + std::to_string(f) + ".txt").c_str(), GENERIC_WRITE, 0,
                               nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD put;
      ::WriteFile(h, "small file\r\n", 12, &put, nullptr);
      ::CloseHandle(h);
    }
  };
  for (int a = 0; a < 3; ++a) {
    const std::string da = root + "\\a" + std::to_string(a);
    fill(da);
    for (int b = 0; b < 4; ++b) {
      const std::string db = da + "\\b" + std::to_string(b);
      fill(db);
      for (int c = 0; c < 3; ++c) fill(db + "\\c" + std::to_string(c));
    }
  }
}

// The floor: the least a recursive removal must call.
void MinimalRemove(const std::string& dir) {
  WIN32_FIND_DATAA d;
  HANDLE h = ::FindFirstFileA((dir + "\\*.*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = d.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = dir + "\\" + name;
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        MinimalRemove(path);
      } else {
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(h, &d));
    ::FindClose(h);
  }
  ::RemoveDirectoryA(dir.c_str());
}

void RunAndWait(const char* application, std::string command) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA(application, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return;
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
}

}  // namespace

// The request-counting runs (see the top of this file).
int CountRun(const std::string& mode, const std::string& root, int argc, char** argv, RemoveFn remove) {
  if (mode == "count-build" && argc == 5) {
    ::CreateDirectoryA(root.c_str(), nullptr);
    for (int d = 0; d < std::atoi(argv[3]); ++d) {
      const std::string dir = root + "\\d" + std::to_string(d);
      ::CreateDirectoryA(dir.c_str(), nullptr);
      for (int f = 0; f < std::atoi(argv[4]); ++f)
        ::CloseHandle(::CreateFileA((dir + "\\f" + std::to_string(f)).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr));
    }
    return 0;
  }
  if (mode != "count-mur" && mode != "count-minimal") return 2;
  ::CloseHandle(::CreateEventA(nullptr, FALSE, FALSE, "MARKSTART"));
  if (mode == "count-mur") {
    remove(root.c_str());
  } else {
    MinimalRemove(root);
  }
  ::CloseHandle(::CreateEventA(nullptr, FALSE, FALSE, "MARKEND"));
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string root = std::string(argv[1]) + "\\tree";
  HMODULE dll = ::LoadLibraryA("MUR.dll");
  auto remove = dll ? reinterpret_cast<RemoveFn>(reinterpret_cast<void*>(::GetProcAddress(dll, "MUR_RemoveFiles")))
                    : nullptr;
  if (!remove) return 2;
  if (argc > 2) return CountRun(argv[2], root, argc, argv, remove);
  auto build = [&] { BuildTree(root); };
  // The two removals alternate, round by round, so that a change of load on
  // the machine weighs on both alike; the ratio is the median of the rounds'.
  constexpr int kRounds = 7;
  std::vector<double> ours_t, floor_t, ratios;
  int result = -1;
  for (int round = 0; round < kRounds; ++round) {
    const double a = murbench::Median(1, build, [&] { result = remove(root.c_str()); });
    const double b = murbench::Median(1, build, [&] { MinimalRemove(root); });
    ours_t.push_back(a);
    floor_t.push_back(b);
    ratios.push_back(a / b);
    if (std::getenv("MURBENCH_ROUNDS")) std::printf("    round %d: %.1f ms / %.1f ms\n", round, a * 1e3, b * 1e3);
  }
  const double ours = murbench::MedianOf(ours_t), floor = murbench::MedianOf(floor_t), ratio = murbench::MedianOf(ratios);
  const double cmd = murbench::Median(3, build, [&] {
    RunAndWait(nullptr, "cmd.exe /c rmdir /s /q \"" + root + "\"");
  });
  MinimalRemove(root);
  std::printf("  tree removal, 2,040 files in 51 directories (median): MUR_RemoveFiles %.1f ms (result %d)\n"
              "    minimal recursion %.1f ms: ratio %.2f, the median of %d alternating rounds (target: at most 1.1, limit 1.25)\n"
              "    cmd /c rmdir /s /q %.1f ms: ratio %.3f (target: at most 0.1)\n",
              ours * 1e3, result, floor * 1e3, ratio, kRounds, cmd * 1e3, ours / cmd);
  return ratio <= 1.25 ? 0 : 1;
}
