// race_worker EXPORT BASEDIR NAME ROUNDS TAG: one of the processes of the
// seeding race. For each round k it waits for the event TAG_go_k, calls
// EXPORT(BASEDIR\roundk, NAME) as the host does, and releases the semaphore
// TAG_done. At the end it prints every result, one a line.
//
// It loads MUR_seam.dll (the library's objects with the fault seam exported)
// and has every write wait a millisecond, so that the window between a
// seeder's check of the file and its writes is wide enough for the others to
// race into, were they let in.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mur.h"
#include "platform/seam_controls.h"
#include "seam/seam.h"
#include "support/handles.h"
#include "support/library.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: race_worker EXPORT BASEDIR NAME ROUNDS TAG\n");
    return 2;
  }
  const murtest::Module dll(::LoadLibraryA("MUR_seam.dll"));
  auto proc = [&](const char* name) {
    return dll ? reinterpret_cast<void*>(::GetProcAddress(dll.get(), name)) : nullptr;
  };
  auto delay = reinterpret_cast<decltype(&MURSeam_Delay)>(proc("MURSeam_Delay"));
  if (delay) delay(mur::seam::kWriteFile, 1);
  auto seed = reinterpret_cast<decltype(&MUR_CsMakeUserinfoFile)>(proc(argv[1]));
  const std::string tag = argv[5];
  const murtest::Handle done(::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, (tag + "_done").c_str()));
  if (!seed || !delay || !done) {
    std::fprintf(stderr, "race_worker: cannot set up (%lu)\n", ::GetLastError());
    return 2;
  }
  const int rounds = std::atoi(argv[4]);
  std::string results;
  for (int k = 0; k < rounds; ++k) {
    const murtest::Handle go(::OpenEventA(SYNCHRONIZE, FALSE, (tag + "_go_" + std::to_string(k)).c_str()));
    if (!go || ::WaitForSingleObject(go.get(), 60000) != WAIT_OBJECT_0) {
      std::fprintf(stderr, "race_worker: no start signal for round %d\n", k);
      return 2;
    }
    const std::string dir = std::string(argv[2]) + "\\round" + std::to_string(k);
    results += std::to_string(seed(dir.c_str(), argv[3])) + "\n";
    ::ReleaseSemaphore(done.get(), 1, nullptr);
  }
  _setmode(_fileno(stdout), _O_BINARY);
  std::fputs(results.c_str(), stdout);
  return 0;
}
