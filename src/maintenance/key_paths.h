// Comparing registry key paths. Platform-free.
#pragma once

#include <string_view>

#include "probes/text_search.h"

namespace mur::maintenance {

// True when `destination` names the same key as `source` or a key below it,
// both being subkey paths under one root: compared without regard to the
// case of single-byte letters (double-byte characters compared as they are),
// with trailing backslashes ignored. An empty source names the root itself,
// which every destination lies in.
bool DestinationWithinSource(std::string_view source, std::string_view destination,
                             const probes::LeadBytes& leads);

}  // namespace mur::maintenance
