// seam_worker: a second process for the tests, on the test build of the
// library (MUR_seam.dll).
//   seam_worker pause EXPORT DIR NAME OP NTH EVENT
//       has call NTH of the seam's operation OP signal the named event and
//       stop there for good, then calls EXPORT(DIR, NAME) as a host does and
//       prints its result (reached only when that call never came);
//   seam_worker wait EVENT
//       waits, at most a minute, for the named event.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mur.h"
#include "platform/seam_controls.h"
#include "support/handles.h"
#include "support/library.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "wait") == 0) {
    const murtest::Handle event(::OpenEventA(SYNCHRONIZE, FALSE, argv[2]));
    return event && ::WaitForSingleObject(event.get(), 60000) == WAIT_OBJECT_0 ? 0 : 2;
  }
  if (argc != 8 || std::strcmp(argv[1], "pause") != 0) {
    std::fprintf(stderr, "usage: seam_worker pause EXPORT DIR NAME OP NTH EVENT | wait EVENT\n");
    return 2;
  }
  const murtest::Module dll(::LoadLibraryA("MUR_seam.dll"));
  auto proc = [&](const char* name) {
    return dll ? reinterpret_cast<void*>(::GetProcAddress(dll.get(), name)) : nullptr;
  };
  auto pause = reinterpret_cast<decltype(&MURSeam_Pause)>(proc("MURSeam_Pause"));
  auto seed = reinterpret_cast<decltype(&MUR_CsMakeUserinfoFile)>(proc(argv[2]));
  const murtest::Handle reached(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[7]));
  if (!pause || !seed || !reached) {
    std::fprintf(stderr, "seam_worker: cannot set up (%lu)\n", ::GetLastError());
    return 2;
  }
  pause(std::atoi(argv[5]), std::atoi(argv[6]), reached.get(), nullptr);
  std::printf("%d\n", seed(argv[3], argv[4]));
  return 0;
}
