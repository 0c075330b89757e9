// The text layout's lines: comma-separated, unquoted, ended by CR LF.
// Platform-free.
#pragma once

#include <string_view>

#include "text/buffer.h"
#include "text/lead_bytes.h"

namespace mur::store {

inline constexpr char kUserLineTemplate[] = "10000,%s,,1,1,0,,,,,\n";
inline constexpr char kSectionLineTemplate[] = "10,%s\n";

// A name the text layout can hold: a store name without the bytes that would
// end a field or a line (comma, CR, LF), which the layout cannot escape.
bool IsValidTextName(std::string_view name, const text::LeadBytes& leads);

// The bytes of a seeded line into *line: the template with its %s replaced
// by `name` taken literally (a per-cent sign in the name is a plain byte),
// every line feed written as CR LF, as a text stream writes it. False when
// memory runs out.
bool TextSeedLine(std::string_view line_template, std::string_view name, text::Bytes* line);

}  // namespace mur::store
