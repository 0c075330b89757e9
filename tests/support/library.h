// Loads the built library as a setup script's host does: LoadLibraryA and
// GetProcAddress by export name. The exports' types come from the public
// header: MUR_CALL(lib, MUR_GetVersion)(dir) calls the export of `lib`.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "mur.h"
#include "support/handles.h"

namespace murtest {

// The store exports share one signature.
using SeedFn = decltype(&MUR_CsMakeUserinfoFile);

class Library {
 public:
  explicit Library(const char* file) : module_(::LoadLibraryA(file)) {
    if (!module_) throw std::runtime_error(std::string("cannot load ") + file);
  }

  template <class Fn>
  Fn Get(const char* name) const {
    FARPROC p = ::GetProcAddress(module_.get(), name);
    if (!p) throw std::runtime_error(std::string("missing export ") + name);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
  }
  HMODULE module() const { return module_.get(); }

 private:
  Module module_;
};

#define MUR_CALL(lib, name) ((lib).Get<decltype(&::name)>(#name))

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
