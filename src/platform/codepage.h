// The system's ANSI code page: its lead bytes, as text searches need them,
// and the conversion of the host's narrow arguments to UTF-16.
#pragma once

#include <windows.h>

#include "text/buffer.h"
#include "text/lead_bytes.h"

namespace mur::platform {

// The lead bytes of the system's ANSI code page (none in a single-byte one).
text::LeadBytes SystemLeadBytes();

// `narrow` (zero-terminated, in the system's ANSI code page; null counts as
// empty) as UTF-16, converted as the narrow file and registry functions
// convert their arguments. ERROR_SUCCESS or the conversion's error code.
DWORD WideFromSystem(const char* narrow, text::Wide* wide);

}  // namespace mur::platform
