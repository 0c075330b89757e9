#include "platform/seam.h"

namespace mur::platform::seam {

const Hooks* g_hooks = nullptr;

}  // namespace mur::platform::seam
