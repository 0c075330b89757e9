// The system's ANSI code page, as text searches need it.
#pragma once

namespace mur::platform {

// Whether `b` opens a double-byte character in the system's ANSI code page.
bool IsSystemLeadByte(unsigned char b);

}  // namespace mur::platform
