// Reading the access mode and the version out of a file's bytes.
// Platform-free.
#pragma once

#include <string_view>

#include "text/lead_bytes.h"

namespace mur::probes {

// The six bytes that count as white space, whatever the code page.
bool IsProbeSpace(unsigned char c);

// The access mode in a settings file's bytes: the digit 0, 1 or 2 that
// follows, after white space only, the last "ACCESS_MODE" before the first
// zero byte; 0 for anything else.
int AccessModeFromText(std::string_view bytes, const text::LeadBytes& leads);

// The version in a version file's bytes: after the first "Ver" and white
// space, the digits at index 0 and 2 (any other byte counts 0, as does an
// index past the end), as major * 10 + minor; -1 when there is no "Ver"
// before the first zero byte.
int VersionFromText(std::string_view bytes, const text::LeadBytes& leads);

}  // namespace mur::probes
