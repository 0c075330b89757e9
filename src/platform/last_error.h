// The calling thread's last error, which every export leaves as the Windows
// functions do: ERROR_SUCCESS after a success, the code that decided a
// failure otherwise.
#pragma once

#include <windows.h>

namespace mur::platform {

void LeaveLastError(DWORD code);

}  // namespace mur::platform
