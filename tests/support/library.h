// Loads the built library as a setup script's host does: LoadLibraryA and
// GetProcAddress by export name.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace murtest {

// Export signatures, as the host declares them.
using SeedFn = int(WINAPI*)(const char*, const char*);
using SeamArmFn = void(WINAPI*)(int, int, DWORD);
using SeamResetFn = void(WINAPI*)();
using SeamCountFn = int(WINAPI*)(int);
using SeamLiveFn = int(WINAPI*)();

class Library {
 public:
  explicit Library(const char* file) : module_(::LoadLibraryA(file)) {
    if (!module_) throw std::runtime_error(std::string("cannot load ") + file);
  }
  ~Library() { ::FreeLibrary(module_); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  template <class Fn>
  Fn Get(const char* name) const {
    FARPROC p = ::GetProcAddress(module_, name);
    if (!p) throw std::runtime_error(std::string("missing export ") + name);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
  }
  HMODULE module() const { return module_; }

 private:
  HMODULE module_;
};

// The shipped library, loaded once for the whole test program.
inline const Library& Mur() {
  static Library lib("MUR.dll");
  return lib;
}

// The test twin with the platform fault seam's controls.
inline const Library& MurSeam() {
  static Library lib("MUR_seam.dll");
  return lib;
}

}  // namespace murtest
