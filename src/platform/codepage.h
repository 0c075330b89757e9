// The system's ANSI code page, as text searches need it.
#pragma once

#include "probes/text_search.h"

namespace mur::platform {

// The lead bytes of the system's ANSI code page (none in a single-byte one).
probes::LeadBytes SystemLeadBytes();

}  // namespace mur::platform
