// The static C++ runtime (its thread support library) imports GetTickCount64,
// which Windows XP's kernel32 lacks: a DLL importing it would not load there.
// Defining the import slot here makes the linker take this monotonic
// millisecond counter, built on QueryPerformanceCounter, instead of pulling
// the kernel32 import in.
#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
  LARGE_INTEGER frequency, counter;
  if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
      !::QueryPerformanceCounter(&counter))
    return ::GetTickCount();
  const ULONGLONG f = static_cast<ULONGLONG>(frequency.QuadPart);
  const ULONGLONG c = static_cast<ULONGLONG>(counter.QuadPart);
  return (c / f) * 1000 + (c % f) * 1000 / f;
}

}  // namespace

#if defined(_WIN64)
#define MUR_IMPORT_SLOT "__imp_GetTickCount64"
#else
#define MUR_IMPORT_SLOT "__imp__GetTickCount64@0"
#endif

extern "C" {
ULONGLONG(WINAPI* mur_get_tick_count64_slot)() __asm__(MUR_IMPORT_SLOT) = TickCount64;
}
