#include "platform/seam.h"

#include <windows.h>

namespace mur::platform::seam {

const Hooks* g_hooks = nullptr;

bool TrippedSettingLastError(Op op) {
  unsigned long error = 0;
  if (!Tripped(op, &error)) return false;
  ::SetLastError(error);
  return true;
}

}  // namespace mur::platform::seam
