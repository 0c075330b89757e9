#include "platform/codepage.h"

#include <windows.h>

namespace mur::platform {

probes::LeadBytes SystemLeadBytes() {
  return probes::LeadBytes::From([](unsigned char b) { return ::IsDBCSLeadByteEx(CP_ACP, b) != FALSE; });
}

}  // namespace mur::platform
