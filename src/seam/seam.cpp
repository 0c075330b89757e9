#include "seam/seam.h"

namespace mur::seam {

const Hooks* g_hooks = nullptr;

}  // namespace mur::seam
