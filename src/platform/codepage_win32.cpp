#include "platform/codepage.h"

#include <windows.h>

namespace mur::platform {

bool IsSystemLeadByte(unsigned char b) { return ::IsDBCSLeadByteEx(CP_ACP, b) != FALSE; }

}  // namespace mur::platform
