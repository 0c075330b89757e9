// The shipped library's entry point, in place of the C run-time's startup
// code: the library constructs no global objects, keeps no thread-local data
// and leaves no work for its unloading, and the C functions it calls come
// from msvcrt.dll, which starts itself. Loading and unloading it do nothing.
// (The test library, MUR_seam.dll, keeps the run-time's startup, which
// constructs its seam controls.)
#include <windows.h>

extern "C" BOOL WINAPI MurDllEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
