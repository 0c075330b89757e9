// Comparing registry key paths. Platform-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/search.h"

namespace mur::maintenance {

// True when `destination` names the same key as `source` or a key below it,
// both being subkey paths under one root: compared without regard to the
// case of single-byte letters (double-byte characters compared as they are),
// with trailing backslashes ignored. An empty source names the root itself,
// which every destination lies in.
bool DestinationWithinSource(std::string_view source, std::string_view destination,
                             const text::LeadBytes& leads);

// The part of `path` below `ancestor` (in `path`'s own spelling, "" when the
// two name the same key), compared as above; nullopt when `path` does not lie
// in `ancestor`.
std::optional<std::string> PathBelow(std::string_view ancestor, std::string_view path,
                                     const text::LeadBytes& leads);

}  // namespace mur::maintenance
