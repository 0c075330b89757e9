#include "text/buffer.h"

namespace mur::text {

bool (*g_allocation_fails)() = nullptr;

}  // namespace mur::text
