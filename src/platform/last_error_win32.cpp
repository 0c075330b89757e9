#include "platform/last_error.h"

namespace mur::platform {

void LeaveLastError(DWORD code) { ::SetLastError(code); }

}  // namespace mur::platform
